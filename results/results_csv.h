#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/errors.h"
#include "engine/user_message.h"
#include "results/results_table.h"

namespace korvex {

// Messages of the save and read dialogs.
inline constexpr std::string_view kSaveFieldsMissingText =
    KORVEX_TRANSLATE_NOOP("korvex::Core", "　コメントおよびファイル名を入力して下さい　");
inline constexpr std::string_view kSaveDoneText =
    KORVEX_TRANSLATE_NOOP("korvex::Core", "　計算結果を エクセル csv形式 で保存しました　");
inline constexpr std::string_view kSelectFileText =
    KORVEX_TRANSLATE_NOOP("korvex::Core", "　ファイルを選択して下さい　");
inline constexpr std::string_view kReadFailureText =
    KORVEX_TRANSLATE_NOOP("korvex::Core", "　*** このファイルは正しく読み込めません　***  ");

// A results file that cannot be read. what() is the read dialog's warning; detail()
// says what was wrong, for logs, tests and the command line.
class ResultsFileUnreadable : public FileError {
  public:
    explicit ResultsFileUnreadable(std::string detail)
        : FileError(std::string(kReadFailureText)), detail_(std::move(detail)) {}
    const std::string& detail() const { return detail_; }

  private:
    std::string detail_;
};

// A results file is transposed: line 1 the comment, line 2 the row count (" 3 "), then
// one line per column: its label and the cells of rows 1..n, separated by commas. Code
// page 932, CR LF. A table with a row of any model but the legacy formula adds line 19,
// kModelLabel and the model of each row; without it every row is the legacy formula's,
// as in the files of earlier programs.
inline constexpr std::string_view kModelLabel = "計算モデル";
//
// The lines of a results file, without line ends. A cell holding a comma or beginning
// with a blank is put in double quotes, which the reader removes, so that it reads back
// unchanged; other cells are written as they are. Throws FileError naming `file_label`
// when the comment or a cell holds a line break, a character that code page 932 cannot
// hold, or a double quote that would not read back.
std::vector<std::string> ResultsCsvLines(std::string_view comment, const ResultsTable& table,
                                         const std::string& file_label);

// Writes the table to `path` through a temporary file and a rename, so an old file is
// never damaged. Throws FileError naming the file when it cannot be written.
void WriteResultsCsv(const std::filesystem::path& path, std::string_view comment,
                     const ResultsTable& table);

// The save dialog's write: `folder`/`file_name`.csv, an existing file replaced. Refuses
// (FileError) an empty name and a name holding "/", "\" or a control character, before
// anything is written. Returns the path written.
std::filesystem::path SaveResultsCsv(const std::filesystem::path& folder,
                                     std::string_view file_name, std::string_view comment,
                                     const ResultsTable& table);

struct ResultsCsvContent {
    std::string comment;
    ResultsTable table;
};

// Files above this size are no results files.
inline constexpr std::uintmax_t kMaxResultsFileBytes = 4 * 1024 * 1024;

// Parses a whole results file (decoded text) into a new table. The count must be a whole
// number 0..15, and every column line must hold its label and exactly that many cells.
// Number columns receive a number where the field is a decimal number, else its text. A
// model line must name a known model for every row.
// Throws ResultsFileUnreadable; nothing is returned from a file that is not read whole.
ResultsCsvContent ParseResultsCsv(std::string text, const std::string& file_label);

// Reads and parses a results file; any failure throws ResultsFileUnreadable.
ResultsCsvContent ReadResultsCsv(const std::filesystem::path& path);

// The first line of a file (the comment of a results file) for the read dialog's preview:
// empty for an empty file, bytes that are no code page 932 shown as U+FFFD. Throws
// FileError naming the file when it cannot be opened.
std::string ReadResultsCsvComment(const std::filesystem::path& path);

}  // namespace korvex
