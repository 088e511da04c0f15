// Texture sampling's speed: samples per second of the sampler at level 0
// and minified, of each projection's placement, of two layers laid on a
// sample, and the time to build a 1024 × 1024 image's levels. Run with
// qavren_bench --benchmark_filter=^texture_ (counter items_per_second).
// Then whole thumbnails of four textured corpus objects, from the file to
// the pixels, with their images and without (--benchmark_filter=^thumbnail_).
#include <benchmark/benchmark.h>

#include <string>

#include "render/texture_shade.h"
#include "render/thumbnail.h"

namespace qavren::bench {
namespace {

constexpr uint32_t kSide = 1024;

Image Noise() {
    Image image;
    if (image.Allocate(kSide, kSide) != 0) return image;
    uint32_t x = 2463534242u;
    for (size_t k = 0; k < size_t{kSide} * kSide * 4; ++k) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        image.pixels()[k] = static_cast<uint8_t>(x);
    }
    return image;
}

const MipPyramid& Pyramid() {
    static MipPyramid pyramid;
    if (pyramid.empty()) (void)pyramid.Build(Noise());
    return pyramid;
}

// A walk over the image in steps that are not a multiple of a texel.
void Sample(benchmark::State& state) {
    const MipPyramid& image = Pyramid();
    const float footprint = static_cast<float>(state.range(0)) / kSide;
    float u = 0, v = 0, sum = 0;
    for (auto _ : state) {
        for (int k = 0; k < 1024; ++k) {
            u += 0.0137f, v += 0.0071f;
            sum += image.Sample({u, v}, footprint, footprint, WrapMode::kRepeat, WrapMode::kMirror).colour.g;
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * 1024);
}
BENCHMARK(Sample)->Name("texture_sample")->Arg(1)->Arg(8);

void Place(benchmark::State& state) {
    TextureLayer layer;
    layer.projection = static_cast<Projection>(state.range(0));
    layer.axis = 1;
    layer.rotation[0] = 0.3f;
    const TextureMapping mapping(layer);
    float p[3] = {0.1f, 0.2f, 0.3f}, sum = 0;
    for (auto _ : state) {
        for (int k = 0; k < 1024; ++k) {
            p[0] += 0.013f, p[1] -= 0.007f, p[2] += 0.011f;
            sum += mapping.Map(p, p).u;
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * 1024);
}
BENCHMARK(Place)->Name("texture_place")->DenseRange(0, 3);  // planar, cylindrical, spherical, cubic

void Shade(benchmark::State& state) {
    TextureLayer spherical, uv;
    spherical.projection = Projection::kSpherical, spherical.axis = 1;
    uv.projection = Projection::kUv, uv.opacity = 0.5f;
    const TextureBinding layers[2] = {{&spherical, TextureMapping(spherical), &Pyramid()}, {&uv, {}, &Pyramid()}};
    LayerSample samples[2];
    samples[1].has_uv = true;
    float p[3] = {0.1f, 0.2f, 0.3f}, sum = 0;
    for (auto _ : state) {
        for (int k = 0; k < 1024; ++k) {
            p[0] += 0.013f, p[1] -= 0.007f, p[2] += 0.011f;
            samples[1].uv = {p[0], p[1]};
            sum += ShadeTextured(layers, 2, {0.5f, 0.5f, 0.5f}, p, p, samples).r;
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * 1024);
}
BENCHMARK(Shade)->Name("texture_shade_two_layers");

void Build(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Image image = Noise();
        MipPyramid pyramid;
        state.ResumeTiming();
        benchmark::DoNotOptimize(pyramid.Build(static_cast<Image&&>(image)));
    }
}
BENCHMARK(Build)->Name("texture_levels_1024")->Unit(benchmark::kMillisecond);

// A 256 × 256 thumbnail read from its file and drawn, its images found
// around it (decoded, levels built and sampled) or not looked for.
void Thumbnail(benchmark::State& state, std::string path, bool textured) {
    const DiskTextures disk(path.c_str(), nullptr, 0);
    ThumbnailOptions options = ThumbnailDefaults();
    options.textures = textured ? &disk : nullptr;
    options.drawing.threads = 1;
    for (auto _ : state) {
        ObjectBuffer buffer;
        RgbaPicture picture;
        if (buffer.LoadFromFile(path.c_str(), 0) != 0 || DrawThumbnail(buffer, 256, 256, options, &picture) != 0) {
            state.SkipWithError("no picture");
            return;
        }
        benchmark::DoNotOptimize(picture.pixels());
    }
}

const bool kThumbnails = [] {
    const char* objects[] = {"assimp_earth_spherical_y/earth_spherical_y.lwo", "lwoloader_swingSet/Objects/LWO2/swingSet.lwo",
                             "lwoloader_sign/Objects/LWO2/sign.lwo", "assimp_rifle/LWO/LWO2/rifle.lwo"};
    for (const char* object : objects) {
        const std::string path = std::string(QAVREN_SOURCE_DIR) + "/../shared/corpus/textured/" + object;
        const std::string name = std::string(object).substr(0, std::string(object).find('/'));
        for (const bool textured : {true, false}) {
            benchmark::RegisterBenchmark(("thumbnail_" + std::string(textured ? "textured/" : "plain/") + name).c_str(),
                                         Thumbnail, path, textured)
                ->Unit(benchmark::kMillisecond);
        }
    }
    return true;
}();

}  // namespace
}  // namespace qavren::bench
