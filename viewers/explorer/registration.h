// Per-user registration of the thumbnail handler, as data: one table of keys
// and values under HKEY_CURRENT_USER\Software\Classes that registering writes
// and unregistering takes away again, no more.
#pragma once

#include <windows.h>

namespace qavren::explorer {

// Writes every value of the table, the module's path in InprocServer32.
// S_OK, or the first failure (what was written before it stays, as
// regsvr32 callers expect; unregistering removes it).
HRESULT RegisterHandler(const wchar_t* module_path);

// Removes the values of the table that still hold what registering wrote,
// then each key of the table that is left empty. Values and keys anyone else
// put there (a default program for .lwo, its PerceivedType, other handlers)
// stay. S_OK, also when nothing was registered.
HRESULT UnregisterHandler();

// The key under which the handler's class is found:
// Software\Classes\.lwo\ShellEx\{IThumbnailProvider}.
extern const wchar_t* const kShellExKey;
extern const wchar_t* const kClassKey;

}  // namespace qavren::explorer
