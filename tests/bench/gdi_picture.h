// The baseline: the same picture as GetPicture, drawn with GDI the way the
// plug-in was first designed to draw it, to measure the plug-in against.
#pragma once

#include <windows.h>

#include <cstdint>

#include "object/object_buffer.h"
#include "settings/render_settings.h"

namespace qavren::bench {

// From a file, as GetPicture with input kind 0 and offset 0 does: the
// registry settings, the object read into a buffer, a screen-compatible
// bitmap in a memory context, a FillRect background, a CreatePen grid, the
// model drawn with LineTo (stock white pen) or with one CreateSolidBrush,
// SelectObject, Polygon and DeleteObject a triangle, and one GetDIBits
// read-back into a movable block. The object decoding, projection, walks
// and depth sort are the plug-in's own. Returns a host code; on 0 the
// caller frees *info and *bits with LocalFree.
int32_t GdiPicture(const char* path, HLOCAL* info, HLOCAL* bits);

// Everything GetPicture does except drawing, with the plug-in's own code:
// the registry settings, the object read into a buffer, both host blocks,
// the background written into every pixel, the points projected and, for
// polygons, the triangle records built and depth sorted. No way of drawing
// the picture takes less, so GDI's time over this one bounds the ratio any
// faster drawing could reach. Blocks and result as for GdiPicture.
int32_t UndrawnPicture(const char* path, HLOCAL* info, HLOCAL* bits);

}  // namespace qavren::bench
