// qavren thumbnail: the freedesktop thumbnailer entry, a square PNG.
#include <cstdio>
#include <iterator>

#include "tools/qavren/arg_parser.h"
#include "tools/qavren/commands.h"
#include "tools/qavren/object_file.h"

namespace qavren::cli {
namespace {

enum ThumbnailOption { kSize, kWireframe, kPolygons, kHelp };
constexpr OptionRule kThumbnailOptions[] = {
    {'s', "size", true}, {0, "wireframe", false}, {0, "polygons", false}, {'h', "help", false}};

}  // namespace

int RunThumbnail(int argc, char** argv) {
    ArgParser parser(argc, argv, kThumbnailOptions, static_cast<int>(std::size(kThumbnailOptions)));
    Message error;
    RenderSettings settings;
    int32_t side = 0;
    bool help = false;
    int option = 0;
    const char* value = nullptr;
    int got;
    while ((got = parser.Next(&option, &value, &error)) == 1) {
        if (option == kHelp) help = true;
        if (option == kWireframe || option == kPolygons) settings.mode = option == kPolygons ? 1 : 0;
        if (option == kSize && !ParseSide(value, &side)) {
            Format(&error, "bad size '%s': give the side of the square in pixels, such as 256", value);
            return UsageError("thumbnail", error.text);
        }
    }
    if (got < 0) return UsageError("thumbnail", error.text);
    if (help) {
        PrintHelp("thumbnail");
        return kExitOk;
    }
    if (side == 0) return UsageError("thumbnail", "no size given: -s SIZE");
    if (parser.operand_count() != 2) return UsageError("thumbnail", "give the object file and the output file");
    // The fit keeps the model's proportions inside any canvas, so a square
    // canvas is the whole of the thumbnail's rule. The output is PNG
    // whatever its name: desktops hand over temporary names.
    settings.width = settings.height = side;
    char** files = parser.operands();
    if (RenderObjectFile(files[0], files[1], ImageFormat::kPng, settings, &error)) return kExitOk;
    std::fprintf(stderr, "qavren: %s\n", error.text);
    return kExitFailed;
}

}  // namespace qavren::cli
