// Installations for the benchmark: copies of the sample with the shipped
// form, language file and help, optionally with a large Tarn.ini, a large
// language file or a Spanish session, and the generators of those files.
#pragma once

#include <cstddef>
#include <string>

namespace qp::bench {

// A directory that removes itself.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    bool ok() const { return !path_.empty(); }
    // With a trailing "/", ready for concatenation as the program's paths are.
    std::string Dir() const { return path_ + "/"; }

private:
    std::string path_;
};

// What an installation differs in from the sample.
struct Variant {
    std::string tarnIni;   // a file put in place of Tarn.ini; empty: the sample's
    std::string language;  // a file put in place of LOCALE/QPLAYOUT.LNG; empty: the shipped one
    bool spanish = false;  // TarnTerm.ini's [Sistema] Idioma=SPA instead of CAT
};

// The sample installation of `source` (a checkout) copied into `dir`.
bool MakeInstallation(const std::string& source, const std::string& dir, const Variant& variant,
                      std::string& reason);

// "MURROOT=dir", "MURTMP=dir/TEMP/".
std::string RootVariable(const std::string& dir);
std::string TempVariable(const std::string& dir);

struct GeneratedFile {
    std::string path;
    std::size_t bytes = 0;
    std::size_t entries = 0;  // other programs' keys, or other texts' records
};

// The sample Tarn.ini, then sections [ProgN] of fifty keys each (CR LF) up
// to about `bytes`, then [Rebut] with the nine settings as the sample shows them.
bool WriteLargeTarnIni(const std::string& source, const std::string& path, std::size_t bytes, GeneratedFile& out,
                       std::string& reason);
// Records of other texts ("Text N","Texto N gl","Text N oc","Texto N es")
// up to about `bytes`, then the shipped records.
bool WriteLargeLanguageFile(const std::string& source, const std::string& path, std::size_t bytes,
                            GeneratedFile& out, std::string& reason);

// The whole file, or empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& bytes);

}  // namespace qp::bench
