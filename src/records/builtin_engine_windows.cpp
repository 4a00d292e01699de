// Windows files for the built-in engine; record locks are LockFileEx locks.
#include <windows.h>

#include "platform/oem_text.h"
#include "records/engine_file.h"

namespace qp {
namespace {

OVERLAPPED At(std::int64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    return at;
}

DWORD Low(std::int64_t n) { return static_cast<DWORD>(static_cast<std::uint64_t>(n) & 0xFFFFFFFFu); }
DWORD High(std::int64_t n) { return static_cast<DWORD>(static_cast<std::uint64_t>(n) >> 32); }

class WindowsEngineFile : public EngineFile {
public:
    WindowsEngineFile(HANDLE handle, bool readOnly) : handle_(handle), readOnly_(readOnly) {}
    ~WindowsEngineFile() override { CloseHandle(handle_); }
    WindowsEngineFile(const WindowsEngineFile&) = delete;
    WindowsEngineFile& operator=(const WindowsEngineFile&) = delete;

    std::int64_t Size() override {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(handle_, &size)) return -1;
        return static_cast<std::int64_t>(size.QuadPart);
    }

    bool ReadAt(std::int64_t pos, void* buffer, std::size_t n) override {
        auto* out = static_cast<char*>(buffer);
        while (n > 0) {
            OVERLAPPED at = At(pos);
            DWORD got = 0;
            DWORD want = n > 0x40000000u ? 0x40000000u : static_cast<DWORD>(n);
            if (!ReadFile(handle_, out, want, &got, &at) || got == 0) return false;
            out += got;
            pos += got;
            n -= got;
        }
        return true;
    }

    bool WriteAt(std::int64_t pos, const void* data, std::size_t n) override {
        const auto* in = static_cast<const char*>(data);
        while (n > 0) {
            OVERLAPPED at = At(pos);
            DWORD put = 0;
            DWORD want = n > 0x40000000u ? 0x40000000u : static_cast<DWORD>(n);
            if (!WriteFile(handle_, in, want, &put, &at) || put == 0) return false;
            in += put;
            pos += put;
            n -= put;
        }
        return true;
    }

    bool TryLock(std::int64_t offset, std::int64_t length) override {
        return Lock(offset, length, LOCKFILE_FAIL_IMMEDIATELY);
    }
    bool LockWaiting(std::int64_t offset, std::int64_t length) override { return Lock(offset, length, 0); }

    void Unlock(std::int64_t offset, std::int64_t length) override {
        OVERLAPPED at = At(offset);
        UnlockFileEx(handle_, 0, Low(length), High(length), &at);
    }

private:
    bool Lock(std::int64_t offset, std::int64_t length, DWORD flags) {
        // A handle open for reading only takes a shared lock, which still
        // excludes every other process's exclusive lock.
        if (!readOnly_) flags |= LOCKFILE_EXCLUSIVE_LOCK;
        OVERLAPPED at = At(offset);
        return LockFileEx(handle_, flags, 0, Low(length), High(length), &at) != 0;
    }

    HANDLE handle_;
    bool readOnly_;
};

}  // namespace

std::unique_ptr<EngineFile> OpenEngineFile(const std::string& nativePath, bool createNew,
                                           EngineFile::OpenResult& result) {
    std::wstring path = WideFromOem(nativePath);
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    bool readOnly = false;
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                createNew ? CREATE_NEW : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE && !createNew && GetLastError() == ERROR_ACCESS_DENIED) {
        handle = CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        readOnly = true;
    }
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) result = EngineFile::OpenResult::Exists;
        else if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) result = EngineFile::OpenResult::NotFound;
        else result = EngineFile::OpenResult::Failed;
        return nullptr;
    }
    // A device or a pipe in a record file's place is no record file.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        result = EngineFile::OpenResult::Failed;
        return nullptr;
    }
    result = EngineFile::OpenResult::Ok;
    return std::make_unique<WindowsEngineFile>(handle, readOnly);
}

}  // namespace qp
