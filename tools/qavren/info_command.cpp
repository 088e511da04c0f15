// qavren info: an object's contents and faults, printed from its report.
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "image/texture_source.h"
#include "tools/qavren/arg_parser.h"
#include "tools/qavren/commands.h"
#include "tools/qavren/object_file.h"
#include "tools/qavren/report_text.h"

namespace qavren::cli {

namespace {

// `folders` has room for every argument: the --textures folders, which
// point into argv.
int Info(int argc, char** argv, const char** folders) {
    enum InfoOption { kAngles, kTextures, kNoTextures, kHelp };
    constexpr OptionRule kOptions[] = {
        {0, "angles", true}, {0, "textures", true}, {0, "no-textures", false}, {'h', "help", false}};
    uint32_t folder_count = 0;
    bool look_up = true;
    RenderSettings view;
    ArgParser parser(argc, argv, kOptions, static_cast<int>(std::size(kOptions)));
    Message error;
    int option = 0;
    const char* value = nullptr;
    bool help = false;
    int got;
    while ((got = parser.Next(&option, &value, &error)) == 1) {
        if (option == kHelp) help = true;
        if (option == kTextures) folders[folder_count++] = value;
        if (option == kNoTextures) look_up = false;
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
        const DiskTextures disk(path, folders, folder_count);
        ExamineObject(buffer, ModelTurn(view.angle_x, view.angle_y, view.angle_z), look_up ? &disk : nullptr,
                      &report);
        if (!WriteReport(stdout, path, report)) status = kExitFailed;
    }
    return status;
}

}  // namespace

int RunInfo(int argc, char** argv) {
    const char** folders = static_cast<const char**>(std::calloc(argc > 0 ? argc : 1, sizeof(char*)));
    if (!folders) {
        std::fprintf(stderr, "qavren: not enough memory\n");
        return kExitFailed;
    }
    const int status = Info(argc, argv, folders);
    std::free(folders);
    return status;
}

}  // namespace qavren::cli
