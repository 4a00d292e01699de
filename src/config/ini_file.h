// Sectioned key=value configuration files (Tarn.ini, TarnTerm.ini, Sessio.ini).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/ini_lines.h"
#include "platform/platform.h"

namespace qp {

// One key to set in a section: an empty value deletes its entries.
struct IniChange {
    std::string key;
    std::string value;
};

// A file's bytes taken apart once, for as many keys as an operation reads or
// changes. It looks at the bytes, which must outlive it, and keeps nothing
// per line: each look-up walks the lines again. A file of more than
// ini::kMostLines lines is refused: it reads as empty and is not rewritten.
class IniView {
public:
    explicit IniView(std::string_view bytes);

    // Why the file is refused; empty when it is not.
    std::string Refusal() const;

    // The value of the first entry `key` in the first section `section`;
    // empty when the section or the key is missing.
    std::string Value(const std::string& section, const std::string& key) const;
    // The file's new bytes with the changes made in `section`: the bytes one
    // WriteIniKey per change, in the order given, would make, for changes
    // with a key each and no key twice. Lines not changed keep their bytes
    // and their own line end; a changed line keeps its end, an added one
    // takes the end of the line it follows. Fails, making nothing, for a
    // refused file and when the new file would be larger than `limit` bytes
    // (a long value for a key that a file repeats a million times would ask
    // for gigabytes).
    Status Rewrite(const std::string& section, const std::vector<IniChange>& changes, std::string& replacement,
                   std::size_t limit = kLargeFileLimit) const;
    // The same without the bounds.
    std::string Rewritten(const std::string& section, const std::vector<IniChange>& changes) const;

private:
    ini::Lines lines_;
};

// A configuration file read once and kept with its bytes.
class IniDocument {
public:
    IniDocument();
    explicit IniDocument(std::string bytes);
    // A file that is missing, cannot be read, is not a regular file, is
    // larger than `limit` or is refused by IniView reads as empty; `problem`
    // then says why, except for a file that is simply not there, and
    // `tooManyLines` whether it was refused for its number of lines.
    static IniDocument Read(Platform& platform, const std::string& path, std::int64_t limit,
                            std::string* problem = nullptr, bool* tooManyLines = nullptr);

    std::string Value(const std::string& section, const std::string& key) const { return view_.Value(section, key); }
    const IniView& View() const { return view_; }

private:
    std::unique_ptr<const std::string> bytes_;  // on the heap: the view's lines point into it
    IniView view_;
};

// The latest reading of one configuration file, for the readers of one run
// to share, so that start-up reads Tarn.ini once however many parts of the
// program take keys from it.
class IniReading {
public:
    IniReading(Platform& platform, std::string path, std::int64_t limit);

    // The file as it is now, kept as the latest reading.
    const IniDocument& Fresh();
    // The latest reading; the file read now when there is none yet.
    const IniDocument& Latest();
    // Why the latest reading found the file unusable (it then reads as
    // empty); empty when it was read or is simply not there.
    const std::string& Problem() const { return problem_; }
    // Whether that was its number of lines.
    bool TooManyLines() const { return tooManyLines_; }

    Platform& platform() { return platform_; }
    const std::string& path() const { return path_; }

private:
    Platform& platform_;
    std::string path_;
    std::int64_t limit_;
    std::optional<IniDocument> latest_;
    std::string problem_;
    bool tooManyLines_ = false;
};

// The value of the first entry `key` in section `section`; empty when the
// file, the section or the key is missing. For one key: a caller that reads
// several reads the file once into an IniDocument.
std::string ReadIniKey(Platform& platform, const std::string& path, const std::string& section,
                       const std::string& key);

// Sets, adds or deletes one value (or a section) by rewriting the file
// through RewriteFile. On failure the file is left byte for byte as it was
// and no temporary file remains.
Status WriteIniKey(Platform& platform, const std::string& path, const std::string& section,
                   const std::string& key, const std::string& value);

// The same two operations on a file's bytes. An empty key deletes the
// section, an empty section every non-blank line.
std::string ReadIniValue(std::string_view bytes, const std::string& section, const std::string& key);
std::string RewriteIniValue(std::string_view bytes, const std::string& section, const std::string& key,
                            const std::string& value);

}  // namespace qp
