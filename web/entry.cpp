// The page's entry into the core: plain C functions over the module's
// memory. The page copies an object's bytes in (and the dropped images the
// shaded style looks in), gets the thumbnail picture's RGBA pixels back in a
// block it owns, and for a failure the words `qavren`
// prints; the report is the text of `qavren info`. Everything here runs on
// the calling Web Worker's one thread.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#ifdef __EMSCRIPTEN__
#include <emscripten/emscripten.h>
#else  // the native build of the same entry, for the benchmark's comparison
#define EMSCRIPTEN_KEEPALIVE __attribute__((visibility("default")))
#endif

#include "object/forms.h"
#include "image/texture_source.h"
#include "object/object_buffer.h"
#include "render/thumbnail.h"
#include "tools/qavren/object_report.h"
#include "tools/qavren/report_text.h"

namespace {

using qavren::Failed;
using qavren::Status;
namespace status = qavren::status;

qavren::cli::Message g_failure;  // the last failure's words
char* g_report = nullptr;        // the last report, from open_memstream

// The dropped images the shaded style looks in, the page's until it hands
// others (qavren_use_textures): none at first.
const qavren::MemoryTextures::File* g_images = nullptr;
uint32_t g_image_count = 0;
#ifdef __EMSCRIPTEN__
// The page writes the records as three 32-bit words: name, bytes, size.
static_assert(sizeof(qavren::MemoryTextures::File) == 12, "the page's layout of a dropped image");
#endif

// The background as the page passes it: -1 none (transparent), -2 the
// canvas, otherwise a colour 0xRRGGBB.
constexpr int32_t kBackgroundNone = -1;
constexpr int32_t kBackgroundCanvas = -2;

bool Background(int32_t code, qavren::ShadedBackground* out) {
    using Kind = qavren::ShadedBackground::Kind;
    if (code == kBackgroundNone) {
        *out = {Kind::kNone, 0};
    } else if (code == kBackgroundCanvas) {
        *out = {Kind::kCanvas, 0};
    } else if (code >= 0 && code <= 0xFFFFFF) {
        *out = {Kind::kColour, qavren::Rgb((code >> 16) & 0xFF, (code >> 8) & 0xFF, code & 0xFF)};
    } else {
        return false;
    }
    return true;
}

// The object's bytes as `qavren` loads a file: the same words when there
// are none or they are of no known form.
bool LoadObject(const char* name, const uint8_t* bytes, uint32_t length, qavren::ObjectBuffer* buffer) {
    if (length == 0) {
        qavren::cli::Format(&g_failure, "%s: is empty", name);
        return false;
    }
    if (Failed(buffer->LoadFromMemory(bytes, length))) {
        qavren::cli::Format(&g_failure, "%s: too large to load into memory", name);
        return false;
    }
    const Status form = qavren::CheckForm(*buffer, qavren::kEveryForm);
    if (form == status::kDrawnForm) return true;
    qavren::cli::DescribeDrawFailure(name, *buffer, form, &g_failure);
    return false;
}

}  // namespace

extern "C" {

// Draws the object `name` (its `length` bytes at `bytes`) as
// `qavren thumbnail -s WIDTHxHEIGHT` with the style (0 wireframe,
// 1 polygons, 2 shaded: with the images qavren_use_textures handed), the
// angles and the background given, into `out`:
// width × height × 4 bytes, RGBA rows top first. 0 when drawn; otherwise
// the Status, with the words in qavren_failure() and `out` unspecified.
EMSCRIPTEN_KEEPALIVE int32_t qavren_draw(const char* name, const uint8_t* bytes, uint32_t length, int32_t width,
                                         int32_t height, int32_t style, int32_t angle_x, int32_t angle_y,
                                         int32_t angle_z, int32_t background, uint8_t* out) {
    g_failure.text[0] = '\0';
    qavren::ThumbnailOptions options = qavren::ThumbnailDefaults();
    if (style < 0 || style > 2 || !Background(background, &options.background)) {
        qavren::cli::Format(&g_failure, "%s: unknown style or background", name);
        return status::kCorrupt;
    }
    options.style = static_cast<qavren::DrawStyle>(style);
    options.angle_x = angle_x;
    options.angle_y = angle_y;
    options.angle_z = angle_z;
    const qavren::MemoryTextures dropped(g_images, g_image_count);
    if (g_image_count > 0 && options.style == qavren::DrawStyle::kShaded) options.textures = &dropped;
    qavren::ObjectBuffer buffer;
    if (!LoadObject(name, bytes, length, &buffer)) return status::kCorrupt;
    const Status st = qavren::DrawThumbnail(buffer, width, height, options, out, 4u * static_cast<uint32_t>(width));
    if (Failed(st)) qavren::cli::DescribeDrawFailure(name, buffer, st, &g_failure);
    return st;
}

// The images the next drawings of qavren_draw look in: `count` records of
// files in the module's memory (names with their folders as dropped, in the
// order they are preferred), which the page keeps alive until it hands
// others or none (null, 0).
EMSCRIPTEN_KEEPALIVE void qavren_use_textures(const qavren::MemoryTextures::File* files, uint32_t count) {
    g_images = count ? files : nullptr;
    g_image_count = files ? count : 0;
}

// The words of the last failure of qavren_draw, as `qavren` prints them
// after "qavren: ".
EMSCRIPTEN_KEEPALIVE const char* qavren_failure() { return g_failure.text; }

// What `qavren info --angles X,Y,Z NAME` prints for the object, its images
// looked up among those qavren_use_textures handed (with none, as
// --no-textures prints it: no disk here); valid until the next call. Null when there is no memory for the text.
EMSCRIPTEN_KEEPALIVE const char* qavren_report(const char* name, const uint8_t* bytes, uint32_t length,
                                               int32_t angle_x, int32_t angle_y, int32_t angle_z) {
    std::free(g_report);
    g_report = nullptr;
    if (length == 0) {  // as the command, which reports no file it cannot load
        qavren::cli::Format(&g_failure, "%s: is empty", name);
        return g_failure.text;
    }
    qavren::ObjectBuffer buffer;
    auto* report = static_cast<qavren::cli::ObjectReport*>(std::malloc(sizeof(qavren::cli::ObjectReport)));
    if (!report || Failed(buffer.LoadFromMemory(bytes, length))) {
        std::free(report);
        return nullptr;
    }
    new (report) qavren::cli::ObjectReport();
    const qavren::MemoryTextures dropped(g_images, g_image_count);
    qavren::cli::ExamineObject(buffer, qavren::ModelTurn(angle_x, angle_y, angle_z),
                               g_image_count > 0 ? &dropped : nullptr, report);
    size_t size = 0;
    std::FILE* text = open_memstream(&g_report, &size);
    if (text) {
        qavren::cli::WriteReport(text, name, *report);
        std::fclose(text);
    }
    std::free(report);
    return g_report;
}

}  // extern "C"
