// Shared pieces of the fuzz targets: a scratch directory for the parsers that
// read files, consoles filled and driven from the input, and a check that
// stops the run with a message when a property fails.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/temp_dir.h"
#include "screen/console.h"
#include "text/shared_types.h"

namespace qp::fuzz {

// libFuzzer calls the target as a plain function, so what must outlive one
// input lives here, made on first use; the directory is gone at a normal exit.
inline const testing::TempDir& Scratch() {
    static const testing::TempDir dir;
    return dir;
}

// Tarn.ini files of these contents, each in a folder of its own named
// `prefix` and its index; their paths, in the same order.
inline std::vector<std::string> TarnInis(const std::string& prefix, std::initializer_list<const char*> contents) {
    std::vector<std::string> paths;
    for (const char* bytes : contents) {
        std::string name = prefix + std::to_string(paths.size()) + "/Tarn.ini";
        Scratch().Write(name, bytes);
        paths.push_back(Scratch() / name);
    }
    return paths;
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

// Every cell of a console, for comparing screens before and after.
template <typename C>
std::vector<Cell> Snapshot(C& console) {
    std::vector<Cell> cells;
    for (int row = 1; row <= console.Rows(); ++row)
        for (int column = 1; column <= console.Columns(); ++column) cells.push_back(console.ReadCell(row, column));
    return cells;
}

// Something on every row of a console, for the screen given back to be
// told from one left blank: a letter and a colour by row, every `step` columns.
template <typename C>
void Scribble(C& console, char32_t firstLetter, int step) {
    for (int row = 1; row <= console.Rows(); ++row) {
        Cell cell {firstLetter + static_cast<char32_t>(row % 26), static_cast<std::uint8_t>(row)};
        for (int column = 1; column <= console.Columns(); column += step) console.WriteCells(row, column, &cell, 1);
    }
}

// Each byte of the input as one of the named keys, pressed in order.
template <typename C, std::size_t N>
void PressKeys(C& console, std::string_view bytes, const char* const (&names)[N]) {
    for (char b : bytes) console.PressKey(names[static_cast<unsigned char>(b) % N]);
}

}  // namespace qp::fuzz
