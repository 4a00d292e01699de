#include "text/field_reader.h"

#include <algorithm>
#include <utility>

namespace qp {
namespace {

constexpr char kEndOfFile = 0x1A;

}  // namespace

FieldReader::FieldReader(std::string bytes) : bytes_(std::move(bytes)) {
    std::size_t stop = bytes_.find(kEndOfFile);
    if (stop != std::string::npos) bytes_.resize(stop);
    lfEndsLines_ = bytes_.find('\r') == std::string::npos;
}

bool FieldReader::AtEnd() const { return pos_ >= bytes_.size() && !fieldAfterComma_; }

std::size_t FieldReader::LineEndLength(std::size_t at) const {
    if (at >= bytes_.size()) return 0;
    if (bytes_[at] == '\r') return (at + 1 < bytes_.size() && bytes_[at + 1] == '\n') ? 2 : 1;
    return bytes_[at] == '\n' && lfEndsLines_ ? 1 : 0;
}

bool FieldReader::IsBlank(std::size_t at) const {
    const char c = bytes_[at];
    return c == ' ' || c == '\t' || (c == '\n' && !lfEndsLines_);
}

std::string FieldReader::ReadField() { return NextField().value_or(std::string()); }

std::optional<std::string> FieldReader::NextField() {
    std::string field;
    if (!Field(&field)) return std::nullopt;
    return field;
}

bool FieldReader::AppendField(std::string& out) { return Field(&out); }

bool FieldReader::SkipField() { return Field(nullptr); }

bool FieldReader::Field(std::string* out) {
    if (AtEnd()) return false;
    fieldAfterComma_ = false;
    while (pos_ < bytes_.size() && IsBlank(pos_)) ++pos_;
    if (pos_ < bytes_.size() && bytes_[pos_] == '"')
        QuotedField(out);
    else
        UnquotedField(out);
    SkipSeparator();
    return true;
}

void FieldReader::QuotedField(std::string* out) {
    const std::size_t start = pos_ + 1;
    // An unterminated quote takes the rest of the file.
    const std::size_t close = std::min(bytes_.find('"', start), bytes_.size());
    if (out) out->append(bytes_, start, close - start);
    pos_ = std::min(close + 1, bytes_.size());
    // Whatever stands between the closing quote and the separator is dropped.
    while (pos_ < bytes_.size() && bytes_[pos_] != ',' && LineEndLength(pos_) == 0) ++pos_;
}

void FieldReader::UnquotedField(std::string* out) {
    const std::size_t start = pos_;
    while (pos_ < bytes_.size() && bytes_[pos_] != ',' && LineEndLength(pos_) == 0) ++pos_;
    if (!out) return;
    // Made to measure: a field as long as the file is held once, not grown.
    out->reserve(out->size() + (pos_ - start));
    for (std::size_t at = start; at < pos_; ++at)
        if (bytes_[at] != '\t' && bytes_[at] != '\n') out->push_back(bytes_[at]);
}

void FieldReader::SkipSeparator() {
    if (pos_ >= bytes_.size()) return;
    if (bytes_[pos_] == ',') {
        ++pos_;
        fieldAfterComma_ = pos_ >= bytes_.size();
        return;
    }
    pos_ += LineEndLength(pos_);
}

std::optional<char> FieldReader::LineOpening() const {
    std::size_t at = pos_;
    while (at < bytes_.size() && LineEndLength(at) == 0 && IsBlank(at)) ++at;
    if (at >= bytes_.size() || LineEndLength(at) > 0) return std::nullopt;
    return bytes_[at];
}

void FieldReader::SkipLine() {
    fieldAfterComma_ = false;
    while (pos_ < bytes_.size() && LineEndLength(pos_) == 0) ++pos_;
    pos_ += LineEndLength(pos_);
}

int FieldReader::LineNumber() const {
    // Counted on from where the last call stopped: the position only moves forward.
    while (linesCountedTo_ < pos_ && linesCountedTo_ < bytes_.size()) {
        std::size_t end = LineEndLength(linesCountedTo_);
        if (end > 0) {
            ++linesBefore_;
            linesCountedTo_ += end;
        } else {
            ++linesCountedTo_;
        }
    }
    return linesBefore_ + 1;
}

}  // namespace qp
