// The one rewrite of configuration files, on real files: what the file keeps,
// what is refused, and that a failure leaves the file and its folder as they were.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/temp_dir.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace qp {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

const std::string kOld = "[Rebut]\r\nAntic=N\r\n";
const std::string kNew = "[Rebut]\r\nAntic=S\r\n";

RewriteFunction WriteBytes(const std::string& bytes) {
    return [bytes](const RewriteTarget&, std::string& replacement) {
        replacement = bytes;
        return Status::Ok();
    };
}

TEST(RewriteFile, ReplacesAndCreates) {
    TempDir dir;
    SystemPlatform platform;
    dir.Write("Tarn.ini", kOld);
    std::string seen = "?";
    ASSERT_TRUE(RewriteFile(platform, dir / "Tarn.ini", [&](const RewriteTarget& current, std::string& out) {
                    seen = current.bytes;
                    out = kNew;
                    return Status::Ok();
                }).ok);
    EXPECT_EQ(seen, kOld);
    EXPECT_EQ(dir.Read("Tarn.ini"), kNew);

    ASSERT_TRUE(RewriteFile(platform, dir / "New.ini", WriteBytes(kNew)).ok);
    EXPECT_EQ(dir.Read("New.ini"), kNew);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string> {"New.ini", "Tarn.ini"}));
}

TEST(RewriteFile, ARefusedRewriteWritesNothing) {
    TempDir dir;
    SystemPlatform platform;
    dir.Write("Tarn.ini", kOld);
    Status status = RewriteFile(platform, dir / "Tarn.ini",
                                [](const RewriteTarget&, std::string&) { return Status::Fail("plan"); });
    EXPECT_FALSE(status.ok);
    EXPECT_EQ(dir.Read("Tarn.ini"), kOld);
    EXPECT_EQ(dir.Entries(), std::vector<std::string> {"Tarn.ini"});
}

TEST(RewriteFile, MissingFolderIsNamed) {
    TempDir dir;
    SystemPlatform platform;
    Status status = RewriteFile(platform, dir / "none/Tarn.ini", WriteBytes(kNew));
    EXPECT_FALSE(status.ok);
    EXPECT_EQ(status.cause, FailureCause::NoFolder) << status.reason;
    EXPECT_TRUE(dir.Entries().empty());
}

TEST(RewriteFile, CopyNames) {
    const struct {
        const char* name;
        bool ours;
    } cases[] = {{"QPL00000.tmp", true}, {"QPL98765.tmp", true},   {"QPL9876.tmp", false}, {"QPL987650.tmp", false},
                 {"qpl98765.tmp", false}, {"QPL9876a.tmp", false}, {"12345678.tmp", false}, {"QPL98765.TMP", false}};
    for (const auto& c : cases) EXPECT_EQ(IsRewriteCopyName(c.name), c.ours) << c.name;
}

// A copy whose writes fail as on a full disk.
class FullDiskPlatform : public SystemPlatform {
public:
    class FullFile : public File {
    public:
        explicit FullFile(std::unique_ptr<File> inner) : inner_(std::move(inner)) {}
        std::int64_t Size() override { return inner_->Size(); }
        std::optional<FileStamp> Stamp() override { return inner_->Stamp(); }
        std::int64_t ReadAt(std::int64_t pos, void* buffer, std::size_t n) override { return inner_->ReadAt(pos, buffer, n); }
        Status WriteAt(std::int64_t, const void*, std::size_t) override {
            return Status::Fail("No space left on device", FailureCause::DiskFull);
        }
        Status Sync() override { return inner_->Sync(); }

    private:
        std::unique_ptr<File> inner_;
    };
    std::unique_ptr<File> CreateCopy(const std::string& path, const FileIdentity& identity, Status& status) override {
        auto file = SystemPlatform::CreateCopy(path, identity, status);
        return file ? std::make_unique<FullFile>(std::move(file)) : nullptr;
    }
};

TEST(RewriteFile, AFullDiskLeavesTheFileAndNoCopy) {
    TempDir dir;
    FullDiskPlatform platform;
    dir.Write("Tarn.ini", kOld);
    Status status = RewriteFile(platform, dir / "Tarn.ini", WriteBytes(kNew));
    EXPECT_EQ(status.cause, FailureCause::DiskFull);
    EXPECT_EQ(dir.Read("Tarn.ini"), kOld);
    EXPECT_EQ(dir.Entries(), std::vector<std::string> {"Tarn.ini"});
}

