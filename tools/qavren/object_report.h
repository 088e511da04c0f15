// ObjectReport: what an object file holds and what is wrong with it, as
// facts gathered once from the loaded bytes. Two views of the chunks sit
// side by side: the IFF chunk list as the file is laid out, and, for LWOB,
// the plug-in's first-match byte search, which can land somewhere else (a
// tag spelled inside a surface name, say). The points and polygons are read
// through the renderers' own chunk search, layer walk and polygon walk, so
// the verdict is theirs; the layers of LWLO, LWO2 and LWO3 objects are
// counted as well, hidden ones and polygon types that are not drawn too.
#pragma once

#include <cstdint>

#include "object/forms.h"
#include "object/layers.h"
#include "object/object_buffer.h"
#include "object/surfaces.h"
#include "object/textures.h"
#include "platform/status.h"
#include "render/view.h"
#include "tools/qavren/message.h"

namespace qavren {
class TextureSource;
}

namespace qavren::cli {

struct ChunkEntry {
    char tag[4];
    uint32_t offset;  // of the tag
    uint32_t length;  // as stated
    bool overruns;    // the stated length runs past the end of the file
};

// Where the plug-in's search for one tag landed, and the IFF chunk holding
// that spot when it is not the chunk itself.
struct SearchHit {
    uint32_t offset = UINT32_MAX;  // FindChunk's result
    uint32_t stated_length = 0;    // the four bytes after the tag, when present
    bool in_chunk = false;         // container below is valid
    ChunkEntry container = {};
};

// Why the polygon walk stopped early.
enum class PolygonFault { kNone, kVertexCount, kOverrun, kPointNumber, kMissingDetails };

struct PolygonFacts {
    uint32_t count = 0;            // records walked successfully
    uint16_t min_vertices = 0;
    uint16_t max_vertices = 0;
    uint32_t detail_markers = 0;   // records with a negative surface number
    PolygonFault fault = PolygonFault::kNone;
    uint32_t fault_offset = 0;     // file offset of the failing record
    uint32_t fault_value = 0;      // its vertex count or point number
    uint32_t fault_points = 0;     // the points its numbers may name
    uint32_t fault_chunk = 0;      // file offset of its POLS chunk
    uint16_t fault_layer = 0;      // its layer's number (layered forms)
};

// The polygon types of the layered forms, counted by the report; LWLO
// records are of one kind.
enum PolygonType { kFace, kPatch, kSubdivision, kCurve, kBone, kMetaball, kOtherType, kLwloRecord, kTypeCount };
const char* PolygonTypeName(int type);
bool IsDrawnType(int type);

struct LayerFacts {
    bool implicit = false;          // the chunks before the first LAYR
    uint16_t number = 0;
    bool hidden = false;
    char name[40] = "";             // printable, cut to fit
    bool has_parent = false;
    uint16_t parent = 0;
    uint32_t points = 0;
    uint32_t polygons[kTypeCount] = {};
    bool damaged = false;           // a POLS chunk of it stops early
};

constexpr int kMaxListedLayers = 24;

// The layers of an LWLO, LWO2 or LWO3 object and the renderers' verdict.
struct LayeredFacts {
    LayerFacts layers[kMaxListedLayers];
    uint32_t layer_count = 0;       // all layers, listed or not
    uint32_t points = 0;            // of every layer, hidden ones too
    uint32_t polygons[kTypeCount] = {};
    uint32_t drawn_points = 0;
    // The layer walk's verdict over the whole structure.
    Status structure = status::kOk;
    LayerFault fault = LayerFault::kNone;
    ChunkEntry fault_chunk = {};
    uint16_t fault_layer = 0;
};

struct PointFacts {
    uint32_t count = 0;
    uint32_t leftover_bytes = 0;   // PNTS length beyond whole 12-byte records
    uint32_t non_finite = 0;       // points with a NaN or infinite coordinate
    bool off_centre = false;       // every x or every y beyond 10000 on one side,
                                   // past the fit's starting bounds
    float min[3] = {0, 0, 0};
    float max[3] = {0, 0, 0};      // over the finite points only
};

constexpr int kMaxListedChunks = 48;
constexpr uint32_t kFormHeaderSize = 12;  // "FORM", its length, its type

// Whether a layer's image was looked for, and with what result.
enum class ImageSearch : uint8_t { kNotLookedUp, kFound, kNotFound };

// A colour texture layer of a listed surface; names printable, cut to fit.
struct TextureFacts {
    Projection projection = Projection::kPlanar;
    uint8_t axis = 0;
    bool enabled = true;
    char uv_map[32] = "";
    char image[96] = "";            // the stored name (a CLIP's, for layers naming one)
    ImageSearch search = ImageSearch::kNotLookedUp;
    char found[160] = "";           // the file that answers it
};

constexpr int kMaxListedTextures = 48;

// A surface as the shaded style sees it: surface 0 (the default) when some
// polygons have no surface of their own, the others when polygons use them
// or a SURF chunk describes them.
struct SurfaceFacts {
    char name[40] = "";             // printable, cut to fit; empty for surface 0
    bool is_default = false;
    bool described = false;         // a SURF chunk of its name was read
    SurfaceLook look;
    uint32_t polygons = 0;
    uint32_t first_texture = 0;     // its listed layers: SurfaceList::textures[first_texture + k]
    uint32_t listed_textures = 0;
    uint32_t textures = 0;          // all its kept colour layers, listed or not
    uint32_t skipped_textures = 0;  // colour layers not kept (procedural, no image...)
    bool has_vertex_colours = false;
    char vertex_colours[32] = "";   // the VCOL map's name
};

constexpr int kMaxListedSurfaces = 64;

struct SurfaceList {
    SurfaceFacts surfaces[kMaxListedSurfaces];
    uint32_t count = 0;             // all that are listed or would be
    bool read = false;              // false: the object does not draw, or no memory
    TextureFacts textures[kMaxListedTextures];
    uint32_t texture_count = 0;     // listed
};

struct ObjectReport {
    uint32_t file_size = 0;
    Status form = status::kNoData;  // CheckForm's result
    char form_type[4] = {};         // bytes 8..11, when there are 12 bytes
    uint32_t form_length = 0;       // as the FORM header states it

