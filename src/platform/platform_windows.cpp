#include "platform/platform.h"
#include "platform/oem_text.h"
#include "platform/private_file.h"

#include <windows.h>
#undef SetCurrentDirectory  // the platform method of that name, not the Win32 macro

#include <algorithm>
#include <optional>
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

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::uint64_t Joined(DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; }

std::optional<FileStamp> StampOf(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info {};
    if (!GetFileInformationByHandle(h, &info)) return std::nullopt;
    return FileStamp {info.dwVolumeSerialNumber, Joined(info.nFileIndexHigh, info.nFileIndexLow),
                      static_cast<std::int64_t>(Joined(info.nFileSizeHigh, info.nFileSizeLow)),
                      static_cast<std::int64_t>(Joined(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime))};
}

// The one way from a program path to the system's: checked by the path rule
// (here a ":" that is no drive's is refused too: it would name a stream
// inside another file). Nothing, with `reason`, for a refused path.
std::optional<std::wstring> Wide(const std::string& path, std::string* reason = nullptr) {
    std::optional<SafePath> checked = SafePath::From(path, true, reason);
    if (!checked) return std::nullopt;
    return WideFromOem(checked->text());
}

Status Refused(const std::string& what, const std::string& reason) {
    return Status::Fail(what + ": the path " + reason);
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
    std::optional<FileStamp> Stamp() override { return StampOf(h_); }
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

std::string NativePath(const std::string& programPath) {
    return PathRefusal(programPath, true) ? std::string() : programPath;
}

void ReserveForFile(std::string& buffer, std::size_t size) { buffer.reserve(size); }

namespace {

// True when the handle, opened with FILE_FLAG_OPEN_REPARSE_POINT, is a link
// (a symbolic link, a junction: a reparse point that names another file)
// rather than a file. Windows gives no owner to judge a link by without
// libraries beyond the kernel's, so files in shared folders are never
// reached through one.
bool IsLink(HANDLE h, const BY_HANDLE_FILE_INFORMATION& info) {
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    FILE_ATTRIBUTE_TAG_INFO tag {};
    return !GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag) ||
           IsReparseTagNameSurrogate(tag.ReparseTag);
}

// Why an open handle may not be used in `mode`, in the operator's terms.
struct Refusal {
    std::string why;  // empty when it may be used
    FailureCause cause = FailureCause::None;
};

// COM1, NUL, a pipe or a folder are no files to read; no file is reached
// through a link, and the program's own files are never reached through any
// reparse point or another name of the file.
Refusal RefusalOf(HANDLE h, OpenMode mode) {
    if (GetFileType(h) != FILE_TYPE_DISK) return {"not a regular file", FailureCause::NotAFile};
    BY_HANDLE_FILE_INFORMATION info {};
    if (!GetFileInformationByHandle(h, &info)) return {LastErrorText(), FailureCause::Other};
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return {"is a folder", FailureCause::NotAFile};
    if (IsLink(h, info)) return {"a link (reparse point), never followed in a shared folder", FailureCause::Denied};
    if (mode == OpenMode::Private &&
        ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || info.nNumberOfLinks != 1))
        return {"not a file of this user alone", FailureCause::Denied};
    return {};
}

// The reparse point itself is opened, never what it points to; it is refused after.
HANDLE OpenNamed(const std::wstring& path, DWORD access, DWORD share, DWORD disposition) {
    return CreateFileW(path.c_str(), access, share, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// Opens an existing file, or makes it new; `created` tells which. A file
// made by another program in between is opened on the next round.
HANDLE OpenOrCreate(const std::wstring& path, DWORD access, bool& created) {
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 3; ++attempt) {
        created = false;
        h = OpenNamed(path, access, kShareAll, OPEN_EXISTING);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_NOT_FOUND) break;
        h = OpenNamed(path, access, kShareAll, CREATE_NEW);
        created = h != INVALID_HANDLE_VALUE;
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) break;
    }
    return h;
}


}  // namespace

