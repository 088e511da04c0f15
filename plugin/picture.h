// Picture assembly: the 24-bit bottom-up bitmap a host receives for an
// object, as a 40-byte header block and a pixel block. Portable: the host
// blocks come from platform::AllocateForHost.
#pragma once

#include <cstdint>

#include "object/object_buffer.h"
#include "platform/status.h"
#include "render/canvas.h"
#include "render/parallel.h"
#include "render/view.h"
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

// The style the settings ask for: the wireframe for mode 0, else the
// shaded style with Shaded 1 and the polygons without.
inline DrawStyle StyleOf(const RenderSettings& s) {
    if (s.mode == 0) return DrawStyle::kWireframe;
    return s.shaded == 1 ? DrawStyle::kShaded : DrawStyle::kPolygons;
}

// An angle as the renderers get it: the stored one when View is 1, else none.
inline int32_t ViewAngle(const RenderSettings& s, int32_t angle) { return s.view == 1 ? angle : 0; }

// What the settings ask to draw: their style in their turn, over the canvas.
inline DrawRequest RequestOf(const RenderSettings& s) {
    DrawRequest request;
    request.style = StyleOf(s);
    request.turn = ModelTurn(ViewAngle(s, s.angle_x), ViewAngle(s, s.angle_y), ViewAngle(s, s.angle_z));
    return request;
}

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
// on an earlier failure the out-pointers are untouched. The picture is
// drawn as `drawing` says; the plug-in passes the default. The shaded style
// finds its images in `textures` (null: untextured).
int32_t AssemblePicture(Status load_status, const ObjectBuffer& buffer, const RenderSettings& settings,
                        void** info, void** bits, const DrawingOptions& drawing = {},
                        const TextureSource* textures = nullptr);

}  // namespace qavren
