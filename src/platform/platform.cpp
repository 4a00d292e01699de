#include "platform/platform.h"

#include <algorithm>

namespace qp {

std::optional<std::string> ReadWholeFile(Platform& platform, const std::string& path, std::int64_t limit,
                                         std::string* reason) {
    auto file = platform.Open(path, OpenMode::ReadShared, reason);
    if (!file) return std::nullopt;
    return ReadWholeFile(*file, limit, reason);
}

std::optional<std::string> ReadWholeFile(File& file, std::int64_t limit, std::string* reason) {
    auto tooLarge = [&] {
        if (reason) *reason = "larger than " + std::to_string(limit) + " bytes";
        return std::nullopt;
    };
    const std::int64_t size = file.Size();
    if (size > limit) return tooLarge();
    auto unreadable = [&] {
        if (reason) *reason = "cannot be read";
        return std::nullopt;
    };
    // Straight into the result, so that the bytes are copied once.
    std::string bytes;
    ReserveForFile(bytes, static_cast<std::size_t>(size > 0 ? size : 0));
    bytes.resize(static_cast<std::size_t>(size > 0 ? size : 0));
    std::int64_t pos = 0;
    while (pos < size) {
        std::int64_t got = file.ReadAt(pos, bytes.data() + pos, bytes.size() - static_cast<std::size_t>(pos));
        if (got < 0) return unreadable();
        if (got == 0) break;
        pos += got;
    }
    bytes.resize(static_cast<std::size_t>(pos));
    // A file that grows while it is read is held to the same bound.
    char chunk[4096];
    for (;;) {
        std::int64_t got = file.ReadAt(pos, chunk, sizeof chunk);
        if (got < 0) return unreadable();
        if (got == 0) break;
        if (pos + got > limit) return tooLarge();
        bytes.append(chunk, static_cast<std::size_t>(got));
        pos += got;
    }
    return bytes;
}

Status WriteWholeFile(Platform& platform, const std::string& path, const std::string& bytes) {
    // Truncation: remove and create anew, so a shorter content never keeps a tail.
    if (platform.Exists(path)) {
        Status removed = platform.Remove(path);
        if (!removed) return removed;
    }
    std::string reason;
    auto file = platform.Open(path, OpenMode::CreateExclusive, &reason);
    if (!file) return Status::Fail(reason);
    return file->WriteAt(0, bytes.data(), bytes.size());
}

namespace {

constexpr int kCopyNameAttempts = 100;
// A lock held by another save, or a file another program holds, is waited
// out this long in all, in sleeps that start short (a save takes a few
// milliseconds) and grow to a twentieth of a second.
constexpr int kWaitMs = 5000;
constexpr int kFirstWaitMs = 5;
constexpr int kLongestWaitMs = 50;
constexpr std::size_t kCopyDigits = 5;

void RemoveDeadCopies(Platform& platform, const std::string& directory) {
    for (const std::string& name : platform.ListDirectory(directory))
        if (IsRewriteCopyName(name)) platform.RemoveIfDeadCopy(directory + name);
}

// A new copy beside the file, under a name no file has yet.
std::unique_ptr<File> CreateCopyBeside(Platform& platform, const RewriteTarget& target, std::string& copyPath,
                                       Status& status) {
    const std::string directory = DirectoryPart(target.path);
    Random random(static_cast<std::uint64_t>(platform.HundredthsSinceMidnight()));
    for (int attempt = 0; attempt < kCopyNameAttempts; ++attempt) {
        std::string name = directory + "QPL";
        for (std::size_t digit = 0; digit < kCopyDigits; ++digit) name += static_cast<char>('0' + random.Below(10));
        name += ".tmp";
        if (platform.Exists(name)) continue;
        std::unique_ptr<File> copy = platform.CreateCopy(name, target.identity, status);
        // Another save, seeded in the same hundredth, may have taken the name
        // since it was looked at: the next name is tried.
        if (!copy && platform.Exists(name)) continue;
        copyPath = name;
        return copy;
    }
    status = Status::Fail("no free name for a copy beside " + target.path + ": all names tried are taken");
    return nullptr;
}

Status WriteCopyInPlace(Platform& platform, const RewriteTarget& target, const std::string& replacement) {
    RemoveDeadCopies(platform, DirectoryPart(target.path));
    Status status;
    std::string copyPath;
    std::unique_ptr<File> copy = CreateCopyBeside(platform, target, copyPath, status);
    if (!copy) return status;
    status = copy->WriteAt(0, replacement.data(), replacement.size());
    if (status) status = copy->Sync();
    copy.reset();
    if (!status) status.reason = "cannot write the copy " + copyPath + ": " + status.reason;
    if (status) status = platform.Replace(copyPath, target.path);
    if (!status) platform.Remove(copyPath);
    return status;
}

// One try: lock, read, rewrite, replace. The lock is let go when the target
// is dropped, after the replace.
Status RewriteOnce(Platform& platform, const std::string& path, const RewriteFunction& rewrite) {
    RewriteTarget target;
    Status status = platform.OpenForRewrite(path, target);
    if (!status) return status;
    std::string replacement;
    status = rewrite(target, replacement);
    // Nothing to change: the file is not touched at all (nor made, when missing).
    const bool unchanged = replacement == target.bytes;
    if (status && !unchanged) status = WriteCopyInPlace(platform, target, replacement);
    // A file made only to be locked goes again, unless a peer wrote to it.
    if ((!status || unchanged) && target.created && target.held && target.held->Size() == 0)
        platform.Remove(target.path);
    return status;
}

}  // namespace

std::string DirectoryPart(const std::string& path) {
    std::size_t cut = path.find_last_of(":\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

bool IsRewriteCopyName(const std::string& name) {
    if (name.size() != 3 + kCopyDigits + 4 || name.compare(0, 3, "QPL") != 0 ||
        name.compare(3 + kCopyDigits, 4, ".tmp") != 0)
        return false;
    for (std::size_t i = 3; i < 3 + kCopyDigits; ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    return true;
}

Status RewriteFile(Platform& platform, const std::string& path, const RewriteFunction& rewrite) {
    for (int waited = 0, step = kFirstWaitMs;; waited += step, step = std::min(2 * step, kLongestWaitMs)) {
        Status status = RewriteOnce(platform, path, rewrite);
        if (status || status.cause != FailureCause::InUse || waited >= kWaitMs) return status;
        platform.SleepMilliseconds(step);
    }
}

void Random::Seed(std::uint64_t seed) { state_ = seed ^ 0x9E3779B97F4A7C15ULL; }

double Random::Uniform() {
    // splitmix64: small, fast and good enough for waits and file names.
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * (1.0 / 9007199254740992.0);
}

int Random::Below(int n) {
    if (n <= 0) return 0;
    int r = static_cast<int>(Uniform() * n);
    return r < n ? r : n - 1;
}

}  // namespace qp