NativeFile OpenPrivateFile(const SafePath& path, bool& created, std::string* refusal) {
    HANDLE h = OpenOrCreate(WideFromOem(path.text()), GENERIC_READ | GENERIC_WRITE, created);
    if (h == INVALID_HANDLE_VALUE) {
        if (refusal) *refusal = LastErrorText();
        return INVALID_HANDLE_VALUE;
    }
    std::string why = RefusalOf(h, OpenMode::Private).why;
    if (why.empty()) return h;
    CloseHandle(h);
    if (refusal) *refusal = why;
    return INVALID_HANDLE_VALUE;
}

bool IsOpen(NativeFile file) { return file != INVALID_HANDLE_VALUE; }

std::unique_ptr<File> SystemPlatform::Open(const std::string& path, OpenMode mode, std::string* reason) {
    std::string why;
    std::optional<SafePath> checked = SafePath::From(path, true, &why);
    if (!checked) {
        if (reason) *reason = "the path " + why;
        return nullptr;
    }
    if (mode == OpenMode::Private) {
        bool created = false;
        HANDLE h = OpenPrivateFile(*checked, created, reason);
        return IsOpen(h) ? std::make_unique<WindowsFile>(h) : nullptr;
    }
    const std::wstring wide = WideFromOem(checked->text());
    bool created = false;
    HANDLE h = INVALID_HANDLE_VALUE;
    switch (mode) {
    case OpenMode::ReadShared: h = OpenNamed(wide, GENERIC_READ, kShareAll, OPEN_EXISTING); break;
    case OpenMode::ReadCreating: h = OpenOrCreate(wide, GENERIC_READ, created); break;
    case OpenMode::CreateExclusive: h = OpenNamed(wide, GENERIC_WRITE, 0, CREATE_NEW); break;
    case OpenMode::Private: break;
    }
    if (h == INVALID_HANDLE_VALUE) {
        if (reason) *reason = LastErrorText();
        return nullptr;
    }
    std::string refusal = RefusalOf(h, mode).why;
    if (!refusal.empty()) {
        CloseHandle(h);
        if (reason) *reason = refusal;
        return nullptr;
    }
    return std::make_unique<WindowsFile>(h);
}

