// The program's own files in shared folders (WinPush.tmp, Browse.tmp,
// MURCALC.TMP), opened so that nothing another user put in their place is
// ever used. Platform::Open(OpenMode::Private) wraps it; the signal-time
// rollback of WinPush.tmp keeps the system's own descriptor.
#pragma once

#include <string>

namespace qp {

#ifdef _WIN32
using NativeFile = void*;  // a HANDLE
#else
using NativeFile = int;
#endif

// Opens the file at the native path `path` for reading and writing without
// following a link (on Windows a reparse point), or makes it new, 0600;
// `created` tells which. Only a regular file of this user with no other name
// is kept: otherwise nothing stays open, `refusal` says why, and the result
// fails IsOpen.
NativeFile OpenPrivateFile(const std::string& path, bool& created, std::string* refusal = nullptr);
bool IsOpen(NativeFile file);

}  // namespace qp
