// The pyramid and sampler told in texture_image.h.
#include "render/texture_image.h"

#include <cmath>

namespace qavren {
namespace {

// One axis of a bilinear read: the two texels and the second's weight in
// 1/256ths.
struct AxisTaps {
    uint32_t first, second, weight;
};

// Reduces u to the image by the wrap mode and finds its taps in a side of
// `n` texels (n <= 2^26, so every value below is exact in a double); false
// where reset leaves the image.
bool Taps(float coordinate, uint32_t n, WrapMode mode, AxisTaps* taps) {
    double u = coordinate;
    const bool finite = std::isfinite(u);
    switch (mode) {
    case WrapMode::kReset:
        if (!(u >= 0 && u <= 1)) return false;
        break;
    case WrapMode::kEdge: u = finite ? (u < 0 ? 0 : u > 1 ? 1 : u) : 0; break;
    case WrapMode::kRepeat: u = finite ? u - std::floor(u) : 0; break;
    case WrapMode::kMirror:
        u = finite ? u - 2 * std::floor(u / 2) : 0;  // 0..2
        if (u > 1) u = 2 - u;
        break;
    }
    // Now 0 <= u <= 1: texel centres sit at (k + 1/2) / n.
    const double x = u * n - 0.5;
    const double floor_x = std::floor(x);
    uint32_t weight = static_cast<uint32_t>((x - floor_x) * 256 + 0.5);  // 0..256
    const int64_t k = static_cast<int64_t>(floor_x);                     // -1..n-1
    const int64_t last = int64_t{n} - 1;
    if (mode == WrapMode::kRepeat) {
        taps->first = static_cast<uint32_t>(k < 0 ? last : k);
        taps->second = static_cast<uint32_t>(k + 1 > last ? 0 : k + 1);
    } else {  // beyond the border the border texel continues
        taps->first = static_cast<uint32_t>(k < 0 ? 0 : k);
        taps->second = static_cast<uint32_t>(k + 1 > last ? last : k + 1);
    }
    taps->weight = weight;
    return true;
}

// One texel of the next level from the (up to 3 × 3) texels it covers.
void AverageBlock(const uint8_t* source, uint32_t width, uint32_t x0, uint32_t x1, uint32_t y0, uint32_t y1,
                  uint8_t* out) {
    uint32_t count = 0, alpha = 0, plain[3] = {0, 0, 0}, weighted[3] = {0, 0, 0};
    for (uint32_t y = y0; y <= y1; ++y) {
        const uint8_t* t = source + (size_t{y} * width + x0) * 4;
        for (uint32_t x = x0; x <= x1; ++x, t += 4) {
            ++count;
            alpha += t[3];
            for (int c = 0; c < 3; ++c) {
                plain[c] += t[c];
                weighted[c] += uint32_t{t[c]} * t[3];  // at most 9 · 255 · 255
            }
        }
    }
    for (int c = 0; c < 3; ++c)
        out[c] = static_cast<uint8_t>(alpha ? (weighted[c] + alpha / 2) / alpha : (plain[c] + count / 2) / count);
    out[3] = static_cast<uint8_t>((alpha + count / 2) / count);
}

void Downsample(const uint8_t* source, uint32_t width, uint32_t height, uint8_t* out, uint32_t out_width,
                uint32_t out_height) {
    for (uint32_t j = 0; j < out_height; ++j) {
        const uint32_t y0 = height == 1 ? 0 : 2 * j;
        const uint32_t y1 = height == 1 ? 0 : j + 1 == out_height ? height - 1 : 2 * j + 1;
        for (uint32_t i = 0; i < out_width; ++i) {
            const uint32_t x0 = width == 1 ? 0 : 2 * i;
            const uint32_t x1 = width == 1 ? 0 : i + 1 == out_width ? width - 1 : 2 * i + 1;
            uint8_t* to = out + (size_t{j} * out_width + i) * 4;
            if (x1 == x0 + 1 && y1 == y0 + 1) {
                // Four texels of one alpha (an opaque image's every block):
                // the alpha-weighted mean is the plain one, to the bit.
                const uint8_t* t = source + (size_t{y0} * width + x0) * 4;
                const uint8_t* b = t + size_t{width} * 4;
                if (t[3] == t[7] && t[3] == b[3] && t[3] == b[7]) {
                    for (int c = 0; c < 3; ++c) to[c] = static_cast<uint8_t>((t[c] + t[c + 4] + b[c] + b[c + 4] + 2u) / 4);
                    to[3] = t[3];
                    continue;
                }
            }
            AverageBlock(source, width, x0, x1, y0, y1, to);
        }
    }
}

}  // namespace

void MipPyramid::Reset() {
    base_.Release();
    smaller_.Reset();
    level_count_ = 0;
}

Status MipPyramid::Build(Image&& image) {
    Reset();
    if (image.empty() || image.width() == 0 || image.height() == 0 ||
        uint64_t{image.width()} * image.height() > kMaxImagePixels)
        return status::kUnsupportedInput;
    base_ = static_cast<Image&&>(image);
    // The levels' sizes and offsets; at most 27 levels for sides of 2^26.
    uint32_t w = base_.width(), h = base_.height();
    uint64_t bytes = 0;
    levels_[0] = {w, h, 0};
    uint32_t count = 1;
    while ((w > 1 || h > 1) && count < kMaxLevels) {
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
        levels_[count++] = {w, h, static_cast<size_t>(bytes)};
        bytes += uint64_t{w} * h * 4;  // below 2^28 in all
    }
    if (Failed(smaller_.Allocate(bytes))) {
        Reset();
        return status::kNoMemory;
    }
    level_count_ = count;
    for (uint32_t k = 1; k < count; ++k)
        Downsample(pixels(k - 1), levels_[k - 1].width, levels_[k - 1].height, smaller_.data() + levels_[k].offset,
                   levels_[k].width, levels_[k].height);
    return status::kOk;
}

const uint8_t* MipPyramid::pixels(uint32_t level) const {
    return level == 0 ? base_.pixels() : smaller_.data() + levels_[level].offset;
}

uint32_t MipPyramid::LevelFor(float du, float dv) const {
    const double across = std::fabs(double{du}) * levels_[0].width;
    const double down = std::fabs(double{dv}) * levels_[0].height;
    double footprint = across > down ? across : down;  // NaN: level 0
    uint32_t level = 0;
    while (footprint > 1.4142135623730951 && level + 1 < level_count_) {
        footprint *= 0.5;
        ++level;
    }
    return level;
}

Texel MipPyramid::SampleLevel(uint32_t level, TextureCoordinates uv, WrapMode wrap_u, WrapMode wrap_v) const {
    if (level >= level_count_) return {};
    const Level& l = levels_[level];
    AxisTaps across, down;
    // v runs up the image; rows run down it.
    if (!Taps(uv.u, l.width, wrap_u, &across) || !Taps(1 - uv.v, l.height, wrap_v, &down)) return {};
    const uint8_t* texels = pixels(level);
    const uint8_t* t[4] = {
        texels + (size_t{down.first} * l.width + across.first) * 4,
        texels + (size_t{down.first} * l.width + across.second) * 4,
        texels + (size_t{down.second} * l.width + across.first) * 4,
        texels + (size_t{down.second} * l.width + across.second) * 4,
    };
    const uint32_t w[4] = {(256 - across.weight) * (256 - down.weight), across.weight * (256 - down.weight),
                           (256 - across.weight) * down.weight, across.weight * down.weight};  // sum 65536
    uint64_t alpha = 0, plain[3] = {0, 0, 0}, weighted[3] = {0, 0, 0};
    for (int k = 0; k < 4; ++k) {
        alpha += uint64_t{w[k]} * t[k][3];
        for (int c = 0; c < 3; ++c) {
            plain[c] += uint64_t{w[k]} * t[k][c];
            weighted[c] += uint64_t{w[k]} * t[k][c] * t[k][3];
        }
    }
    Texel out;
    out.hit = true;
    out.alpha = static_cast<float>(static_cast<double>(alpha) / (65536.0 * 255));
    float* colour[3] = {&out.colour.r, &out.colour.g, &out.colour.b};
    for (int c = 0; c < 3; ++c)
        *colour[c] = static_cast<float>(alpha ? static_cast<double>(weighted[c]) / (static_cast<double>(alpha) * 255)
                                              : static_cast<double>(plain[c]) / (65536.0 * 255));
    return out;
}

}  // namespace qavren