// A name the save needs, taken by something that is no file, is no lock that
// anybody lets go of: the save fails at once, naming it, without waiting.
TEST(RewriteFile, ANameTakenByNoFileFailsAtOnce) {
    class NoWaiting : public SystemPlatform {
    public:
        void SleepMilliseconds(int) override { ++sleeps; }
        int sleeps = 0;
    };
    const struct {
        const char* name;
        const char* folder;  // made in the file's place
        const char* named;   // what the reason names
    } cases[] = {
        {"the file is a folder", "Tarn.ini", "Tarn.ini"},
#ifdef _WIN32
        {"the lock file is a folder", "Tarn.ini.lck", "Tarn.ini.lck"},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        if (std::string(c.folder) != "Tarn.ini") dir.Write("Tarn.ini", kOld);
        fs::create_directory(dir / c.folder);
        NoWaiting platform;
        Status status = RewriteFile(platform, dir / "Tarn.ini", WriteBytes(kNew));
        EXPECT_EQ(status.cause, FailureCause::NotAFile) << status.reason;
        EXPECT_NE(status.reason.find(c.named), std::string::npos) << status.reason;
        EXPECT_EQ(status.concerns.empty(), std::string(c.folder) == "Tarn.ini") << status.concerns;
        EXPECT_EQ(platform.sleeps, 0);
        EXPECT_TRUE(fs::is_directory(dir / c.folder));
    }
}

#ifndef _WIN32

struct Identity {
    mode_t mode;
    uid_t owner;
    gid_t group;
};

Identity IdentityOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return {static_cast<mode_t>(st.st_mode & 07777), st.st_uid, st.st_gid};
}

TEST(RewriteFile, KeepsModeOwnerAndGroup) {
    struct Case {
        const char* name;
        mode_t mode;
        mode_t saved;     // permission bits only: never set-user-ID, set-group-ID or sticky
        bool otherOwner;  // needs root
    };
    const Case cases[] = {
        {"group may write, others nothing", 0660, 0660, false},
        {"private", 0600, 0600, false},
        {"readable by all", 0644, 0644, false},
        {"another owner and group, saved by root", 0640, 0640, true},
        {"set-user-ID", 04755, 0755, false},
        {"set-group-ID", 02775, 0775, false},
        {"sticky", 01666, 0666, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.otherOwner && ::geteuid() != 0) continue;
        TempDir dir;
        SystemPlatform platform;
        dir.Write("Tarn.ini", kOld);
        const std::string path = dir / "Tarn.ini";
        ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
        if (c.otherOwner) {
            ASSERT_EQ(::chown(path.c_str(), 65534, 100), 0);
        }
        const Identity before = IdentityOf(path);
        ASSERT_TRUE(RewriteFile(platform, path, WriteBytes(kNew)).ok);
        const Identity after = IdentityOf(path);
        EXPECT_EQ(dir.Read("Tarn.ini"), kNew);
        EXPECT_EQ(before.mode, c.mode);
        EXPECT_EQ(after.mode, c.saved);
        EXPECT_EQ(after.owner, before.owner);
        EXPECT_EQ(after.group, before.group);
    }
}

TEST(RewriteFile, FollowsSymbolicLinksAndKeepsThem) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> links;  // link name, what it points at ("@" is the directory)
        std::string link;      // the path rewritten
        std::string target;    // the file that must get the bytes
    };
    const std::vector<Case> cases = {
        {"relative", {{"Tarn.ini", "shared/Tarn.ini"}}, "Tarn.ini", "shared/Tarn.ini"},
        {"absolute", {{"Tarn.ini", "@shared/Tarn.ini"}}, "Tarn.ini", "shared/Tarn.ini"},
        {"chain", {{"Tarn.ini", "link2"}, {"link2", "shared/link3"}, {"shared/link3", "Tarn.ini"}}, "Tarn.ini",
         "shared/Tarn.ini"},
        {"to a file not there yet", {{"Tarn.ini", "shared/New.ini"}}, "Tarn.ini", "shared/New.ini"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        SystemPlatform platform;
        fs::create_directory(dir / "shared");
        dir.Write("shared/Tarn.ini", kOld);
        for (const auto& [name, to] : c.links) {
            std::string pointsAt = to.front() == '@' ? dir.Dir() + to.substr(1) : to;
            fs::create_symlink(pointsAt, dir / name);
        }
        ASSERT_TRUE(RewriteFile(platform, dir / c.link, WriteBytes(kNew)).ok);
        EXPECT_EQ(dir.Read(c.target), kNew);
        for (const auto& link : c.links) EXPECT_TRUE(fs::is_symlink(dir / link.first)) << link.first;
        for (const auto& entry : fs::directory_iterator(dir / "shared"))
            EXPECT_FALSE(IsRewriteCopyName(entry.path().filename().string())) << "no copy left in the target's folder";
    }
}

