#include "platform/file_rollback.h"
#include "platform/oem_text.h"
#include "platform/private_file.h"

#include <windows.h>

#include <cstdint>
#include <optional>
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

// A handle on WinPush.tmp holds no delete access: it would keep every other
// program that opens the file without delete sharing (as the C library's
// fopen does) from opening it at all while a window is open. The name is
// opened for deletion only at the moment of removing the file.
HANDLE OpenForDeletion(const std::wstring& path) {
    return CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
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
    HANDLE named = OpenForDeletion(path);
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
    std::optional<SafePath> checked = SafePath::From(programPath, true);
    if (!checked) return false;
    bool created = false;
    r.path = WideFromOem(checked->text());
    HANDLE h = OpenPrivateFile(*checked, created);
    if (!IsOpen(h)) return false;
    r.headLength = 0;
    const bool read = GetFileSizeEx(h, &r.length) && ReadFile(h, r.head, kHeadBytes, &r.headLength, nullptr);
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
