// Fuzz target over the whole core: any bytes loaded as an object, checked,
// and drawn by both renderers into a small canvas, in the front view and
// turned (the angles taken from the input's last bytes).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "object/lwob.h"
#include "render/renderers.h"
#include "render/surface.h"

using namespace qavren;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > UINT32_MAX) return 0;
    ObjectBuffer buffer;
    if (buffer.LoadFromMemory(data, static_cast<uint32_t>(size)) != status::kOk) return 0;
    CheckForm(buffer);
    constexpr int32_t kW = 61, kH = 37;
    std::vector<uint8_t> pixels(RowStride(kW) * kH);
    Surface surface(pixels.data(), kW, kH, RowStride(kW));
    surface.Fill(0);
    ObjectModel model;
    if (ReadModel(buffer, kEveryForm, ModelParts::kGeometry, &model) != status::kOk) return 0;
    DrawWireframe(model, surface, kW, kH, ModelTurn());
    DrawPolygons(model, surface, kW, kH, ModelTurn(), DrawingOptions{});
    const int32_t turn = size >= 2 ? data[size - 1] * 7 - data[size - 2] * 11 : 45;
    DrawPolygons(model, surface, kW, kH, ModelTurn(turn, -turn * 3, turn * 5), DrawingOptions{});
    DrawWireframe(model, surface, kW, kH, ModelTurn(-turn, turn * 2, 90));
    return 0;
}
