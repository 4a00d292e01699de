#include "figures.h"

namespace qp::bench {

namespace {

// `value` / `unit` with `decimals` decimals, rounded half away from zero.
std::string Decimal(std::int64_t value, std::int64_t unit, int decimals) {
    std::int64_t scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    std::int64_t magnitude = value < 0 ? -value : value;
    std::int64_t scaled = (magnitude * scale + unit / 2) / unit;
    std::string text = (value < 0 && scaled != 0 ? "-" : "") + std::to_string(scaled / scale);
    if (decimals > 0) {
        std::string fraction = std::to_string(scaled % scale);
        text += "." + std::string(static_cast<std::size_t>(decimals) - fraction.size(), '0') + fraction;
    }
    return text;
}

// Characters, not bytes, of UTF-8 text.
std::size_t Width(const std::string& text) {
    std::size_t width = 0;
    for (char c : text) width += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return width;
}

std::string SpreadOf(const std::vector<std::int64_t>& values, std::string (*show)(std::int64_t),
                     const std::string& unit) {
    if (values.empty()) return "-";
    auto [low, high] = std::minmax_element(values.begin(), values.end());
    std::string median = show(Median(values));
    std::string lowText = show(*low);
    std::string highText = show(*high);
    auto bare = [&unit](std::string text) { return text.substr(0, text.size() - unit.size()); };
    return median + " (" + bare(lowText) + "-" + bare(highText) + ")";
}

}  // namespace

std::string Millis(std::int64_t micros) { return Decimal(micros, 1000, 3) + " ms"; }
std::string ShortMillis(std::int64_t micros) { return Decimal(micros, 1000, 1) + " ms"; }
std::string SignedMillis(std::int64_t micros) { return (micros >= 0 ? "+" : "") + ShortMillis(micros); }
std::string MicrosFromNanos(std::int64_t nanos) { return Decimal(nanos, 1000, 2) + " us"; }
std::string Spread(const std::vector<std::int64_t>& micros) { return SpreadOf(micros, ShortMillis, " ms"); }
std::string SpreadNanos(const std::vector<std::int64_t>& nanos) { return SpreadOf(nanos, MicrosFromNanos, " us"); }

std::string Size(std::int64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + " B";
    if (bytes < 1024 * 1024) return Decimal(bytes, 1024, 1) + " KB";
    return Decimal(bytes, 1024 * 1024, 1) + " MB";
}

std::string SizeFromKb(std::int64_t kilobytes) { return Size(kilobytes * 1024); }

std::string Ratio(std::int64_t numerator, std::int64_t denominator) {
    if (denominator <= 0) return "-";
    return Decimal(numerator, denominator, 1) + "x";
}

std::string Percent(std::int64_t part, std::int64_t whole) {
    if (whole <= 0) return "-";
    return Decimal(part * 100, whole, 2) + " %";
}

std::string Verdict(bool met) { return met ? "met" : "NOT MET"; }

void Table::Print(std::ostream& out) const {
    std::vector<std::size_t> widths;
    for (const std::vector<std::string>& row : rows_) {
        if (widths.size() < row.size()) widths.resize(row.size(), 0);
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], Width(row[c]));
    }
    for (const std::vector<std::string>& row : rows_) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size()) line += std::string(widths[c] - Width(row[c]) + 2, ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out << line << "\n";
    }
}

}  // namespace qp::bench
