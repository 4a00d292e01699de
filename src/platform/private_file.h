// The program's own files in shared folders (WinPush.tmp, Browse.tmp,
// MURCALC.TMP), opened so that nothing another user put in their place is
// ever used: never through a symbolic link (or reparse point), only a
// regular file of this user with no other name, made new 0600 when missing.
// Platform::Open(OpenMode::Private) wraps it; the signal-time rollback of
// WinPush.tmp keeps the system's own descriptor or handle.
#pragma once

#include <string>

#include "platform/safe_path.h"

#ifndef _WIN32
#include "platform/folder_walk_posix.h"
#endif

namespace qp {

#ifdef _WIN32
using NativeFile = void*;  // a HANDLE

// Opens the file at `path` for reading and writing, or makes it new;
// `created` tells which. Otherwise nothing stays open, `refusal` says why,
// and the result fails IsOpen.
NativeFile OpenPrivateFile(const SafePath& path, bool& created, std::string* refusal = nullptr);
bool IsOpen(NativeFile file);
#else
// The same for a located name (LastName::AsItIs): a descriptor, or -1.
int OpenPrivateFile(const Location& where, bool& created, std::string* refusal = nullptr);
#endif

}  // namespace qp
