// Information strings, the support answer and the picture record.
#include "plugin/plugin_info.h"

#include <cstring>

#include "object/lwob.h"
#include "plugin/version.h"

namespace qavren {
namespace {

const char* const kInfoStrings[] = {
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

}  // namespace

int32_t CopyPluginInfo(int32_t index, char* buffer, int32_t length) {
    if (index < 0 || index > 3 || length <= 0) return 0;
    const char* text = kInfoStrings[index];
    const auto text_length = static_cast<int32_t>(std::strlen(text));
    const int32_t stored = text_length < length ? text_length : length;
    std::memcpy(buffer, text, static_cast<size_t>(stored));
    std::memset(buffer + stored, 0, static_cast<size_t>(length - stored));
    return stored;
}

int32_t SupportAnswer(Status load_status, const ObjectBuffer& buffer) {
    const Status s = load_status == status::kOk ? CheckForm(buffer) : load_status;
    return s == status::kLwob ? 1 : 0;
}

void WritePictureInfo(const RenderSettings& settings, uint8_t out[kPictureInfoSize]) {
    PutLe32(out + 0, 0);  // left
    PutLe32(out + 4, 0);  // top
    PutLe32(out + 8, static_cast<uint32_t>(settings.width));
    PutLe32(out + 12, static_cast<uint32_t>(settings.height));
    PutLe16(out + 16, 0);  // horizontal density
    PutLe16(out + 18, 0);  // vertical density
    PutLe16(out + 20, 24); // bits per pixel
    PutLe32(out + 22, 0);  // no text information
}

}  // namespace qavren
