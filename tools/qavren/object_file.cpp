// One object file through load, check, draw and write, with plain words for
// each failure.
#include "tools/qavren/object_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "object/forms.h"
#include "tools/qavren/object_report.h"

namespace qavren::cli {
namespace {

// The loader only says "cannot read"; the file system says why.
void DescribeUnreadable(const char* path, Message* error) {
    struct stat st;
    if (::stat(path, &st) != 0) {
        Format(error, "%s: %s", path, errno == ENOENT ? "no such file" : std::strerror(errno));
    } else if (S_ISDIR(st.st_mode)) {
        Format(error, "%s: is a directory, not an object file", path);
    } else if (!S_ISREG(st.st_mode)) {
        Format(error, "%s: is not a regular file", path);
    } else if (::access(path, R_OK) != 0) {
        Format(error, "%s: cannot be read: %s", path, std::strerror(errno));
    } else if (st.st_size == 0) {
        Format(error, "%s: is empty", path);
    } else {
        Format(error, "%s: could not be read to its end", path);
    }
}

// An object is at most 4 GiB - 1 bytes, as a file's.
bool LoadStandardInput(ObjectBuffer* buffer, Message* error) {
    size_t size = 0;
    size_t capacity = 0;
    uint8_t* bytes = nullptr;
    for (;;) {
        if (size == capacity) {
            const size_t grown = capacity ? 2 * capacity : 65536;
            auto* larger = grown <= uint64_t{UINT32_MAX} + 65536 ? static_cast<uint8_t*>(std::realloc(bytes, grown)) : nullptr;
            if (!larger) {
                std::free(bytes);
                Format(error, "standard input: too large to load into memory");
                return false;
            }
            bytes = larger;
            capacity = grown;
        }
        const ssize_t n = ::read(STDIN_FILENO, bytes + size, capacity - size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            Format(error, "standard input: cannot be read: %s", std::strerror(errno));
            std::free(bytes);
            return false;
        }
        if (n == 0) break;
        size += static_cast<size_t>(n);
    }
    Status st = size == 0 ? status::kReadError : status::kNoMemory;
    if (size > 0 && size <= UINT32_MAX) st = buffer->LoadFromMemory(bytes, static_cast<uint32_t>(size));
    std::free(bytes);
    if (st == status::kOk) return true;
    Format(error, size == 0 ? "standard input: is empty" : "standard input: too large to load into memory");
    return false;
}

}  // namespace

const char* DisplayName(const char* path) { return IsStandardStream(path) ? "standard input" : path; }

bool LoadAnyObject(const char* path, ObjectBuffer* buffer, Message* error) {
    if (IsStandardStream(path)) return LoadStandardInput(buffer, error);
    // Opening a FIFO or a device could block or never end: only regular
    // files are opened at all.
    struct stat st_before;
    if (::stat(path, &st_before) != 0 || !S_ISREG(st_before.st_mode)) {
        DescribeUnreadable(path, error);
        return false;
    }
    const Status st = buffer->LoadFromFile(path, 0);
    if (st == status::kOk) return true;
    if (st == status::kNoMemory) {
        Format(error, "%s: too large to load into memory", path);
    } else {
        DescribeUnreadable(path, error);
    }
    return false;
}

bool LoadObject(const char* path, ObjectBuffer* buffer, Message* error) {
    if (!LoadAnyObject(path, buffer, error)) return false;
    const Status form = CheckForm(*buffer, kEveryForm);
    if (form == status::kDrawnForm) return true;
    DescribeDrawFailure(DisplayName(path), *buffer, form, error);
    return false;
}

bool RenderObjectFile(const char* input, const char* output, ImageFormat format, WriteMode mode,
                      const RenderSettings& settings, Message* error, const ShadedBackground& background,
                      const DrawingOptions& drawing, const TextureSource* textures) {
    if (StyleOf(settings) == DrawStyle::kShaded && background.kind == ShadedBackground::Kind::kNone) {
        ThumbnailOptions options;
        options.angle_x = ViewAngle(settings, settings.angle_x);
        options.angle_y = ViewAngle(settings, settings.angle_y);
        options.angle_z = ViewAngle(settings, settings.angle_z);
        options.margin = false;
        options.drawing = drawing;
        options.textures = textures;
        return ThumbnailObjectFile(input, output, mode, settings.width, settings.height, options, error);
    }
    ObjectBuffer buffer;
    if (!LoadObject(input, &buffer, error)) return false;
    DrawnPicture picture;
    const Status st = picture.Draw(buffer, settings, background, drawing, textures);
    if (Failed(st)) {
        DescribeDrawFailure(DisplayName(input), buffer, st, error);
        return false;
    }
    buffer.Release();  // the object is no longer needed while the file is written
    return WritePicture(picture, format, output, mode, error);
}

bool ThumbnailObjectFile(const char* input, const char* output, WriteMode mode, int32_t width, int32_t height,
                         const ThumbnailOptions& options, Message* error) {
    ObjectBuffer buffer;
    if (!LoadObject(input, &buffer, error)) return false;
    RgbaPicture picture;
    const Status st = DrawThumbnail(buffer, width, height, options, &picture);
    if (Failed(st)) {
        DescribeDrawFailure(DisplayName(input), buffer, st, error);
        return false;
    }
    buffer.Release();
    return WritePicture(picture, output, mode, error);
}

}  // namespace qavren::cli
