// A texture image ready for sampling: a mip pyramid over a decoded Image,
// and the sampler that reads it with a layer's wrap modes.
//
// Pyramid. Level 0 is the image itself; each further level halves both
// sides (rounding down, never below 1) until both are 1. A texel of the
// next level is the box average of the 2 × 2 texels it covers; where a side
// is odd, the last texel of that side also takes the leftover row or column,
// so every texel of a level counts in exactly one texel of the next. Colours
// are averaged weighted by alpha (as premultiplied colour would be), so that
// transparent texels lend no colour to their neighbours; integer arithmetic
// with rounding to nearest throughout.
//
// Sampling. The caller gives the footprint of a sample: how far u and v move
// to the next pixel. The level is the nearest one by that footprint: the
// first at which the footprint spans at most √2 texels. Within the level the
// texel is bilinear, weights in 1/256ths, colours again weighted by alpha.
// One level, not two blended (trilinear): on pictures of a few hundred
// pixels the seam between levels is below what one can see, and the
// sample costs four texels rather than eight.
//
// Wrap, per axis: reset (outside 0..1 the layer is transparent: no texel),
// repeat, mirror (every other repeat reversed) and edge (the border texel
// continues). NaN and infinite coordinates lie outside the image: reset
// gives no texel, the others read at 0. Every coordinate is reduced to the
// image before it becomes an integer.
//
// Everything is integer or fixed-order double arithmetic: the same bytes on
// every build.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/image.h"
#include "object/texture_blend.h"
#include "object/textures.h"
#include "platform/owned_array.h"
#include "platform/status.h"
#include "render/texture_map.h"

namespace qavren {

// What a sample reads: straight colour and alpha in 0..1; `hit` is false
// where the wrap mode leaves the layer transparent.
struct Texel {
    FloatRgb colour = {0, 0, 0};
    float alpha = 0;
    bool hit = false;
};

class MipPyramid {
public:
    static constexpr uint32_t kMaxLevels = 32;

    MipPyramid() = default;
    MipPyramid(const MipPyramid&) = delete;
    MipPyramid& operator=(const MipPyramid&) = delete;

    // Takes the image and builds the smaller levels: 0; -7 for an empty
    // image; -4 when the levels' memory cannot be had. On failure the
    // pyramid is empty, and the layer is drawn untextured.
    Status Build(Image&& image);
    void Reset();

    bool empty() const { return level_count_ == 0; }
    uint32_t level_count() const { return level_count_; }
    uint32_t width(uint32_t level) const { return levels_[level].width; }
    uint32_t height(uint32_t level) const { return levels_[level].height; }
    // The RGBA texels of a level, rows from the top.
    const uint8_t* pixels(uint32_t level) const;

    // The level for a footprint of du, dv (magnitudes in u and v).
    uint32_t LevelFor(float du, float dv) const;
    // The bilinear texel at (u, v) of `level`.
    Texel SampleLevel(uint32_t level, TextureCoordinates uv, WrapMode wrap_u, WrapMode wrap_v) const;
    Texel Sample(TextureCoordinates uv, float du, float dv, WrapMode wrap_u, WrapMode wrap_v) const {
        return empty() ? Texel{} : SampleLevel(LevelFor(du, dv), uv, wrap_u, wrap_v);
    }

private:
    struct Level {
        uint32_t width = 0, height = 0;
        size_t offset = 0;  // into smaller_; level 0 is base_
    };
    Image base_;
    OwnedArray<uint8_t> smaller_;
    Level levels_[kMaxLevels];
    uint32_t level_count_ = 0;
};

}  // namespace qavren
