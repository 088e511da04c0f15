// Writes image texture layers of the colour channel in each form's layout:
// LWOB's CTEX run of sub-chunks, LWO2's BLOK, LWO3's FORM BLOK (4-byte
// lengths, enveloped values in FORMs of their own), and the CLIPs they
// name. Used by the writers of lwo_writer.h and layered_writer.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qavren::tools {

// One layer, in LWO2's numbering (projection 0 planar ... 5 UV; wrap 0
// reset, 1 repeat, 2 mirror, 3 edge; blend as OPAC's types).
struct TextureRecipe {
    std::string image = "C:\\maps\\brick.jpg";
    uint16_t projection = 0;
    uint16_t axis = 1;
    float centre[3] = {0.5f, -1.0f, 2.0f};
    float size[3] = {2.0f, 3.0f, 4.0f};
    float rotation[3] = {0.25f, 0.0f, -0.5f};  // LWO2, LWO3 only
    bool world = false;
    uint16_t wrap_width = 1, wrap_height = 2;
    float repeat_width = 1.0f, repeat_height = 1.0f;  // LWO2, LWO3 only
    std::string uv_map;                               // LWO2, LWO3 only
    uint16_t blend = 0;                               // LWO2, LWO3 only
    float opacity = 1.0f;
    bool negative = false;
    bool pixel_blending = true;
    bool enabled = true;  // LWO2, LWO3 only
    std::string ordinal = "\x80";
};

using TextureBytes = std::vector<uint8_t>;

// LWOB: CTEX and the T... sub-chunks after it, appended to a SURF's body.
void AppendLwobTexture(TextureBytes& surf, const TextureRecipe& t);
// LWO2: a BLOK sub-chunk naming clip `clip`, appended to a SURF's body;
// LWO3 (`wide`): a FORM BLOK chunk, appended to a FORM TXTR's body.
void AppendTextureBlock(TextureBytes& out, const TextureRecipe& t, uint32_t clip, bool wide);
// A CLIP chunk (LWO2) or FORM CLIP (LWO3) with a STIL name, appended to the object's body.
void AppendClip(TextureBytes& body, uint32_t clip, const std::string& name, bool wide);

// One value of a vertex map: its point (numbered in its layer), for a
// per-corner map its polygon too, and `dimension` floats.
struct VertexMapValue {
    uint32_t point = 0;
    uint32_t polygon = 0;
    std::vector<float> value;
};
// A VMAP chunk (per point) or, with `per_corner`, a VMAD chunk (per polygon
// corner) of type "TXUV", "RGB " or "RGBA", appended to the object's body
// (LWO2 and LWO3 alike); numbers are VX, each value has `dimension` floats.
void AppendVertexMap(TextureBytes& body, const char type[4], uint16_t dimension, const std::string& name,
                     const std::vector<VertexMapValue>& values, bool per_corner);

}  // namespace qavren::tools
