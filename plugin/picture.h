// Picture assembly: the 24-bit bottom-up bitmap a host receives for an
// object, as a 40-byte header block and a pixel block. Portable: the host
// blocks come from platform::AllocateForHost.
#pragma once

#include <cstdint>

#include "object/object_buffer.h"
#include "platform/status.h"
#include "settings/render_settings.h"

namespace qavren {

constexpr uint32_t kBitmapHeaderSize = 40;

struct PictureLayout {
    int32_t width = 0;
    int32_t height = 0;
    uint32_t stride = 0;      // bytes a row: 3 W rounded up to 4
    uint32_t image_size = 0;  // stride × height
};

// False when the width or height is not positive or above 2^28 (the
// surface's coordinate range), or the pixel block would exceed 2^31 − 1
// bytes.
bool ComputeLayout(int32_t width, int32_t height, PictureLayout* layout);

void WriteBitmapHeader(const PictureLayout& layout, uint8_t header[kBitmapHeaderSize]);

// The object read and drawn as `request` asks (RequestOf the settings),
// straight into `bits` (layout.image_size bytes): ReadModel's failure, or
// DrawModel's Status.
Status DrawPicture(const ObjectBuffer& buffer, const DrawRequest& request, const PictureLayout& layout,
                   uint8_t* bits);

// The host code for a loaded input at its header: 0 when it is an object
// the plug-in draws (LWOB, or a newer form the settings' Forms value
// accepts), else the code that refuses it. GetPicture and GetPictureInfo
// both decide here which inputs they accept.
int32_t HeaderCode(Status load_status, const ObjectBuffer& buffer, const RenderSettings& settings);

// GetPictureInfo's answer for an input loaded at least up to its header
// (kFormHeaderSize bytes): GetPicture's code for it, as far as it is known
// before drawing, and on 0 the record of the size GetPicture would draw
// written to `out` (kPictureInfoSize bytes). On any other code `out` is
// untouched.
int32_t PictureInfoAnswer(Status load_status, const ObjectBuffer& header, const RenderSettings& settings,
                          uint8_t* out);

// Everything GetPicture does once the object is loaded: the form check, the
// two host blocks, the drawing. Returns the host code; on success the two
// blocks are stored in *info and *bits for the host to free. On a failure
// after they were allocated both are freed and both out-pointers nulled;
// on an earlier failure the out-pointers are untouched.
int32_t AssemblePicture(Status load_status, const ObjectBuffer& buffer, const RenderSettings& settings,
                        void** info, void** bits);

}  // namespace qavren
