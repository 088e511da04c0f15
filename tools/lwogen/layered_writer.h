// Writes objects of the layered forms: LWO2 and LWO3 (LAYR, PNTS, typed
// POLS chunks with variable-length indices, surfaces as LWO2 SURF chunks or
// LWO3 nested FORMs) and LWLO (LAYR with LWOB-layout PNTS and POLS). The
// same model also comes out flattened into an LWOB object: the points of
// the drawn layers concatenated, their drawn polygons renumbered, which is
// how the renderers must see it. Polygons may be given surfaces (PTAG in
// LWO2 and LWO3, the surface word in LWLO, with detail polygons), and the
// writer tells which surface each drawn polygon should get. Used by lwogen,
// the tests and benchmarks.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
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
        layers_.push_back({number, flags, name, parent, {}, 0, {}, {}});
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
        if (l.chunks.empty() || l.chunks.back().type != type) l.chunks.push_back({type, {}, {}, {}});
        Bytes& out = l.chunks.back().records;
        l.chunks.back().tags.push_back(surface_);
        l.chunks.back().expected.push_back(surface_ >= 0 ? static_cast<uint32_t>(surface_) + 1 : 0);
        if (IsLwlo()) {
            PutLwloRecord(out, indices, surfaces_.empty() ? 1 : static_cast<int16_t>(surface_ + 1));
            return;
        }
        LwoWriter::PutU16(out, static_cast<uint16_t>(indices.size() & 0x3FF));
        for (uint32_t i : indices) PutIndex(out, i, long_indices);
    }

    // A VMAP (or, `per_corner`, a VMAD) of the latest layer, written after
    // its polygons (see AppendVertexMap); LWO2 and LWO3 only.
    void AddVertexMap(const char type[4], uint16_t dimension, const std::string& name,
                      const std::vector<VertexMapValue>& values, bool per_corner = false) {
        AppendVertexMap(Current().maps, type, dimension, name, values, per_corner);
    }

    // Surfaces, numbered from 0 in the order added: the TAGS (LWO2, LWO3)
    // or SRFS (LWLO) names, and a SURF for each one that is described.
    int AddSurface(const SurfaceRecipe& recipe) {
        surfaces_.push_back(recipe);
        return static_cast<int>(surfaces_.size()) - 1;
    }
    // The surface of the polygons added from now on; -1: none (no PTAG
    // entry in LWO2 and LWO3, surface word 0 in LWLO).
    void UseSurface(int surface) { surface_ = surface; }
    // PTAG polygon numbers in the 4-byte VX form.
    void WriteLongPolygonNumbers() { long_ptag_ = true; }

    // LWLO: a polygon on `surface` (a negative word) followed by detail
    // polygons, each with its own surface.
    void AddDetailedPolygon(const std::vector<uint32_t>& indices, int surface,
                            const std::vector<std::pair<std::vector<uint32_t>, int>>& details) {
        Layer& l = Current();
        if (l.chunks.empty()) l.chunks.push_back({"FACE", {}, {}, {}});
        Pols& c = l.chunks.back();
        PutLwloRecord(c.records, indices, static_cast<int16_t>(-(surface + 1)));
        LwoWriter::PutU16(c.records, static_cast<uint16_t>(details.size()));
        c.expected.push_back(static_cast<uint32_t>(surface) + 1);
        for (const auto& [detail, detail_surface] : details) {
            PutLwloRecord(c.records, detail, static_cast<int16_t>(detail_surface + 1));
            c.expected.push_back(detail_surface >= 0 ? static_cast<uint32_t>(detail_surface) + 1 : 0);
        }
    }

    // The surface each drawn polygon should get, in the order the polygon
    // walk hands them out: 0 for the default, else the surface's number + 1.
    std::vector<uint32_t> DrawnSurfaces() const {
        std::vector<uint32_t> out;
        for (const Layer& l : layers_) {
            if (!IsLwlo() && (l.flags & 1)) continue;
            for (const Pols& c : l.chunks) {
                if (!IsLwlo() && c.type != "FACE" && c.type != "PTCH" && c.type != "SUBD") continue;
                for (uint32_t e : c.expected) out.push_back(surfaces_.empty() ? 0 : e);
            }
        }
        return out;
    }

    // The object as a file.
    Bytes Build() const {
        Bytes body(form_.begin(), form_.end());
        Bytes names;
        for (const SurfaceRecipe& recipe : surfaces_) PutName(names, recipe.name);
        if (surfaces_.empty() && !IsLwlo()) PutName(names, "Default");
        if (!names.empty()) LwoWriter::AppendChunk(body, IsLwlo() ? "SRFS" : "TAGS", names);
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
                AppendPolygonTags(body, c);
            }
            body.insert(body.end(), l.maps.begin(), l.maps.end());
        }
        uint32_t clip = 0;
        for (const SurfaceRecipe& recipe : surfaces_) {
            for (const TextureRecipe& t : recipe.textures) {
                if (recipe.described && !IsLwlo()) AppendClip(body, ++clip, t.image, form_ == "LWO3");
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
                    if (IsLwlo()) {
                        const bool details = c.records[at] & 0x80;  // a negative surface word
                        at += details ? 4 : 2;  // the surface, and the count of details
                    }
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
        std::vector<int> tags;           // LWO2, LWO3: each record's surface, or -1
        std::vector<uint32_t> expected;  // each polygon's surface number as read
    };
    struct Layer {
        int number;  // -1: the chunks before any LAYR
        uint16_t flags;
        std::string name;
        int parent;
        Bytes points;
        uint32_t point_count;
        std::vector<Pols> chunks;
        Bytes maps;  // VMAP and VMAD chunks
    };

    bool IsLwlo() const { return form_ == "LWLO"; }

    Layer& Current() {
        if (layers_.empty()) layers_.push_back({-1, 0, "", -1, {}, 0, {}, {}});
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

    static void PutLwloRecord(Bytes& out, const std::vector<uint32_t>& indices, int16_t surface) {
        LwoWriter::PutU16(out, static_cast<uint16_t>(indices.size()));
        for (uint32_t i : indices) LwoWriter::PutU16(out, static_cast<uint16_t>(i));
        LwoWriter::PutU16(out, static_cast<uint16_t>(surface));
    }

    static void PutF64(Bytes& out, double d) {
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        LwoWriter::PutU32(out, static_cast<uint32_t>(bits >> 32));
        LwoWriter::PutU32(out, static_cast<uint32_t>(bits));
    }

    // PTAG SURF after a POLS chunk of LWO2 or LWO3: the chunk's polygons
    // that have a surface, by their number within the chunk.
    void AppendPolygonTags(Bytes& body, const Pols& c) const {
        if (IsLwlo()) return;
        Bytes ptag = {'S', 'U', 'R', 'F'};
        bool any = false;
        for (size_t k = 0; k < c.tags.size(); ++k) {
            if (c.tags[k] < 0) continue;
            any = true;
            PutIndex(ptag, static_cast<uint32_t>(k), long_ptag_);
            LwoWriter::PutU16(ptag, static_cast<uint16_t>(c.tags[k]));
        }
        if (any) LwoWriter::AppendChunk(body, "PTAG", ptag);
    }

    // VCOL: intensity 1, no envelope, an RGBA map.
    static Bytes VertexColours(const SurfaceRecipe& recipe) {
        Bytes v = LwoWriter::F32Bytes(1.0f);
        LwoWriter::PutU16(v, 0);
        v.insert(v.end(), {'R', 'G', 'B', 'A'});
        PutName(v, recipe.vertex_colours);
        return v;
    }

    // An LWO2 SURF: name, source, 2-byte sub-chunks, one of odd length.
    static Bytes Lwo2Surface(const SurfaceRecipe& recipe, uint32_t first_clip) {
        Bytes surf;
        PutName(surf, recipe.name);
        PutName(surf, "");
        LwoWriter::AppendSubChunk(surf, "XTRA", Bytes{1, 2, 3});
        Bytes colour;
        for (uint8_t c : {recipe.red, recipe.green, recipe.blue}) LwoWriter::PutF32(colour, c / 255.0f);
        LwoWriter::PutU16(colour, 0);  // no envelope
        LwoWriter::AppendSubChunk(surf, "COLR", colour);
        Bytes share = LwoWriter::F32Bytes(recipe.diffuse);
        LwoWriter::PutU16(share, 0);
        LwoWriter::AppendSubChunk(surf, "DIFF", share);
        share = LwoWriter::F32Bytes(recipe.luminosity);
        LwoWriter::PutU16(share, 0);
        LwoWriter::AppendSubChunk(surf, "LUMI", share);
        if (recipe.smooth) LwoWriter::AppendSubChunk(surf, "SMAN", LwoWriter::F32Bytes(recipe.angle));
        if (recipe.double_sided) LwoWriter::AppendSubChunk(surf, "SIDE", LwoWriter::U16Bytes(3));
        for (const TextureRecipe& t : recipe.textures) AppendTextureBlock(surf, t, first_clip++, false);
        if (!recipe.vertex_colours.empty()) LwoWriter::AppendSubChunk(surf, "VCOL", VertexColours(recipe));
        return surf;
    }

    // One input of an LWO3 node: its name and its doubles, nested as real
    // files nest them.
    static Bytes NodeInput(const char* name, std::initializer_list<double> values, const Bytes& after = {}) {
        Bytes count;
        LwoWriter::PutU32(count, static_cast<uint32_t>(values.size()));
        for (double v : values) PutF64(count, v);
        Bytes inner = {'V', 'A', 'L', 'U'};
        LwoWriter::AppendChunk(inner, "    ", count);
        Bytes outer = {'V', 'A', 'L', 'U'};
        Bytes type;
        PutName(type, values.size() == 3 ? "vparam3" : "vparam");
        LwoWriter::AppendChunk(outer, "    ", type);
        LwoWriter::AppendChunk(outer, "FORM", inner);
        if (!after.empty()) LwoWriter::AppendChunk(outer, "FORM", after);
        Bytes entry = {'E', 'N', 'T', 'R'};
        Bytes text;
        PutName(text, name);
        LwoWriter::AppendChunk(entry, "NAME", text);
        LwoWriter::AppendChunk(entry, "FLAG", Bytes(4));
        LwoWriter::AppendChunk(entry, "FORM", outer);
        return entry;
    }

    // A node: its kind, then its name and inputs.
    static void AppendNode(Bytes& graph, const char* kind, const char* name, const char* attributes,
                           const std::vector<Bytes>& inputs) {
        Bytes text;
        PutName(text, kind);
        LwoWriter::AppendChunk(graph, "NSRV", text);
        Bytes adat = {'A', 'D', 'A', 'T'};
        for (const Bytes& input : inputs) LwoWriter::AppendChunk(adat, "FORM", input);
        Bytes meta = {'M', 'E', 'T', 'A'};
        LwoWriter::AppendChunk(meta, "VERS", Bytes{0, 0, 0, 1});
        LwoWriter::AppendChunk(meta, "FORM", adat);
        Bytes attr(attributes, attributes + 4);
        LwoWriter::AppendChunk(attr, "FORM", meta);
        Bytes data = {'N', 'D', 'T', 'A'};
        if (!inputs.empty()) LwoWriter::AppendChunk(data, "FORM", attr);
        Bytes tag = {'N', 'T', 'A', 'G'};
        text.clear();
        PutName(text, name);
        LwoWriter::AppendChunk(tag, "NNME", text);
        LwoWriter::AppendChunk(tag, "FORM", data);
        LwoWriter::AppendChunk(graph, "FORM", tag);
    }

    // An LWO3 FORM SURF: the names in a chunk of blank tag, SMAN and SIDE
    // with 4-byte lengths, and the node graph holding the look: a Standard
    // node plugged into the Surface node, behind a Principled BSDF node of
    // another colour that is not plugged in.
    static Bytes Lwo3Surface(const SurfaceRecipe& recipe, uint32_t first_clip) {
        Bytes form = {'S', 'U', 'R', 'F'};
        Bytes names;
        PutName(names, recipe.name);
        PutName(names, "");
        LwoWriter::AppendChunk(form, "    ", names);
        if (recipe.smooth) LwoWriter::AppendChunk(form, "SMAN", LwoWriter::F32Bytes(recipe.angle));
        if (recipe.double_sided) LwoWriter::AppendChunk(form, "SIDE", LwoWriter::U16Bytes(3));
        if (!recipe.vertex_colours.empty()) LwoWriter::AppendChunk(form, "VCOL", VertexColours(recipe));
        Bytes graph = {'N', 'N', 'D', 'S'};
        AppendNode(graph, "Surface", "Surface", "ATTR", {});
        AppendNode(graph, "Principled BSDF", "Principled BSDF (1)", "ATTR",
                   {NodeInput("Color", {0.1, 0.2, 0.3}), NodeInput("Luminous", {0.75})});
        Bytes layers;
        if (!recipe.textures.empty()) layers = {'T', 'X', 'T', 'R'};
        for (const TextureRecipe& t : recipe.textures) AppendTextureBlock(layers, t, first_clip++, true);
        AppendNode(graph, "Standard", "Standard (1)", "SATR",
                   {NodeInput("Color", {recipe.red / 255.0, recipe.green / 255.0, recipe.blue / 255.0}, layers),
                    NodeInput("Luminosity", {recipe.luminosity}), NodeInput("Diffuse", {recipe.diffuse})});
        Bytes connection = {'N', 'C', 'O', 'N'};
        const char* const fields[][2] = {
            {"INME", "Surface"}, {"IINM", "Material"}, {"IINN", "Standard (1)"}, {"IONM", "Material"}};
        for (const auto& field : fields) {
            Bytes text;
            PutName(text, field[1]);
            LwoWriter::AppendChunk(connection, field[0], text);
        }
        Bytes nodes = {'N', 'O', 'D', 'S'};
        LwoWriter::AppendChunk(nodes, "FORM", graph);
        LwoWriter::AppendChunk(nodes, "FORM", connection);
        LwoWriter::AppendChunk(form, "FORM", nodes);
        return form;
    }

    // One surface, with a sub-chunk of odd length (and its pad byte) as
    // real files have: SURF with 2-byte sub-chunk lengths in LWO2, a nested
    // FORM SURF with 4-byte ones in LWO3; LWLO gets an LWOB-style SURF.
    void AppendSurface(Bytes& body) const {
        if (!surfaces_.empty()) {
            uint32_t clip = 1;
            for (const SurfaceRecipe& recipe : surfaces_) {
                if (!recipe.described) continue;
                if (form_ == "LWO3") {
                    LwoWriter::AppendChunk(body, "FORM", Lwo3Surface(recipe, clip));
                } else if (!IsLwlo()) {
                    LwoWriter::AppendChunk(body, "SURF", Lwo2Surface(recipe, clip));
                } else {
                    Bytes surf;
                    PutName(surf, recipe.name);
                    LwoWriter::AppendLwobLook(surf, recipe);
                    LwoWriter::AppendChunk(body, "SURF", surf);
                }
                clip += static_cast<uint32_t>(recipe.textures.size());
            }
            return;
        }
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
    std::vector<SurfaceRecipe> surfaces_;
    int surface_ = -1;
    bool long_ptag_ = false;
};

}  // namespace qavren::tools
