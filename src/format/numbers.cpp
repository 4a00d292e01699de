#include "format/numbers.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string_view>

#include "text/cp850.h"

namespace qp {

namespace {

bool IsDigitPosition(char c) { return c == '9' || c == 'Z' || c == 'z' || c == '*'; }
bool IsSignPosition(char c) { return c == '-' || c == '+'; }

struct Mask {
    std::string_view text;
    std::size_t point = std::string_view::npos;  // first "."
    std::size_t decimals = 0;                    // digit positions right after the point
    std::size_t decimalPositions = 0;            // digit and sign positions anywhere after it
    bool isSigned = false;

    bool InDecimalPart(std::size_t i) const { return point != std::string_view::npos && i > point; }
};

Mask ReadMask(std::string_view text) {
    Mask mask;
    mask.text = text;
    mask.point = text.find('.');
    mask.isSigned = text.find_first_of("-+") != std::string_view::npos;
    if (mask.point == std::string_view::npos) return mask;
    std::size_t i = mask.point + 1;
    while (i < text.size() && IsDigitPosition(text[i])) ++i;
    mask.decimals = i - mask.point - 1;
    for (std::size_t j = mask.point + 1; j < text.size(); ++j)
        if (IsDigitPosition(text[j]) || IsSignPosition(text[j])) ++mask.decimalPositions;
    return mask;
}

double RoundHalfToEven(double x) {
    const double below = std::floor(x);
    const double fraction = x - below;
    if (fraction > 0.5) return below + 1;
    if (fraction < 0.5) return below;
    return std::fmod(below, 2.0) == 0 ? below : below + 1;
}

// The digits of |value| x 10^k rounded to a whole number, without leading
// zeros (empty for 0). They are read from the double's exact decimal form,
// never through an integer type, so any magnitude is safe. Beyond 2^53 the
// scaled value is already whole and its digits are those of the nearest
// double, which is as exact as the input allows.
std::optional<std::string> ScaledDigits(double value, std::size_t k) {
    const double magnitude = std::fabs(value);
    if (magnitude == 0) return std::string();
    double scale = 1;
    for (std::size_t i = 0; i < k && std::isfinite(scale); ++i) scale *= 10;
    const double scaled = RoundHalfToEven(magnitude * scale);
    if (!std::isfinite(scaled)) return std::nullopt;
    char buffer[400];  // the largest double has 309 digits
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, scaled, std::chars_format::fixed, 0);
    if (error != std::errc()) return std::nullopt;
    std::string digits(buffer, end);
    if (digits == "0") digits.clear();
    return digits;
}

class NumberLayout {
public:
    NumberLayout(const Mask& mask, std::string digits, bool negative, char decimalPoint, char thousands)
        : mask_(mask), digits_(std::move(digits)), negative_(negative), decimalPoint_(decimalPoint),
          thousands_(thousands), out_(mask.text) {
        const std::size_t lastNonZero = digits_.find_last_not_of('0');
        significant_ = lastNonZero == std::string::npos ? 0 : lastNonZero + 1;
    }

    std::string Format() {
        if (mask_.text.empty()) return {};
        const std::ptrdiff_t stoppedAt = FirstPass();
        if (DigitsLeftOver(stoppedAt) || !SecondPass(stoppedAt)) return PlainNumber();
        return out_;
    }

private:
    char SignChar(char position) const {
        if (negative_) return '-';
        return position == '+' ? '+' : ' ';
    }

    // The digit a 1-based pointer names, when the number has one there.
    std::optional<char> DigitAt(std::ptrdiff_t pointer) const {
        if (pointer < 1 || pointer > static_cast<std::ptrdiff_t>(digits_.size())) return std::nullopt;
        return digits_[static_cast<std::size_t>(pointer - 1)];
    }

    bool OnlyZerosFrom(std::ptrdiff_t pointer) const { return pointer > static_cast<std::ptrdiff_t>(significant_); }

    char PointChar(std::size_t i) const {
        const std::size_t right = i + 1;
        if (right < out_.size() && IsDigitPosition(mask_.text[right]) && (out_[right] == ' ' || out_[right] == '*'))
            return out_[right];
        return decimalPoint_;
    }

    // A separator with no digits to its left takes the fill of its right
    // neighbour; a "9" there keeps the separator.
    char SeparatorFill(std::size_t i) const {
        const std::size_t right = i + 1;
        if (right >= out_.size()) return ' ';
        const char neighbour = mask_.text[right];
        if (neighbour == '9') return thousands_;
        if (neighbour == 'Z' || neighbour == 'z') return ' ';
        if (neighbour == '*') return '*';
        return out_[right] == '*' ? '*' : ' ';
    }

    char DigitPositionChar(char position, bool decimal, std::ptrdiff_t pointer) const {
        const std::optional<char> digit = DigitAt(pointer);
        switch (position) {
            case '9':
                return digit.value_or('0');
            case '*':
                return digit.value_or(decimal ? '0' : '*');
            default:  // Z, z
                if (decimal && OnlyZerosFrom(pointer)) return ' ';
                return digit.value_or(' ');
        }
    }

