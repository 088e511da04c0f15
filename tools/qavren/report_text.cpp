// The text of `qavren info`: an object's report in words, the form, the
// model, its surfaces and chunks, what a viewer does with it and why.
#include "tools/qavren/report_text.h"

#include <cstring>

#include "object/forms.h"
#include "object/lwob.h"
#include "plugin/host_codes.h"
#include "tools/qavren/printable.h"

namespace qavren::cli {
namespace {

const char* HostCodeWords(int32_t code) {
    switch (code) {
    case host::kSuccess: return "draws it";
    case host::kUnknownFormat: return "refuses it as an unknown format";
    case host::kCorruptData: return "refuses it as corrupt data";
    case host::kOutOfMemory: return "runs out of memory";
    case host::kFileReadError: return "cannot read it";
    default: return "fails";
    }
}

const char* FormWords(const ObjectReport& r) {
    if (!r.known_form) return "";
    switch (r.object_form) {
    case ObjectForm::kLwob: return ", a LightWave object";
    case ObjectForm::kLwlo: return ", a layered LightWave object (LightWave 5)";
    case ObjectForm::kLwo2: return ", a LightWave object (LightWave 6 to 11)";
    case ObjectForm::kLwo3: return ", a LightWave object (LightWave 2015 and later)";
    }
    return "";
}

void PrintForm(std::FILE* out, const ObjectReport& r) {
    if (r.form == status::kCorrupt) return;  // no FORM header: the problem line says so
    const uint64_t stated = uint64_t{r.form_length} + 8;
    std::fprintf(out, "  form       FORM %s%s; the FORM header states %u bytes", PrintableTag(r.form_type).text, FormWords(r),
                r.form_length);
    std::fprintf(out, stated == r.file_size ? ", which matches the file\n" : ", but the file holds %u\n", r.file_size - 8);
}

void PrintVertexCounts(std::FILE* out, const PolygonFacts& p) {
    if (p.count && p.min_vertices == p.max_vertices) std::fprintf(out, ", %u vertices each", p.min_vertices);
    if (p.count && p.min_vertices != p.max_vertices) {
        std::fprintf(out, ", %u to %u vertices each", p.min_vertices, p.max_vertices);
    }
}

// "FACE 288, CURV 2 (not drawn)"; nothing for no polygons.
void PrintTypes(std::FILE* out, const uint32_t (&counts)[kTypeCount]) {
    const char* separator = "";
    for (int t = 0; t < kTypeCount; ++t) {
        if (!counts[t]) continue;
        std::fprintf(out, "%s%s %u%s", separator, PolygonTypeName(t), counts[t], IsDrawnType(t) ? "" : " (not drawn)");
        separator = ", ";
    }
}

uint32_t Total(const uint32_t (&counts)[kTypeCount]) {
    uint32_t total = 0;
    for (uint32_t c : counts) total += c;
    return total;
}

void PrintLayers(std::FILE* out, const ObjectReport& r) {
    const LayeredFacts& f = r.layered;
    std::fprintf(out, "  layers     %u, drawn in file order%s\n", f.layer_count,
                r.object_form == ObjectForm::kLwlo ? "" : ", but for hidden ones");
    const uint32_t listed = f.layer_count < kMaxListedLayers ? f.layer_count : kMaxListedLayers;
    for (uint32_t k = 0; k < listed; ++k) {
        const LayerFacts& l = f.layers[k];
        if (l.implicit) {
            std::fprintf(out, "             before any LAYR chunk");
        } else {
            std::fprintf(out, "             layer %u", l.number);
        }
        if (l.name[0]) std::fprintf(out, " \"%s\"", l.name);
        if (l.has_parent) std::fprintf(out, ", parent %u", l.parent);
        if (l.hidden) std::fprintf(out, " (hidden, not drawn)");
        std::fprintf(out, ": %u points, %u polygons", l.points, Total(l.polygons));
        if (Total(l.polygons)) {
            std::fprintf(out, " (");
            PrintTypes(out, l.polygons);
            std::fprintf(out, ")");
        }
        std::fprintf(out, "%s\n", l.damaged ? ", then damaged records" : "");
    }
    if (listed < f.layer_count) std::fprintf(out, "             ... and %u more\n", f.layer_count - listed);
    std::fprintf(out, "  points     %u", f.points);
    if (!Failed(f.structure) && f.drawn_points != f.points) std::fprintf(out, ", %u of them drawn", f.drawn_points);
    std::fprintf(out, "\n  polygons   %u", Total(f.polygons));
    if (Total(f.polygons)) {
        std::fprintf(out, ": ");
        PrintTypes(out, f.polygons);
    }
    if (!Failed(f.structure)) {
        const PolygonFacts& p = r.polygons;
        std::fprintf(out, "; drawn %u%s", p.count, p.fault == PolygonFault::kNone ? "" : " before the fault");
        PrintVertexCounts(out, p);
    }
    std::fprintf(out, "\n");
}

void PrintModel(std::FILE* out, const ObjectReport& r) {
    const bool layered = r.known_form && r.object_form != ObjectForm::kLwob;
    if (r.form != status::kLwob && !layered) return;
    if (layered) PrintLayers(out, r);
    if (!layered && !Failed(r.pnts_status)) std::fprintf(out, "  points     %u\n", r.points.count);
    if (!layered && !Failed(r.pnts_status) && !Failed(r.pols_status)) {
        const PolygonFacts& p = r.polygons;
        std::fprintf(out, "  polygons   %u%s", p.count, p.fault == PolygonFault::kNone ? "" : " before the fault");
        PrintVertexCounts(out, p);
        std::fprintf(out, "\n");
    }
    const PointFacts& f = r.points;
    if (f.count > f.non_finite) {
        std::fprintf(out, "  bounds     x %g to %g, y %g to %g, z %g to %g\n", f.min[0], f.max[0], f.min[1], f.max[1],
                    f.min[2], f.max[2]);
    }
}

const char* ProjectionWords(Projection p) {
    switch (p) {
    case Projection::kPlanar: return "planar";
    case Projection::kCylindrical: return "cylindrical";
    case Projection::kSpherical: return "spherical";
    case Projection::kCubic: return "cubic";
    case Projection::kFront: return "front";
    case Projection::kUv: return "UV";
    }
    return "?";
}

// A surface's colour layers, bottom first, one a line, and its vertex colours.
void PrintTextures(std::FILE* out, const SurfaceList& list, const SurfaceFacts& f) {
    for (uint32_t k = 0; k < f.listed_textures; ++k) {
        const TextureFacts& t = list.textures[f.first_texture + k];
        std::fprintf(out, "               layer %s", ProjectionWords(t.projection));
        const bool has_axis = t.projection == Projection::kPlanar || t.projection == Projection::kCylindrical ||
                              t.projection == Projection::kSpherical;
        if (has_axis) std::fprintf(out, " %c", "xyz"[t.axis < 3 ? t.axis : 0]);
        if (t.projection == Projection::kUv) std::fprintf(out, " \"%s\"", t.uv_map);
        std::fprintf(out, "%s, image \"%s\": ", t.enabled ? "" : " (disabled)", t.image);
        if (t.search == ImageSearch::kFound) {
            std::fprintf(out, "found %s\n", t.found);
        } else {
            std::fprintf(out, t.search == ImageSearch::kNotFound ? "not found\n" : "not looked up\n");
        }
    }
    if (f.listed_textures < f.textures) {
        std::fprintf(out, "               ... and %u more image layers\n", f.textures - f.listed_textures);
    }
    if (f.skipped_textures) {
        std::fprintf(out, "               %u colour layer%s not drawn (procedural, gradient, shader or no image)\n",
                     f.skipped_textures, f.skipped_textures == 1 ? "" : "s");
    }
    if (f.has_vertex_colours) std::fprintf(out, "               vertex colours \"%s\"\n", f.vertex_colours);
}

// Each surface: name, colour, smoothing, the polygons that use it, and its
// texture layers.
void PrintSurfaces(std::FILE* out, const ObjectReport& r) {
    const SurfaceList& list = r.surfaces;
    if (!list.read || list.count == 0) return;
    const uint32_t listed = list.count < kMaxListedSurfaces ? list.count : kMaxListedSurfaces;
    int width = 0;
    for (uint32_t k = 0; k < listed; ++k) {
        const int w = list.surfaces[k].is_default ? 9 : static_cast<int>(std::strlen(list.surfaces[k].name)) + 2;
        width = w > width ? w : width;
    }
    for (uint32_t k = 0; k < listed; ++k) {
        const SurfaceFacts& f = list.surfaces[k];
        Message name;
        Format(&name, f.is_default ? "(default)" : "\"%s\"", f.name);
        const SurfaceLook& l = f.look;
        std::fprintf(out, k ? "             %-*s" : "  surfaces   %-*s", width, name.text);
        std::fprintf(out, "  colour %u %u %u, ", l.red, l.green, l.blue);
        if (l.smoothing > 0) {
            std::fprintf(out, "smooth up to %.1f degrees", l.smoothing * 57.29577951308232);
        } else {
            std::fprintf(out, "flat");
        }
        if (l.diffuse != 1.0f) std::fprintf(out, ", diffuse %.0f%%", l.diffuse * 100.0);
        if (l.luminosity != 0.0f) std::fprintf(out, ", luminous %.0f%%", l.luminosity * 100.0);
        if (l.double_sided) std::fprintf(out, ", double-sided");
        if (!f.is_default && !f.described) std::fprintf(out, " (no SURF chunk: the default look)");
        std::fprintf(out, "; %u polygon%s\n", f.polygons, f.polygons == 1 ? "" : "s");
        PrintTextures(out, list, f);
    }
    if (listed < list.count) std::fprintf(out, "             ... and %u more\n", list.count - listed);
}

void PrintChunks(std::FILE* out, const ObjectReport& r) {
    if (r.chunk_count == 0) return;
    std::fprintf(out, "  chunks in the file, walking the IFF structure from byte 12:\n");
    const uint32_t listed = r.chunk_count < kMaxListedChunks ? r.chunk_count : kMaxListedChunks;
    for (uint32_t k = 0; k < listed; ++k) {
        const ChunkEntry& e = r.chunks[k];
        std::fprintf(out, "             byte %-8u %s  %u bytes%s\n", e.offset, PrintableTag(e.tag).text, e.length,
                    e.overruns ? ", past the end of the file" : "");
    }
    if (listed < r.chunk_count) std::fprintf(out, "             ... and %u more\n", r.chunk_count - listed);
}

void PrintSearch(std::FILE* out, const ObjectReport& r) {
    if (r.form != status::kLwob) return;
    std::fprintf(out, "  the plug-in's chunk search, the first match of the tag anywhere in the file:\n");
    const SearchHit* hits[] = {&r.search_pnts, &r.search_pols};
    const char* tags[] = {"PNTS", "POLS"};
    for (int k = 0; k < 2; ++k) {
        if (hits[k]->offset == kChunkNotFound) {
            std::fprintf(out, "             %s  not found\n", tags[k]);
            continue;
        }
        Message where;
        DescribeHit(*hits[k], tags[k], &where);
        std::fprintf(out, "             %s  byte %u, %s\n", tags[k], hits[k]->offset, where.text);
    }
}

// Things the plug-in copes with, but a person may want to know.
void PrintNotes(std::FILE* out, const ObjectReport& r) {
    int n = 0;
    auto note = [&n, out](const char* text) { std::fprintf(out, n++ ? "             %s\n" : "  notes      %s\n", text); };
    Message m;
    const uint32_t real[] = {r.real_pnts, r.real_pols};
    const SearchHit* hits[] = {&r.search_pnts, &r.search_pols};
    for (int k = 0; k < 2 && r.form == status::kLwob; ++k) {
        if (hits[k]->offset == kChunkNotFound || real[k] == UINT32_MAX || hits[k]->offset == real[k]) continue;
        const char* tag = k ? "POLS" : "PNTS";
        Format(&m, "the plug-in takes the %s match at byte %u for the chunk; the real %s chunk is at byte %u", tag,
               hits[k]->offset, tag, real[k]);
        note(m.text);
    }
    const PointFacts& f = r.points;
    if (f.leftover_bytes) {
        Format(&m, "the PNTS data ends in %u bytes that make no whole point; they are ignored", f.leftover_bytes);
        note(m.text);
    }
    if (f.non_finite) {
        Format(&m, "%u points have a coordinate that is not a finite number", f.non_finite);
        note(m.text);
    }
    if (f.off_centre) note("the whole model lies beyond 10000 on one side; the fit starts from +-10000, so it is drawn off-centre");
    if (r.polygons.detail_markers) {
        Format(&m, "%u polygons announce detail polygons (a negative surface number); those are read as ordinary polygons",
               r.polygons.detail_markers);
        note(m.text);
    }
    if (ExpectedDrawStatus(r) == status::kOk && r.polygons.count == 0) note("no polygons: the picture is background and grid only");
    if (r.chunk_count && r.walk_end < r.walk_limit) {
        Format(&m, "%u bytes after the last chunk make no chunk", r.walk_limit - r.walk_end);
        note(m.text);
    }
}

}  // namespace

bool WriteReport(std::FILE* out, const char* name, const ObjectReport& r) {
    std::fprintf(out, "%s\n  size       %u bytes\n", name, r.file_size);
    PrintForm(out, r);
    PrintModel(out, r);
    PrintSurfaces(out, r);
    PrintChunks(out, r);
    PrintSearch(out, r);
    const int32_t code = PlugInCode(r, 0);
    std::fprintf(out, "  viewer     %s (host code %d)", HostCodeWords(code), code);
    const int32_t extended = PlugInCode(r, 1);
    if (extended != code) std::fprintf(out, "; with Forms = 1, it %s (host code %d)", HostCodeWords(extended), extended);
    std::fprintf(out, "\n");
    Message fault;
    std::fprintf(out, "  problems   %s\n", DescribeFault(r, &fault) ? fault.text : "none");
    PrintNotes(out, r);
    return MapToHostCode(ExpectedDrawStatus(r)) == host::kSuccess;
}


}  // namespace qavren::cli
