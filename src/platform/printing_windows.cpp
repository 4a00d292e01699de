#include "platform/printing.h"

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <vector>

namespace qp {
namespace {

std::wstring WideFromUtf8(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string Utf8FromWide(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n, nullptr, nullptr);
    return utf8;
}

std::string ErrorText(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n != 0 && buffer != nullptr ? std::wstring(buffer, n) : L"error " + std::to_wstring(error);
    if (buffer != nullptr) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    return Utf8FromWide(text);
}

// What a spooler error means to the operator.
PrintFault FaultOf(DWORD error) {
    switch (error) {
    case RPC_S_SERVER_UNAVAILABLE:
    case RPC_S_SERVER_TOO_BUSY:
    case ERROR_SERVICE_NOT_ACTIVE:
    case ERROR_SPOOL_FILE_NOT_FOUND: return PrintFault::NoService;
    case ERROR_INVALID_PRINTER_NAME:
    case ERROR_PRINTER_DELETED:
    case ERROR_PRINTER_NOT_FOUND: return PrintFault::UnknownPrinter;
    case ERROR_PRINT_CANCELLED:
    case ERROR_PRINTQ_FULL:
    case ERROR_NOT_READY: return PrintFault::Refused;
    default: return PrintFault::Failed;
    }
}

PrintResult Failure(PrintResult result, DWORD error) {
    result.fault = FaultOf(error);
    result.detail = ErrorText(error);
    return result;
}

// An open printer, closed on every way out; a document begun on it is
// ended, or aborted when it did not arrive whole.
class OpenedPrinter {
public:
    explicit OpenedPrinter(const std::wstring& name) {
        if (!OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &handle_, nullptr)) handle_ = nullptr;
    }
    ~OpenedPrinter() {
        if (handle_ == nullptr) return;
        if (inDocument_) AbortPrinter(handle_);
        ClosePrinter(handle_);
    }
    OpenedPrinter(const OpenedPrinter&) = delete;
    OpenedPrinter& operator=(const OpenedPrinter&) = delete;
    explicit operator bool() const { return handle_ != nullptr; }

    bool StartRawDocument(const std::wstring& title) {
        wchar_t dataType[] = L"RAW";
        std::wstring docName = title;
        DOC_INFO_1W doc {docName.data(), nullptr, dataType};
        inDocument_ = StartDocPrinterW(handle_, 1, reinterpret_cast<BYTE*>(&doc)) != 0;
        return inDocument_;
    }

    bool Write(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
            DWORD written = 0;
            if (!WritePrinter(handle_, const_cast<char*>(bytes.data() + done), chunk, &written) || written == 0) return false;
            done += written;
        }
        return true;
    }

    bool EndDocument() {
        if (!EndDocPrinter(handle_)) return false;
        inDocument_ = false;
        return true;
    }

    bool IsPaused() {
        DWORD needed = 0;
        GetPrinterW(handle_, 2, nullptr, 0, &needed);
        if (needed == 0) return false;
        std::vector<BYTE> buffer(needed);
        if (!GetPrinterW(handle_, 2, buffer.data(), needed, &needed)) return false;
        return (reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data())->Status & PRINTER_STATUS_PAUSED) != 0;
    }

private:
    HANDLE handle_ = nullptr;
    bool inDocument_ = false;
};

// The default printer's name; empty with the error when there is none.
std::wstring DefaultPrinter(DWORD& error) {
    DWORD size = 0;
    GetDefaultPrinterW(nullptr, &size);
    std::wstring name(size, L'\0');
    if (size == 0 || !GetDefaultPrinterW(name.data(), &size)) {
        error = GetLastError();
        return {};
    }
    name.resize(size > 0 ? size - 1 : 0);  // less the terminating zero
    return name;
}

// The printers of this machine and the connections to shared ones; false
// with the error when the spooler did not answer.
bool EnumeratePrinters(std::vector<std::wstring>& names, DWORD& error) {
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0;
    DWORD count = 0;
    if (!EnumPrintersW(flags, nullptr, 4, nullptr, 0, &needed, &count) && GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        error = GetLastError();
        return false;
    }
    if (needed == 0) return true;
    std::vector<BYTE> buffer(needed);
    if (!EnumPrintersW(flags, nullptr, 4, buffer.data(), needed, &needed, &count)) {
        error = GetLastError();
        return false;
    }
    const auto* info = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        if (info[i].pPrinterName != nullptr) names.emplace_back(info[i].pPrinterName);
    return true;
}

}  // namespace

std::string PrinterNameFromArgument(const std::string& argument) {
    if (argument.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, argument.data(), static_cast<int>(argument.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, argument.data(), static_cast<int>(argument.size()), wide.data(), n);
    return Utf8FromWide(wide);
}

PrinterList SystemPrinting::ListPrinters() {
    PrinterList list;
    std::vector<std::wstring> names;
    DWORD error = 0;
    if (!EnumeratePrinters(names, error)) {
        list.fault = FaultOf(error) == PrintFault::NoService ? PrintFault::NoService : PrintFault::Failed;
        list.detail = ErrorText(error);
        return list;
    }
    if (names.empty()) {
        list.fault = PrintFault::NoPrinter;
        return list;
    }
    const std::wstring standard = DefaultPrinter(error);
    for (const std::wstring& name : names) {
        if (!list.firstIsDefault && !standard.empty() && CompareStringOrdinal(name.c_str(), -1, standard.c_str(), -1, TRUE) == CSTR_EQUAL) {
            list.names.insert(list.names.begin(), Utf8FromWide(name));
            list.firstIsDefault = true;
        } else {
            list.names.push_back(Utf8FromWide(name));
        }
    }
    return list;
}

PrintResult SystemPrinting::PrintRaw(const std::string& printer, const std::string& title, const std::string& bytes) {
    PrintResult result;
    result.printer = printer;
    if (!printer.empty() && !IsPossiblePrinterName(printer)) {
        result.fault = PrintFault::UnknownPrinter;
        return result;
    }
    std::wstring name = WideFromUtf8(printer);
    if (name.empty()) {
        DWORD error = 0;
        name = DefaultPrinter(error);
        if (name.empty()) {
            std::vector<std::wstring> names;
            DWORD listError = 0;
            if (!EnumeratePrinters(names, listError)) return Failure(result, listError);
            result.fault = names.empty() ? PrintFault::NoPrinter : PrintFault::NoDefault;
            return result;
        }
        result.printer = Utf8FromWide(name);
    }
    OpenedPrinter opened(name);
    if (!opened) {
        const DWORD error = GetLastError();
        return Failure(result, error);
    }
    if (!opened.StartRawDocument(WideFromUtf8(title)) || !opened.Write(bytes) || !opened.EndDocument())
        return Failure(result, GetLastError());
    result.waiting = opened.IsPaused();
    return result;
}

}  // namespace qp