bool SystemPlatform::Exists(const std::string& path) {
    std::optional<std::wstring> wide = Wide(path);
    return wide && GetFileAttributesW(wide->c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<FileStamp> SystemPlatform::Stamp(const std::string& path) {
    std::optional<std::wstring> wide = Wide(path);
    if (!wide) return std::nullopt;
    // Attributes only: no read, and no sharing conflict with any open.
    HANDLE h = CreateFileW(wide->c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    std::optional<FileStamp> stamp = StampOf(h);
    CloseHandle(h);
    return stamp;
}

Status SystemPlatform::Remove(const std::string& path) {
    std::string why;
    std::optional<std::wstring> wide = Wide(path, &why);
    if (!wide) return Refused("cannot remove " + path, why);
    if (!DeleteFileW(wide->c_str())) return Status::Fail(LastErrorText());
    return Status::Ok();
}

Status SystemPlatform::Replace(const std::string& from, const std::string& to) {
    std::string why;
    std::optional<std::wstring> checkedSource = Wide(from, &why);
    std::optional<std::wstring> checkedTarget = checkedSource ? Wide(to, &why) : std::nullopt;
    if (!checkedTarget) return Refused("cannot replace " + to, why);
    const std::wstring& source = *checkedSource;
    const std::wstring& target = *checkedTarget;
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
    std::string why;
    std::optional<std::wstring> checked = Wide(path, &why);
    if (!checked) return Refused("cannot open " + path, why);
    const std::wstring& wide = *checked;
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) return Failed("cannot open", path);
        Status folder = FolderOf(path);
        if (!folder) return folder;
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        return Status::Fail("cannot open " + path + ": it is a folder", FailureCause::NotAFile);
    } else if (attributes & FILE_ATTRIBUTE_READONLY) {
        SetLastError(ERROR_ACCESS_DENIED);
        return Failed("cannot open", path);
    }

    const std::wstring lockPath = wide + L".lck";
    const std::string lockName = path + ".lck";
    HANDLE lock = OpenRewriteLock(lockPath);
    if (lock == INVALID_HANDLE_VALUE) {
        DWORD err = GetLastError();
        DWORD lockAttributes = GetFileAttributesW(lockPath.c_str());
        // A folder of that name is no lock that anybody lets go of: waiting
        // for it would only make every save fail later.
        if (lockAttributes != INVALID_FILE_ATTRIBUTES && (lockAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return Status::FailOn(lockName,
                                  "cannot lock " + path + ": its lock file " + lockName +
                                      " is a folder; nothing can be saved until it is removed",
                                  FailureCause::NotAFile);
        // Held by another rewrite, or just closed by one and not yet gone.
        if (err == ERROR_SHARING_VIOLATION || (err == ERROR_ACCESS_DENIED && lockAttributes != INVALID_FILE_ATTRIBUTES))
            return Status::Fail("another program is changing " + path, FailureCause::InUse);
        return Failed("cannot lock", path);
    }
    target.held = std::make_unique<WindowsFile>(lock);
    Refusal lockRefusal = RefusalOf(lock, OpenMode::ReadShared);
    if (!lockRefusal.why.empty())
        return Status::FailOn(lockName, "cannot lock " + path + ": its lock file " + lockName + ": " + lockRefusal.why,
                              FailureCause::NotAFile);

    // Read and closed again: the replace needs the name free. What is read
    // is what this open checked: never a file reached through a link.
    HANDLE h = OpenNamed(wide, GENERIC_READ | GENERIC_WRITE, kShareAll, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return Status::Ok();  // a first save
        return Failed("cannot open", path);
    }
    WindowsFile file(h);
    Refusal refusal = RefusalOf(h, OpenMode::ReadShared);
    if (!refusal.why.empty()) return Status::Fail("cannot open " + path + ": " + refusal.why, refusal.cause);
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
    std::optional<std::wstring> wide = Wide(directory + "*");
    if (!wide) return names;
    WIN32_FIND_DATAW found {};
    HANDLE search = FindFirstFileW(wide->c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = OemFromWide(found.cFileName);
        if (name != "." && name != "..") names.push_back(std::move(name));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

bool SystemPlatform::RemoveIfDeadCopy(const std::string& path) {
    std::optional<std::wstring> wide = Wide(path);
    if (!wide) return false;
    // A live save holds its copy open without delete sharing: this open fails.
    HANDLE h = OpenNamed(*wide, GENERIC_READ | DELETE, 0, OPEN_EXISTING);
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
    std::string why;
    std::optional<std::wstring> wide = Wide(path, &why);
    if (!wide) {
        status = Refused("cannot create the copy " + path, why);
        return nullptr;
    }
    // Readers are welcome; nobody may delete it while this save runs.
    HANDLE h = OpenNamed(*wide, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW);
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
    std::string why;
    std::optional<std::wstring> wide = Wide(path, &why);
    if (!wide) return Status::Fail("the path " + why);
    if (!SetCurrentDirectoryW(wide->c_str())) return Status::Fail(LastErrorText());
    return Status::Ok();
}

std::string SystemPlatform::AbsolutePath(const std::string& path) {
    std::optional<std::wstring> wide = Wide(path);
    if (path.empty() || !wide) return path;
    DWORD n = GetFullPathNameW(wide->c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring full(n, L'\0');
    DWORD got = GetFullPathNameW(wide->c_str(), n, full.data(), nullptr);
    if (got == 0 || got >= n) return path;
    full.resize(got);
    return OemFromWide(full);
}

int SystemPlatform::RunCommand(const std::string& commandLine) {
    // The interpreter's path comes from COMSPEC: no control byte goes into a command line.
    if (PathRefusal(commandLine, false)) return -1;
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