    // The IFF walk from byte 12.
    ChunkEntry chunks[kMaxListedChunks] = {};
    uint32_t chunk_count = 0;        // all chunks walked, listed or not
    uint32_t walk_limit = 0;         // the FORM's end or the file's, the nearer
    uint32_t walk_end = 0;           // where the walk stopped
    uint32_t real_pnts = UINT32_MAX; // first PNTS and POLS chunk the walk met
    uint32_t real_pols = UINT32_MAX;

    bool known_form = false;        // one of the four forms, named below
    ObjectForm object_form = ObjectForm::kLwob;
    LayeredFacts layered;

    // The plug-in's view (LWOB only).
    SearchHit search_pnts;
    SearchHit search_pols;
    Status pnts_status = status::kCorrupt;  // LocateChunk's results
    Status pols_status = status::kCorrupt;
    PointFacts points;
    PolygonFacts polygons;
    SurfaceList surfaces;           // of an object that draws
};

void ExamineObject(const ObjectBuffer& buffer, ObjectReport* report);
// The same with the points turned as the renderers turn them: the bounds
// (and the off-centre note) are the turned model's.
void ExamineObject(const ObjectBuffer& buffer, const ModelTurn& turn, ObjectReport* report);
// The same, with each texture layer's image looked for in `textures` (null:
// not looked up, as where there is no disk).
void ExamineObject(const ObjectBuffer& buffer, const ModelTurn& turn, const TextureSource* textures,
                   ObjectReport* report);

// True for the layered forms (LWLO, LWO2, LWO3).
bool IsLayered(const ObjectReport& report);

// The Status the renderers would return for this object: CheckForm's
// failure for data of none of the four forms, status::kCorrupt for a chunk,
// layer or polygon fault, 0 when it draws (memory aside).
Status ExpectedDrawStatus(const ObjectReport& report);

// The host code the plug-in gives the object with its Forms setting.
int32_t PlugInCode(const ObjectReport& report, int32_t forms_setting);

// Why the object cannot be drawn, in plain words; false when nothing is wrong.
bool DescribeFault(const ObjectReport& report, Message* out);

// Where the search for `tag` landed, in words: "the PNTS chunk", "inside the
// data of the SRFS chunk at byte 12", ...
void DescribeHit(const SearchHit& hit, const char tag[4], Message* out);

// "NAME: what is wrong" for an object that loaded but failed to draw
// (`draw` is CheckForm's or the renderer's Status): the command's words,
// and the page's.
void DescribeDrawFailure(const char* name, const ObjectBuffer& buffer, Status draw, Message* error);

}  // namespace qavren::cli