TEST(RewriteFile, AReadOnlyFileIsRefusedEvenForRoot) {
    TempDir dir;
    SystemPlatform platform;
    dir.Write("Tarn.ini", kOld);
    const std::string path = dir / "Tarn.ini";
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    Status status = RewriteFile(platform, path, WriteBytes(kNew));
    EXPECT_FALSE(status.ok);
    EXPECT_EQ(status.cause, FailureCause::Denied);
    EXPECT_EQ(dir.Read("Tarn.ini"), kOld);
    EXPECT_EQ(IdentityOf(path).mode, 0444u);
    EXPECT_EQ(dir.Entries(), std::vector<std::string> {"Tarn.ini"});
}

// Runs `body` as an unprivileged user in a child process; its exit code is
// what it returns. Only root can become another user.
int AsNobody(const std::function<int()>& body) {
    pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(99);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

TEST(RewriteFile, NoPermissionIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    const struct {
        const char* name;
        mode_t fileMode;
        mode_t dirMode;
    } cases[] = {
        {"file not writable for the user", 0644, 0777},
        {"folder not writable for the user", 0666, 0755},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        dir.Write("Tarn.ini", kOld);
        const std::string path = dir / "Tarn.ini";
        ASSERT_EQ(::chmod(path.c_str(), c.fileMode), 0);
        ASSERT_EQ(::chmod(dir.Dir().c_str(), c.dirMode), 0);
        int cause = AsNobody([&] {
            SystemPlatform platform;
            return static_cast<int>(RewriteFile(platform, path, WriteBytes(kNew)).cause);
        });
        EXPECT_EQ(cause, static_cast<int>(FailureCause::Denied));
        EXPECT_EQ(dir.Read("Tarn.ini"), kOld);
        EXPECT_EQ(dir.Entries(), std::vector<std::string> {"Tarn.ini"});
        ::chmod(dir.Dir().c_str(), 0700);
    }
}

TEST(RewriteFile, FollowsOnlyALinkItsOwnerMayBeTrustedWith) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give links away";
    constexpr uid_t kOther = 65534;
    const struct {
        const char* name;
        uid_t linkOwner;
        uid_t folderOwner;
        bool followed;
    } cases[] = {
        {"made by another user in a shared folder", kOther, 0, false},
        {"made by root", 0, kOther, true},
        {"made by the folder's owner", kOther, kOther, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        SystemPlatform platform;
        fs::create_directory(dir / "shared");
        fs::create_directory(dir / "home");
        dir.Write("home/own.sh", "#!/bin/sh\n");
        ASSERT_EQ(::chmod((dir / "shared").c_str(), 01777), 0);
        ASSERT_EQ(::chown((dir / "shared").c_str(), c.folderOwner, 0), 0);
        fs::create_symlink(dir / "home/own.sh", dir / "shared/Tarn.ini");
        ASSERT_EQ(::lchown((dir / "shared/Tarn.ini").c_str(), c.linkOwner, 0), 0);
        Status status = RewriteFile(platform, dir / "shared/Tarn.ini", WriteBytes(kNew));
        EXPECT_EQ(status.ok, c.followed) << status.reason;
        EXPECT_EQ(dir.Read("home/own.sh"), c.followed ? kNew : "#!/bin/sh\n");
        EXPECT_EQ(status.cause, c.followed ? FailureCause::None : FailureCause::Denied);
        EXPECT_TRUE(fs::is_symlink(dir / "shared/Tarn.ini"));
    }
}

// Another user swaps the shared Tarn.ini between a regular file and a link to
// one of the operator's files, as fast as it can, while saves go on: the
// check of the name and the open are one, so no save ever reads or writes the
// operator's file; each either saves the shared file or is refused.
TEST(RewriteFile, AFileSwappedWithALinkIsNeverFollowed) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    TempDir dir;
    fs::create_directory(dir / "shared");
    fs::create_directory(dir / "home");
    ASSERT_EQ(::chmod((dir / "shared").c_str(), 0777), 0);
    const std::string secret = "the operator's own file\n";
    dir.Write("home/own", secret);
    ASSERT_EQ(::chmod((dir / "home/own").c_str(), 0600), 0);
    dir.Write("shared/Tarn.ini", kOld);
    const std::string shared = dir / "shared/";
    const std::string own = dir / "home/own";
    const pid_t swapper = ::fork();
    if (swapper == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(99);
        const std::string link = shared + ".link", file = shared + ".file", name = shared + "Tarn.ini";
        for (;;) {
            (void)::symlink(own.c_str(), link.c_str());
            (void)::rename(link.c_str(), name.c_str());
            int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            if (fd >= 0) {
                (void)!::write(fd, kOld.data(), kOld.size());
                ::close(fd);
            }
            (void)::rename(file.c_str(), name.c_str());
        }
    }
    SystemPlatform platform;
    int saved = 0;
    int refused = 0;
    bool readTheOwnFile = false;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    while (std::chrono::steady_clock::now() < end) {
        Status status = RewriteFile(platform, shared + "Tarn.ini", [&](const RewriteTarget& current, std::string& bytes) {
            readTheOwnFile = readTheOwnFile || current.bytes == secret;
            bytes = kNew;
            return Status::Ok();
        });
        ++(status.ok ? saved : refused);
    }
    ::kill(swapper, SIGKILL);
    ::waitpid(swapper, nullptr, 0);
    EXPECT_FALSE(readTheOwnFile);
    EXPECT_EQ(dir.Read("home/own"), secret);
    EXPECT_EQ(IdentityOf(own).mode, 0600u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "home"), fs::directory_iterator {}), 1) << "nothing made beside it";
    std::cout << saved << " saves went through, " << refused << " were refused\n";
    EXPECT_GT(saved + refused, 0);
}

