// The thumbnail handler's class identifier, fixed once and written only here:
// the handler, its registration and the tests take it from this header.
#pragma once

#include <guiddef.h>

namespace qavren::explorer {

// {810d0091-27c2-450b-9cb2-4c8dece38c56}
#define QAVREN_THUMBNAIL_CLSID_TEXT L"{810D0091-27C2-450B-9CB2-4C8DECE38C56}"
inline constexpr GUID kThumbnailHandlerClsid = {
    0x810d0091, 0x27c2, 0x450b, {0x9c, 0xb2, 0x4c, 0x8d, 0xec, 0xe3, 0x8c, 0x56}};

// The shell's category for thumbnail handlers: IThumbnailProvider's IID, as
// it appears in a ShellEx key name.
#define QAVREN_THUMBNAIL_CATEGORY_TEXT L"{e357fccd-a995-4576-b01f-234630154e96}"

}  // namespace qavren::explorer
