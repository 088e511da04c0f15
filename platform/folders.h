// Listing a folder, for the texture search. Names are the system's bytes:
// as stored on POSIX, in the ANSI code page on Windows (the code page of the
// paths the plug-in's hosts pass).
#pragma once

namespace qavren::platform {

// Calls `visit(context, name)` for each entry of `folder` but "." and "..",
// until it returns false. False when the folder cannot be listed (missing,
// not a folder, no permission).
bool ListFolder(const char* folder, bool (*visit)(void* context, const char* name), void* context);

}  // namespace qavren::platform
