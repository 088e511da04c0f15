// Loading an object file for a command, with every way it can fail worded
// for a person: the file system's reason for an unreadable file, the form
// for a refused one, the chunk or polygon at fault for a corrupt one.
#pragma once

#include "object/object_buffer.h"
#include "platform/status.h"
#include "settings/render_settings.h"
#include "tools/qavren/message.h"
#include "tools/qavren/object_report.h"
#include "tools/qavren/picture_file.h"

namespace qavren::cli {

// "-" reads the object from standard input, named "standard input" in
// messages.
const char* DisplayName(const char* path);

// Loads the whole file and checks that it is one of the four forms. False with
// "PATH: what is wrong" in *error.
bool LoadObject(const char* path, ObjectBuffer* buffer, Message* error);

// Loads the whole file whatever it holds, for the report. False with the
// reason in *error when it cannot be read.
bool LoadAnyObject(const char* path, ObjectBuffer* buffer, Message* error);

// Load, draw, write: the whole of one picture job. False with one line in
// *error naming the file at fault.
// A shaded picture is drawn over `background`; kNone writes an RGBA PNG.
// Any picture is drawn on the threads `drawing` allows. The shaded style
// finds its images in `textures` (null: untextured).
bool RenderObjectFile(const char* input, const char* output, ImageFormat format, WriteMode mode,
                      const RenderSettings& settings, Message* error,
                      const ShadedBackground& background = ShadedBackground{}, const DrawingOptions& drawing = {},
                      const TextureSource* textures = nullptr);

// The thumbnail picture (DrawThumbnail) as a PNG: the same steps.
bool ThumbnailObjectFile(const char* input, const char* output, WriteMode mode, int32_t width, int32_t height,
                         const ThumbnailOptions& options, Message* error);

}  // namespace qavren::cli
