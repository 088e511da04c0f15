// Bytes of an object shown as text: printable ASCII stays, every other byte
// (control characters, escapes, bytes of other encodings, NUL) becomes '?',
// so that nothing read from a file reaches a terminal or a page as anything
// but plain characters.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qavren::cli {

inline char PrintableByte(uint8_t c) { return c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?'; }

// A four-byte tag (a chunk's, a form's type) as a C string.
struct TagText {
    char text[5];
};
inline TagText PrintableTag(const void* tag) {
    TagText t;
    for (int i = 0; i < 4; ++i) t.text[i] = PrintableByte(static_cast<const uint8_t*>(tag)[i]);
    t.text[4] = '\0';
    return t;
}

// `length` bytes as text in out[size] (size >= 4), cut with "..." when they
// do not fit.
inline void CopyPrintable(const void* bytes, size_t length, char* out, size_t size) {
    size_t n = 0;
    size_t k = 0;
    for (; k < length && n + 4 < size; ++k) out[n++] = PrintableByte(static_cast<const uint8_t*>(bytes)[k]);
    if (k < length) {
        for (int dot = 0; dot < 3; ++dot) out[n++] = '.';
    }
    out[n] = '\0';
}

}  // namespace qavren::cli
