// GetPicture and GetPictureW: the exports that load the object, draw it and
// hand the host a 24-bit bitmap in two fixed local-memory blocks.
#include <cstdint>

#include "object/object_buffer.h"
#include "platform/fp_guard.h"
#include "plugin/exports.h"
#include "plugin/host_codes.h"
#include "plugin/host_input.h"
#include "plugin/picture.h"

using namespace qavren;

namespace {

template <typename Path>
int Picture(Path buffer, LONG_PTR length, UINT flag, HLOCAL* info, HLOCAL* bits) {
    FloatingPointGuard fp;
    RenderSettings settings;
    ObjectBuffer object;
    const Status loaded = LoadRequest(buffer, length, flag, ObjectBuffer::kWholeFile, &settings, &object);
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
