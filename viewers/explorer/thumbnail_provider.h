// The shell's thumbnail handler for LightWave objects: IInitializeWithStream
// reads the object out of the stream the shell hands over and checks its
// form; IThumbnailProvider draws the core's thumbnail picture at the size
// asked for. No exception leaves it: failures come back as HRESULTs.
#pragma once

#include <windows.h>

namespace qavren::explorer {

// A new handler, asked for by `iid`, in *object; E_OUTOFMEMORY when it
// cannot be had, E_NOINTERFACE for an interface it does not offer.
HRESULT CreateThumbnailProvider(REFIID iid, void** object);

}  // namespace qavren::explorer
