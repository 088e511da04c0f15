// qavren info: an object's contents and faults, printed from its report.
#include <cstdio>
#include <iterator>

#include "image/texture_source.h"
#include "tools/qavren/arg_parser.h"
#include "tools/qavren/commands.h"
#include "tools/qavren/object_file.h"
#include "tools/qavren/report_text.h"
#include "tools/qavren/texture_options.h"

namespace qavren::cli {

int RunInfo(int argc, char** argv) {
    enum InfoOption { kAngles, kTextures, kNoTextures, kHelp };
    constexpr OptionRule kOptions[] = {{0, "angles", true}, kTexturesRule, kNoTexturesRule, {'h', "help", false}};
    TextureOptions textures;
    if (!textures.Reserve(argc)) {
        std::fprintf(stderr, "qavren: not enough memory\n");
        return kExitFailed;
    }
    RenderSettings view;
    ArgParser parser(argc, argv, kOptions, static_cast<int>(std::size(kOptions)));
    Message error;
    int option = 0;
    const char* value = nullptr;
    bool help = false;
    int got;
    while ((got = parser.Next(&option, &value, &error)) == 1) {
        if (option == kHelp) help = true;
        textures.Take(kOptions[option], value);
        if (option == kAngles && !ParseAngles(value, &view)) return UsageError("info", BadAngles(value, &error));
    }
    if (got < 0) return UsageError("info", error.text);
    if (help) {
        PrintHelp("info");
        return kExitOk;
    }
    if (parser.operand_count() == 0) return UsageError("info", "no object file given");
    int status = kExitOk;
    for (int i = 0; i < parser.operand_count(); ++i) {
        const char* path = parser.operands()[i];
        if (i) std::printf("\n");
        ObjectBuffer buffer;
        if (!LoadAnyObject(path, &buffer, &error)) {
            std::fflush(stdout);
            std::fprintf(stderr, "qavren: %s\n", error.text);
            status = kExitFailed;
            continue;
        }
        ObjectReport report;
        const DiskTextures disk = textures.Around(path);
        ExamineObject(buffer, ModelTurn(view.angle_x, view.angle_y, view.angle_z), textures.look_up() ? &disk : nullptr,
                      &report);
        if (!WriteReport(stdout, path, report)) status = kExitFailed;
    }
    return status;
}

}  // namespace qavren::cli
