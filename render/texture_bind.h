// The image layers of a picture's surfaces, bound for drawing: each layer's
// placement, its image found and decoded once (however many layers name it)
// and made a mip pyramid, the UV map it reads, and each surface's vertex
// colour map. Only the surfaces that some polygon uses are bound.
//
// Binding never fails a picture: a layer whose image is not found, cannot
// be decoded or cannot be given memory is left without an image (it then
// gives nothing, see texture_shade.h), and a map that the object does not
// hold leaves its layer or its vertex colours out.
#pragma once

#include <cstdint>

#include "image/texture_source.h"
#include "object/surfaces.h"
#include "platform/owned_array.h"
#include "render/parallel.h"
#include "render/texture_shade.h"

namespace qavren {

class BoundTextures {
public:
    // The most distinct images one picture looks for and decodes; the
    // layers that name others stay without an image. Each search may list
    // a dozen folders and each image may take 256 MiB: a hostile object of
    // many layers is bounded here, a real one names a few dozen at most.
    static constexpr uint32_t kMostImages = 256;

    BoundTextures() = default;
    BoundTextures(const BoundTextures&) = delete;
    BoundTextures& operator=(const BoundTextures&) = delete;
    ~BoundTextures() { Reset(); }

    // Binds the layers of `surfaces` with the images `source` finds (null:
    // none), decoding on up to `drawing`'s threads.
    void Bind(const ObjectSurfaces& surfaces, const TextureSource* source, const DrawingOptions& drawing);
    void Reset();

    // Of surface s: its layers, bottom first (none when s was not bound).
    uint32_t count(uint32_t surface) const { return surface < surface_count_ ? counts_[surface] : 0; }
    const TextureBinding* layers(uint32_t surface) const { return &bindings_[first_[surface]]; }
    // Whether any of them has an image to lay on.
    bool textured(uint32_t surface) const { return surface < surface_count_ && textured_[surface]; }
    // Its vertex colour map, or null.
    const VertexMapValues* vertex_colours(uint32_t surface) const {
        return surface < surface_count_ ? colour_maps_[surface] : nullptr;
    }
    // The most layers any surface has.
    uint32_t most_layers() const { return most_layers_; }
    // The images decoded.
    uint32_t image_count() const { return image_count_; }

private:
    OwnedArray<TextureBinding> bindings_;
    OwnedArray<uint32_t> first_;
    OwnedArray<uint32_t> counts_;
    OwnedArray<bool> textured_;
    OwnedArray<const VertexMapValues*> colour_maps_;
    uint32_t surface_count_ = 0;
    uint32_t most_layers_ = 0;
    // The pyramids, built in place in a block of ours.
    OwnedArray<uint8_t> image_block_;
    MipPyramid* images_ = nullptr;
    uint32_t image_count_ = 0;
};

}  // namespace qavren
