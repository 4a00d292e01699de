// Statistics and the text of the benchmark's tables, without the
// locale-dependent floating-point output: every figure is an integer count
// of microseconds, nanoseconds, bytes or kilobytes, shown in decimals here.
#pragma once

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace qp::bench {

template <typename T>
T Median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// "12.345 ms"
std::string Millis(std::int64_t micros);
// "12.3 ms", "-1.0 ms" (tenths, rounded)
std::string ShortMillis(std::int64_t micros);
// "+12.3 ms", for differences
std::string SignedMillis(std::int64_t micros);
// "1.23 us" from nanoseconds
std::string MicrosFromNanos(std::int64_t nanos);
// The median and, in brackets, the minimum and maximum: "12.3 ms (11.0-15.2)"
std::string Spread(const std::vector<std::int64_t>& micros);
std::string SpreadNanos(const std::vector<std::int64_t>& nanos);
// "444 B", "30.0 KB", "2.5 MB" (1 KB = 1024 bytes)
std::string Size(std::int64_t bytes);
std::string SizeFromKb(std::int64_t kilobytes);
// "29.6x": numerator / denominator to a tenth
std::string Ratio(std::int64_t numerator, std::int64_t denominator);
// "0.12 %": part / whole in hundredths of a percent
std::string Percent(std::int64_t part, std::int64_t whole);
// "met" or "NOT MET"
std::string Verdict(bool met);

// Rows of cells; each column as wide as its widest cell, two spaces apart.
class Table {
public:
    void Add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
    void Print(std::ostream& out) const;

private:
    std::vector<std::vector<std::string>> rows_;
};

}  // namespace qp::bench
