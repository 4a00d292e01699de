#include "platform/platform.h"
#include "platform/oem_text.h"
#include "platform/private_file.h"

#include <windows.h>
#undef SetCurrentDirectory  // the platform method of that name, not the Win32 macro

#include <algorithm>
#include <vector>

namespace qp {
namespace {

std::string LastErrorText() {
    DWORD err = GetLastError();
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, err, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n && buffer ? std::wstring(buffer, n) : L"error " + std::to_wstring(err);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    return OemFromWide(text);
}

FailureCause CauseOf(DWORD err) {
    switch (err) {
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return FailureCause::Denied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return FailureCause::DiskFull;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_UNABLE_TO_REMOVE_REPLACED:
    case ERROR_USER_MAPPED_FILE: return FailureCause::InUse;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH: return FailureCause::NoFolder;
    default: return FailureCause::Other;
    }
}

Status Failed(const std::string& what, const std::string& path) {
    DWORD err = GetLastError();
    std::string text = LastErrorText();
    return Status::Fail(what + " " + path + ": " + text, CauseOf(err));
}

// A copy younger than this is never taken for a dead save's: it may belong to
// a save that closed it a moment ago and is putting it in place.
constexpr std::int64_t kDeadCopyAge100ns = 10LL * 10000000LL;

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
            if (!WriteFile(h_, in + done, want, &put, &ov)) {
                DWORD err = GetLastError();
                return Status::Fail(LastErrorText(), CauseOf(err));
            }
            done += put;
        }
        return Status::Ok();
    }
    Status Sync() override {
        if (!FlushFileBuffers(h_)) {
            DWORD err = GetLastError();
            return Status::Fail(LastErrorText(), CauseOf(err));
        }
        return Status::Ok();
    }

private:
    HANDLE h_;
};

}  // namespace

