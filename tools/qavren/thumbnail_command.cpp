// qavren thumbnail: the freedesktop thumbnailer entry, a PNG (N x N or WxH)
// written into the very file the desktop named: DrawThumbnail's picture, the
// one the image loaders show for the same size.
#include <cstdio>
#include <cstring>
#include <iterator>
#include <strings.h>
#include <unistd.h>

#include "tools/qavren/arg_parser.h"
#include "tools/qavren/commands.h"
#include "tools/qavren/object_file.h"
#include "tools/qavren/texture_options.h"
#include "tools/qavren/turns.h"

namespace qavren::cli {
namespace {

enum ThumbnailOption {
    kSize, kWireframe, kPolygons, kAngles, kQuiet, kVerbose, kHelp, kTakeTurns, kShaded, kBackground, kTextures,
    kNoTextures
};
constexpr OptionRule kThumbnailOptions[] = {{'s', "size", true},     {0, "wireframe", false},
                                            {0, "polygons", false},  {0, "angles", true},
                                            {'q', "quiet", false},   {'v', "verbose", false},
                                            {'h', "help", false},    {0, "take-turns", false},
                                            {0, "shaded", false},    {0, "background", true},
                                            kTexturesRule,           kNoTexturesRule};

bool NamedPng(const char* path) {
    const char* dot = std::strrchr(path, '.');
    const char* slash = std::strrchr(path, '/');
    return dot && (!slash || dot > slash) && strcasecmp(dot, ".png") == 0;
}

}  // namespace

int RunThumbnail(int argc, char** argv) {
    TextureOptions textures;
    if (!textures.Reserve(argc)) {
        std::fprintf(stderr, "qavren: not enough memory\n");
        return kExitFailed;
    }
    ArgParser parser(argc, argv, kThumbnailOptions, static_cast<int>(std::size(kThumbnailOptions)));
    Message error;
    RenderSettings settings;  // the size, and the style and angles for the -v line
    settings.width = settings.height = 0;
    settings.angle_x = kThumbnailAngles[0];
    settings.angle_y = kThumbnailAngles[1];
    settings.angle_z = kThumbnailAngles[2];
    settings.view = 1;
    settings.mode = settings.shaded = 1;
    ThumbnailOptions options = ThumbnailDefaults();
    bool background_given = false;
    Verbosity verbosity = Verbosity::kNormal;
    bool help = false;
    bool take_turns = false;
    int option = 0;
    const char* value = nullptr;
    int got;
    while ((got = parser.Next(&option, &value, &error)) == 1) {
        if (option == kHelp) help = true;
        textures.Take(kThumbnailOptions[option], value);
        if (option == kTakeTurns) take_turns = true;
        if (option == kQuiet || option == kVerbose) verbosity = option == kQuiet ? Verbosity::kQuiet : Verbosity::kVerbose;
        if (option == kWireframe || option == kPolygons || option == kShaded) {
            settings.mode = option == kWireframe ? 0 : 1;
            settings.shaded = option == kShaded ? 1 : 0;
        }
        if (option == kBackground) {
            if (!ParseBackground(value, &options.background)) return UsageError("thumbnail", BadBackground(value, &error));
            background_given = true;
        }
        if (option == kAngles && !ParseAngles(value, &settings)) return UsageError("thumbnail", BadAngles(value, &error));
        if (option == kSize && !ParseSize(value, &settings.width, &settings.height)) {
            return UsageError("thumbnail", BadSize(value, &error));
        }
    }
    if (got < 0) return UsageError("thumbnail", error.text);
    if (help) {
        PrintHelp("thumbnail");
        return kExitOk;
    }
    if (settings.width == 0) return UsageError("thumbnail", "no size given: -s SIZE");
    if (background_given && StyleOf(settings) != DrawStyle::kShaded) {
        return UsageError("thumbnail", "--background is for the shaded style; the other styles draw the canvas");
    }
    options.style = StyleOf(settings);
    options.angle_x = settings.angle_x;
    options.angle_y = settings.angle_y;
    options.angle_z = settings.angle_z;
    if (parser.operand_count() != 2) return UsageError("thumbnail", "give the object file and the output file");
    char** files = parser.operands();
    const char* output = files[1];
    if (IsStandardStream(output) && ::isatty(STDOUT_FILENO)) {
        return UsageError("thumbnail", "standard output is a terminal; redirect it to a file");
    }
    if (!IsStandardStream(output) && !NamedPng(output)) {
        Format(&error, "the thumbnail is a PNG picture: give OUT a .png name, not '%s'", output);
        return UsageError("thumbnail", error.text);
    }
    if (settings.width > kPngSideLimit || settings.height > kPngSideLimit) {
        Format(&error, "a PNG picture is at most %d pixels a side", kPngSideLimit);
        return UsageError("thumbnail", error.text);
    }
    // The fit keeps the model's proportions inside any canvas, so a square
    // canvas is the whole of the thumbnail's rule.
    const DiskTextures disk = textures.Around(files[0]);
    if (textures.look_up() && options.style == DrawStyle::kShaded) options.textures = &disk;
    ObjectTurn turn;
    if (take_turns) turn.Take(files[0]);
    if (ThumbnailObjectFile(files[0], output, WriteMode::kInPlace, settings.width, settings.height, options, &error)) {
        turn.KeepAfterExit();
        if (verbosity == Verbosity::kVerbose) {
            DescribeWritten(files[0], output, settings, &error);
            std::fprintf(stderr, "qavren: %s\n", error.text);
        }
        return kExitOk;
    }
    std::fprintf(stderr, "qavren: %s\n", error.text);
    return kExitFailed;
}

}  // namespace qavren::cli
