// The one rule for turning an object's bytes into text.
#include "tools/qavren/printable.h"

#include <cstdint>

namespace qavren::cli {
namespace {

char PrintableByte(uint8_t c) { return c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?'; }

}  // namespace

TagText PrintableTag(const void* tag) {
    TagText t;
    for (int i = 0; i < 4; ++i) t.text[i] = PrintableByte(static_cast<const uint8_t*>(tag)[i]);
    t.text[4] = '\0';
    return t;
}

void CopyPrintable(const void* bytes, size_t length, char* out, size_t size) {
    const auto* from = static_cast<const uint8_t*>(bytes);
    size_t n = 0;
    size_t k = 0;
    for (; k < length && n + 4 < size; ++k) out[n++] = PrintableByte(from[k]);
    if (k < length) {
        for (int dot = 0; dot < 3; ++dot) out[n++] = '.';
    }
    out[n] = '\0';
}

}  // namespace qavren::cli
