// Help texts, usage errors and the size arguments shared by the commands.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "plugin/picture.h"
#include "plugin/version.h"
#include "tools/qavren/commands.h"
#include "tools/qavren/output_file.h"

// The sizes the plug-in lays out (ComputeLayout) and a PNG may have
// (kPngSideLimit), for the help texts and the usage error.
#define SIZE_LIMITS "each side 1 to 268435456, the picture under 2 GiB (3 bytes a pixel), a PNG at most 1000000 a side"

namespace qavren::cli {
namespace {

// kThumbnailAngles in words, for the help.
#define THUMBNAIL_ANGLES "-30,35,0"

constexpr const char kProgramHelp[] =
    "Usage: qavren COMMAND [OPTION]... FILE...\n"
    "Draws LightWave objects exactly as the QAVREN.SPI viewer plug-in does: the\n"
    "same background, grid and model, pixel for pixel. It reads all four forms:\n"
    "LWOB (LightWave 3 to 5), the layered LWLO (LightWave 5), LWO2 (LightWave 6\n"
    "to 11) and LWO3 (LightWave 2015 and later); of the layered ones every layer\n"
    "is drawn but the hidden ones. The plug-in reads the last three only when its\n"
    "registry value Forms is 1.\n"
    "\n"
    "Commands:\n"
    "  render      draw objects into PNG or BMP files\n"
    "  info        tell what an object holds and what is wrong with it\n"
    "  thumbnail   draw a PNG thumbnail (N x N or WxH), for desktop file managers\n"
    "  help        show the help of a command: qavren help render\n"
    "\n"
    "Options:\n"
    "  -h, --help      show this help\n"
    "  -V, --version   show the version\n"
    "\n"
    "Exit status: 0 when every file was done, 1 when a file could not be read,\n"
    "drawn or written, 2 for a usage error.\n";

constexpr const char kRenderHelp[] =
    "Usage: qavren render [OPTION]... FILE...\n"
    "       qavren render -r [OPTION]... FOLDER... [-d DIR]\n"
    "Draws each LightWave object FILE (LWOB, LWLO, LWO2 or LWO3) as the viewer\n"
    "plug-in does. Without -o or -d the picture goes next to its object: cube.lwo\n"
    "gives cube.png. FILE - reads the object from standard input (give -o).\n"
    "\n"
    "  -o, --output=OUT      write the picture to OUT, a .png or .bmp file (one FILE only);\n"
    "                        a .bmp holds the very header and pixels the plug-in hands a viewer;\n"
    "                        OUT - is standard output\n"
    "  -d, --directory=DIR   write NAME.png into DIR for each FILE (DIR and its parents are\n"
    "                        made if missing)\n"
    "  -r, --recursive       draw every LightWave object below each FOLDER, found by its\n"
    "                        FORM header whatever its name; with -d the pictures go into\n"
    "                        the same folders below DIR (symlinked folders are not entered)\n"
    "      --format=FORMAT   png or bmp: for -o -, and the names made for -d or beside FILE\n"
    "      --wireframe       the white wireframe (the default)\n"
    "      --polygons        flat-shaded polygons, painted back to front\n"
    "      --shaded          the model lit in its surfaces' colours, smooth where they are,\n"
    "                        with smooth edges (the plug-in's polygons with Shaded = 1)\n"
    "      --background=BG   behind --shaded: canvas (the default), none (transparent;\n"
    "                        PNG only) or a colour RRGGBB such as ffffff\n"
    "      --textures=DIR    --shaded draws the images its surfaces name, found beside the\n"
    "                        object, in Images/ folders near it, then in each DIR given\n"
    "                        (repeatable)\n"
    "      --no-textures     --shaded draws each surface in its own colour, with no image\n"
    "  -s, --size=SIZE       the picture size in pixels, WxH or N for N x N (default 800x600);\n"
    "                        " SIZE_LIMITS "\n"
    "      --angles=X,Y,Z    turn the model by these whole degrees about the x, y and z axes\n"
    "                        (the plug-in's Angle X, Y, Z with View = 1): first z, then x,\n"
    "                        then y; 0,0,0 or none is the plug-in's front view\n"
    "  -j, --jobs=N          draw N pictures at a time (default: one per processor)\n"
    "      --threads=N       draw on N threads in all, shared by the pictures drawn at a\n"
    "                        time (default: one per processor); the same pictures\n"
    "  -q, --quiet           no progress line and no closing count; failures still show\n"
    "  -v, --verbose         also a line for each picture written, with the threads\n"
    "                        that drew it (polygons and shaded)\n"
    "  -h, --help            show this help\n"
    "\n"
    "With several files a progress line shows on a terminal, each failure is a\n"
    "line naming the file and the reason, in the order of the files, and a count\n"
    "closes the batch; the exit status is 0 only when every picture was written.\n"
    "A picture is written whole or not at all; a symlink named as the picture is\n"
    "written through (its target is replaced, the link stays).\n";

constexpr const char kInfoHelp[] =
    "Usage: qavren info [--angles=X,Y,Z] [--textures DIR]... [--no-textures] FILE...\n"
    "Tells what each object holds: its form, its layers (number, name, hidden or\n"
    "not, points, polygons by type), point and polygon counts, the vertex counts\n"
    "of its polygons, its bounds, its chunks (as laid out in the file and, for\n"
    "LWOB, as the viewer plug-in's search finds them), what the plug-in does with\n"
    "it and, in plain words, what is wrong with it. The exit status is 0 when\n"
    "every FILE can be drawn. With --angles (as render takes it) the bounds are\n"
    "those of the turned model, the ones the picture is fitted to. Each surface's\n"
    "image layers are listed with their projection, axis or UV map, the image name\n"
    "the object stores and the file found for it (beside the object, in Images/\n"
    "folders near it, then in each --textures DIR), or \"not found\"; with\n"
    "--no-textures no file is looked for (\"not looked up\"). render --shaded and\n"
    "thumbnail take both options too, and draw the images found.\n";

constexpr const char kThumbnailHelp[] =
    "Usage: qavren thumbnail -s SIZE [--shaded | --wireframe | --polygons] [--angles=X,Y,Z]\n"
    "                        [--textures DIR]... [--no-textures] [--take-turns] FILE OUT\n"
    "Writes a PNG picture of the LightWave object FILE to OUT, WxH pixels for -s WxH\n"
    "and N x N for -s N, the model turned to a three-quarter view from above, front\n"
    "and right (as --angles=" THUMBNAIL_ANGLES " turns it) and fitted with its proportions kept,\n"
    "shaded on a transparent background with a margin all round, the images its\n"
    "surfaces name drawn on them.\n"
    "This is the desktop thumbnailer command:\n"
    "  Exec=qavren thumbnail --take-turns -s %s %i %o\n"
    "OUT is written in place (the desktop may hold it open) and must be named\n"
    ".png; FILE - reads standard input, OUT - writes standard output.\n"
    "\n"
    "  -s, --size=SIZE   WxH pixels, or N for N x N;\n"
    "                    " SIZE_LIMITS "\n"
    "      --shaded      the model lit in its surfaces' colours (the default)\n"
    "      --wireframe   the white wireframe on the canvas\n"
    "      --polygons    flat-shaded polygons on the canvas\n"
    "      --background=BG  behind --shaded: none (the default, transparent),\n"
    "                    canvas, or a colour RRGGBB such as ffffff\n"
    "      --textures=DIR  look for the images also in DIR (repeatable), after beside\n"
    "                    FILE and in Images/ folders near it\n"
    "      --no-textures   each surface in its own colour, with no image\n"
    "      --angles=X,Y,Z  turn the model by these degrees instead (as render does);\n"
    "                    0,0,0 is the viewer plug-in's front view\n"
    "      --take-turns  for a thumbnail service: runs for the same FILE go one at a\n"
    "                    time and end at least a second apart, so that duplicate\n"
    "                    requests do not save one thumbnail twice at once\n"
    "  -q, --quiet       only a failure is shown\n"
    "  -v, --verbose     also a line for the picture written\n"
    "  -h, --help        show this help\n";

const char* HelpOf(const char* command) {
    if (!command) return kProgramHelp;
    if (std::strcmp(command, "render") == 0) return kRenderHelp;
    if (std::strcmp(command, "info") == 0) return kInfoHelp;
    if (std::strcmp(command, "thumbnail") == 0) return kThumbnailHelp;
    return nullptr;
}

// A whole number of degrees, any 32-bit value, an optional sign first.
bool ParseAngle(const char* text, char** end, int32_t* value) {
    const char* digits = *text == '-' || *text == '+' ? text + 1 : text;
    if (*digits < '0' || *digits > '9') return false;
    errno = 0;
    const long long v = std::strtoll(text, end, 10);
    if (errno != 0 || v < INT32_MIN || v > INT32_MAX) return false;
    *value = static_cast<int32_t>(v);
    return true;
}

bool ParseInt32(const char* text, char** end, int32_t* value) {
    if (*text < '0' || *text > '9') return false;  // no sign, no blanks
    errno = 0;
    const long v = std::strtol(text, end, 10);
    if (errno != 0 || v <= 0 || v > INT32_MAX) return false;
    *value = static_cast<int32_t>(v);
    return true;
}

}  // namespace

void PrintHelp(const char* command) {
    const char* text = HelpOf(command);
    std::fputs(text ? text : kProgramHelp, stdout);
}

int UsageError(const char* command, const char* message) {
    if (command) {
        std::fprintf(stderr, "qavren %s: %s\nTry 'qavren %s --help'.\n", command, message, command);
    } else {
        std::fprintf(stderr, "qavren: %s\nTry 'qavren --help'.\n", message);
    }
    return kExitUsage;
}

bool ParseSize(const char* text, int32_t* width, int32_t* height) {
    char* end = nullptr;
    int32_t w = 0;
    int32_t h = 0;
    if (!ParseInt32(text, &end, &w)) return false;
    if (*end == '\0') {
        h = w;
    } else if ((*end != 'x' && *end != 'X') || !ParseInt32(end + 1, &end, &h) || *end != '\0') {
        return false;
    }
    PictureLayout layout;
    if (!ComputeLayout(w, h, &layout)) return false;
    *width = w;
    *height = h;
    return true;
}

bool ParseAngles(const char* text, RenderSettings* settings) {
    char* end = nullptr;
    int32_t angles[3];
    for (int k = 0; k < 3; ++k) {
        if (!ParseAngle(text, &end, &angles[k]) || *end != (k < 2 ? ',' : '\0')) return false;
        text = end + 1;
    }
    settings->angle_x = angles[0];
    settings->angle_y = angles[1];
    settings->angle_z = angles[2];
    settings->view = 1;
    return true;
}

bool ParseBackground(const char* text, ShadedBackground* background) {
    if (std::strcmp(text, "canvas") == 0) {
        *background = {ShadedBackground::Kind::kCanvas, 0};
        return true;
    }
    if (std::strcmp(text, "none") == 0) {
        *background = {ShadedBackground::Kind::kNone, 0};
        return true;
    }
    uint32_t rgb = 0;
    for (int k = 0; k < 6; ++k) {
        const char c = text[k];
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0) return false;
        rgb = rgb << 4 | static_cast<uint32_t>(digit);
    }
    if (text[6] != '\0') return false;
    *background = {ShadedBackground::Kind::kColour, Rgb(rgb >> 16, rgb >> 8 & 0xFF, rgb & 0xFF)};
    return true;
}