    // Right to left while digits remain; returns the position it stopped
    // before (-1 when the whole mask was used).
    std::ptrdiff_t FirstPass() {
        pointer_ = static_cast<std::ptrdiff_t>(digits_.size()) - static_cast<std::ptrdiff_t>(mask_.decimals) +
                   static_cast<std::ptrdiff_t>(mask_.decimalPositions);
        std::ptrdiff_t i = static_cast<std::ptrdiff_t>(out_.size()) - 1;
        for (; i >= 0 && pointer_ >= 1; --i) {
            const auto at = static_cast<std::size_t>(i);
            const char position = mask_.text[at];
            const bool decimal = mask_.InDecimalPart(at);
            if (IsDigitPosition(position)) {
                out_[at] = DigitPositionChar(position, decimal, pointer_);
                --pointer_;
            } else if (IsSignPosition(position)) {
                out_[at] = SignChar(position);
                if (decimal) --pointer_;
            } else if (position == '.') {
                out_[at] = PointChar(at);
            } else if (position == ',') {
                out_[at] = thousands_;
            }
        }
        return i;
    }

    bool DigitsLeftOver(std::ptrdiff_t stoppedAt) const {
        return stoppedAt < 0 && pointer_ >= 1 && !digits_.empty();
    }

    // Only the whole part takes a floating minus: in the decimal part it
    // would stand in for a digit of the value.
    static bool CanTakeMinus(char position, bool decimal) {
        return !decimal && (position == 'Z' || position == 'z' || position == '*' || position == ',' || position == '9');
    }

    // The positions the digits did not reach; false when a negative value
    // found no place for its minus.
    bool SecondPass(std::ptrdiff_t stoppedAt) {
        const bool zero = digits_.empty();
        bool minusPending = negative_ && !mask_.isSigned;
        for (std::ptrdiff_t i = stoppedAt; i >= 0; --i) {
            const auto at = static_cast<std::size_t>(i);
            const char position = mask_.text[at];
            const bool decimal = mask_.InDecimalPart(at);
            switch (position) {
                case '9': out_[at] = '0'; break;
                case 'Z':
                case 'z': out_[at] = decimal && !zero ? '0' : ' '; break;
                case '*': out_[at] = decimal ? '0' : '*'; break;
                case '.': out_[at] = PointChar(at); break;
                case ',': out_[at] = SeparatorFill(at); break;
                case '-':
                case '+': out_[at] = SignChar(position); break;
                default: break;
            }
            if (minusPending && CanTakeMinus(position, decimal)) {
                out_[at] = '-';
                minusPending = false;
            }
        }
        return !minusPending;
    }

    // What does not fit its mask is shown as a plain number, or as "!" when
    // even its whole part does not fit.
    std::string PlainNumber() const {
        std::string padded = digits_;
        if (padded.size() < mask_.decimals + 1) padded.insert(0, mask_.decimals + 1 - padded.size(), '0');
        const std::string whole = padded.substr(0, padded.size() - mask_.decimals);
        std::string plain = negative_ ? "-" : "";
        plain += whole;
        if (mask_.decimals > 0) {
            plain += decimalPoint_;
            plain += padded.substr(padded.size() - mask_.decimals);
        }
        const std::size_t width = mask_.text.size();
        if (width < whole.size() + (negative_ ? 1 : 0)) return std::string(width, '!');
        return FitWidth(plain, width);
    }

    const Mask& mask_;
    std::string digits_;
    std::size_t significant_ = 0;  // digits up to the last non-zero one
    bool negative_;
    char decimalPoint_;
    char thousands_;
    std::string out_;
    std::ptrdiff_t pointer_ = 0;
};

}  // namespace

// NaN, the infinities and values whose scaled form exceeds a double show
// the mask's width of "!", like a number too large for its mask. -0.0 is not
// below zero, so it shows as 0.
std::string FormatNumber(UserPreferences& prefs, std::string_view mask, double value) {
    const char decimalPoint = prefs.DecCaracter();
    const char thousands = prefs.MilCaracter();
    const Mask parsed = ReadMask(mask);
    const std::optional<std::string> digits =
        std::isfinite(value) ? ScaledDigits(value, parsed.decimals) : std::nullopt;
    if (!digits) return std::string(mask.size(), '!');
    return NumberLayout(parsed, *digits, value < 0, decimalPoint, thousands).Format();
}

bool InvalidNumberText(std::string_view text, std::string_view mask) {
    const bool maskSigned = mask.find_first_of("-+") != std::string_view::npos;
    const bool maskHasPoint = mask.find('.') != std::string_view::npos;
    bool signSeen = false;
    bool digitSeen = false;
    bool pointSeen = false;
    for (char c : text) {
        if (c == ' ') continue;
        if (c == '+' || c == '-') {
            if (!maskSigned || signSeen || digitSeen || pointSeen) return true;
            signSeen = true;
        } else if (c == '.') {
            if (!maskHasPoint || pointSeen) return true;
            pointSeen = true;
        } else if (c >= '0' && c <= '9') {
            digitSeen = true;
        } else {
            return true;
        }
    }
    return false;
}

std::string ZeroPadNumber(long long value, int width) {
    if (width <= 0) return {};
    // Through unsigned so that the smallest long long loses its sign safely.
    const unsigned long long magnitude =
        value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    std::string digits = std::to_string(magnitude);
    const auto w = static_cast<std::size_t>(width);
    if (digits.size() >= w) return digits.substr(digits.size() - w);
    return std::string(w - digits.size(), '0') + digits;
}

}  // namespace qp
