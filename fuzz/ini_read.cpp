// Configuration files read: any bytes, any section and key. The value read
// from the file on disk is the one read from its bytes, and no value holds
// what ends it: a CR never, a LF only where the file holds a CR.
#include "config/ini_file.h"
#include "fuzz_support.h"

using namespace qp;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(64);
    const std::string key = in.ConsumeRandomLengthString(64);
    const std::string bytes = in.ConsumeRemainingBytesAsString();

    const std::string value = ReadIniValue(bytes, section, key);
    fuzz::Check(value.find_first_of(";\r\x1A") == std::string::npos, "a value holds a comment or a line end");
    const bool crFile = bytes.substr(0, bytes.find('\x1A')).find('\r') != std::string::npos;
    fuzz::Check(crFile || value.find('\n') == std::string::npos, "a LF ends no line in a file without CR");
    fuzz::Check(value.size() <= bytes.size(), "a value longer than its file");

    fuzz::Scratch().Write("Tarn.ini", bytes);
    SystemPlatform platform;
    fuzz::Check(ReadIniKey(platform, fuzz::Scratch() / "Tarn.ini", section, key) == value,
                "the file and its bytes read differently");
    return 0;
}
