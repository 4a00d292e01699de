// The suite's record manager, WBTRV32.DLL, loaded at run time: first from the
// program's own directory, then along the system's search path without the
// current directory, which is MURROOT, a folder every workstation may write.
#include <windows.h>

#include <string>

#include "records/record_manager.h"

namespace qp {
namespace {

// The library's single entry point.
using BtrCall = int(WINAPI*)(WORD operation, void* positionBlock, void* dataBuffer, DWORD* dataLength,
                             void* keyBuffer, BYTE keyLength, CHAR keyNumber);

class SuiteRecordManager : public RecordManager {
public:
    SuiteRecordManager(HMODULE module, BtrCall call) : module_(module), call_(call) {}
    ~SuiteRecordManager() override { FreeLibrary(module_); }
    SuiteRecordManager(const SuiteRecordManager&) = delete;
    SuiteRecordManager& operator=(const SuiteRecordManager&) = delete;

    std::int16_t Call(std::uint16_t operation, std::uint8_t* positionBlock, void* dataBuffer,
                      std::uint32_t& dataLength, void* keyBuffer, std::uint16_t keyLength,
                      std::int16_t keyNumber) override {
        DWORD length = dataLength;
        int status = call_(operation, positionBlock, dataBuffer, &length, keyBuffer,
                           static_cast<BYTE>(keyLength > 255 ? 255 : keyLength), static_cast<CHAR>(keyNumber));
        dataLength = length;
        return static_cast<std::int16_t>(status);
    }

private:
    HMODULE module_;
    BtrCall call_;
};

std::wstring ProgramDirectory() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

}  // namespace

std::unique_ptr<RecordManager> LoadSuiteRecordManager() {
    const wchar_t* name = L"WBTRV32.DLL";
    HMODULE module = nullptr;
    // Takes the current directory out of the search for this library and
    // for the libraries it loads itself; the PATH, where the record manager
    // is often installed, stays. Without that, only the program's own
    // directory is looked in.
    const bool currentDirectoryOut = SetDllDirectoryW(L"") != 0;
    std::wstring dir = ProgramDirectory();
    if (!dir.empty()) module = LoadLibraryW((dir + name).c_str());
    if (module == nullptr && currentDirectoryOut) module = LoadLibraryW(name);
    if (module == nullptr) return nullptr;
    auto call = reinterpret_cast<BtrCall>(reinterpret_cast<void*>(GetProcAddress(module, "BTRCALL")));
    if (call == nullptr) {
        FreeLibrary(module);
        return nullptr;
    }
    return std::make_unique<SuiteRecordManager>(module, call);
}

}  // namespace qp
