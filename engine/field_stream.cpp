#include "engine/field_stream.h"

#include "engine/errors.h"
#include "engine/text_rules.h"

namespace korvex {
namespace {

bool IsBlankChar(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

FieldStream::FieldStream(std::string text, std::string file_label)
    : text_(std::move(text)), file_label_(std::move(file_label)) {}

bool FieldStream::AtLineEnd() const {
    return pos_ < text_.size() &&
           (text_[pos_] == '\n' ||
            (text_[pos_] == '\r' && (pos_ + 1 == text_.size() || text_[pos_ + 1] == '\n')));
}

void FieldStream::SkipLineEnd() {
    if (pos_ < text_.size() && text_[pos_] == '\r') {
        ++pos_;
    }
    if (pos_ < text_.size() && text_[pos_] == '\n') {
        ++pos_;
    }
    ++line_;
}

void FieldStream::SkipBlanks() {
    while (pos_ < text_.size() && IsBlankChar(text_[pos_])) {
        ++pos_;
    }
}

std::optional<std::string> FieldStream::ReadField() {
    if (AtEnd()) {
        return std::nullopt;
    }
    SkipBlanks();
    std::string field;
    if (pos_ < text_.size() && text_[pos_] == '"') {
        // A quoted field ends at its closing quote, or at the line end when it has none.
        size_t stop = pos_ + 1;
        while (stop < text_.size() && text_[stop] != '"' && text_[stop] != '\n' &&
               !(text_[stop] == '\r' && (stop + 1 == text_.size() || text_[stop + 1] == '\n'))) {
            ++stop;
        }
        field = text_.substr(pos_ + 1, stop - pos_ - 1);
        pos_ = stop < text_.size() && text_[stop] == '"' ? stop + 1 : stop;
        // Whatever follows the closing quote up to the delimiter is not part of the field.
        while (pos_ < text_.size() && text_[pos_] != ',' && !AtLineEnd()) {
            ++pos_;
        }
    } else {
        const size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] != ',' && !AtLineEnd()) {
            ++pos_;
        }
        field = text_.substr(start, pos_ - start);
    }
    if (pos_ < text_.size()) {
        if (text_[pos_] == ',') {
            ++pos_;
        } else {
            SkipLineEnd();
        }
    }
    return field;
}

std::optional<std::string> FieldStream::ReadLine() {
    if (AtEnd()) {
        return std::nullopt;
    }
    const size_t start = pos_;
    while (pos_ < text_.size() && !AtLineEnd()) {
        ++pos_;
    }
    std::string line = text_.substr(start, pos_ - start);
    if (pos_ < text_.size()) {
        SkipLineEnd();
    }
    return line;
}

std::optional<std::string> FieldStream::ReadNumberToken() {
    while (pos_ < text_.size()) {
        if (IsBlankChar(text_[pos_])) {
            ++pos_;
        } else if (AtLineEnd()) {
            SkipLineEnd();
        } else {
            break;
        }
    }
    if (AtEnd()) {
        return std::nullopt;
    }
    const size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] != ',' && !IsBlankChar(text_[pos_]) && !AtLineEnd()) {
        ++pos_;
    }
    std::string token = text_.substr(start, pos_ - start);
    SkipBlanks();
    if (pos_ < text_.size() && text_[pos_] == ',') {
        ++pos_;
    }
    return token;
}

std::optional<std::vector<std::string>> FieldStream::ReadNumberRow() {
    // Blank lines between rows are no rows.
    while (pos_ < text_.size()) {
        SkipBlanks();
        if (!AtLineEnd()) {
            break;
        }
        SkipLineEnd();
    }
    if (AtEnd()) {
        return std::nullopt;
    }
    row_line_ = line_;
    std::vector<std::string> row;
    while (pos_ < text_.size() && !AtLineEnd()) {
        const size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] != ',' && !IsBlankChar(text_[pos_]) &&
               !AtLineEnd()) {
            ++pos_;
        }
        row.push_back(text_.substr(start, pos_ - start));
        SkipBlanks();
        if (pos_ < text_.size() && text_[pos_] == ',') {
            ++pos_;
            SkipBlanks();
        }
    }
    // A comma at the end of a row separates nothing from nothing: no empty last value.
    if (pos_ < text_.size()) {
        SkipLineEnd();
    }
    return row;
}

std::vector<double> FieldStream::RequireNumberRow(size_t count) {
    auto row = ReadNumberRow();
    if (!row) {
        FailShort();
    }
    if (row->size() != count) {
        Fail(std::to_string(row_line_) + " 行目の値は " + std::to_string(count) +
             " 個のはずですが、" + std::to_string(row->size()) + " 個あります。");
    }
    std::vector<double> values;
    values.reserve(count);
    for (const std::string& token : *row) {
        const auto value = ParseDecimal(token);
        if (!value) {
            FailNotNumber(token, row_line_);
        }
        values.push_back(*value);
    }
    return values;
}

void FieldStream::RequireNoMoreNumbers() {
    const auto token = ReadNumberToken();
    if (token && ParseDecimal(*token)) {
        Fail(std::to_string(line_) + " 行目に余分な値「" + MessageQuote(*token) +
             "」があります（値が多すぎます）。");
    }
}

std::string FieldStream::RequireField() {
    auto field = ReadField();
    if (!field) {
        FailShort();
    }
    return *field;
}

std::string FieldStream::RequireLine() {
    auto line = ReadLine();
    if (!line) {
        FailShort();
    }
    return *line;
}

double FieldStream::RequireNumberField() {
    const int line = line_;
    const std::string field = RequireField();
    const auto value = ParseDecimal(field);
    if (!value) {
        FailNotNumber(field, line);
    }
    return *value;
}

double FieldStream::RequireNumber() {
    auto token = ReadNumberToken();
    if (!token) {
        FailShort();
    }
    const int line = line_;
    const auto value = ParseDecimal(*token);
    if (!value) {
        FailNotNumber(*token, line);
    }
    return *value;
}

void FieldStream::FailShort() const {
    // line_ is the line the missing value was looked for on: one after the last line end.
    throw FileError("ファイル「" + file_label_ + "」は途中で終わっています（" +
                    std::to_string(line_) + " 行目に値がありません）。");
}

void FieldStream::FailNotNumber(std::string_view field, int line) const {
    throw FileError("ファイル「" + file_label_ + "」の " + std::to_string(line) + " 行目の値「" +
                    MessageQuote(field) + "」は数値ではありません。");
}

void FieldStream::Fail(std::string_view what) const {
    throw FileError("ファイル「" + file_label_ + "」を読み込めません：" + std::string(what));
}

}  // namespace korvex
