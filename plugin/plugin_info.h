// What the plug-in tells the host about itself, and the small portable
// answers behind GetPluginInfo, IsSupported and GetPictureInfo.
#pragma once

#include <cstdint>

#include "object/forms.h"
#include "object/object_buffer.h"
#include "settings/render_settings.h"

namespace qavren {

// Copies information string `index` (0..3) into `buffer` the way the host
// interface asks: at most `length` characters, the rest of them zero-filled;
// the result is the number of characters stored. Out-of-range index or a
// length of 0 or less: 0, and the buffer is untouched.
int32_t CopyPluginInfo(int32_t index, char* buffer, int32_t length);
// The same in wide characters: `length` counts them, and the (ASCII) texts
// are stored widened.
int32_t CopyWidePluginInfo(int32_t index, wchar_t* buffer, int32_t length);

// The forms the plug-in reads under its Forms setting: all four for 1, LWOB
// alone for 0 and every other value. Every export's form check asks here.
constexpr FormSet AcceptedForms(int32_t forms_setting) { return forms_setting == 1 ? kEveryForm : kLwobOnly; }
inline FormSet AcceptedForms(const RenderSettings& settings) { return AcceptedForms(settings.forms); }

// 1 when the loaded data is an object of an accepted form, else 0 (the
// load's status is taken as it is when it failed).
int32_t SupportAnswer(Status load_status, const ObjectBuffer& buffer, FormSet accepted);

// The host's input kinds, from the low three bits of its flag word.
enum class InputKind { kFile, kMemory, kUnsupported };
constexpr InputKind InputKindOf(uint32_t flag) {
    switch (flag & 7u) {
    case 0: return InputKind::kFile;
    case 1: return InputKind::kMemory;
    default: return InputKind::kUnsupported;
    }
}

// The packed picture record the host receives, written byte by byte. Its
// last field is a handle, so the layout follows the host's pointer size:
// 26 bytes with a 4-byte handle at 22, or 32 bytes with two zero padding
// bytes at 22 and an 8-byte handle at 24.
enum class PictureInfoLayout : uint32_t { kPointer32 = 26, kPointer64 = 32 };
constexpr uint32_t PictureInfoSize(PictureInfoLayout layout) { return static_cast<uint32_t>(layout); }
constexpr uint32_t kMaxPictureInfoSize = PictureInfoSize(PictureInfoLayout::kPointer64);
// The layout of the module being built.
constexpr PictureInfoLayout kModuleLayout =
    sizeof(void*) == 8 ? PictureInfoLayout::kPointer64 : PictureInfoLayout::kPointer32;
constexpr uint32_t kPictureInfoSize = PictureInfoSize(kModuleLayout);

// Writes PictureInfoSize(layout) bytes to `out`.
void WritePictureInfo(const RenderSettings& settings, PictureInfoLayout layout, uint8_t* out);
inline void WritePictureInfo(const RenderSettings& settings, uint8_t out[kPictureInfoSize]) {
    WritePictureInfo(settings, kModuleLayout, out);
}

}  // namespace qavren
