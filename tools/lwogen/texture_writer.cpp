// The texture writer: see texture_writer.h.
#include "tools/lwogen/texture_writer.h"

#include "tools/lwogen/lwo_writer.h"

namespace qavren::tools {
namespace {

using Bytes = TextureBytes;

void PutName(Bytes& out, const std::string& s) {
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(0);
    if (out.size() % 2) out.push_back(0);
}

// A sub-chunk with a 2-byte length (narrow) or a 4-byte one (wide).
void Sub(Bytes& out, const char tag[4], const Bytes& data, bool wide) {
    if (wide) return LwoWriter::AppendChunk(out, tag, data);
    LwoWriter::AppendSubChunk(out, tag, data);
}

// A value with an envelope: plain in LWO2, FORM <tag> around a blank chunk in LWO3.
void Enveloped(Bytes& out, const char tag[4], Bytes value, bool wide) {
    LwoWriter::PutU16(value, 0);
    if (!wide) return Sub(out, tag, value, false);
    Bytes form(tag, tag + 4);
    LwoWriter::AppendChunk(form, "    ", value);
    LwoWriter::AppendChunk(out, "FORM", form);
}

Bytes Vector(const float v[3]) {
    Bytes b;
    for (int k = 0; k < 3; ++k) LwoWriter::PutF32(b, v[k]);
    return b;
}

}  // namespace

void AppendLwobTexture(Bytes& surf, const TextureRecipe& t) {
    static const char* const kNames[] = {"Planar Image Map", "Cylindrical Image Map", "Spherical Image Map",
                                         "Cubic Image Map", "Front Projection Image Map"};
    Bytes name;
    PutName(name, t.projection < 5 ? kNames[t.projection] : "Fractal Noise");
    LwoWriter::AppendSubChunk(surf, "CTEX", name);
    Bytes image;
    PutName(image, t.image);
    LwoWriter::AppendSubChunk(surf, "TIMG", image);
    const uint16_t flags = static_cast<uint16_t>((1 << t.axis) | (t.world ? 8 : 0) | (t.negative ? 16 : 0) |
                                                 (t.pixel_blending ? 32 : 0));
    LwoWriter::AppendSubChunk(surf, "TFLG", LwoWriter::U16Bytes(flags));
    LwoWriter::AppendSubChunk(surf, "TSIZ", Vector(t.size));
    LwoWriter::AppendSubChunk(surf, "TCTR", Vector(t.centre));
    // LWOB's wrap numbers: 0 black, 1 clamp, 2 repeat, 3 mirror.
    static const uint16_t kLwobWrap[] = {0, 2, 3, 1};
    Bytes wrap;
    LwoWriter::PutU16(wrap, kLwobWrap[t.wrap_width & 3]);
    LwoWriter::PutU16(wrap, kLwobWrap[t.wrap_height & 3]);
    LwoWriter::AppendSubChunk(surf, "TWRP", wrap);
    LwoWriter::AppendSubChunk(surf, "TAAS", LwoWriter::F32Bytes(1.0f));
    LwoWriter::AppendSubChunk(surf, "TOPC", LwoWriter::F32Bytes(t.opacity));
}

void AppendTextureBlock(Bytes& out, const TextureRecipe& t, uint32_t clip, bool wide) {
    Bytes header;
    if (wide) {
        header = {'I', 'M', 'A', 'P'};
        Bytes ordinal;
        PutName(ordinal, t.ordinal);
        LwoWriter::AppendChunk(header, "    ", ordinal);
    } else {
        PutName(header, t.ordinal);
    }
    Sub(header, "CHAN", Bytes{'C', 'O', 'L', 'R'}, wide);
    Bytes opacity = LwoWriter::U16Bytes(t.blend);
    LwoWriter::PutF32(opacity, t.opacity);
    Enveloped(header, "OPAC", opacity, wide);
    Sub(header, "ENAB", LwoWriter::U16Bytes(t.enabled), wide);
    Sub(header, "NEGA", LwoWriter::U16Bytes(t.negative), wide);
    Bytes block;
    if (wide) {
        block = {'B', 'L', 'O', 'K'};
        LwoWriter::AppendChunk(block, "FORM", header);
    } else {
        Sub(block, "IMAP", header, false);
    }
    Bytes map;
    if (wide) map = {'T', 'M', 'A', 'P'};
    Enveloped(map, "CNTR", Vector(t.centre), wide);
    Enveloped(map, "SIZE", Vector(t.size), wide);
    Enveloped(map, "ROTA", Vector(t.rotation), wide);
    Sub(map, "CSYS", LwoWriter::U16Bytes(t.world), wide);
    if (wide) LwoWriter::AppendChunk(block, "FORM", map);
    else Sub(block, "TMAP", map, false);
    Sub(block, "PROJ", LwoWriter::U16Bytes(t.projection), wide);
    Sub(block, "AXIS", LwoWriter::U16Bytes(t.axis), wide);
    Sub(block, "IMAG", LwoWriter::U16Bytes(static_cast<uint16_t>(clip)), wide);
    Bytes wrap = LwoWriter::U16Bytes(t.wrap_width);
    LwoWriter::PutU16(wrap, t.wrap_height);
    Sub(block, "WRAP", wrap, wide);
    Enveloped(block, "WRPW", LwoWriter::F32Bytes(t.repeat_width), wide);
    Enveloped(block, "WRPH", LwoWriter::F32Bytes(t.repeat_height), wide);
    if (!t.uv_map.empty()) {
        Bytes name;
        PutName(name, t.uv_map);
        Sub(block, "VMAP", name, wide);
    }
    Sub(block, "PIXB", LwoWriter::U16Bytes(t.pixel_blending), wide);
    if (wide) LwoWriter::AppendChunk(out, "FORM", block);
    else Sub(out, "BLOK", block, false);
}

void AppendClip(Bytes& body, uint32_t clip, const std::string& name, bool wide) {
    Bytes data;
    Bytes index;
    LwoWriter::PutU32(index, clip);
    Bytes stil;
    PutName(stil, name);
    if (wide) {
        data = {'C', 'L', 'I', 'P'};
        LwoWriter::AppendChunk(data, "    ", index);
        Bytes form = {'S', 'T', 'I', 'L'};
        LwoWriter::AppendChunk(form, "    ", stil);
        LwoWriter::AppendChunk(data, "FORM", form);
        LwoWriter::AppendChunk(body, "FORM", data);
        return;
    }
    data = index;
    LwoWriter::AppendSubChunk(data, "STIL", stil);
    LwoWriter::AppendChunk(body, "CLIP", data);
}

void AppendVertexMap(Bytes& body, const char type[4], uint16_t dimension, const std::string& name,
                     const std::vector<VertexMapValue>& values, bool per_corner) {
    Bytes data(type, type + 4);
    LwoWriter::PutU16(data, dimension);
    PutName(data, name);
    auto vx = [&data](uint32_t n) {
        if (n < 0xFF00) LwoWriter::PutU16(data, static_cast<uint16_t>(n));
        else LwoWriter::PutU32(data, 0xFF000000u | n);
    };
    for (const VertexMapValue& v : values) {
        vx(v.point);
        if (per_corner) vx(v.polygon);
        for (uint16_t k = 0; k < dimension; ++k) LwoWriter::PutF32(data, k < v.value.size() ? v.value[k] : 0.0f);
    }
    LwoWriter::AppendChunk(body, per_corner ? "VMAD" : "VMAP", data);
}

}  // namespace qavren::tools
