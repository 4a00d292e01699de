// A fresh directory per test (or per fuzz target run), removed with
// everything in it afterwards.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qp::testing {

class TempDir {
public:
    TempDir() {
        std::random_device seed;
        std::filesystem::path base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            std::filesystem::path candidate = base / ("qp-test-" + std::to_string(seed()));
            std::error_code error;
            if (std::filesystem::create_directory(candidate, error)) path_ = candidate.generic_string();
        }
        // Going on would write into the root directory.
        if (path_.empty()) throw std::runtime_error("no temporary directory in " + base.string());
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory with a trailing "/", ready for concatenation.
    std::string Dir() const { return path_ + "/"; }
    std::string operator/(const std::string& name) const { return Dir() + name; }

    // Folders in the name ("FORMS/QPLAYOUT.MPN") are made as needed.
    void Write(const std::string& name, std::string_view bytes) const {
        std::filesystem::create_directories(std::filesystem::path(Dir() + name).parent_path());
        std::ofstream out(Dir() + name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(Dir() + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool Has(const std::string& name) const { return std::filesystem::exists(Dir() + name); }
    void Remove(const std::string& name) const {
        std::error_code ignored;
        std::filesystem::remove(Dir() + name, ignored);
    }
    // Names of every entry in the directory, sorted.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string path_;
};

}  // namespace qp::testing
