// The qavren commands. Each gets its arguments after the command name and
// returns the exit status: 0 done, 1 a file could not be read, drawn or
// written, 2 a usage error.
#pragma once

#include <cstdint>

#include "render/canvas.h"
#include "settings/render_settings.h"
#include "tools/qavren/message.h"

namespace qavren::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// -q: failures only; -v: also a line per picture written.
enum class Verbosity { kQuiet, kNormal, kVerbose };

// The most jobs -j gives; more are taken as this many.
constexpr int kMaxJobs = 64;

int RunRender(int argc, char** argv);
int RunInfo(int argc, char** argv);
int RunThumbnail(int argc, char** argv);

// Prints the help of a command (null: the program's) to stdout.
void PrintHelp(const char* command);
// "qavren COMMAND: message" and where help is, on stderr; returns 2.
int UsageError(const char* command, const char* message);

// "WxH", or "N" for N x N, with both sides positive and a picture the
// plug-in can lay out. Every command's -s and --size take it.
bool ParseSize(const char* text, int32_t* width, int32_t* height);
// The usage error for a size ParseSize refused, worded into *m.
const char* BadSize(const char* text, Message* m);

// "X,Y,Z", three whole numbers of degrees (any 32-bit value, a sign
// allowed): the angles, with View = 1 so that they turn the model.
bool ParseAngles(const char* text, RenderSettings* settings);
// The usage error for angles ParseAngles refused, worded into *m.
const char* BadAngles(const char* text, Message* m);

// --background: "canvas", "none", or a colour as six hex digits RRGGBB.
bool ParseBackground(const char* text, ShadedBackground* background);
const char* BadBackground(const char* text, Message* m);

// The thumbnail's view without --angles: a three-quarter view from above,
// in front and to the right (the angles as the plug-in stores them).
constexpr int32_t kThumbnailAngles[3] = {-30, 35, 0};

// "INPUT -> OUTPUT (WxH, mode)", the -v line of a written picture.
void DescribeWritten(const char* input, const char* output, const RenderSettings& settings, Message* m);

}  // namespace qavren::cli
