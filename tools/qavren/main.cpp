// qavren: the viewer plug-in's pictures of LightWave objects, natively.
// Dispatches to the commands; --help and --version as people expect. Text
// on standard output that could not be written fails the command, as it
// does GNU tools: `qavren info x.lwo > /dev/full` says so and exits 1.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdio_ext.h>

#include "plugin/version.h"
#include "tools/qavren/commands.h"
#include "tools/qavren/message.h"
#include "tools/qavren/signals.h"

using namespace qavren::cli;

namespace {

bool Is(const char* arg, const char* short_name, const char* long_name) {
    return std::strcmp(arg, short_name) == 0 || std::strcmp(arg, long_name) == 0;
}

int Help(int argc, char** argv) {
    if (argc > 1) return UsageError("help", "give at most one command");
    if (argc == 1 && std::strcmp(argv[0], "render") != 0 && std::strcmp(argv[0], "info") != 0 &&
        std::strcmp(argv[0], "thumbnail") != 0) {
        Message m;
        Format(&m, "no such command '%s'", argv[0]);
        return UsageError(nullptr, m.text);
    }
    PrintHelp(argc == 1 ? argv[0] : nullptr);
    return kExitOk;
}

int Dispatch(int argc, char** argv) {
    if (argc < 2) return UsageError(nullptr, "no command given");
    const char* command = argv[1];
    if (Is(command, "-h", "--help")) return Help(0, nullptr);
    if (Is(command, "-V", "--version")) {
        std::printf("qavren %s\n", QAVREN_VERSION);
        return kExitOk;
    }
    InstallSignalHandlers();
    if (std::strcmp(command, "render") == 0) return RunRender(argc - 2, argv + 2);
    if (std::strcmp(command, "info") == 0) return RunInfo(argc - 2, argv + 2);
    if (std::strcmp(command, "thumbnail") == 0) return RunThumbnail(argc - 2, argv + 2);
    if (std::strcmp(command, "help") == 0) return Help(argc - 2, argv + 2);
    Message m;
    Format(&m, command[0] == '-' ? "unknown option '%s'" : "no such command '%s'", command);
    return UsageError(nullptr, m.text);
}

// Flushes and closes standard output; a failure now or in an earlier write
// turns a success into status 1. Pictures written to "-" go out through the
// descriptor and report their own failures; this is the text.
int CloseStandardOutput(int status) {
    errno = 0;
    const bool earlier = std::ferror(stdout) != 0;
    const bool pending = __fpending(stdout) != 0;
    if (std::fclose(stdout) == 0 && !earlier) return status;
    const int error = errno;
    // A closed descriptor that nothing was written to is no failure (`>&-`).
    if (error == EBADF && !earlier && !pending) return status;
    std::fprintf(stderr, "qavren: cannot write to standard output: %s\n",
                 error && !earlier ? std::strerror(error) : "write error");
    return status == kExitOk ? kExitFailed : status;
}

}  // namespace

int main(int argc, char** argv) { return CloseStandardOutput(Dispatch(argc, argv)); }
