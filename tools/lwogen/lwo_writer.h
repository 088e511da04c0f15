// Writes LWOB object files: points, polygons, surface names, and raw chunks
// for tests that need to build broken ones. Used by lwogen and the tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace qavren::tools {

class LwoWriter {
public:
    using Bytes = std::vector<uint8_t>;

    uint16_t AddPoint(float x, float y, float z) {
        PutF32(points_, x);
        PutF32(points_, y);
        PutF32(points_, z);
        return static_cast<uint16_t>(point_count_++);
    }

    void AddPolygon(const std::vector<uint16_t>& indices, int16_t surface = 1) {
        PutU16(polygons_, static_cast<uint16_t>(indices.size()));
        for (uint16_t i : indices) PutU16(polygons_, i);
        PutU16(polygons_, static_cast<uint16_t>(surface));
    }
    void AddPolygon(std::initializer_list<uint16_t> indices, int16_t surface = 1) {
        AddPolygon(std::vector<uint16_t>(indices), surface);
    }

    void AddSurface(const std::string& name) { surfaces_.push_back(name); }

    uint32_t point_count() const { return point_count_; }
    const Bytes& points() const { return points_; }
    // The POLS records as written: n, n point numbers, surface.
    const Bytes& polygon_records() const { return polygons_; }

    // The object as a file: FORM header, SRFS, PNTS, POLS, one SURF a name.
    Bytes Build(const char* form_type = "LWOB") const {
        Bytes body;
        body.insert(body.end(), form_type, form_type + 4);
        Bytes names;
        for (const auto& s : surfaces_) PutName(names, s);
        if (!surfaces_.empty()) AppendChunk(body, "SRFS", names);
        AppendChunk(body, "PNTS", points_);
        AppendChunk(body, "POLS", polygons_);
        for (const auto& s : surfaces_) {
            Bytes surf;
            PutName(surf, s);
            AppendChunk(body, "SURF", surf);
        }
        Bytes file = {'F', 'O', 'R', 'M'};
        PutU32(file, static_cast<uint32_t>(body.size()));
        file.insert(file.end(), body.begin(), body.end());
        return file;
    }

    static void AppendChunk(Bytes& out, const char tag[4], const Bytes& data) {
        out.insert(out.end(), tag, tag + 4);
        PutU32(out, static_cast<uint32_t>(data.size()));
        out.insert(out.end(), data.begin(), data.end());
        if (data.size() % 2) out.push_back(0);
    }
    static void PutU16(Bytes& out, uint16_t v) {
        out.push_back(static_cast<uint8_t>(v >> 8));
        out.push_back(static_cast<uint8_t>(v));
    }
    static void PutU32(Bytes& out, uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
    }
    static void PutF32(Bytes& out, float f) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        PutU32(out, bits);
    }

private:
    static void PutName(Bytes& out, const std::string& s) {
        out.insert(out.end(), s.begin(), s.end());
        out.push_back(0);
        if (out.size() % 2) out.push_back(0);
    }

    Bytes points_;
    Bytes polygons_;
    uint32_t point_count_ = 0;
    std::vector<std::string> surfaces_;
};

// Shapes for samples, tests and benchmarks.
LwoWriter MakeCube();
LwoWriter MakeSphere(int rings, int segments);
LwoWriter MakeTorus(int rings, int segments, float major, float minor);

}  // namespace qavren::tools
