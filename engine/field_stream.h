#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvex {

// Reads the data files of the program as a stream of fields.
//
// Text fields: a field ends at a comma or a line end, blanks before it are skipped, a
// field in double quotes loses its quotes, and an empty line is one empty field.
// Numbers of the reference, kernel and material files are tokens separated by commas,
// blanks or line ends; blank lines between them are skipped.
//
// The input is the decoded text (UTF-8); CR LF and LF line ends are both accepted.
// The Require* calls throw FileError with a message that names the file and the line.
class FieldStream {
  public:
    FieldStream(std::string text, std::string file_label);

    bool AtEnd() const { return pos_ >= text_.size(); }
    int LineNumber() const { return line_; }
    const std::string& FileLabel() const { return file_label_; }

    // nullopt at the end of the input.
    std::optional<std::string> ReadField();
    std::optional<std::string> ReadLine();
    std::optional<std::string> ReadNumberToken();

    // The values of the next row that is not blank: tokens up to the line end, separated
    // by commas or blanks (two commas enclose an empty value). nullopt at the end.
    std::optional<std::vector<std::string>> ReadNumberRow();
    int RowLineNumber() const { return row_line_; }
    // The next row, which must hold exactly `count` decimal numbers.
    std::vector<double> RequireNumberRow(size_t count);
    // No further number may follow: a left-over value means the file does not have the
    // layout it is read with. Text after the numbers (a note) is allowed.
    void RequireNoMoreNumbers();

    std::string RequireField();
    std::string RequireLine();
    // A text field that must hold a plain decimal number.
    double RequireNumberField();
    // The next number token of a numeric data file.
    double RequireNumber();

    // Messages for the failures above, also used by format readers for their own checks.
    [[noreturn]] void FailShort() const;
    [[noreturn]] void FailNotNumber(std::string_view field, int line) const;
    [[noreturn]] void Fail(std::string_view what) const;

  private:
    bool AtLineEnd() const;
    void SkipLineEnd();
    void SkipBlanks();

    std::string text_;
    std::string file_label_;
    size_t pos_ = 0;
    int line_ = 1;
    int row_line_ = 0;
};

}  // namespace korvex
