// TextureSource: given an image name as an object stores it, the image's
// bytes, or nothing. A missing, unreadable or too large image is "not found";
// the caller then draws the surface untextured and the picture still succeeds.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/image.h"
#include "platform/owned_array.h"
#include "platform/status.h"

namespace qavren {

// The most bytes an image file may have: 64 MiB.
constexpr uint64_t kMaxImageFileBytes = uint64_t{64} << 20;

// An image's bytes, owned or borrowed, and where they were found.
class ImageBytes {
public:
    ImageBytes() = default;
    ImageBytes(const ImageBytes&) = delete;
    ImageBytes& operator=(const ImageBytes&) = delete;

    // `size` bytes to fill and the NUL-terminated `found`, in one block of
    // ours: 0, or status::kNoMemory when memory cannot be had.
    Status Allocate(size_t size, const char* found);
    // Bytes and a name the caller keeps alive.
    void Borrow(const uint8_t* data, size_t size, const char* found);
    void Release();

    uint8_t* writable() { return block_.data(); }
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    const char* found() const { return found_; }  // a path, or the name of a file in memory
    bool empty() const { return data_ == nullptr; }

private:
    OwnedArray<uint8_t> block_;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    const char* found_ = "";
};

class TextureSource {
public:
    virtual ~TextureSource() = default;
    // The bytes of the image stored as `name` (`length` untrusted bytes; a NUL
    // ends the name): 0 with `out` filled; status::kNoData when nothing is
    // found; status::kNoMemory when memory cannot be had.
    virtual Status Find(const uint8_t* name, uint32_t length, ImageBytes* out) const = 0;
    // Find, then DecodeImage: 0, or one of their failures.
    Status Load(const uint8_t* name, uint32_t length, Image* out) const;
};

// For shells that get only the object's bytes: every image is missing.
class NoTextures final : public TextureSource {
public:
    Status Find(const uint8_t*, uint32_t, ImageBytes*) const override { return status::kNoData; }
};

// Files held in memory (dropped on a page): a name matches the stored one
// byte for byte, or else by its file name with ASCII letters folded.
class MemoryTextures final : public TextureSource {
public:
    struct File {
        const char* name;  // NUL-terminated; may hold folders
        const uint8_t* bytes;
        size_t size;
    };
    // The files stay the caller's and must outlive this source.
    MemoryTextures(const File* files, uint32_t count) : files_(files), count_(count) {}
    Status Find(const uint8_t* name, uint32_t length, ImageBytes* out) const override;

private:
    const File* files_;
    uint32_t count_;
};

// The search on disk around the object (see image/texture_search.h), then
// in the caller's folders. Only regular files of at most kMaxImageFileBytes
// are read, opened without blocking. The paths stay the caller's.
class DiskTextures final : public TextureSource {
public:
    DiskTextures(const char* object_path, const char* const* folders, uint32_t folder_count)
        : object_path_(object_path), folders_(folders), folder_count_(folder_count) {}
    Status Find(const uint8_t* name, uint32_t length, ImageBytes* out) const override;

private:
    const char* object_path_;
    const char* const* folders_;
    uint32_t folder_count_;
};

}  // namespace qavren
