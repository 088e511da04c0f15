// stb_image (Debian's libstb-dev) for JPEG, PNG, TGA, BMP, PSD and GIF, the
// same code in every build: no SIMD paths (the plain integer code gives the
// same pixels everywhere), no stdio, and every block it takes comes from the
// platform's allocator, so that allocation failures can be injected. The
// header's size is read first and refused above kMaxImagePixels before any
// pixel is allocated.
#include <cstring>

#include "image/image_internal.h"
#include "platform/memory.h"

namespace {

// Set when one of stb_image's allocations failed on this thread, so that a
// failed decode is told apart from damaged data.
thread_local bool g_allocation_failed = false;

void* StbAllocate(size_t size) {
    void* block = qavren::platform::AllocateZeroed(size);
    if (!block) g_allocation_failed = true;
    return block;
}

// stb_image grows its zlib output and PNG data blocks; the platform has no
// realloc, so a new block takes the old one's bytes.
void* StbReallocate(void* old_block, size_t old_size, size_t new_size) {
    void* block = StbAllocate(new_size);
    if (!block) return nullptr;  // stb_image keeps and later frees the old block
    if (old_block) {
        std::memcpy(block, old_block, old_size < new_size ? old_size : new_size);
        qavren::platform::Free(old_block);
    }
    return block;
}

}  // namespace

#define STBI_NO_SIMD
#define STBI_NO_STDIO
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_ONLY_TGA
#define STBI_ONLY_BMP
#define STBI_ONLY_PSD
#define STBI_ONLY_GIF
#define STBI_MALLOC(size) StbAllocate(size)
#define STBI_REALLOC_SIZED(block, old_size, new_size) StbReallocate(block, old_size, new_size)
#define STBI_FREE(block) qavren::platform::Free(block)
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

namespace qavren::image_internal {
namespace {

// stb_image (2.27) builds each JPEG Huffman table without checking that its
// code counts add up to at most 256, and writes past its tables when they do
// not. Every DHT segment it could reach is checked here first: the segments
// are walked by their lengths from the start, and after each one (and in
// entropy-coded data) the next marker is the next 0xFF followed by neither 0,
// 0xFF nor a restart, as stb_image finds it; up to the end of the image.
bool JpegTablesFit(const uint8_t* bytes, size_t size) {
    size_t at = 0;
    while (at + 1 < size) {
        if (bytes[at] != 0xFF || bytes[at + 1] == 0xFF || bytes[at + 1] == 0 ||
            (bytes[at + 1] >= 0xD0 && bytes[at + 1] <= 0xD7)) {
            ++at;  // entropy-coded data, fill bytes or junk
            continue;
        }
        const uint8_t marker = bytes[at + 1];
        if (marker == 0xD9) return true;  // EOI
        if (marker == 0xD8 || marker == 0x01) {  // SOI, TEM: no length
            at += 2;
            continue;
        }
        if (at + 4 > size) return true;
        const size_t length = size_t{bytes[at + 2]} << 8 | bytes[at + 3];
        const size_t end = at + 2 + length < size ? at + 2 + length : size;
        if (marker == 0xC4) {
            // Tables are read while the segment lasts, their counts even
            // from past its end (and as zeros past the file's).
            for (size_t t = at + 4; t < end;) {
                uint32_t codes = 0;
                for (size_t k = 1; k <= 16; ++k) codes += t + k < size ? bytes[t + k] : 0;
                if (codes > 256) return false;
                t += 17 + codes;
            }
        }
        at = length >= 2 ? end : at + 2;
    }
    return true;
}

// The image's bytes handed to stb_image through its callbacks, which tell
// what reading from memory hides: stb_image reads zeros past the end of its
// data, so that an image cut short would decode with its missing rows black.
// stb_image reads in two ways: it refills its own buffer (always the one its
// first read filled), where a short read is the data's last bytes and a read
// of none means a decoder wants bytes past the end; and it reads a block of
// exactly the bytes a decoder needs straight into the decoder's memory,
// where any short read means the image was cut short.
struct Reader {
    const uint8_t* bytes;
    size_t size;
    size_t at = 0;
    const char* own_buffer = nullptr;
    bool past_end = false;

    static int Read(void* user, char* data, int want) {
        auto* r = static_cast<Reader*>(user);
        if (!r->own_buffer) r->own_buffer = data;
        const size_t left = r->size - r->at;
        const size_t n = want > 0 && static_cast<size_t>(want) < left ? static_cast<size_t>(want) : left;
        if (want > 0 && (data == r->own_buffer ? n == 0 : n < static_cast<size_t>(want))) r->past_end = true;
        std::memcpy(data, r->bytes + r->at, n);
        r->at += n;
        return static_cast<int>(n);
    }
    static void Skip(void* user, int n) {
        auto* r = static_cast<Reader*>(user);
        if (n > 0 && static_cast<size_t>(n) > r->size - r->at) {
            r->past_end = true;
            r->at = r->size;
        } else if (n > 0) {
            r->at += static_cast<size_t>(n);
        }
    }
    static int End(void* user) {
        const auto* r = static_cast<const Reader*>(user);
        return r->at >= r->size;
    }
};

}  // namespace

Status DecodeWithStb(const uint8_t* bytes, size_t size, Image* out) {
    const int length = static_cast<int>(size);  // the caller proved size <= INT_MAX
    // stb_image takes a white matte off PSD images of four or more channels
    // in float arithmetic whose out-of-range results it converts to bytes
    // unchecked (undefined behaviour, pixels that depend on the build): such
    // images are not read.
    if (size >= 14 && std::memcmp(bytes, "8BPS", 4) == 0 && (bytes[12] << 8 | bytes[13]) >= 4) {
        return status::kUnsupportedInput;
    }
    if (bytes[0] == 0xFF && !JpegTablesFit(bytes, size)) return status::kCorrupt;  // stb_image's JPEG test
    g_allocation_failed = false;
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(bytes, length, &width, &height, &channels)) {
        return g_allocation_failed ? status::kNoMemory : status::kUnsupportedInput;
    }
    if (width <= 0 || height <= 0 ||
        static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > kMaxImagePixels) {
        return status::kUnsupportedInput;
    }
    int decoded_width = 0, decoded_height = 0;
    Reader reader{bytes, size};
    const stbi_io_callbacks callbacks = {&Reader::Read, &Reader::Skip, &Reader::End};
    stbi_uc* pixels =
        stbi_load_from_callbacks(&callbacks, &reader, &decoded_width, &decoded_height, &channels, 4);
    if (!pixels) return g_allocation_failed ? status::kNoMemory : status::kCorrupt;
    // The header read twice disagrees, or the pixels ran past the data.
    if (decoded_width != width || decoded_height != height || reader.past_end) {
        stbi_image_free(pixels);
        return status::kCorrupt;
    }
    out->Adopt(pixels, static_cast<uint32_t>(width), static_cast<uint32_t>(height));
    return status::kOk;
}

}  // namespace qavren::image_internal
