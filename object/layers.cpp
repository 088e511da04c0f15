// The chunk walk and the layer walk of the layered forms.
#include "object/layers.h"

#include <cstring>

#include "object/lwob.h"
#include "object/tags.h"

namespace qavren {
namespace {

constexpr uint32_t kPivotSize = 12;

}  // namespace

ChunkWalk::ChunkWalk(const uint8_t* data, uint32_t size) : base_(data) {
    const uint64_t form_end = uint64_t{ByteReader::LoadU32(data + 4)} + 8;
    const uint32_t end = form_end < size ? static_cast<uint32_t>(form_end) : size;
    rest_ = ByteReader(data + kFormHeaderSize, end > kFormHeaderSize ? end - kFormHeaderSize : 0);
}

Status ChunkWalk::Next(Chunk* chunk) {
    if (rest_.remaining() < 8) return 0;
    chunk->offset = static_cast<uint32_t>(rest_.position() - base_);
    std::memcpy(chunk->tag, rest_.position(), 4);
    uint32_t length = 0;
    rest_.Skip(4);
    rest_.ReadU32(&length);
    if (!rest_.Take(length, &chunk->data)) {
        chunk->data = ByteReader(rest_.position(), rest_.remaining());
        return status::kCorrupt;
    }
    if (length % 2 && rest_.remaining() > 0) rest_.Skip(1);
    return 1;
}

bool DecodeLayer(const ByteReader& data, ObjectForm form, LayerHeader* layer) {
    ByteReader r = data;
    *layer = LayerHeader{};
    if (!r.ReadU16(&layer->number) || !r.ReadU16(&layer->flags)) return false;
    const bool lwlo = form == ObjectForm::kLwlo;
    layer->hidden = !lwlo && (layer->flags & 1) != 0;
    if (!lwlo && !r.Skip(kPivotSize)) return true;
    if (!ReadName(&r, &layer->name, &layer->name_length)) return true;
    layer->has_parent = !lwlo && r.ReadU16(&layer->parent);
    return true;
}

RecordLayout LayoutOf(ObjectForm form) {
    switch (form) {
    case ObjectForm::kLwob: return RecordLayout::kLwob;
    case ObjectForm::kLwlo: return RecordLayout::kLwlo;
    default: return RecordLayout::kLwo2;
    }
}

bool IsDrawnPolygonType(const uint8_t type[4]) {
    return IsTag(type, "FACE") || IsTag(type, "PTCH") || IsTag(type, "SUBD");
}

LayerWalk::LayerWalk(const ObjectBuffer& buffer, ObjectForm form)
    : chunks_(buffer.data(), buffer.size()), form_(form) {}

Status LayerWalk::Next(Kind* kind, ByteReader* data) {
    Status s;
    while ((s = chunks_.Next(&chunk_)) == 1) {
        if (IsTag(chunk_.tag, "LAYR")) {
            LayerHeader layer;
            if (!DecodeLayer(chunk_.data, form_, &layer)) return Fail(LayerFault::kShortLayer);
            hidden_ = layer.hidden;
            layer_number_ = layer.number;
            has_points_ = false;
            first_point_ = layer_points_ = 0;
            continue;
        }
        if (hidden_) continue;
        if (IsTag(chunk_.tag, "PNTS")) {
            has_points_ = true;
            first_point_ = total_points_;
            layer_points_ = chunk_.data.remaining() / kPointRecordSize;
            total_points_ += layer_points_;  // no wrap: the records lie in the buffer
            *kind = Kind::kPoints;
            *data = chunk_.data;
            return 1;
        }
        if (!IsTag(chunk_.tag, "POLS")) continue;
        if (!has_points_) return Fail(LayerFault::kPolygonsBeforePoints);
        ByteReader records = chunk_.data;
        if (form_ != ObjectForm::kLwlo) {
            const uint8_t* type = records.position();
            if (!records.Skip(4)) return Fail(LayerFault::kUntypedPolygons);
            if (!IsDrawnPolygonType(type)) continue;
        }
        *kind = Kind::kPolygons;
        *data = records;
        return 1;
    }
    return s == 0 ? 0 : Fail(LayerFault::kChunkOverrun);
}

}  // namespace qavren
