// The qavren commands. Each gets its arguments after the command name and
// returns the exit status: 0 done, 1 a file could not be read, drawn or
// written, 2 a usage error.
#pragma once

#include <cstdint>

namespace qavren::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int RunRender(int argc, char** argv);
int RunInfo(int argc, char** argv);
int RunThumbnail(int argc, char** argv);

// Prints the help of a command (null: the program's) to stdout.
void PrintHelp(const char* command);
// "qavren COMMAND: message" and where help is, on stderr; returns 2.
int UsageError(const char* command, const char* message);

// "WxH" with both sides positive and a picture the plug-in can lay out.
bool ParseSize(const char* text, int32_t* width, int32_t* height);
// A side length for a square picture, with the same limits.
bool ParseSide(const char* text, int32_t* side);

}  // namespace qavren::cli