std::wstring WideFromOem(const std::string& oem) {
    if (oem.empty()) return {};
    int n = MultiByteToWideChar(CP_OEMCP, 0, oem.data(), static_cast<int>(oem.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_OEMCP, 0, oem.data(), static_cast<int>(oem.size()), w.data(), n);
    return w;
}

std::string OemFromWide(const std::wstring& wide) {
    if (wide.empty()) return {};
    int n = WideCharToMultiByte(CP_OEMCP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_OEMCP, 0, wide.data(), static_cast<int>(wide.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::string NativePath(const std::string& programPath) { return programPath; }

void ReserveForFile(std::string& buffer, std::size_t size) { buffer.reserve(size); }

namespace {

// Why an open handle may not be used in `mode`; empty when it may. COM1,
// NUL, a pipe or a folder are no files to read; the program's own files are
// never reached through a reparse point or another name of the file.
std::string RefusalOf(HANDLE h, OpenMode mode) {
    if (GetFileType(h) != FILE_TYPE_DISK) return "not a regular file";
    BY_HANDLE_FILE_INFORMATION info {};
    if (!GetFileInformationByHandle(h, &info)) return LastErrorText();
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return "is a folder";
    if (mode == OpenMode::Private &&
        ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || info.nNumberOfLinks != 1))
        return "not a file of this user alone";
    return {};
}

HANDLE OpenPrivateHandle(const std::wstring& path, DWORD disposition) {
    // The reparse point itself is opened, never what it points to; it is refused after.
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

}  // namespace

NativeFile OpenPrivateFile(const std::string& path, bool& created, std::string* refusal) {
    const std::wstring wide = WideFromOem(path);
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 3; ++attempt) {
        created = false;
        h = OpenPrivateHandle(wide, OPEN_EXISTING);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_NOT_FOUND) break;
        h = OpenPrivateHandle(wide, CREATE_NEW);
        created = h != INVALID_HANDLE_VALUE;
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (h == INVALID_HANDLE_VALUE) {
        if (refusal) *refusal = LastErrorText();
        return INVALID_HANDLE_VALUE;
    }
    std::string why = RefusalOf(h, OpenMode::Private);
    if (why.empty()) return h;
    CloseHandle(h);
    if (refusal) *refusal = why;
    return INVALID_HANDLE_VALUE;
}

bool IsOpen(NativeFile file) { return file != INVALID_HANDLE_VALUE; }

std::unique_ptr<File> SystemPlatform::Open(const std::string& path, OpenMode mode, std::string* reason) {
    if (mode == OpenMode::Private) {
        bool created = false;
        HANDLE h = OpenPrivateFile(path, created, reason);
        return IsOpen(h) ? std::make_unique<WindowsFile>(h) : nullptr;
    }
    DWORD access = 0, share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, disposition = 0;
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    switch (mode) {
        case OpenMode::ReadShared:
            access = GENERIC_READ;
            disposition = OPEN_EXISTING;
            break;
        case OpenMode::ReadWriteShared:
            access = GENERIC_READ | GENERIC_WRITE;
            disposition = OPEN_ALWAYS;
            break;
        case OpenMode::CreateExclusive:
            access = GENERIC_WRITE;
            share = 0;
            disposition = CREATE_NEW;
            break;
        case OpenMode::Private: break;
    }
    HANDLE h = CreateFileW(WideFromOem(path).c_str(), access, share, nullptr, disposition, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (reason) *reason = LastErrorText();
        return nullptr;
    }
    std::string refusal = RefusalOf(h, mode);
    if (!refusal.empty()) {
        CloseHandle(h);
        if (reason) *reason = refusal;
        return nullptr;
    }
    return std::make_unique<WindowsFile>(h);
}

bool SystemPlatform::Exists(const std::string& path) {
    return GetFileAttributesW(WideFromOem(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

Status SystemPlatform::Remove(const std::string& path) {
    if (!DeleteFileW(WideFromOem(path).c_str())) return Status::Fail(LastErrorText());
    return Status::Ok();
}

Status SystemPlatform::Replace(const std::string& from, const std::string& to) {
    std::wstring source = WideFromOem(from);
    std::wstring target = WideFromOem(to);
    // ReplaceFileW keeps the replaced file's attributes, ACL and streams.
    if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        if (ReplaceFileW(target.c_str(), source.c_str(), nullptr,
                         REPLACEFILE_WRITE_THROUGH | REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS,
                         nullptr, nullptr))
            return Status::Ok();
        // The old file is gone already and the new one not yet in its place
        // (the name was still taken by a reader's open of the old one): the
        // new one goes in now, so that the file is never left missing.
        if (GetLastError() != ERROR_UNABLE_TO_MOVE_REPLACEMENT) return Failed("cannot replace", to);
    }
    if (!MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return Failed("cannot replace", to);
    return Status::Ok();
}

namespace {

// The rewrite lock is a lock file beside the file, opened with no sharing at
// all and removed when it is closed (by the system too, when the program
// dies; a file server does the same when the workstation goes): while one
// rewrite holds it, every other rewrite (of this program, on this or another
// workstation) fails to open it and waits. The file itself cannot carry the
// lock: ReplaceFileW cannot put the new file in place while any open of the
// old one, ours or a waiting peer's, keeps its name taken.
HANDLE OpenRewriteLock(const std::wstring& lockPath) {
    return CreateFileW(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

Status FolderOf(const std::string& path) {
    std::string dir = DirectoryPart(path);
    DWORD dirAttributes = dir.empty() ? FILE_ATTRIBUTE_DIRECTORY : GetFileAttributesW(WideFromOem(dir).c_str());
    if (dirAttributes == INVALID_FILE_ATTRIBUTES || !(dirAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return Failed("no folder for", path);
    }
    return Status::Ok();
}

}  // namespace

Status SystemPlatform::OpenForRewrite(const std::string& path, RewriteTarget& target) {
    target = RewriteTarget {};
    target.path = path;
    std::wstring wide = WideFromOem(path);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) return Failed("cannot open", path);
        Status folder = FolderOf(path);
        if (!folder) return folder;
    } else if (attributes & FILE_ATTRIBUTE_READONLY) {
        SetLastError(ERROR_ACCESS_DENIED);
        return Failed("cannot open", path);
    }

    const std::wstring lockPath = wide + L".lck";
    HANDLE lock = OpenRewriteLock(lockPath);
    if (lock == INVALID_HANDLE_VALUE) {
        // Held by another rewrite, or just closed by one and not yet gone.
        DWORD err = GetLastError();
        if (err == ERROR_SHARING_VIOLATION ||
            (err == ERROR_ACCESS_DENIED && GetFileAttributesW(lockPath.c_str()) != INVALID_FILE_ATTRIBUTES))
            return Status::Fail("another program is changing " + path, FailureCause::InUse);
        return Failed("cannot lock", path);
    }
    target.held = std::make_unique<WindowsFile>(lock);

    // Read and closed again: the replace needs the name free.
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return Status::Ok();  // a first save
        return Failed("cannot open", path);
    }
    WindowsFile file(h);
    std::string refusal = RefusalOf(h, OpenMode::ReadWriteShared);
    if (!refusal.empty()) return Status::Fail("cannot open " + path + ": " + refusal);
    std::int64_t size = file.Size();
    if (size < 0) return Failed("cannot read", path);
    if (size > kLargeFileLimit)
        return Status::Fail("cannot rewrite " + path + ": larger than " + std::to_string(kLargeFileLimit) + " bytes");
    ReserveForFile(target.bytes, static_cast<std::size_t>(size));
    target.bytes.resize(static_cast<std::size_t>(size));
    std::int64_t got = file.ReadAt(0, target.bytes.data(), target.bytes.size());
    if (got < 0) return Failed("cannot read", path);
    target.bytes.resize(static_cast<std::size_t>(got));
    target.exists = true;
    return Status::Ok();
}

std::vector<std::string> SystemPlatform::ListDirectory(const std::string& directory) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found {};
    HANDLE search = FindFirstFileW(WideFromOem(directory + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = OemFromWide(found.cFileName);
        if (name != "." && name != "..") names.push_back(std::move(name));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

bool SystemPlatform::RemoveIfDeadCopy(const std::string& path) {
    // A live save holds its copy open without delete sharing: this open fails.
    HANDLE h = CreateFileW(WideFromOem(path).c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool removed = false;
    FILETIME written {};
    FILETIME now {};
    GetSystemTimeAsFileTime(&now);
    if (GetFileTime(h, nullptr, nullptr, &written)) {
        auto ticks = [](const FILETIME& t) {
            return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
        };
        if (ticks(now) - ticks(written) >= kDeadCopyAge100ns) {
            FILE_DISPOSITION_INFO disposition {};
            disposition.DeleteFile = TRUE;
            removed = SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition) != 0;
        }
    }
    CloseHandle(h);
    return removed;
}

std::unique_ptr<File> SystemPlatform::CreateCopy(const std::string& path, const FileIdentity&, Status& status) {
    // Readers are welcome; nobody may delete it while this save runs.
    HANDLE h = CreateFileW(WideFromOem(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        status = Failed("cannot create the copy", path);
        return nullptr;
    }
    status = Status::Ok();
    return std::make_unique<WindowsFile>(h);
}

std::string SystemPlatform::GetEnv(const std::string& name) {
    std::wstring wname = WideFromOem(name);
    DWORD n = GetEnvironmentVariableW(wname.c_str(), nullptr, 0);
    if (n == 0) return {};
    std::wstring value(n, L'\0');
    DWORD got = GetEnvironmentVariableW(wname.c_str(), value.data(), n);
    value.resize(got);
    return OemFromWide(value);
}

Status SystemPlatform::SetCurrentDirectory(const std::string& path) {
    if (!SetCurrentDirectoryW(WideFromOem(path).c_str())) return Status::Fail(LastErrorText());
    return Status::Ok();
}

int SystemPlatform::RunCommand(const std::string& commandLine) {
    std::wstring line = WideFromOem(commandLine);
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
