// GetPicture: the picture itself. Not drawn yet.
#include "plugin/exports.h"
#include "plugin/host_codes.h"

extern "C" int WINAPI GetPicture(LPCSTR, LONG, UINT, HLOCAL*, HLOCAL*, SusieProgress, LONG) {
    return qavren::host::kNotImplemented;
}
