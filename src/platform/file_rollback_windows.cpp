#include "platform/file_rollback.h"
#include "platform/oem_text.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace qp {
namespace {

constexpr DWORD kHeadBytes = 4;

// The console-control handler runs on a thread of its own: the state is
// filled before `armed` is set, and taken once with an interlocked exchange.
struct Rollback {
    volatile LONG armed = 0;
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

}  // namespace

void ArmFileRollback(const std::string& programPath) {
    Rollback& r = State();
    InterlockedExchange(&r.armed, 0);
    r.path = WideFromOem(programPath);
    r.headLength = 0;
    r.length.QuadPart = 0;
    HANDLE h = CreateFileW(r.path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    r.existed = h != INVALID_HANDLE_VALUE;
    if (r.existed) {
        bool read = GetFileSizeEx(h, &r.length) && ReadFile(h, r.head, kHeadBytes, &r.headLength, nullptr);
        CloseHandle(h);
        if (!read) return;
    } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
        return;
    }
    InterlockedExchange(&r.armed, 1);
}

void DisarmFileRollback() { InterlockedExchange(&State().armed, 0); }

void RollBackFileOnSignal() {
    Rollback& r = State();
    if (InterlockedExchange(&r.armed, 0) == 0) return;
    if (!r.existed) {
        DeleteFileW(r.path.c_str());
        return;
    }
    HANDLE h = CreateFileW(r.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    if (r.headLength > 0) WriteFile(h, r.head, r.headLength, &written, nullptr);
    if (SetFilePointerEx(h, r.length, nullptr, FILE_BEGIN)) SetEndOfFile(h);
    CloseHandle(h);
}

}  // namespace qp
