// The three texture sources, and reading a found file.
#include "image/texture_source.h"

#include <cstring>

#include "image/texture_search.h"
#include "platform/file.h"
#include "platform/folders.h"

namespace qavren {
namespace {

using texture_search::kMaxPath;
using texture_search::SameNameIgnoringCase;

size_t NameLength(const uint8_t* name, uint32_t length) {
    const void* nul = std::memchr(name, 0, length);
    return nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - name) : length;
}

// The entries of a folder that answer `part`: the one spelled the same
// first, then those equal but for case in byte order, so that the choice does
// not depend on the order the system lists them in. A few at most.
struct PartMatches {
    static constexpr int kMost = 4;
    static constexpr size_t kMaxName = 256;  // longer entry names are never ours
    const char* part;
    size_t length;
    char names[kMost][kMaxName];
    int count = 0;

    bool Before(const char* a, const char* b) const {
        const bool a_exact = std::memcmp(a, part, length) == 0, b_exact = std::memcmp(b, part, length) == 0;
        return a_exact != b_exact ? a_exact : std::strcmp(a, b) < 0;
    }

    static bool Visit(void* context, const char* entry) {
        auto* m = static_cast<PartMatches*>(context);
        const size_t n = std::strlen(entry);
        if (n >= kMaxName || !SameNameIgnoringCase(entry, n, m->part, m->length)) return true;
        int at = m->count < kMost ? m->count : kMost;  // insertion in order; the last falls off
        for (; at > 0 && m->Before(entry, m->names[at - 1]); --at) {
            if (at < kMost) std::memcpy(m->names[at], m->names[at - 1], kMaxName);
        }
        if (at < kMost) std::memcpy(m->names[at], entry, n + 1);
        if (m->count < kMost) ++m->count;
        return true;
    }
};

// Reads a regular file of at most kMaxImageFileBytes.
Status ReadImageFile(const char* path, ImageBytes* out) {
    platform::File file = platform::File::OpenForReading(path);
    uint64_t size = 0;
    if (!file.IsOpen() || !platform::FileSize(file.handle(), &size)) return status::kReadError;
    if (size == 0 || size > kMaxImageFileBytes) return status::kUnsupportedInput;
    Status st = out->Allocate(static_cast<size_t>(size), path);
    if (Failed(st)) return st;
    if (!platform::ReadExact(file.handle(), out->writable(), static_cast<uint32_t>(size))) {
        out->Release();
        return status::kReadError;
    }
    return status::kOk;
}

// Resolves each place one part at a time, folding case, and reads the file.
class DiskSearch final : public texture_search::PlaceVisitor {
public:
    explicit DiskSearch(ImageBytes* out) : out_(out) {}
    Status result = status::kNoData;

    bool Try(const char* folder, const char* relative) override {
        const size_t length = std::strlen(folder);
        if (length >= kMaxPath) return false;
        std::memcpy(path_, folder, length + 1);
        listings_ = 0;
        return Resolve(length, relative);
    }

private:
    // The path so far is path_[0, length); `rest` the parts still to find.
    // Each part tries every entry that answers it, so that "images" and
    // "Images" side by side are both searched; a bounded number of listings.
    bool Resolve(size_t length, const char* rest) {
        const char* end = std::strchr(rest, '/');
        const size_t n = end ? static_cast<size_t>(end - rest) : std::strlen(rest);
        const char* next = end ? end + 1 : nullptr;
        if ((n == 1 && rest[0] == '.') || n == 0) return next ? Resolve(length, next) : false;
        if (n == 2 && rest[0] == '.' && rest[1] == '.') {
            size_t longer = length;
            return Append(&longer, "..", 2) && next && Resolve(longer, next);
        }
        if (++listings_ > kMostListings) return false;
        PartMatches matches;
        matches.part = rest;
        matches.length = n;
        path_[length] = '\0';
        if (!platform::ListFolder(path_, &PartMatches::Visit, &matches)) return false;
        for (int k = 0; k < matches.count; ++k) {
            size_t longer = length;
            if (!Append(&longer, matches.names[k], std::strlen(matches.names[k]))) continue;
            if (next ? Resolve(longer, next) : ReadFound()) return true;
            if (result == status::kNoMemory) return true;
        }
        return false;
    }

    bool ReadFound() {
        const Status st = ReadImageFile(path_, out_);
        if (st == status::kOk || st == status::kNoMemory) result = st;
        return st == status::kOk;
    }

    static constexpr int kMostListings = 64;
    int listings_ = 0;

    bool Append(size_t* length, const char* part, size_t n) {
        const bool slash = *length > 0 && path_[*length - 1] != '/';
        if (n + 2 >= kMaxPath - *length) return false;
        if (slash) path_[(*length)++] = '/';
        std::memcpy(path_ + *length, part, n);
        *length += n;
        path_[*length] = '\0';
        return true;
    }

    ImageBytes* out_;
    char path_[kMaxPath];
};

}  // namespace

Status ImageBytes::Allocate(size_t size, const char* found) {
    Release();
    const size_t name = std::strlen(found) + 1;
    if (const Status s = block_.Allocate(uint64_t{size} + name); Failed(s)) return s;
    std::memcpy(block_.data() + size, found, name);
    data_ = block_.data();
    size_ = size;
    found_ = reinterpret_cast<const char*>(block_.data() + size);
    return status::kOk;
}

void ImageBytes::Borrow(const uint8_t* data, size_t size, const char* found) {
    Release();
    data_ = data;
    size_ = size;
    found_ = found;
}

void ImageBytes::Release() {
    block_.Reset();
    data_ = nullptr;
    size_ = 0;
    found_ = "";
}

Status TextureSource::Load(const uint8_t* name, uint32_t length, Image* out) const {
    out->Release();
    ImageBytes bytes;
    const Status st = Find(name, length, &bytes);
    if (Failed(st)) return st;
    return DecodeImage(bytes.data(), bytes.size(), out);
}

Status MemoryTextures::Find(const uint8_t* name, uint32_t length, ImageBytes* out) const {
    out->Release();
    const auto* stored = reinterpret_cast<const char*>(name);
    const size_t n = NameLength(name, length);
    const char* file = nullptr;
    size_t file_length = 0;
    texture_search::FileNameOf(stored, n, &file, &file_length);
    if (file_length == 0) return status::kNoData;
    const File* by_file_name = nullptr;
    for (uint32_t k = 0; k < count_; ++k) {
        const File& f = files_[k];
        const size_t f_length = std::strlen(f.name);
        if (f_length == n && std::memcmp(f.name, stored, n) == 0) {
            by_file_name = &f;
            break;
        }
        const char* f_file = nullptr;
        size_t f_file_length = 0;
        texture_search::FileNameOf(f.name, f_length, &f_file, &f_file_length);
        if (!by_file_name && SameNameIgnoringCase(f_file, f_file_length, file, file_length)) by_file_name = &f;
    }
    if (!by_file_name || by_file_name->size > kMaxImageFileBytes) return status::kNoData;
    out->Borrow(by_file_name->bytes, by_file_name->size, by_file_name->name);
    return status::kOk;
}

Status DiskTextures::Find(const uint8_t* name, uint32_t length, ImageBytes* out) const {
    out->Release();
    if (!object_path_) return status::kNoData;
    DiskSearch search(out);
    texture_search::ForEachPlace(object_path_, reinterpret_cast<const char*>(name), NameLength(name, length), folders_,
                                 folder_count_, &search);
    return search.result;
}

}  // namespace qavren
