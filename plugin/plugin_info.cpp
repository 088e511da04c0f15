// Information strings, the support answer and the picture record.
#include "plugin/plugin_info.h"

#include <cstring>

#include "object/lwob.h"
#include "plugin/version.h"

namespace qavren {
namespace {

constexpr const char* kInfoStrings[] = {
    "00IN",
    ("LWOB to DIB filter  Ver 0.01a  " QAVREN_NOTICE),
    "*.LWO",
    "LightWave 3D LWOB Format",
};

void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// The wide strings are the 8-bit ones widened character by character, which
// is only their meaning while they are ASCII (the notice comes from the build).
constexpr bool IsAscii(const char* text) {
    for (; *text; ++text) {
        if (static_cast<unsigned char>(*text) > 0x7F) return false;
    }
    return true;
}
static_assert(IsAscii(kInfoStrings[0]) && IsAscii(kInfoStrings[1]) && IsAscii(kInfoStrings[2]) &&
                  IsAscii(kInfoStrings[3]),
              "the information strings must be ASCII to serve GetPluginInfoW as well");

// Nothing is copied for an unknown index, a length that is not positive or
// no buffer at all: the count copied, 0, is the answer in each case.
template <typename Char>
int32_t CopyInfo(int32_t index, Char* buffer, int32_t length) {
    if (index < 0 || index > 3 || length <= 0 || !buffer) return 0;
    const char* text = kInfoStrings[index];
    const auto text_length = static_cast<int32_t>(std::strlen(text));
    const int32_t stored = text_length < length ? text_length : length;
    for (int32_t i = 0; i < stored; ++i) buffer[i] = static_cast<Char>(static_cast<unsigned char>(text[i]));
    for (int32_t i = stored; i < length; ++i) buffer[i] = Char{0};
    return stored;
}

}  // namespace

int32_t CopyPluginInfo(int32_t index, char* buffer, int32_t length) { return CopyInfo(index, buffer, length); }

int32_t CopyWidePluginInfo(int32_t index, wchar_t* buffer, int32_t length) {
    return CopyInfo(index, buffer, length);
}

int32_t SupportAnswer(Status load_status, const ObjectBuffer& buffer, FormSet accepted) {
    const Status s = load_status == status::kOk ? CheckForm(buffer, accepted) : load_status;
    return s == status::kDrawnForm ? 1 : 0;
}

void WritePictureInfo(const RenderSettings& settings, PictureInfoLayout layout, uint8_t* out) {
    PutLe32(out + 0, 0);  // left
    PutLe32(out + 4, 0);  // top
    PutLe32(out + 8, static_cast<uint32_t>(settings.width));
    PutLe32(out + 12, static_cast<uint32_t>(settings.height));
    PutLe16(out + 16, 0);  // horizontal density
    PutLe16(out + 18, 0);  // vertical density
    PutLe16(out + 20, 24); // bits per pixel
    if (layout == PictureInfoLayout::kPointer64) {
        PutLe16(out + 22, 0);  // padding before the 8-byte handle
        PutLe32(out + 24, 0);  // no text information
        PutLe32(out + 28, 0);
    } else {
        PutLe32(out + 22, 0);  // no text information
    }
}

}  // namespace qavren
