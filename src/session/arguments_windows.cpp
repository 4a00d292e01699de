#include "session/arguments.h"

#include <windows.h>
#include <shellapi.h>

namespace qp {
namespace {

std::string Utf8Of(const std::wstring& wide) {
    const int n = static_cast<int>(wide.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

std::wstring WideOfAnsi(const std::string& ansi) {
    const int n = static_cast<int>(ansi.size());
    const int size = MultiByteToWideChar(CP_ACP, 0, ansi.data(), n, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), n, wide.data(), size);
    return wide;
}

}  // namespace

std::vector<std::string> ArgumentsInUtf8(int argc, char** argv) {
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    // The C runtime's split, in the ANSI code page, should the two ever differ.
    if (wide == nullptr || count != argc) {
        for (int i = 1; i < argc; ++i) args.push_back(Utf8Of(WideOfAnsi(argv[i])));
    } else {
        for (int i = 1; i < count; ++i) args.push_back(Utf8Of(wide[i]));
    }
    LocalFree(wide);
    return args;
}

}  // namespace qp
