// What reading a file costs: the peak resident memory a piece of work adds
// and the processor time it takes, measured in a child process so that
// nothing the test itself holds counts. POSIX only.
#pragma once

#ifndef _WIN32

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

namespace qp::testing {

struct WorkCost {
    bool ran = false;
    std::size_t peakBytes = 0;  // resident memory added at the peak
    double seconds = 0;         // processor time, user and system
};

// Sanitizers keep freed memory aside and double what a byte costs: their
// figures say nothing of the program's own.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryMeasurable = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMemoryMeasurable = false;
#else
constexpr bool kMemoryMeasurable = true;
#endif
#else
constexpr bool kMemoryMeasurable = true;
#endif

inline double ProcessorSeconds(const rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs `work` in a child process; its text result (for the test to check)
// comes back in `result`.
inline WorkCost MeasureInChild(const std::function<std::string()>& work, std::string& result) {
    int out[2];
    if (::pipe(out) != 0) return {};
    const pid_t child = ::fork();
    if (child < 0) return {};
    if (child == 0) {
        ::close(out[0]);
        rusage before {};
        ::getrusage(RUSAGE_SELF, &before);
        const std::string text = work();
        rusage after {};
        ::getrusage(RUSAGE_SELF, &after);
        const std::string report = std::to_string((after.ru_maxrss - before.ru_maxrss) * 1024L) + " " +
                                   std::to_string(ProcessorSeconds(after) - ProcessorSeconds(before)) + "\n" + text;
        for (std::size_t done = 0; done < report.size();) {
            const ssize_t n = ::write(out[1], report.data() + done, report.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(out[1]);
    std::string report;
    char chunk[4096];
    for (ssize_t n; (n = ::read(out[0], chunk, sizeof chunk)) > 0;) report.append(chunk, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    WorkCost cost;
    const std::size_t line = report.find('\n');
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || line == std::string::npos) return cost;
    unsigned long long bytes = 0;
    if (std::sscanf(report.c_str(), "%llu %lf", &bytes, &cost.seconds) != 2) return cost;
    cost.peakBytes = static_cast<std::size_t>(bytes);
    cost.ran = true;
    result = report.substr(line + 1);
    return cost;
}

// A file of about `size` bytes: `head`, then `unit` over and over (each
// after a number of its own when `numbered`), then `tail`; written without
// holding it in memory.
struct FileShape {
    std::string head;
    std::string unit;
    std::string tail;
    bool numbered = false;
};

inline void WriteShape(const std::string& path, const FileShape& shape, std::size_t size) {
    const std::string& unit = shape.unit;
    const std::string& tail = shape.tail;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return;
    std::string block;
    while (block.size() + unit.size() <= (std::size_t {1} << 16)) block += unit;
    std::size_t written = std::fwrite(shape.head.data(), 1, shape.head.size(), file);
    for (std::size_t n = 0; shape.numbered; ++n) {
        const std::string numbered = std::to_string(n) + unit;
        if (written + tail.size() + numbered.size() > size) break;
        written += std::fwrite(numbered.data(), 1, numbered.size(), file);
    }
    while (!block.empty() && written + tail.size() + block.size() <= size) written += std::fwrite(block.data(), 1, block.size(), file);
    while (!unit.empty() && written + tail.size() + unit.size() <= size) written += std::fwrite(unit.data(), 1, unit.size(), file);
    std::fwrite(tail.data(), 1, tail.size(), file);
    std::fclose(file);
}

}  // namespace qp::testing

#endif  // _WIN32
