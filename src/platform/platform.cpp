#include "platform/platform.h"

namespace qp {

std::optional<std::string> ReadWholeFile(Platform& platform, const std::string& path) {
    auto file = platform.Open(path, OpenMode::ReadShared);
    if (!file) return std::nullopt;
    std::string bytes;
    char chunk[65536];
    std::int64_t pos = 0;
    for (;;) {
        std::int64_t got = file->ReadAt(pos, chunk, sizeof chunk);
        if (got < 0) return std::nullopt;
        if (got == 0) break;
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
