// A printing service of the test's own: the printers it offers, how it answers
// a job, and every job it was given.
#pragma once

#include <string>
#include <vector>

#include "platform/printing.h"

namespace qp::testing {

inline PrinterList Printers(std::vector<std::string> names, bool firstIsDefault, PrintFault fault = PrintFault::None) {
    PrinterList list;
    list.names = std::move(names);
    list.firstIsDefault = firstIsDefault;
    list.fault = fault;
    return list;
}

inline PrintResult Answer(PrintFault fault, std::string printer = "", bool waiting = false, std::string detail = "") {
    PrintResult result;
    result.fault = fault;
    result.printer = std::move(printer);
    result.waiting = waiting;
    result.detail = std::move(detail);
    return result;
}

class FakePrinting : public Printing {
public:
    struct Job {
        std::string printer;
        std::string title;
        std::string bytes;
    };

    PrinterList printers;
    PrintResult answer;  // its printer, when empty, is the one asked for
    std::vector<Job> jobs;

    PrinterList ListPrinters() override { return printers; }
    PrintResult PrintRaw(const std::string& printer, const std::string& title, const std::string& bytes) override {
        jobs.push_back({printer, title, bytes});
        PrintResult result = answer;
        if (result.printer.empty()) result.printer = printer;
        return result;
    }
};

}  // namespace qp::testing
