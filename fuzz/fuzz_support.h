// Shared pieces of the fuzz targets: a scratch directory for the parsers that
// read files, a console set up the way the program sets it up, and a check
// that stops the run with a message when a property fails.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "screen/console.h"
#include "text/shared_types.h"

namespace qp::fuzz {

// A directory of the process's own; gone at a normal exit.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qp-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // With a trailing "/", ready for concatenation as the program does.
    std::string Dir() const { return path_ + "/"; }
    std::string Path(const std::string& name) const { return Dir() + name; }

    void Write(const std::string& name, std::string_view bytes) const {
        std::filesystem::create_directories(std::filesystem::path(Path(name)).parent_path());
        std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool Has(const std::string& name) const { return std::filesystem::exists(Path(name)); }
    void Remove(const std::string& name) const {
        std::error_code ignored;
        std::filesystem::remove(Path(name), ignored);
    }

private:
    std::string path_;
};

// libFuzzer calls the target as a plain function, so what must outlive one
// input lives here, made on first use.
inline ScratchDir& Scratch() {
    static ScratchDir dir;
    return dir;
}

// A property that failed: said on stderr, then a crash that libFuzzer saves the input of.
[[noreturn]] inline void Fail(const std::string& what) {
    std::fprintf(stderr, "property failed: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

inline void Check(bool holds, const std::string& what) {
    if (!holds) Fail(what);
}

// The colour table of a terminal that sets none.
inline const ColourTable& DefaultColours() {
    static const ColourTable table {{{7, 0}, {15, 0}, {0, 7}, {14, 1}, {12, 0}}};
    return table;
}

// A key press the way the console delivers it.
inline InputEvent KeyPress(unsigned char character, std::uint8_t scan, std::uint16_t control = 0) {
    InputEvent e;
    e.kind = InputEvent::Kind::Key;
    e.character = character;
    e.scan = scan;
    e.control = control;
    return e;
}

// Every cell of a console, for comparing screens before and after.
template <typename C>
std::vector<Cell> Snapshot(C& console) {
    std::vector<Cell> cells;
    for (int row = 1; row <= console.Rows(); ++row)
        for (int column = 1; column <= console.Columns(); ++column) cells.push_back(console.ReadCell(row, column));
    return cells;
}

}  // namespace qp::fuzz
