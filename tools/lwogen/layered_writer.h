// Writes objects of the layered forms: LWO2 and LWO3 (LAYR, PNTS, typed
// POLS chunks with variable-length indices, surfaces as LWO2 SURF chunks or
// LWO3 nested FORMs) and LWLO (LAYR with LWOB-layout PNTS and POLS). The
// same model also comes out flattened into an LWOB object: the points of
// the drawn layers concatenated, their drawn polygons renumbered, which is
// how the renderers must see it. Used by lwogen, the tests and benchmarks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/lwogen/lwo_writer.h"

namespace qavren::tools {

class LayeredWriter {
public:
    using Bytes = LwoWriter::Bytes;

    // "LWO2", "LWO3" or "LWLO".
    explicit LayeredWriter(const char* form = "LWO2") : form_(form) {}

    // Starts a layer; points and polygons go into the latest one. Without a
    // layer they go before any LAYR chunk. Flags bit 0 hides an LWO2/LWO3 layer.
    void AddLayer(uint16_t number, uint16_t flags = 0, const std::string& name = "", int parent = -1) {
        layers_.push_back({number, flags, name, parent, {}, 0, {}});
    }

    // The point's number within its layer.
    uint32_t AddPoint(float x, float y, float z) {
        Layer& l = Current();
        LwoWriter::PutF32(l.points, x);
        LwoWriter::PutF32(l.points, y);
        LwoWriter::PutF32(l.points, z);
        return l.point_count++;
    }

    // Indices number the layer's own points. `type` is the POLS type of
    // LWO2/LWO3 (LWLO ignores it); a change of type starts a new POLS chunk.
    // `long_indices` writes every index in the 4-byte form.
    void AddPolygon(const std::vector<uint32_t>& indices, const char* type = "FACE", bool long_indices = false) {
        Layer& l = Current();
        if (l.chunks.empty() || l.chunks.back().type != type) l.chunks.push_back({type, {}});
        Bytes& out = l.chunks.back().records;
        if (IsLwlo()) {
            LwoWriter::PutU16(out, static_cast<uint16_t>(indices.size()));
            for (uint32_t i : indices) LwoWriter::PutU16(out, static_cast<uint16_t>(i));
            LwoWriter::PutU16(out, 1);
            return;
        }
        LwoWriter::PutU16(out, static_cast<uint16_t>(indices.size() & 0x3FF));
        for (uint32_t i : indices) PutIndex(out, i, long_indices);
    }

    // The object as a file.
    Bytes Build() const {
        Bytes body(form_.begin(), form_.end());
        if (!IsLwlo()) {
            Bytes tags;
            PutName(tags, "Default");
            LwoWriter::AppendChunk(body, "TAGS", tags);
        }
        for (const Layer& l : layers_) {
            if (l.number >= 0) {
                Bytes layr;
                LwoWriter::PutU16(layr, static_cast<uint16_t>(l.number));
                LwoWriter::PutU16(layr, l.flags);
                if (!IsLwlo()) {
                    for (int k = 0; k < 3; ++k) LwoWriter::PutF32(layr, 0.0f);  // pivot
                }
                PutName(layr, l.name);
                if (!IsLwlo() && l.parent >= 0) LwoWriter::PutU16(layr, static_cast<uint16_t>(l.parent));
                LwoWriter::AppendChunk(body, "LAYR", layr);
            }
            if (l.point_count || !l.chunks.empty()) LwoWriter::AppendChunk(body, "PNTS", l.points);
            for (const Pols& c : l.chunks) {
                Bytes pols;
                if (!IsLwlo()) pols.insert(pols.end(), c.type.begin(), c.type.end());
                pols.insert(pols.end(), c.records.begin(), c.records.end());
                LwoWriter::AppendChunk(body, "POLS", pols);
            }
        }
        AppendSurface(body);
        Bytes file = {'F', 'O', 'R', 'M'};
        LwoWriter::PutU32(file, static_cast<uint32_t>(body.size()));
        file.insert(file.end(), body.begin(), body.end());
        return file;
    }