const char* BadBackground(const char* text, Message* m) {
    Format(m, "bad --background '%s': give canvas, none, or a colour RRGGBB such as ffffff", text);
    return m->text;
}

const char* BadAngles(const char* text, Message* m) {
    Format(m, "bad --angles '%s': give three whole numbers of degrees, X,Y,Z such as 30,-40,0", text);
    return m->text;
}

const char* BadSize(const char* text, Message* m) {
    Format(m, "bad size '%s': give WxH such as 800x600, or N for N x N; " SIZE_LIMITS, text);
    return m->text;
}

// The styles' names, in DrawStyle's order.
constexpr const char* kStyleNames[] = {"wireframe", "polygons", "shaded"};

void DescribeWritten(const char* input, const char* output, const RenderSettings& settings, Message* m) {
    char angles[48] = "";
    if (settings.view == 1) {
        std::snprintf(angles, sizeof angles, ", angles %d,%d,%d", settings.angle_x, settings.angle_y,
                      settings.angle_z);
    }
    Format(m, "%s -> %s (%dx%d, %s%s)", IsStandardStream(input) ? "standard input" : input,
           IsStandardStream(output) ? "standard output" : output, settings.width, settings.height,
           kStyleNames[static_cast<int>(StyleOf(settings))], angles);
}

}  // namespace qavren::cli
