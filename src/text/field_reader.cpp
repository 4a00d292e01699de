#include "text/field_reader.h"

#include <utility>

namespace qp {
namespace {

constexpr char kEndOfFile = 0x1A;

}  // namespace

FieldReader::FieldReader(std::string bytes) : bytes_(std::move(bytes)) {
    std::size_t stop = bytes_.find(kEndOfFile);
    if (stop != std::string::npos) bytes_.resize(stop);
}

bool FieldReader::AtEnd() const { return pos_ >= bytes_.size() && !fieldAfterComma_; }

std::size_t FieldReader::LineEndLength(std::size_t at) const {
    if (at >= bytes_.size()) return 0;
    if (bytes_[at] == '\r') return (at + 1 < bytes_.size() && bytes_[at + 1] == '\n') ? 2 : 1;
    return bytes_[at] == '\n' ? 1 : 0;
}

std::string FieldReader::ReadField() { return NextField().value_or(std::string()); }

std::optional<std::string> FieldReader::NextField() {
    if (AtEnd()) return std::nullopt;
    fieldAfterComma_ = false;
    while (pos_ < bytes_.size() && (bytes_[pos_] == ' ' || bytes_[pos_] == '\t')) ++pos_;
    std::string field = (pos_ < bytes_.size() && bytes_[pos_] == '"') ? QuotedField() : UnquotedField();
    SkipSeparator();
    return field;
}

std::string FieldReader::QuotedField() {
    std::size_t start = pos_ + 1;
    std::size_t close = bytes_.find('"', start);
    if (close == std::string::npos) {
        // An unterminated quote takes the rest of the file.
        pos_ = bytes_.size();
        return bytes_.substr(start);
    }
    std::string field = bytes_.substr(start, close - start);
    pos_ = close + 1;
    // Whatever stands between the closing quote and the separator is dropped.
    while (pos_ < bytes_.size() && bytes_[pos_] != ',' && LineEndLength(pos_) == 0) ++pos_;
    return field;
}

std::string FieldReader::UnquotedField() {
    std::string field;
    while (pos_ < bytes_.size() && bytes_[pos_] != ',' && LineEndLength(pos_) == 0) {
        if (bytes_[pos_] != '\t') field += bytes_[pos_];
        ++pos_;
    }
    return field;
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

std::optional<std::string> FieldReader::PeekLine() const {
    if (AtEnd()) return std::nullopt;
    std::size_t end = pos_;
    while (end < bytes_.size() && LineEndLength(end) == 0) ++end;
    return bytes_.substr(pos_, end - pos_);
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
