// The places an image may lie, as texture_search.h lists them. Paths are
// built in fixed buffers; one that would outgrow kMaxPath is skipped.
#include "image/texture_search.h"

#include <cstring>

namespace qavren::texture_search {
namespace {

#ifdef _WIN32
bool IsSeparator(char c) { return c == '/' || c == '\\'; }
#else
bool IsSeparator(char c) { return c == '/'; }
#endif
bool IsNameSeparator(char c) { return c == '/' || c == '\\'; }

constexpr uint32_t kMaxParts = 32;
constexpr int kParentLevels = 3;

class Text {
public:
    Text() { text_[0] = '\0'; }
    Text(const char* s, size_t n) : Text() { Append(s, n); }
    const char* c_str() const { return text_; }
    size_t size() const { return length_; }
    bool ok() const { return ok_; }

    void Append(const char* s, size_t n) {
        if (!ok_ || n >= kMaxPath - length_) {
            ok_ = false;
            return;
        }
        std::memcpy(text_ + length_, s, n);
        length_ += n;
        text_[length_] = '\0';
    }
    void Append(const char* s) { Append(s, std::strlen(s)); }
    // Appends one more part after a '/' (none after a trailing separator).
    void AppendPart(const char* s, size_t n) {
        if (length_ > 0 && !IsSeparator(text_[length_ - 1])) Append("/", 1);
        Append(s, n);
    }
    void Truncate(size_t n) {
        length_ = n;
        text_[n] = '\0';
    }

private:
    char text_[kMaxPath];
    size_t length_ = 0;
    bool ok_ = true;
};

bool Is(const char* s, size_t n, const char* word) { return n == std::strlen(word) && std::memcmp(s, word, n) == 0; }

// The last part of `t` starts at *start; false when `t` is a root ("/",
// "C:/") or empty.
bool LastPart(const Text& t, size_t* start) {
    size_t end = t.size();
    if (end == 0 || IsSeparator(t.c_str()[end - 1])) return false;
    size_t s = end;
    while (s > 0 && !IsSeparator(t.c_str()[s - 1])) --s;
    if (s == 0 && t.c_str()[end - 1] == ':') return false;  // a bare drive
    *start = s;
    return true;
}

// `t` becomes its parent folder, lexically: "a/b" → "a", "b" → ".",
// "." → "..", ".." → "../..", "/a" → "/". False at a root.
bool ToParent(Text* t) {
    size_t s = 0;
    if (!LastPart(*t, &s)) return false;
    const char* last = t->c_str() + s;
    const size_t n = t->size() - s;
    if (Is(last, n, ".")) {
        t->Append(".", 1);
    } else if (Is(last, n, "..")) {
        t->Append("/..", 3);
    } else if (s == 0) {
        t->Truncate(0);
        t->Append(".", 1);
    } else {
        // Keep the separator when it is the root's own ("/", "C:/").
        const bool root = s == 1 || (s >= 2 && t->c_str()[s - 2] == ':');
        t->Truncate(root ? s : s - 1);
    }
    return t->ok();
}

// A stored name in parts, '/' and '\' both separating; a volume before the
// first ':' ("C:", "PC:") makes it absolute, as does a leading separator.
struct StoredName {
    const char* part[kMaxParts];
    size_t length[kMaxParts];
    uint32_t count = 0;
    bool relative = true;
    bool plain = true;  // no "." or ".." parts

    StoredName(const char* name, size_t n) {
        size_t i = 0;
        while (i < n && !IsNameSeparator(name[i]) && name[i] != ':') ++i;
        if (i < n && name[i] == ':') {
            relative = false;
            name += i + 1;
            n -= i + 1;
        } else if (n > 0 && IsNameSeparator(name[0])) {
            relative = false;
        }
        for (size_t begin = 0; begin < n;) {
            size_t end = begin;
            while (end < n && !IsNameSeparator(name[end]) && name[end] != ':') ++end;
            if (end > begin) Add(name + begin, end - begin);
            begin = end + 1;
        }
    }

