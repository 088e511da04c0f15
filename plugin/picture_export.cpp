// GetPicture and GetPictureW: the exports that load the object, draw it and
// hand the host a 24-bit bitmap in two fixed local-memory blocks.
#include <cstdint>

#include "object/object_buffer.h"
#include "plugin/exports.h"
#include "plugin/fp_guard.h"
#include "plugin/host_codes.h"
#include "plugin/picture.h"
#include "plugin/plugin_info.h"
#include "settings/settings_store.h"

using namespace qavren;

namespace {

// The file offset the loader takes, or false when `length` cannot be one.
// In the 32-bit module every value is one: it is read as unsigned, as it
// always was, so a negative one lies past the end of any file. In the
// 64-bit module a negative offset, or one beyond 32 bits, is refused.
bool FileOffset(LONG_PTR length, uint32_t* offset) {
    const auto value = static_cast<ULONG_PTR>(length);
    if constexpr (sizeof value > sizeof *offset) {
        if (value > UINT32_MAX) return false;
    }
    *offset = static_cast<uint32_t>(value);
    return true;
}

// Fills the buffer from a file (path and start offset) or the host's memory
// image. A negative length of a memory image is no usable data; an image
// beyond 32 bits is more than an object may hold.
template <typename Path>
Status LoadInput(ObjectBuffer& buffer, Path source, LONG_PTR length, UINT flag) {
    switch (InputKindOf(flag)) {
    case InputKind::kFile: {
        uint32_t offset = 0;
        if (!FileOffset(length, &offset)) return status::kReadError;
        return buffer.LoadFromFile(source, offset);
    }
    case InputKind::kMemory:
        if (length < 0) return status::kNoData;
        if constexpr (sizeof length > sizeof(uint32_t)) {
            if (static_cast<ULONG_PTR>(length) > UINT32_MAX) return status::kNoMemory;
        }
        return buffer.LoadFromMemory(source, static_cast<uint32_t>(length));
    default: return status::kUnsupportedInput;
    }
}

template <typename Path>
int Picture(Path buffer, LONG_PTR length, UINT flag, HLOCAL* info, HLOCAL* bits) {
    FloatingPointGuard fp;
    const RenderSettings settings = LoadSettings();
    ObjectBuffer object;
    const Status loaded = LoadInput(object, buffer, length, flag);
    return AssemblePicture(loaded, object, settings, reinterpret_cast<void**>(info), reinterpret_cast<void**>(bits));
}

}  // namespace

// The blocks are LMEM_FIXED: the handle is the pointer, which every host
// can use, whether it locks the handle first or not.
extern "C" int WINAPI GetPicture(LPCSTR buffer, LONG_PTR length, UINT flag, HLOCAL* info, HLOCAL* bits,
                                 SUSIE_PROGRESS /*progress*/, LONG_PTR /*user_data*/) {
    return Picture(buffer, length, flag, info, bits);
}

// The file is opened by its UTF-16 name; a memory image is bytes as above.
extern "C" int WINAPI GetPictureW(LPCWSTR buffer, LONG_PTR length, UINT flag, HLOCAL* info, HLOCAL* bits,
                                  SUSIE_PROGRESS /*progress*/, LONG_PTR /*user_data*/) {
    return Picture(buffer, length, flag, info, bits);
}
