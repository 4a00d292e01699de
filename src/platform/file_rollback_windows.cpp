#include "platform/file_rollback.h"
#include "platform/oem_text.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace qp {
namespace {

constexpr DWORD kHeadBytes = 4;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The console-control handler runs on a thread of its own: the state is
// filled before `armed` is set, and taken once with an interlocked exchange.
struct Rollback {
    volatile LONG armed = 0;
    HANDLE file = INVALID_HANDLE_VALUE;  // the file as armed, held open until disarmed
    std::wstring path;
    bool existed = false;
    LARGE_INTEGER length {};
    unsigned char head[kHeadBytes] {};
    DWORD headLength = 0;
};

Rollback& State() {
    static Rollback* state = new Rollback;  // never freed: a handler may run at exit
    return *state;
}

// No delete access is held: a handle with it would keep every other program
// that opens the file without delete sharing (as the C library's fopen does)
// from opening it at all while a window is open.
HANDLE OpenHandle(const std::wstring& path, DWORD disposition, DWORD access = GENERIC_READ | GENERIC_WRITE) {
    // The reparse point itself is opened, never what it points to; it is refused below.
    return CreateFileW(path.c_str(), access, kShareAll, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// The file opened for reading and writing, or made new; `created` tells which.
HANDLE OpenOwnFile(const std::wstring& path, bool& created) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        created = false;
        HANDLE h = OpenHandle(path, OPEN_EXISTING);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_NOT_FOUND) return h;
        created = true;
        h = OpenHandle(path, CREATE_NEW);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return h;
    }
    return INVALID_HANDLE_VALUE;
}

// A file on disk, no folder, no reparse point, no second name.
bool IsOwnFile(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info {};
    return GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
           !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
           info.nNumberOfLinks == 1;
}

bool SameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION one {};
    BY_HANDLE_FILE_INFORMATION other {};
    return GetFileInformationByHandle(a, &one) && GetFileInformationByHandle(b, &other) &&
           one.dwVolumeSerialNumber == other.dwVolumeSerialNumber && one.nFileIndexHigh == other.nFileIndexHigh &&
           one.nFileIndexLow == other.nFileIndexLow;
}

// Removes the file held open when its name still names it; whatever has
// taken the name meanwhile is left alone.
void DeleteHeldFile(HANDLE h, const std::wstring& path) {
    HANDLE named = OpenHandle(path, OPEN_EXISTING, DELETE | FILE_READ_ATTRIBUTES);
    if (named == INVALID_HANDLE_VALUE) return;
    if (SameFile(h, named)) {
        FILE_DISPOSITION_INFO disposition {};
        disposition.DeleteFile = TRUE;
        SetFileInformationByHandle(named, FileDispositionInfo, &disposition, sizeof disposition);
    }
    CloseHandle(named);
}

void CloseArmedFile(Rollback& r) {
    if (r.file != INVALID_HANDLE_VALUE) CloseHandle(r.file);
    r.file = INVALID_HANDLE_VALUE;
}

}  // namespace

bool ArmFileRollback(const std::string& programPath) {
    Rollback& r = State();
    InterlockedExchange(&r.armed, 0);
    CloseArmedFile(r);
    bool created = false;
    r.path = WideFromOem(programPath);
    HANDLE h = OpenOwnFile(r.path, created);
    if (h == INVALID_HANDLE_VALUE) return false;
    r.headLength = 0;
    const bool read = IsOwnFile(h) && GetFileSizeEx(h, &r.length) && ReadFile(h, r.head, kHeadBytes, &r.headLength, nullptr);
    if (!read) {
        if (created) DeleteHeldFile(h, r.path);
        CloseHandle(h);
        return false;
    }
    r.file = h;
    r.existed = !created;
    InterlockedExchange(&r.armed, 1);
    return true;
}

void DisarmFileRollback() {
    Rollback& r = State();
    InterlockedExchange(&r.armed, 0);
    CloseArmedFile(r);
}

void RollBackFileOnSignal() {
    Rollback& r = State();
    if (InterlockedExchange(&r.armed, 0) == 0) return;
    if (r.existed) {
        LARGE_INTEGER start {};
        DWORD written = 0;
        if (r.headLength > 0 && SetFilePointerEx(r.file, start, nullptr, FILE_BEGIN))
            WriteFile(r.file, r.head, r.headLength, &written, nullptr);
        if (SetFilePointerEx(r.file, r.length, nullptr, FILE_BEGIN)) SetEndOfFile(r.file);
    } else {
        DeleteHeldFile(r.file, r.path);
    }
    CloseArmedFile(r);
}

}  // namespace qp