    void Add(const char* s, size_t n) {
        if (count == kMaxParts) {  // keep the last parts
            std::memmove(part, part + 1, sizeof part[0] * (kMaxParts - 1));
            std::memmove(length, length + 1, sizeof length[0] * (kMaxParts - 1));
            --count;
            relative = false;
        }
        if (Is(s, n, ".") || Is(s, n, "..")) plain = false;
        part[count] = s;
        length[count] = n;
        ++count;
    }

    // Parts [first, count) joined by '/'.
    Text Join(uint32_t first) const {
        Text t;
        for (uint32_t k = first; k < count; ++k) t.AppendPart(part[k], length[k]);
        return t;
    }
};

// The folder that holds the nearest `Objects` folder above the object, if any.
bool ContentFolder(const Text& object_folder, Text* content) {
    *content = object_folder;
    for (;;) {
        size_t s = 0;
        if (!LastPart(*content, &s)) return false;
        const bool objects = SameNameIgnoringCase(content->c_str() + s, content->size() - s, "Objects", 7);
        if (!ToParent(content)) return false;
        if (objects) return true;
        if (Is(content->c_str(), content->size(), ".") ||
            (content->size() >= 2 && Is(content->c_str() + content->size() - 2, 2, ".."))) {
            return false;  // above the named folders: no Objects folder
        }
    }
}

}  // namespace

bool SameNameIgnoringCase(const char* a, size_t a_length, const char* b, size_t b_length) {
    if (a_length != b_length) return false;
    for (size_t i = 0; i < a_length; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

void FileNameOf(const char* name, size_t length, const char** file, size_t* file_length) {
    size_t s = length;
    while (s > 0 && !IsNameSeparator(name[s - 1]) && name[s - 1] != ':') --s;
    *file = name + s;
    *file_length = length - s;
}

bool ForEachPlace(const char* object_path, const char* name, size_t length, const char* const* folders,
                  uint32_t folder_count, PlaceVisitor* visitor) {
    const StoredName stored(name, length);
    if (stored.count == 0) return false;
    const Text whole = stored.Join(0);
    const char* file = stored.part[stored.count - 1];
    Text images_file("Images/", 7);
    images_file.Append(file, stored.length[stored.count - 1]);
    const Text file_name(file, stored.length[stored.count - 1]);
    if (!whole.ok() || !images_file.ok()) return false;

    Text folder[1 + kParentLevels];  // the object's folder and its parents
    int levels = 0;
    {
        Text object(object_path, std::strlen(object_path));
        if (!object.ok() || !ToParent(&object)) return false;
        folder[0] = object;
        for (levels = 1; levels <= kParentLevels; ++levels) {
            folder[levels] = folder[levels - 1];
            if (!ToParent(&folder[levels])) break;
        }
    }
    auto tr = [visitor](const Text& base, const Text& relative) {
        return base.ok() && relative.ok() && visitor->Try(base.c_str(), relative.c_str());
    };

    if (stored.relative) {
        Text content;
        if (tr(folder[0], whole)) return true;
        if (ContentFolder(folder[0], &content) && tr(content, whole)) return true;
    }
    if (tr(folder[0], file_name)) return true;
    for (int k = 0; k < levels; ++k) {
        if (tr(folder[k], images_file)) return true;
    }
    if (stored.plain) {
        for (int k = 0; k < levels; ++k) {
            for (uint32_t first = 0; first + 2 <= stored.count; ++first) {
                if (stored.relative && k == 0 && first == 0) continue;  // tried first
                if (tr(folder[k], stored.Join(first))) return true;
            }
        }
    }
    for (uint32_t f = 0; f < folder_count; ++f) {
        const Text caller(folders[f], std::strlen(folders[f]));
        if (stored.relative && tr(caller, whole)) return true;
        if (tr(caller, file_name) || tr(caller, images_file)) return true;
    }
    return false;
}

}  // namespace qavren::texture_search
