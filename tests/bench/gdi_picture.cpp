// The GDI baseline picture, step by step as the design draws it.
#include "tests/bench/gdi_picture.h"

#include <initializer_list>
#include <vector>

#include "object/geometry.h"
#include "plugin/host_codes.h"
#include "plugin/picture.h"
#include "render/projection.h"
#include "settings/settings_store.h"
#include "tests/bench/bench_fixtures.h"

namespace qavren::bench {
namespace {

struct Gdi {
    HDC screen = nullptr;
    HBITMAP bitmap = nullptr;
    HDC memory = nullptr;
};

POINT ToPoint(const ProjectedPoint& p) {
    const Point c = CanvasPoint(p);
    return {c.x, c.y};
}

void DrawGrid(HDC dc, HPEN pen, int32_t w, int32_t h) {
    HGDIOBJ previous = SelectObject(dc, pen);
    for (int32_t i = 0; i <= h / 32; ++i) {
        for (int32_t y : {h / 2 + 16 * i, h / 2 - 16 * i}) {
            MoveToEx(dc, 0, y, nullptr);
            LineTo(dc, w, y);
        }
    }
    for (int32_t i = 0; i <= w / 32; ++i) {
        for (int32_t x : {w / 2 + 16 * i, w / 2 - 16 * i}) {
            MoveToEx(dc, x, 0, nullptr);
            LineTo(dc, x, h);
        }
    }
    SelectObject(dc, previous);
}

Status DrawWireframeGdi(HDC dc, const ProjectedPoints& points, const ObjectModel& model) {
    SelectObject(dc, GetStockObject(WHITE_PEN));
    for (uint32_t n = 0; n < model.polygons.count; ++n) {
        const Polygon polygon = model.polygons[n];
        const POINT first = ToPoint(points[polygon.Index(0)]);
        MoveToEx(dc, first.x, first.y, nullptr);
        for (uint16_t k = 1; k < polygon.count; ++k) {
            const POINT p = ToPoint(points[polygon.Index(k)]);
            LineTo(dc, p.x, p.y);
        }
        LineTo(dc, first.x, first.y);
    }
    return model.polygon_status;
}

Status DrawPolygonsGdi(HDC dc, const ObjectModel& model, const ProjectedPoints& points) {
    std::vector<Triangle> records;
    if (!BuildTriangles(model, points, &records)) return status::kCorrupt;
    SortByDepth(records.data(), 0, static_cast<int32_t>(records.size()) - 1);
    for (size_t k = records.size(); k-- > 0;) {
        const ProjectedPoint &a = points[records[k].corner[0]], &b = points[records[k].corner[1]],
                             &c = points[records[k].corner[2]];
        const double facing = (double{b.x} - a.x) * (double{c.y} - a.y) - (double{c.x} - a.x) * (double{b.y} - a.y);
        HBRUSH brush = CreateSolidBrush(facing > 0.0 ? RGB(255, 255, 255) : RGB(128, 128, 128));
        HGDIOBJ previous = SelectObject(dc, brush);
        const POINT corners[3] = {ToPoint(a), ToPoint(b), ToPoint(c)};
        ::Polygon(dc, corners, 3);
        SelectObject(dc, previous);
        DeleteObject(brush);
    }
    return status::kOk;
}

Status DrawModel(HDC dc, const ObjectBuffer& buffer, const RenderSettings& s) {
    ObjectModel model;
    ProjectedPoints points;
    if (const Status st = ReadModel(buffer, kEveryForm, ModelParts::kGeometry, &model); st != status::kOk) return st;
    if (const Status st = ProjectPoints(model, s.width, s.height, ModelTurn(), &points); st != status::kOk) return st;
    return s.mode == 0 ? DrawWireframeGdi(dc, points, model) : DrawPolygonsGdi(dc, model, points);
}

// The steps both pictures start with: settings, object, layout and the two
// movable host blocks. A host code; on failure no block is left allocated.
int32_t BeginPicture(const char* path, RenderSettings* settings, ObjectBuffer* buffer, PictureLayout* layout,
                     HLOCAL* info, HLOCAL* bits) {
    *settings = LoadSettings();
    const Status loaded = buffer->LoadFromFile(path, 0);
    const int32_t code = MapToHostCode(loaded == status::kOk ? CheckForm(*buffer) : loaded);
    if (code != host::kSuccess) return code;
    if (!ComputeLayout(settings->width, settings->height, layout)) return host::kOutOfMemory;
    *info = LocalAlloc(LMEM_MOVEABLE, kBitmapHeaderSize);
    *bits = LocalAlloc(LMEM_MOVEABLE, layout->image_size);
    if (!*info || !*bits) {
        LocalFree(*info);
        LocalFree(*bits);
        *info = *bits = nullptr;
        return host::kOutOfMemory;
    }
    return host::kSuccess;
}

// Unlocks both blocks; on failure frees them and nulls the handles.
int32_t EndPicture(int32_t code, HLOCAL* info, HLOCAL* bits) {
    LocalUnlock(*info);
    LocalUnlock(*bits);
    if (code != host::kSuccess) {
        LocalFree(*info);
        LocalFree(*bits);
        *info = *bits = nullptr;
    }
    return code;
}

}  // namespace

int32_t GdiPicture(const char* path, HLOCAL* info, HLOCAL* bits) {
    RenderSettings settings;
    ObjectBuffer buffer;
    PictureLayout layout;
    int32_t code = BeginPicture(path, &settings, &buffer, &layout, info, bits);
    if (code != host::kSuccess) return code;
    auto* header = static_cast<BITMAPINFO*>(LocalLock(*info));
    WriteBitmapHeader(layout, reinterpret_cast<uint8_t*>(header));

    Gdi gdi;
    gdi.screen = GetDC(nullptr);
    gdi.bitmap = CreateDIBitmap(gdi.screen, &header->bmiHeader, 0, nullptr, nullptr, 0);
    GetDIBits(gdi.screen, gdi.bitmap, 0, layout.height, nullptr, header, DIB_RGB_COLORS);
    gdi.memory = CreateCompatibleDC(gdi.screen);
    SelectObject(gdi.memory, gdi.bitmap);
    HBRUSH background = CreateSolidBrush(RGB(0, 40, 60));
    RECT all;
    SetRect(&all, 0, 0, layout.width, layout.height);
    FillRect(gdi.memory, &all, background);
    HPEN grid = CreatePen(PS_SOLID, 1, RGB(20, 60, 80));
    DrawGrid(gdi.memory, grid, layout.width, layout.height);
    code = MapToHostCode(DrawModel(gdi.memory, buffer, settings));

    GetDIBits(gdi.screen, gdi.bitmap, 0, layout.height, LocalLock(*bits), header, DIB_RGB_COLORS);
    DeleteDC(gdi.memory);
    ReleaseDC(nullptr, gdi.screen);
    DeleteObject(gdi.bitmap);
    DeleteObject(background);
    DeleteObject(grid);
    return EndPicture(code, info, bits);
}

int32_t UndrawnPicture(const char* path, HLOCAL* info, HLOCAL* bits) {
    RenderSettings settings;
    ObjectBuffer buffer;
    PictureLayout layout;
    int32_t code = BeginPicture(path, &settings, &buffer, &layout, info, bits);
    if (code != host::kSuccess) return code;
    WriteBitmapHeader(layout, static_cast<uint8_t*>(LocalLock(*info)));
    Surface(static_cast<uint8_t*>(LocalLock(*bits)), layout.width, layout.height, layout.stride).Fill(kBackground);
    ObjectModel model;
    ProjectedPoints points;
    Status s = ReadModel(buffer, kEveryForm, ModelParts::kGeometry, &model);
    if (s == status::kOk) s = ProjectPoints(model, settings.width, settings.height, ModelTurn(), &points);
    if (s == status::kOk && settings.mode != 0) {
        std::vector<Triangle> records;
        if (BuildTriangles(model, points, &records)) {
            SortByDepth(records.data(), 0, static_cast<int32_t>(records.size()) - 1);
        } else {
            s = status::kCorrupt;
        }
    }
    code = MapToHostCode(s);
    return EndPicture(code, info, bits);
}

}  // namespace qavren::bench
