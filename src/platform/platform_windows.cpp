#include "platform/platform.h"

#include <windows.h>
#undef SetCurrentDirectory  // the platform method of that name, not the Win32 macro

#include <algorithm>
#include <vector>

namespace qp {
namespace {

// The program's texts (paths included) are in the OEM code page.
std::wstring Wide(const std::string& oem) {
    if (oem.empty()) return {};
    int n = MultiByteToWideChar(CP_OEMCP, 0, oem.data(), static_cast<int>(oem.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_OEMCP, 0, oem.data(), static_cast<int>(oem.size()), w.data(), n);
    return w;
}

std::string Oem(const std::wstring& wide) {
    if (wide.empty()) return {};
    int n = WideCharToMultiByte(CP_OEMCP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_OEMCP, 0, wide.data(), static_cast<int>(wide.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::string LastErrorText() {
    DWORD err = GetLastError();
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, err, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n && buffer ? std::wstring(buffer, n) : L"error " + std::to_wstring(err);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    return Oem(text);
}

class WindowsFile final : public File {
public:
    explicit WindowsFile(HANDLE h) : h_(h) {}
    ~WindowsFile() override { CloseHandle(h_); }
    WindowsFile(const WindowsFile&) = delete;
    WindowsFile& operator=(const WindowsFile&) = delete;

    std::int64_t Size() override {
        LARGE_INTEGER size {};
        if (!GetFileSizeEx(h_, &size)) return -1;
        return size.QuadPart;
    }
    std::int64_t ReadAt(std::int64_t pos, void* buffer, std::size_t n) override {
        std::size_t done = 0;
        auto* out = static_cast<char*>(buffer);
        while (done < n) {
            OVERLAPPED ov {};
            std::int64_t at = pos + static_cast<std::int64_t>(done);
            ov.Offset = static_cast<DWORD>(at & 0xFFFFFFFF);
            ov.OffsetHigh = static_cast<DWORD>(at >> 32);
            DWORD got = 0;
            DWORD want = static_cast<DWORD>(std::min<std::size_t>(n - done, 1u << 30));
            if (!ReadFile(h_, out + done, want, &got, &ov)) {
                if (GetLastError() == ERROR_HANDLE_EOF) break;
                return -1;
            }
            if (got == 0) break;
            done += got;
        }
        return static_cast<std::int64_t>(done);
    }
    Status WriteAt(std::int64_t pos, const void* data, std::size_t n) override {
        std::size_t done = 0;
        const auto* in = static_cast<const char*>(data);
        while (done < n) {
            OVERLAPPED ov {};
            std::int64_t at = pos + static_cast<std::int64_t>(done);
            ov.Offset = static_cast<DWORD>(at & 0xFFFFFFFF);
            ov.OffsetHigh = static_cast<DWORD>(at >> 32);
            DWORD put = 0;
            DWORD want = static_cast<DWORD>(std::min<std::size_t>(n - done, 1u << 30));
            if (!WriteFile(h_, in + done, want, &put, &ov)) return Status::Fail(LastErrorText());
            done += put;
        }
        return Status::Ok();
    }
    Status Sync() override {
        if (!FlushFileBuffers(h_)) return Status::Fail(LastErrorText());
        return Status::Ok();
    }

private:
    HANDLE h_;
};

}  // namespace

std::string NativePath(const std::string& programPath) { return programPath; }

std::unique_ptr<File> SystemPlatform::Open(const std::string& path, OpenMode mode, std::string* reason) {
    DWORD access = 0, share = 0, disposition = 0;
    switch (mode) {
        case OpenMode::ReadShared:
            access = GENERIC_READ;
            share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
            disposition = OPEN_EXISTING;
            break;
        case OpenMode::ReadWriteShared:
            access = GENERIC_READ | GENERIC_WRITE;
            share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
            disposition = OPEN_ALWAYS;
            break;
        case OpenMode::CreateExclusive:
            access = GENERIC_WRITE;
            share = 0;
            disposition = CREATE_NEW;
            break;
    }
    HANDLE h = CreateFileW(Wide(path).c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (reason) *reason = LastErrorText();
        return nullptr;
    }
    return std::make_unique<WindowsFile>(h);
}

bool SystemPlatform::Exists(const std::string& path) {
    return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

Status SystemPlatform::Remove(const std::string& path) {
    if (!DeleteFileW(Wide(path).c_str())) return Status::Fail(LastErrorText());
    return Status::Ok();
}

Status SystemPlatform::Replace(const std::string& from, const std::string& to) {
    if (!MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return Status::Fail(LastErrorText());
    return Status::Ok();
}

std::string SystemPlatform::GetEnv(const std::string& name) {
    std::wstring wname = Wide(name);
    DWORD n = GetEnvironmentVariableW(wname.c_str(), nullptr, 0);
    if (n == 0) return {};
    std::wstring value(n, L'\0');
    DWORD got = GetEnvironmentVariableW(wname.c_str(), value.data(), n);
    value.resize(got);
    return Oem(value);
}

Status SystemPlatform::SetCurrentDirectory(const std::string& path) {
    if (!SetCurrentDirectoryW(Wide(path).c_str())) return Status::Fail(LastErrorText());
    return Status::Ok();
}

int SystemPlatform::RunCommand(const std::string& commandLine) {
    std::wstring line = Wide(commandLine);
    std::vector<wchar_t> mutableLine(line.begin(), line.end());
    mutableLine.push_back(L'\0');
    STARTUPINFOW si {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi {};
    if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

bool SystemPlatform::IsWindowsHost() const { return true; }

std::int64_t SystemPlatform::HundredthsSinceMidnight() {
    SYSTEMTIME t {};
    GetLocalTime(&t);
    return (static_cast<std::int64_t>(t.wHour) * 3600 + t.wMinute * 60 + t.wSecond) * 100 + t.wMilliseconds / 10;
}

void SystemPlatform::SleepMilliseconds(int ms) {
    if (ms > 0) Sleep(static_cast<DWORD>(ms));
}

}  // namespace qp