    // The LWOB object the renderers must draw identically: the drawn layers'
    // points in order and their FACE, PTCH and SUBD polygons renumbered.
    // Point numbers must fit 16 bits.
    LwoWriter Flattened() const {
        LwoWriter w;
        uint32_t base = 0;
        for (const Layer& l : layers_) {
            if (!IsLwlo() && (l.flags & 1)) continue;
            for (uint32_t k = 0; k < l.point_count; ++k) {
                const uint8_t* p = l.points.data() + 12 * k;
                w.AddPoint(F32(p), F32(p + 4), F32(p + 8));
            }
            for (const Pols& c : l.chunks) {
                if (!IsLwlo() && c.type != "FACE" && c.type != "PTCH" && c.type != "SUBD") continue;
                std::vector<uint16_t> renumbered;
                for (size_t at = 0; at < c.records.size();) {
                    const uint32_t n = U16(&c.records[at]) & (IsLwlo() ? 0xFFFF : 0x3FF);
                    at += 2;
                    renumbered.clear();
                    for (uint32_t k = 0; k < n; ++k) {
                        uint32_t index = U16(&c.records[at]);
                        at += 2;
                        if (!IsLwlo() && c.records[at - 2] == 0xFF) {
                            index = (index & 0xFF) << 16 | U16(&c.records[at]);
                            at += 2;
                        }
                        renumbered.push_back(static_cast<uint16_t>(base + index));
                    }
                    if (IsLwlo()) at += 2;  // the surface
                    w.AddPolygon(renumbered);
                }
            }
            base += l.point_count;
        }
        return w;
    }

    // A shape of the LWOB writer as one layer of this form.
    static LayeredWriter From(const LwoWriter& shape, const char* form) {
        LayeredWriter w(form);
        w.AddLayer(0, 0, "Shape");
        w.Current().points = shape.points();
        w.Current().point_count = shape.point_count();
        const Bytes& records = shape.polygon_records();
        std::vector<uint32_t> indices;
        for (size_t at = 0; at < records.size();) {
            const uint16_t n = U16(&records[at]);
            indices.clear();
            for (uint16_t k = 0; k < n; ++k) indices.push_back(U16(&records[at + 2 + 2 * k]));
            at += 2u * n + 4u;
            w.AddPolygon(indices);
        }
        return w;
    }

private:
    struct Pols {
        std::string type;
        Bytes records;
    };
    struct Layer {
        int number;  // -1: the chunks before any LAYR
        uint16_t flags;
        std::string name;
        int parent;
        Bytes points;
        uint32_t point_count;
        std::vector<Pols> chunks;
    };

    bool IsLwlo() const { return form_ == "LWLO"; }

    Layer& Current() {
        if (layers_.empty()) layers_.push_back({-1, 0, "", -1, {}, 0, {}});
        return layers_.back();
    }

    static uint32_t U16(const uint8_t* p) { return uint32_t{p[0]} << 8 | p[1]; }
    static float F32(const uint8_t* p) {
        const uint32_t bits = uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }

    // VX: two bytes below 0xFF00, else four with 0xFF on top.
    static void PutIndex(Bytes& out, uint32_t index, bool long_form) {
        if (index < 0xFF00 && !long_form) {
            LwoWriter::PutU16(out, static_cast<uint16_t>(index));
        } else {
            LwoWriter::PutU32(out, 0xFF000000u | index);
        }
    }

    static void PutName(Bytes& out, const std::string& s) {
        out.insert(out.end(), s.begin(), s.end());
        out.push_back(0);
        if (out.size() % 2) out.push_back(0);
    }

    // One surface, with a sub-chunk of odd length (and its pad byte) as
    // real files have: SURF with 2-byte sub-chunk lengths in LWO2, a nested
    // FORM SURF with 4-byte ones in LWO3; LWLO gets an LWOB-style SURF.
    void AppendSurface(Bytes& body) const {
        Bytes surf;
        PutName(surf, "Default");
        if (form_ == "LWO3") {
            Bytes form = {'S', 'U', 'R', 'F'};
            PutName(form, "Default");
            PutName(form, "");
            form.insert(form.end(), {'C', 'O', 'L', 'R'});
            LwoWriter::PutU32(form, 13);
            for (int k = 0; k < 13; ++k) form.push_back(static_cast<uint8_t>(k));
            form.push_back(0);
            LwoWriter::AppendChunk(body, "FORM", form);
            return;
        }
        if (!IsLwlo()) {
            PutName(surf, "");
            surf.insert(surf.end(), {'A', 'U', 'V', 'N'});
            LwoWriter::PutU16(surf, 5);
            surf.insert(surf.end(), {'U', 'V', 0, 0, 0, 0});  // 5 bytes and the pad
        }
        LwoWriter::AppendChunk(body, "SURF", surf);
    }

    std::string form_;
    std::vector<Layer> layers_;
};

}  // namespace qavren::tools
