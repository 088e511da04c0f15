// Bytes of an object shown as text: printable ASCII stays, every other byte
// (control characters, escapes, bytes of other encodings, NUL) becomes '?',
// so that nothing read from a file reaches a terminal or a page as anything
// but plain characters.
#pragma once

#include <cstddef>

namespace qavren::cli {

// A four-byte tag (a chunk's, a form's type) as a C string.
struct TagText {
    char text[5];
};
TagText PrintableTag(const void* tag);

// `length` bytes as text in out[size] (size >= 4), cut with "..." when they
// do not fit.
void CopyPrintable(const void* bytes, size_t length, char* out, size_t size);

}  // namespace qavren::cli
