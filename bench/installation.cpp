#include "installation.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace qp::bench {

namespace fs = std::filesystem;

namespace {

constexpr int kKeysPerSection = 50;

// The nine settings as the sample's screen shows them (its defaults), so
// that the large file draws the same form as the sample.
constexpr const char* kRebutSection =
    "[Rebut]\r\nAntic=S\r\nFila.Num=1 \r\nFila.Dat=3 \r\nFila.Cnc=6 \r\nFila.Dom=11\r\nFila.Nom=13\r\n"
    "Matriu=N\r\nDuplicat=N\r\nMembret=S\r\n";

bool ReplaceFile(const std::string& from, const fs::path& to, std::string& reason) {
    std::error_code error;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
    if (error) reason = "cannot copy " + from + ": " + error.message();
    return !error;
}

bool MakeSpanish(const fs::path& terminalIni, std::string& reason) {
    std::string text = ReadWholeFile(terminalIni.string());
    std::size_t at = text.find("Idioma=CAT");
    if (at == std::string::npos) {
        reason = terminalIni.string() + " names no Catalan session to turn into a Spanish one";
        return false;
    }
    text.replace(at, 10, "Idioma=SPA");
    if (!WriteWholeFile(terminalIni.string(), text)) {
        reason = "cannot write " + terminalIni.string();
        return false;
    }
    return true;
}

}  // namespace

ScratchDir::ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "qp-bench.XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
}

bool MakeInstallation(const std::string& source, const std::string& dir, const Variant& variant,
                      std::string& reason) {
    std::error_code error;
    fs::copy(fs::path(source) / "sample", dir, fs::copy_options::recursive, error);
    for (const char* folder : {"FORMS", "LOCALE", "AJUDA"}) {
        if (error) break;
        fs::path from = fs::path(source) / folder;
        if (fs::exists(from)) fs::copy(from, fs::path(dir) / folder, fs::copy_options::recursive, error);
    }
    if (!error) fs::create_directories(fs::path(dir) / "TEMP", error);
    if (error) {
        reason = "cannot copy the sample installation: " + error.message();
        return false;
    }
    if (!variant.tarnIni.empty() && !ReplaceFile(variant.tarnIni, fs::path(dir) / "Tarn.ini", reason)) return false;
    if (!variant.language.empty() &&
        !ReplaceFile(variant.language, fs::path(dir) / "LOCALE" / "QPLAYOUT.LNG", reason))
        return false;
    return !variant.spanish || MakeSpanish(fs::path(dir) / "TEMP" / "TarnTerm.ini", reason);
}

std::string RootVariable(const std::string& dir) { return "MURROOT=" + dir; }
std::string TempVariable(const std::string& dir) { return "MURTMP=" + dir + "TEMP/"; }

bool WriteLargeTarnIni(const std::string& source, const std::string& path, std::size_t bytes, GeneratedFile& out,
                       std::string& reason) {
    std::string sample = ReadWholeFile(source + "/sample/Tarn.ini");
    if (sample.empty()) {
        reason = "cannot read " + source + "/sample/Tarn.ini";
        return false;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << sample;
    out = GeneratedFile {path, sample.size(), 0};
    std::size_t wanted = bytes - std::string(kRebutSection).size();
    // Written a section at a time: the bench keeps no large buffer, so that
    // its children's peak memory is theirs alone.
    for (int section = 1; out.bytes < wanted; ++section) {
        std::string text = "[Prog" + std::to_string(section) + "]\r\n";
        for (int key = 1; key <= kKeysPerSection; ++key)
            text += "Clau" + std::to_string(key) + "=valor " + std::to_string(section) + "." + std::to_string(key) +
                    " prog\r\n";
        file << text;
        out.bytes += text.size();
        out.entries += kKeysPerSection;
    }
    file << kRebutSection;
    out.bytes += std::string(kRebutSection).size();
    if (!file.flush()) reason = "cannot write " + path;
    return static_cast<bool>(file);
}

bool WriteLargeLanguageFile(const std::string& source, const std::string& path, std::size_t bytes,
                            GeneratedFile& out, std::string& reason) {
    std::string shipped = ReadWholeFile(source + "/LOCALE/QPLAYOUT.LNG");
    if (shipped.empty()) {
        reason = "cannot read " + source + "/LOCALE/QPLAYOUT.LNG";
        return false;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    out = GeneratedFile {path, 0, 0};
    std::size_t wanted = bytes > shipped.size() ? bytes - shipped.size() : 0;
    while (out.bytes < wanted) {
        std::string n = std::to_string(out.entries + 1);
        std::string record =
            "\"Text " + n + "\",\"Texto " + n + " gl\",\"Text " + n + " oc\",\"Texto " + n + " es\"\r\n";
        file << record;
        out.bytes += record.size();
        ++out.entries;
    }
    file << shipped;
    out.bytes += shipped.size();
    if (!file.flush()) reason = "cannot write " + path;
    return static_cast<bool>(file);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
    return static_cast<bool>(file.flush());
}

}  // namespace qp::bench
