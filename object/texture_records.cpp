// The store of texture records: arrays that grow by doubling (each size
// checked before it is allocated), CLIP names (formed ones owned here),
// the layers' images resolved against the CLIPs, and the values of the
// vertex maps that are used.
#include <algorithm>
#include <cstring>

#include "object/textures.h"
#include "platform/memory.h"

namespace qavren {
namespace {

// Makes room for one more element after `count`; false when memory cannot be had.
template <typename T>
bool Reserve(T** array, uint32_t count, uint32_t* capacity) {
    if (count < *capacity) return true;
    const uint64_t next = *capacity ? uint64_t{*capacity} * 2 : 8;
    if (next > UINT32_MAX || next > SIZE_MAX / sizeof(T)) return false;
    auto* bigger = static_cast<T*>(platform::AllocateZeroed(static_cast<size_t>(next * sizeof(T))));
    if (!bigger) return false;
    if (count) std::memcpy(static_cast<void*>(bigger), *array, size_t{count} * sizeof(T));
    platform::Free(*array);
    *array = bigger;
    *capacity = static_cast<uint32_t>(next);
    return true;
}

bool NameLess(const TextName& a, const TextName& b) {
    const uint32_t n = std::min(a.length, b.length);
    const int c = n ? std::memcmp(a.bytes, b.bytes, n) : 0;
    return c != 0 ? c < 0 : a.length < b.length;
}

bool MapLess(VertexMapType at, const TextName& an, VertexMapType bt, const TextName& bn) {
    if (at != bt) return at < bt;
    return NameLess(an, bn);
}

// The decimal digits of |n|, at least `digits` of them, after a '-' for a
// negative n; returns the count written (at most 24).
uint32_t FormatNumber(int32_t n, uint32_t digits, uint8_t* out) {
    uint8_t reversed[16];
    uint32_t count = 0;
    int64_t v = n < 0 ? -int64_t{n} : n;
    do {
        reversed[count++] = static_cast<uint8_t>('0' + v % 10);
        v /= 10;
    } while (v);
    uint32_t at = 0;
    if (n < 0) out[at++] = '-';
    for (uint32_t k = count; k < std::min(digits, 16u); ++k) out[at++] = '0';
    while (count) out[at++] = reversed[--count];
    return at;
}

}  // namespace

TextureRecords::~TextureRecords() { Clear(); }

void TextureRecords::Clear() {
    for (uint32_t k = 0; k < map_count_; ++k) {
        platform::Free(maps_[k].points);
        platform::Free(maps_[k].corners);
    }
    platform::Free(maps_);
    platform::Free(surfaces_);
    platform::Free(layers_);
    platform::Free(clips_);
    while (formed_) {
        uint8_t* next;
        std::memcpy(&next, formed_, sizeof next);
        platform::Free(formed_);
        formed_ = next;
    }
    maps_ = nullptr;
    surfaces_ = nullptr;
    layers_ = nullptr;
    clips_ = nullptr;
    map_count_ = surface_count_ = surface_capacity_ = 0;
    layer_count_ = layer_capacity_ = surface_first_ = clip_count_ = clip_capacity_ = 0;
    out_of_memory_ = false;
}

void TextureRecords::BeginSurface() { surface_first_ = layer_count_; }

TextureLayer* TextureRecords::AddLayer() {
    if (!Reserve(&layers_, layer_count_, &layer_capacity_)) {
        out_of_memory_ = true;
        return nullptr;
    }
    layers_[layer_count_] = TextureLayer{};
    return &layers_[layer_count_++];
}

void TextureRecords::DropLayer() {
    if (layer_count_ > surface_first_) --layer_count_;
}

void TextureRecords::DropSurface() { layer_count_ = surface_first_; }

uint32_t TextureRecords::EndSurface(uint32_t skipped, const VertexColourMap& vertex_colours) {
    const uint32_t count = layer_count_ - surface_first_;
    if (count == 0 && skipped == 0 && !vertex_colours.present) return 0;
    if (surface_count_ == 0 && Reserve(&surfaces_, 0, &surface_capacity_)) surfaces_[surface_count_++] = {};
    if (surface_count_ == 0 || !Reserve(&surfaces_, surface_count_, &surface_capacity_)) {
        out_of_memory_ = true;
        DropSurface();
        return 0;
    }
    std::stable_sort(layers_ + surface_first_, layers_ + layer_count_,
                     [](const TextureLayer& a, const TextureLayer& b) { return NameLess(a.ordinal, b.ordinal); });
    SurfaceTextures& s = surfaces_[surface_count_];
    s.first = surface_first_;
    s.count = count;
    s.skipped = skipped;
    s.vertex_colours = vertex_colours;
    surface_first_ = layer_count_;
    return surface_count_++;
}

void TextureRecords::AddClip(uint32_t index, TextName name) {
    if (!Reserve(&clips_, clip_count_, &clip_capacity_)) {
        out_of_memory_ = true;
        return;
    }
    clips_[clip_count_++] = {index, name};
}

void TextureRecords::AddSequenceClip(uint32_t index, TextName prefix, int32_t number, uint32_t digits,
                                     TextName suffix) {
    // prefix and suffix lie in the buffer, so their sum cannot wrap 64 bits.
    const uint64_t size = sizeof(uint8_t*) + uint64_t{prefix.length} + 24 + suffix.length;
    if (size > SIZE_MAX || size > UINT32_MAX) {
        out_of_memory_ = true;
        return;
    }
    auto* block = static_cast<uint8_t*>(platform::AllocateZeroed(static_cast<size_t>(size)));
    if (!block) {
        out_of_memory_ = true;
        return;
    }
    std::memcpy(block, &formed_, sizeof formed_);
    formed_ = block;
    uint8_t* name = block + sizeof(uint8_t*);
    uint32_t length = 0;
    if (prefix.length) std::memcpy(name, prefix.bytes, prefix.length);
    length += prefix.length;
    length += FormatNumber(number, digits, name + length);
    if (suffix.length) std::memcpy(name + length, suffix.bytes, suffix.length);
    length += suffix.length;
    AddClip(index, {name, length});
}

void TextureRecords::ResolveImages() {
    // The first CLIP of each index: a stable sort keeps file order among equals.
    std::stable_sort(clips_, clips_ + clip_count_,
                     [](const ClipRecord& a, const ClipRecord& b) { return a.index < b.index; });
    for (uint32_t s = 1; s < surface_count_; ++s) {
        SurfaceTextures& t = surfaces_[s];
        uint32_t kept = 0;
        for (uint32_t k = 0; k < t.count; ++k) {
            TextureLayer& l = layers_[t.first + k];
            if (l.names_clip && l.image.length == 0) {
                const ClipRecord* at = std::lower_bound(
                    clips_, clips_ + clip_count_, l.clip_index,
                    [](const ClipRecord& c, uint32_t index) { return c.index < index; });
                if (at != clips_ + clip_count_ && at->index == l.clip_index) l.image = at->name;
            }
            if (l.image.length == 0) {
                ++t.skipped;
                continue;
            }
            layers_[t.first + kept++] = l;
        }
        t.count = kept;
    }
}

void TextureRecords::AddWanted(VertexMapType type, TextName name, uint32_t* count) {
    if (name.length == 0) return;
    if (maps_) maps_[*count].values.type = type, maps_[*count].values.name = name;
    ++*count;
}

void TextureRecords::WantMaps() {
    // Counted, then kept, sorted and made unique.
    uint32_t count = 0;
    for (int pass = 0; pass < 2; ++pass) {
        count = 0;
        for (uint32_t s = 1; s < surface_count_; ++s) {
            const SurfaceTextures& t = surfaces_[s];
            for (uint32_t k = 0; k < t.count; ++k) {
                const TextureLayer& l = layers_[t.first + k];
                if (l.projection == Projection::kUv) AddWanted(VertexMapType::kUv, l.uv_map, &count);
            }
            const VertexColourMap& v = t.vertex_colours;
            if (v.present) {
                AddWanted(VertexMapType::kColour, v.map, &count);
            }
        }
        if (pass == 1 || count == 0) break;
        if (uint64_t{count} * sizeof(MapStore) > SIZE_MAX) return void(out_of_memory_ = true);
        maps_ = static_cast<MapStore*>(platform::AllocateZeroed(size_t{count} * sizeof(MapStore)));
        if (!maps_) return void(out_of_memory_ = true);
    }
    if (!maps_) return;
    std::sort(maps_, maps_ + count, [](const MapStore& a, const MapStore& b) {
        return MapLess(a.values.type, a.values.name, b.values.type, b.values.name);
    });
    MapStore* end = std::unique(maps_, maps_ + count, [](const MapStore& a, const MapStore& b) {
        return !MapLess(a.values.type, a.values.name, b.values.type, b.values.name) &&
               !MapLess(b.values.type, b.values.name, a.values.type, a.values.name);
    });
    map_count_ = static_cast<uint32_t>(end - maps_);
}

int32_t TextureRecords::FindMap(VertexMapType type, TextName name) const {
    const MapStore* begin = maps_;
    const MapStore* end = maps_ + map_count_;
    const MapStore* at = std::lower_bound(begin, end, 0, [&](const MapStore& m, int) {
        return MapLess(m.values.type, m.values.name, type, name);
    });
    if (at == end || MapLess(type, name, at->values.type, at->values.name)) return -1;
    return static_cast<int32_t>(at - maps_);
}

void TextureRecords::AddPointValue(int32_t map, const PointValue& value) {
    MapStore& m = maps_[map];
    if (!Reserve(&m.points, m.values.point_count, &m.point_capacity)) return void(out_of_memory_ = true);
    m.points[m.values.point_count++] = value;
}

void TextureRecords::AddCornerValue(int32_t map, const CornerValue& value) {
    MapStore& m = maps_[map];
    if (!Reserve(&m.corners, m.values.corner_count, &m.corner_capacity)) return void(out_of_memory_ = true);
    m.corners[m.values.corner_count++] = value;
}

void TextureRecords::FinishMaps() {
    for (uint32_t k = 0; k < map_count_; ++k) {
        MapStore& m = maps_[k];
        PointValue* points_end = m.points + m.values.point_count;
        std::stable_sort(m.points, points_end, [](const PointValue& a, const PointValue& b) { return a.point < b.point; });
        points_end = std::unique(m.points, points_end,
                                 [](const PointValue& a, const PointValue& b) { return a.point == b.point; });
        m.values.point_count = static_cast<uint32_t>(points_end - m.points);
        CornerValue* corners_end = m.corners + m.values.corner_count;
        const auto less = [](const CornerValue& a, const CornerValue& b) {
            return a.polygon != b.polygon ? a.polygon < b.polygon : a.point < b.point;
        };
        std::stable_sort(m.corners, corners_end, less);
        corners_end = std::unique(m.corners, corners_end, [](const CornerValue& a, const CornerValue& b) {
            return a.polygon == b.polygon && a.point == b.point;
        });
        m.values.corner_count = static_cast<uint32_t>(corners_end - m.corners);
        m.values.points = m.points;
        m.values.corners = m.corners;
    }
}

}  // namespace qavren
