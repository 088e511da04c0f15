// Binding a picture's image layers: the layers of the used surfaces listed,
// their distinct image names gathered, each image found, decoded and made a
// pyramid on the drawing threads (one image a piece), then every layer
// pointed at its image and maps.
#include "render/texture_bind.h"

#include <cstring>
#include <new>
#include <utility>

namespace qavren {
namespace {

constexpr uint32_t kNoImage = UINT32_MAX;  // a layer past the images looked for

bool SameName(const TextName& a, const TextName& b) {
    return a.length == b.length && (a.length == 0 || std::memcmp(a.bytes, b.bytes, a.length) == 0);
}

const VertexMapValues* FindMap(const TextureRecords& records, VertexMapType type, TextName name) {
    const int32_t k = records.FindMap(type, name);
    return k < 0 ? nullptr : &records.map(static_cast<uint32_t>(k));
}

}  // namespace

void BoundTextures::Reset() {
    for (uint32_t k = 0; k < image_count_; ++k) images_[k].~MipPyramid();
    images_ = nullptr;
    image_count_ = 0;
    image_block_.Reset();
    bindings_.Reset();
    first_.Reset();
    counts_.Reset();
    textured_.Reset();
    colour_maps_.Reset();
    surface_count_ = most_layers_ = 0;
}

void BoundTextures::Bind(const ObjectSurfaces& surfaces, const TextureSource* source, const DrawingOptions& drawing) {
    Reset();
    const uint32_t surface_count = surfaces.surface_count();
    const TextureRecords& records = surfaces.texture_records();
    uint64_t layer_count = 0;
    bool vertex_colours = false;
    for (uint32_t s = 0; s < surface_count; ++s) {
        if (surfaces.polygons_using(s) == 0) continue;
        layer_count += surfaces.textures(s).count;
        vertex_colours = vertex_colours || surfaces.textures(s).vertex_colours.present;
    }
    if (layer_count == 0 && !vertex_colours) return;  // nothing to bind: no blocks
    if (Failed(first_.Allocate(surface_count)) || Failed(counts_.Allocate(surface_count)) ||
        Failed(textured_.Allocate(surface_count)) || Failed(colour_maps_.Allocate(surface_count)) ||
        Failed(bindings_.Allocate(layer_count + 1))) {
        Reset();
        return;
    }
    surface_count_ = surface_count;
    // The layers, and for each its image: the first layer to name an image
    // names it for all (images are compared with those found so far, at
    // most kMostImages, so the work grows with the layers, not their square).
    OwnedArray<uint32_t> image_of;  // a layer's image number
    OwnedArray<uint32_t> namer;     // an image's first layer
    const bool with_images =
        source && !Failed(image_of.Allocate(layer_count + 1)) && !Failed(namer.Allocate(kMostImages));
    uint32_t next = 0, images = 0;
    for (uint32_t s = 0; s < surface_count; ++s) {
        first_[s] = next;
        if (surfaces.polygons_using(s) == 0) continue;
        const SurfaceTextures& t = surfaces.textures(s);
        if (t.vertex_colours.present) colour_maps_[s] = FindMap(records, VertexMapType::kColour, t.vertex_colours.map);
        for (uint32_t k = 0; k < t.count; ++k, ++next) {
            const TextureLayer& layer = surfaces.layer(s, k);
            TextureBinding& b = bindings_[next];
            b.layer = &layer;
            b.mapping = TextureMapping(layer);
            if (layer.projection == Projection::kUv) b.uv_map = FindMap(records, VertexMapType::kUv, layer.uv_map);
            if (!with_images) continue;
            uint32_t image = 0;
            while (image < images && !SameName(bindings_[namer[image]].layer->image, layer.image)) ++image;
            if (image == images && images < kMostImages) namer[images++] = next;
            image_of[next] = image < images ? image : kNoImage;
        }
        counts_[s] = t.count;
        if (t.count > most_layers_) most_layers_ = t.count;
    }
    if (images == 0) return;
    uint64_t bytes = uint64_t{images} * sizeof(MipPyramid);
    if (Failed(image_block_.Allocate(bytes))) return;
    images_ = reinterpret_cast<MipPyramid*>(image_block_.data());
    for (; image_count_ < images; ++image_count_) new (&images_[image_count_]) MipPyramid();
    auto load = [&](int32_t piece, int32_t /*worker*/) {
        const TextName& name = bindings_[namer[static_cast<uint32_t>(piece)]].layer->image;
        Image image;
        if (Failed(source->Load(name.bytes, name.length, &image))) return;
        static_cast<void>(images_[piece].Build(std::move(image)));  // a failure leaves it empty
    };
    RunPieces(static_cast<int32_t>(images), DrawingThreads(drawing), load);
    for (uint32_t k = 0; k < next; ++k) bindings_[k].image = image_of[k] == kNoImage ? nullptr : &images_[image_of[k]];
    for (uint32_t s = 0; s < surface_count; ++s) {
        for (uint32_t k = 0; k < counts_[s]; ++k) {
            const TextureBinding& b = bindings_[first_[s] + k];
            if (b.layer->enabled && b.image && !b.image->empty() && b.layer->blend != BlendMode::kDisplacement &&
                (b.layer->projection != Projection::kUv || b.uv_map)) {
                textured_[s] = true;
            }
        }
    }
}

}  // namespace qavren
