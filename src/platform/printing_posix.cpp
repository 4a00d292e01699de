#include "platform/printing.h"

#include <cups/cups.h>
#include <sys/socket.h>

#include <cstring>

namespace qp {
namespace {

// How long to wait for the printing service to answer the connection.
constexpr int kConnectMilliseconds = 10000;
// CUPS's printer-state for a printer that is stopped (paused).
constexpr const char* kStopped = "5";

// One connection to the CUPS server the library names (CUPS_SERVER,
// client.conf, else the local scheduler), closed on every way out.
class Connection {
public:
    Connection()
        : http_(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, kConnectMilliseconds,
                             nullptr)) {}
    ~Connection() {
        if (http_ != nullptr) httpClose(http_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    explicit operator bool() const { return http_ != nullptr; }
    http_t* get() const { return http_; }

private:
    http_t* http_;
};

// The destinations the server and the user's lpoptions give (the user's
// default there, or PRINTER or LPDEST, marked as the default).
class Destinations {
public:
    explicit Destinations(const Connection& http) : count_(cupsGetDests2(http.get(), &dests_)) {}
    ~Destinations() { cupsFreeDests(count_, dests_); }
    Destinations(const Destinations&) = delete;
    Destinations& operator=(const Destinations&) = delete;
    int count() const { return count_; }
    const cups_dest_t& operator[](int i) const { return dests_[i]; }

private:
    cups_dest_t* dests_ = nullptr;
    int count_;
};

class NamedDestination {
public:
    NamedDestination(const Connection& http, const char* name) : dest_(cupsGetNamedDest(http.get(), name, nullptr)) {}
    ~NamedDestination() {
        if (dest_ != nullptr) cupsFreeDests(1, dest_);
    }
    NamedDestination(const NamedDestination&) = delete;
    NamedDestination& operator=(const NamedDestination&) = delete;
    const cups_dest_t* get() const { return dest_; }

private:
    cups_dest_t* dest_;
};

std::string LastErrorText() {
    const char* text = cupsLastErrorString();
    return text != nullptr ? text : "";
}

bool LastCallFailed() { return cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE; }

// What the library's last failure means to the operator.
PrintFault FaultOfLastError() {
    switch (cupsLastError()) {
    case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS: return PrintFault::Refused;
    case IPP_STATUS_ERROR_NOT_FOUND: return PrintFault::UnknownPrinter;
    case IPP_STATUS_ERROR_SERVICE_UNAVAILABLE: return PrintFault::NoService;
    default: return PrintFault::Failed;
    }
}

PrintResult Failure(PrintResult result, PrintFault fault) {
    result.fault = fault;
    result.detail = LastErrorText();
    return result;
}

bool IsStopped(const cups_dest_t& dest) {
    const char* state = cupsGetOption("printer-state", dest.num_options, dest.options);
    return state != nullptr && std::strcmp(state, kStopped) == 0;
}

// The printer a job without a named printer goes to: the user's default
// (LPDEST, PRINTER, lpoptions) or the server's. Empty when there is none.
std::string DefaultPrinter(const Connection& http) {
    const char* name = cupsGetDefault2(http.get());
    return name != nullptr ? name : "";
}

// Sends the bytes as the one document of a new raw job; the job is
// cancelled when the document does not arrive whole.
PrintResult SendJob(const Connection& http, PrintResult result, const std::string& title, const std::string& bytes) {
    const char* printer = result.printer.c_str();
    const int job = cupsCreateJob(http.get(), printer, title.c_str(), 0, nullptr);
    if (job == 0) return Failure(result, FaultOfLastError());
    const bool sent = cupsStartDocument(http.get(), printer, job, "sheet", CUPS_FORMAT_RAW, 1) == HTTP_STATUS_CONTINUE &&
                      cupsWriteRequestData(http.get(), bytes.data(), bytes.size()) == HTTP_STATUS_CONTINUE;
    const ipp_status_t finished = cupsFinishDocument(http.get(), printer);
    if (sent && finished <= IPP_STATUS_OK_EVENTS_COMPLETE) return result;
    result = Failure(result, FaultOfLastError());
    cupsCancelJob2(http.get(), printer, job, 0);
    return result;
}

}  // namespace

// The terminal's arguments are UTF-8, as CUPS's names are.
std::string PrinterNameFromArgument(const std::string& argument) { return argument; }

PrinterList SystemPrinting::ListPrinters() {
    PrinterList list;
    Connection http;
    if (!http) {
        list.fault = PrintFault::NoService;
        list.detail = LastErrorText();
        return list;
    }
    Destinations dests(http);
    for (int i = 0; i < dests.count(); ++i) {
        const cups_dest_t& dest = dests[i];
        if (dest.instance != nullptr) continue;  // a set of options of a printer listed already
        if (dest.is_default && !list.firstIsDefault) {
            list.names.insert(list.names.begin(), dest.name);
            list.firstIsDefault = true;
        } else {
            list.names.push_back(dest.name);
        }
    }
    if (list.names.empty()) {
        const bool failed = LastCallFailed() && cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND;
        list.fault = failed ? FaultOfLastError() : PrintFault::NoPrinter;
        list.detail = failed ? LastErrorText() : "";
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
    Connection http;
    if (!http) return Failure(result, PrintFault::NoService);
    if (result.printer.empty()) result.printer = DefaultPrinter(http);
    if (result.printer.empty()) {
        if (LastCallFailed() && FaultOfLastError() == PrintFault::NoService) return Failure(result, PrintFault::NoService);
        result.fault = Destinations(http).count() == 0 ? PrintFault::NoPrinter : PrintFault::NoDefault;
        return result;
    }
    NamedDestination dest(http, result.printer.c_str());
    if (dest.get() == nullptr)
        return Failure(result, FaultOfLastError() == PrintFault::NoService ? PrintFault::NoService : PrintFault::UnknownPrinter);
    result.printer = dest.get()->name;  // as the system spells it
    result = SendJob(http, result, title, bytes);
    result.waiting = result.fault == PrintFault::None && IsStopped(*dest.get());
    return result;
}

}  // namespace qp
