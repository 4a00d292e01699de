// The reader and the rewriter held to a small reader written from the line
// rule alone, on generated files: what the program reads and writes is what
// the suite's other programs read.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "config/ini_file.h"

namespace qp {
namespace {

// 0x1A ends the file. Where the file holds a CR, a line ends at CR, a LF
// right after it is part of that end and any other LF is a byte of its line;
// a file with no CR is split at LF, a byte order mark in front set aside.
std::vector<std::string> SuiteLines(std::string bytes) {
    bytes = bytes.substr(0, bytes.find('\x1A'));
    const bool cr = bytes.find('\r') != std::string::npos;
    if (!cr && bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != (cr ? '\r' : '\n')) {
            line += bytes[i];
            continue;
        }
        if (cr && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        lines.push_back(line);
        line.clear();
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

std::string Name(std::string text) {
    text.erase(0, text.find_first_not_of(' '));
    text.erase(text.find_last_not_of(' ') + 1);
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string SuiteValue(const std::string& bytes, const std::string& section, const std::string& key) {
    bool inSection = false;
    for (const std::string& line : SuiteLines(bytes)) {
        const std::string content = line.substr(0, line.find(';'));
        const std::size_t first = content.find_first_not_of(' ');
        if (first == std::string::npos) continue;
        if (content[first] == '[') {
            if (inSection) return "";
            const std::string name = content.substr(first + 1);
            inSection = Name(name.substr(0, name.find(']'))) == Name(section);
            continue;
        }
        const std::size_t equals = content.find('=');
        if (!inSection || equals == std::string::npos || Name(content.substr(0, equals)) != Name(key)) continue;
        const std::string value = content.substr(equals + 1);
        return value.size() >= 2 && value.front() == '"' && value.back() == '"' ? value.substr(1, value.size() - 2)
                                                                                  : value;
    }
    return "";
}

// Short files of the bytes that matter to the format, the line ends above all.
std::vector<std::string> GeneratedFiles() {
    static const std::string kPieces[] = {"[", "]", "=", ";", " ", "\r", "\n", "\r\n", "S", "s", "K", "k", "T",
                                          "\"", "x", "[S]", "[T]", "K=1", "k=2", "\xEF\xBB\xBF", "\x1A"};
    std::vector<std::string> files;
    std::uint32_t seed = 26;
    auto next = [&](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    for (int f = 0; f < 4000; ++f) {
        std::string file;
        for (std::uint32_t n = next(24); n > 0; --n) {
            const std::uint32_t piece = next(std::size(kPieces));
            // The mark only in front, and Ctrl-Z seldom.
            if ((piece == 19 && !file.empty()) || (piece == 20 && next(4) != 0)) continue;
            file += kPieces[piece];
        }
        files.push_back(file);
    }
    return files;
}

const std::pair<std::string, std::string> kNames[] = {{"S", "K"}, {"s", "k"}, {"T", "K"}, {" S ", "K"}, {"S", "x"}};

TEST(IniRule, TheProgramReadsWhatTheSuiteReads) {
    for (const std::string& file : GeneratedFiles())
        for (const auto& [section, key] : kNames)
            ASSERT_EQ(ReadIniValue(file, section, key), SuiteValue(file, section, key))
                << ::testing::PrintToString(file) << " [" << section << "] " << key;
}

TEST(IniRule, WhatIsWrittenIsWhatTheSuiteReadsAndNothingElseChanges) {
    for (const std::string& file : GeneratedFiles()) {
        for (const std::string value : {"v", "", "\"q\""}) {
            const std::string written = RewriteIniValue(file, "S", "K", value);
            const std::string shown = ::testing::PrintToString(file) + " K=" + value + " gives " +
                                      ::testing::PrintToString(written);
            ASSERT_EQ(SuiteValue(written, "S", "K"), value == "\"q\"" ? "q" : value) << shown;
            for (const auto& [section, key] : kNames) {
                if (Name(section) == "S" && Name(key) == "K") continue;
                ASSERT_EQ(SuiteValue(written, section, key), SuiteValue(file, section, key)) << shown;
            }
        }
    }
}

}  // namespace
}  // namespace qp
