// Writes LWOB object files: points, polygons, surface names, and raw chunks
// for tests that need to build broken ones. Used by lwogen and the tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "tools/lwogen/texture_writer.h"

namespace qavren::tools {

// One surface as a writer describes it, in each form's own encoding.
struct SurfaceRecipe {
    std::string name;
    uint8_t red = 200, green = 200, blue = 200;
    bool smooth = false;      // LWOB: FLAG 4; LWO2, LWO3: SMAN = angle
    float angle = 0.0f;       // SMAN in radians; LWOB writes none for 0
    float diffuse = 1.0f;     // written when not 1
    float luminosity = 0.0f;  // written when not 0
    bool float_shares = false;  // LWOB: VDIF and VLUM beside DIFF and LUMI
    bool double_sided = false;
    bool described = true;    // false: the name alone, without a SURF chunk
    std::vector<TextureRecipe> textures;  // colour layers, bottom first; CLIPs numbered from 1 over the object
    std::string vertex_colours;  // LWO2, LWO3: VCOL naming this RGBA map, when not empty
};

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
    // A surface with its look written out in LWOB's sub-chunks.
    void AddSurface(const SurfaceRecipe& recipe) {
        surfaces_.push_back(recipe.name);
        recipes_.push_back(recipe);
    }

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
        size_t described = 0;
        for (const auto& s : surfaces_) {
            const bool recipe = described < recipes_.size() && recipes_[described].name == s;
            if (recipe && !recipes_[described++].described) continue;
            Bytes surf;
            PutName(surf, s);
            if (recipe) AppendLwobLook(surf, recipes_[described - 1]);
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

    // A sub-chunk with a 2-byte length, padded to an even length.
    static void AppendSubChunk(Bytes& out, const char tag[4], const Bytes& data) {
        out.insert(out.end(), tag, tag + 4);
        PutU16(out, static_cast<uint16_t>(data.size()));
        out.insert(out.end(), data.begin(), data.end());
        if (data.size() % 2) out.push_back(0);
    }
    static Bytes F32Bytes(float f) {
        Bytes b;
        PutF32(b, f);
        return b;
    }
    static Bytes U16Bytes(uint16_t v) {
        Bytes b;
        PutU16(b, v);
        return b;
    }

    // The look after the name: an odd-length sub-chunk no reader knows
    // first, as real files have them, then the values in LWOB's encoding.
    static void AppendLwobLook(Bytes& surf, const SurfaceRecipe& recipe) {
        AppendSubChunk(surf, "XTRA", Bytes{1, 2, 3});
        if (recipe.float_shares) {
            AppendSubChunk(surf, "VDIF", F32Bytes(recipe.diffuse));
            AppendSubChunk(surf, "VLUM", F32Bytes(recipe.luminosity));
        }
        AppendSubChunk(surf, "COLR", Bytes{recipe.red, recipe.green, recipe.blue, 0});
        const uint16_t flags = static_cast<uint16_t>((recipe.smooth ? 4 : 0) | (recipe.double_sided ? 256 : 0));
        if (flags) AppendSubChunk(surf, "FLAG", U16Bytes(flags));
        if (recipe.angle > 0) AppendSubChunk(surf, "SMAN", F32Bytes(recipe.angle));
        // With the floats written, the words are deliberately off by a step.
        const int off = recipe.float_shares ? 1 : 0;
        if (recipe.diffuse != 1.0f || recipe.float_shares) {
            AppendSubChunk(surf, "DIFF", U16Bytes(static_cast<uint16_t>(recipe.diffuse * 256.0f + 0.5f) + off));
        }
        if (recipe.luminosity != 0.0f || recipe.float_shares) {
            AppendSubChunk(surf, "LUMI", U16Bytes(static_cast<uint16_t>(recipe.luminosity * 256.0f + 0.5f) + off));
        }
        for (const TextureRecipe& t : recipe.textures) AppendLwobTexture(surf, t);
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
    std::vector<SurfaceRecipe> recipes_;  // in the order of their names in surfaces_
};

// Shapes for samples, tests and benchmarks.
LwoWriter MakeCube();
LwoWriter MakeSphere(int rings, int segments);
LwoWriter MakeTorus(int rings, int segments, float major, float minor);

}  // namespace qavren::tools
