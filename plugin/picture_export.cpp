// GetPicture: the export that loads the object, draws it and hands the
// host a 24-bit bitmap in two fixed local-memory blocks.
#include "object/object_buffer.h"
#include "plugin/exports.h"
#include "plugin/fp_guard.h"
#include "plugin/host_codes.h"
#include "plugin/picture.h"
#include "plugin/plugin_info.h"
#include "settings/settings_store.h"

using namespace qavren;

namespace {

// Fills the buffer from a file (path and start offset) or the host's memory
// image. A negative length of a memory image is no usable data.
template <typename Path>
Status LoadInput(ObjectBuffer& buffer, Path source, LONG length, UINT flag) {
    switch (InputKindOf(flag)) {
    case InputKind::kFile: return buffer.LoadFromFile(source, static_cast<uint32_t>(length));
    case InputKind::kMemory:
        if (length < 0) return status::kNoData;
        return buffer.LoadFromMemory(source, static_cast<uint32_t>(length));
    default: return status::kUnsupportedInput;
    }
}

}  // namespace

// The blocks are LMEM_FIXED: the handle is the pointer, which every host
// can use, whether it locks the handle first or not.
extern "C" int WINAPI GetPicture(LPCSTR buffer, LONG length, UINT flag, HLOCAL* info, HLOCAL* bits,
                                 SusieProgress /*progress*/, LONG /*user_data*/) {
    FloatingPointGuard fp;
    const RenderSettings settings = LoadSettings();
    ObjectBuffer object;
    const Status loaded = LoadInput(object, buffer, length, flag);
    return AssemblePicture(loaded, object, settings, reinterpret_cast<void**>(info), reinterpret_cast<void**>(bits));
}