// Another program that holds a POSIX record lock on the file, as lockf(3)
// (crudini, Python's fcntl.lockf, shell tools) takes it, until told to let go.
class LockHolder {
public:
    explicit LockHolder(const std::string& path) {
        int ready[2], release[2];
        EXPECT_EQ(::pipe(ready), 0);
        EXPECT_EQ(::pipe(release), 0);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            int fd = ::open(path.c_str(), O_RDWR);
            char byte = ::lockf(fd, F_LOCK, 0) == 0 ? 'y' : 'n';
            (void)!::write(ready[1], &byte, 1);
            (void)!::read(release[0], &byte, 1);  // until the parent lets go, or dies
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        release_ = release[1];
        char byte = 0;
        EXPECT_EQ(::read(ready[0], &byte, 1), 1);
        EXPECT_EQ(byte, 'y');
        ::close(ready[0]);
    }
    ~LockHolder() { Release(); }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    void Release() {
        if (pid_ <= 0) return;
        ::close(release_);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int release_ = -1;
};

// The real system, with the waits between tries counted instead of slept and
// something done during the wait when the test asks.
class WaitCountingPlatform : public SystemPlatform {
public:
    int sleeps = 0;
    int sleptMs = 0;
    std::function<void(int)> duringWait;
    void SleepMilliseconds(int ms) override {
        ++sleeps;
        sleptMs += ms;
        if (duringWait) duringWait(sleeps);
    }
};

TEST(RewriteFile, ALockHeldByAnotherProgramIsWaitedForThenNamed) {
    TempDir dir;
    dir.Write("Tarn.ini", kOld);
    LockHolder holder(dir / "Tarn.ini");
    WaitCountingPlatform platform;
    int rewrites = 0;
    Status status = RewriteFile(platform, dir / "Tarn.ini", [&](const RewriteTarget&, std::string& out) {
        ++rewrites;
        out = kNew;
        return Status::Ok();
    });
    EXPECT_EQ(status.cause, FailureCause::InUse) << status.reason;
    EXPECT_EQ(platform.sleptMs, 5025);
    EXPECT_EQ(platform.sleeps, 103) << "short sleeps, no busy loop";
    EXPECT_EQ(rewrites, 0) << "nothing was read without the lock";
    EXPECT_EQ(dir.Read("Tarn.ini"), kOld);
    EXPECT_EQ(dir.Entries(), std::vector<std::string> {"Tarn.ini"});
}

TEST(RewriteFile, ALockLetGoDuringTheWaitLetsTheSaveThrough) {
    TempDir dir;
    dir.Write("Tarn.ini", kOld);
    LockHolder holder(dir / "Tarn.ini");
    WaitCountingPlatform platform;
    platform.duringWait = [&](int sleeps) {
        if (sleeps == 10) holder.Release();
    };
    ASSERT_TRUE(RewriteFile(platform, dir / "Tarn.ini", WriteBytes(kNew)).ok);
    EXPECT_EQ(platform.sleeps, 10);
    EXPECT_EQ(dir.Read("Tarn.ini"), kNew);
}

// The holder is a save of another program: while we wait, it puts a new file
// in the place of the one we opened and lets go. Ours must merge into the
// new file, not into what the old one held.
TEST(RewriteFile, AFileReplacedWhileWaitingIsTheOneLockedAndRead) {
    TempDir dir;
    dir.Write("Tarn.ini", kOld);
    LockHolder holder(dir / "Tarn.ini");
    WaitCountingPlatform platform;
    platform.duringWait = [&](int sleeps) {
        if (sleeps != 3) return;
        dir.Write("theirs.tmp", "[Rebut]\r\nMatriu=S\r\n");
        fs::rename(dir / "theirs.tmp", dir / "Tarn.ini");
        holder.Release();
    };
    std::string seen;
    ASSERT_TRUE(RewriteFile(platform, dir / "Tarn.ini", [&](const RewriteTarget& current, std::string& out) {
                    seen = current.bytes;
                    out = current.bytes + "Antic=S\r\n";
                    return Status::Ok();
                }).ok);
    EXPECT_EQ(seen, "[Rebut]\r\nMatriu=S\r\n");
    EXPECT_EQ(dir.Read("Tarn.ini"), "[Rebut]\r\nMatriu=S\r\nAntic=S\r\n");
}

TEST(RewriteFile, AFirstSaveThatFailsLeavesNoFileBehind) {
    TempDir dir;
    SystemPlatform platform;
    Status status = RewriteFile(platform, dir / "Tarn.ini",
                                [](const RewriteTarget& current, std::string&) {
                                    EXPECT_TRUE(current.created);
                                    return Status::Fail("plan");
                                });
    EXPECT_FALSE(status.ok);
    EXPECT_TRUE(dir.Entries().empty());
}

void Age(const std::string& path, int seconds) {
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = ::time(nullptr) - seconds;
    times[0].tv_nsec = times[1].tv_nsec = 0;
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(RewriteFile, RemovesDeadCopiesAndNothingElse) {
    TempDir dir;
    SystemPlatform platform;
    dir.Write("Tarn.ini", kOld);
    // A save that is still running holds its copy.
    Status status;
    std::unique_ptr<File> live = platform.CreateCopy(dir / "QPL11111.tmp", FileIdentity {}, status);
    ASSERT_TRUE(live) << status.reason;
    const struct {
        const char* name;
        int age;
        bool removed;
    } files[] = {
        {"QPL22222.tmp", 3600, true},   // a save that died an hour ago
        {"QPL11111.tmp", 3600, false},  // the live one, however old
        {"QPL33333.tmp", 0, false},     // just created: may be about to be locked
        {"12345678.tmp", 3600, false},  // another program's name
        {"QPL4444.tmp", 3600, false},
    };
    for (const auto& f : files) {
        if (!dir.Has(f.name)) dir.Write(f.name, "partial");
        Age(dir / f.name, f.age);
    }
    ASSERT_TRUE(RewriteFile(platform, dir / "Tarn.ini", WriteBytes(kNew)).ok);
    for (const auto& f : files) EXPECT_EQ(dir.Has(f.name), !f.removed) << f.name;
    EXPECT_EQ(dir.Read("Tarn.ini"), kNew);
}

TEST(RewriteFile, ARealFullDiskLeavesTheFileAndNoCopy) {
    TempDir dir;
    const std::string mountPoint = dir / "small";
    fs::create_directory(mountPoint);
    if (::geteuid() != 0 || ::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "no small file system can be mounted here";
    SystemPlatform platform;
    const std::string path = mountPoint + "/Tarn.ini";
    {
        std::string old(20000, 'o');
        ASSERT_TRUE(WriteWholeFile(platform, path, old).ok);
        Status status = RewriteFile(platform, path, WriteBytes(std::string(100000, 'n')));
        EXPECT_EQ(status.cause, FailureCause::DiskFull) << status.reason;
        EXPECT_EQ(ReadWholeFile(platform, path, kLargeFileLimit), old);
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(mountPoint)) names.push_back(e.path().filename().string());
        EXPECT_EQ(names, std::vector<std::string> {"Tarn.ini"});
    }
    ::umount(mountPoint.c_str());
}

#endif  // _WIN32

}  // namespace
}  // namespace qp
