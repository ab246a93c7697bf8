#include "results/results_csv.h"

#include <algorithm>
#include <cmath>

#include "engine/field_stream.h"
#include "engine/text_file.h"
#include "engine/text_rules.h"

namespace korvex {
namespace {

// Enough for any comment a person types; a preview never reads a whole large file.
constexpr std::size_t kCommentPreviewBytes = 64 * 1024;

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

bool FitsCp932(std::string_view text) {
    try {
        EncodeCp932(text, "");
        return true;
    } catch (const FileError&) {
        return false;
    }
}

[[noreturn]] void RefuseSave(const std::string& file_label, const std::string& reason) {
    throw FileError("ファイル「" + file_label + "」を保存できません：" + reason);
}

// A cell as a field of its column line, quoted where the reader would otherwise split it
// at a comma or drop its leading blanks.
std::string CellField(const ResultCell& cell, int slot, const ResultColumnInfo& info,
                      const std::string& file_label) {
    const std::string text = cell.StoredText();
    const std::string where =
        std::to_string(slot) + " 行目の「" + std::string(info.csv_label) + "」";
    if (HasLineBreak(text)) {
        RefuseSave(file_label, where + "に改行が含まれています。");
    }
    if (!FitsCp932(text)) {
        RefuseSave(file_label, where + "に Shift_JIS (CP932) で書けない文字が含まれています。");
    }
    const bool needs_quotes = text.find(',') != std::string::npos ||
                              (!text.empty() && (text.front() == ' ' || text.front() == '\t'));
    if (text.find('"') != std::string::npos && (needs_quotes || text.front() == '"')) {
        RefuseSave(file_label, where + "の「\"」を含む値は、読み戻せる形で書けません。");
    }
    return needs_quotes ? "\"" + text + "\"" : text;
}

// The `count` values of column line `line`, whose label has been read. Each line must hold
// exactly that many values and end after them; a file cut off inside its last line is not
// read as if the cut value were whole.
std::vector<std::string> LineValues(FieldStream& stream, int line, std::string_view label,
                                    int count) {
    std::vector<std::string> values;
    for (int i = 0; i < count; ++i) {
        if (stream.AtEnd()) {
            stream.FailShort();
        }
        if (stream.LineNumber() != line) {
            stream.Fail(std::to_string(line) + " 行目（" + std::string(label) + "）の値が " +
                        std::to_string(count) + " 件に足りません。");
        }
        std::string field = stream.RequireField();
        if (HasLineBreak(field)) {
            stream.Fail(std::to_string(line) + " 行目の値に改行が含まれています。");
        }
        values.push_back(std::move(field));
    }
    if (stream.LineNumber() == line) {
        if (stream.AtEnd()) {
            stream.FailShort();
        }
        stream.Fail(std::to_string(line) + " 行目（" + std::string(label) + "）の値が " +
                    std::to_string(count) + " 件より多くあります。");
    }
    return values;
}

ResultCell CellFromField(const ResultColumnInfo& info, std::string field) {
    if (info.kind == ColumnKind::Number) {
        if (const auto value = ParseDecimal(field)) {
            return NumberCell(*value);
        }
    }
    return TextCell(std::move(field));
}

ResultsCsvContent ParseWhole(std::string text, const std::string& file_label) {
    FieldStream stream(std::move(text), file_label);
    ResultsCsvContent content;
    content.comment = stream.RequireLine();

    const int count_line = stream.LineNumber();
    const std::string count_field = stream.RequireField();
    const auto count = ParseDecimal(count_field);
    if (!count || *count != std::floor(*count) || *count < 0 || *count > kResultSlotCount) {
        stream.Fail(std::to_string(count_line) + " 行目の件数「" + MessageQuote(count_field) +
                    "」は 0 から 15 までの整数ではありません。");
    }
    if (stream.LineNumber() == count_line && !stream.AtEnd()) {
        stream.Fail(std::to_string(count_line) + " 行目に件数のほかの値があります。");
    }
    const int row_count = static_cast<int>(*count);

    std::vector<ResultRow> rows(static_cast<std::size_t>(row_count));
    for (const ResultColumnInfo& info : kResultColumns) {
        const int line = stream.LineNumber();
        stream.RequireField();  // the label
        std::vector<std::string> fields = LineValues(stream, line, info.csv_label, row_count);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            rows[i][info.column] = CellFromField(info, std::move(fields[i]));
        }
    }

    // Files of earlier programs end here: their rows are the legacy formula's. Anything
    // else after the table is left unread, as those programs left it.
    for (auto& row : rows) {
        row.SetModel(DoseModel::Legacy);
    }
    if (!stream.AtEnd()) {
        const int line = stream.LineNumber();
        if (stream.ReadField() == kModelLabel) {
            const std::vector<std::string> names = LineValues(stream, line, kModelLabel, row_count);
            for (std::size_t i = 0; i < rows.size(); ++i) {
                const std::optional<DoseModel> model = DoseModelFromName(names[i]);
                if (!model) {
                    stream.Fail(
                        std::to_string(line) + " 行目の計算モデル「" + MessageQuote(names[i]) +
                        "」は「" + std::string(DoseModelName(DoseModel::Validated)) + "」でも「" +
                        std::string(DoseModelName(DoseModel::Legacy)) + "」でもありません。");
                }
                rows[i].SetModel(*model);
            }
        }
    }

    for (const auto& row : rows) {
        content.table.StoreRow(row);
    }
    return content;
}

}  // namespace

std::vector<std::string> ResultsCsvLines(std::string_view comment, const ResultsTable& table,
                                         const std::string& file_label) {
    if (HasLineBreak(comment)) {
        RefuseSave(file_label, "コメントに改行が含まれています。");
    }
    if (!FitsCp932(comment)) {
        RefuseSave(file_label, "コメントに Shift_JIS (CP932) で書けない文字が含まれています。");
    }
    std::vector<std::string> lines;
    lines.reserve(2 + kResultColumnCount);
    lines.emplace_back(comment);
    lines.push_back(" " + std::to_string(table.RowCount()) + " ");
    for (const ResultColumnInfo& info : kResultColumns) {
        std::string line(info.csv_label);
        for (int slot = 1; slot <= table.RowCount(); ++slot) {
            line += ',';
            line += CellField(table.Cell(slot, info.column), slot, info, file_label);
        }
        lines.push_back(std::move(line));
    }
    // Rows of the legacy formula alone keep the format of earlier programs; any other row
    // names its model on a line of its own, which those programs do not read.
    bool legacy_only = true;
    for (int slot = 1; slot <= table.RowCount(); ++slot) {
        legacy_only = legacy_only && table.Row(slot).Model() == DoseModel::Legacy;
    }
    if (!legacy_only) {
        std::string line(kModelLabel);
        for (int slot = 1; slot <= table.RowCount(); ++slot) {
            line += ',';
            line += DoseModelName(table.Row(slot).Model());
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

void WriteResultsCsv(const std::filesystem::path& path, std::string_view comment,
                     const ResultsTable& table) {
    const std::string file_label = path.filename().string();
    WriteTextLines(path, ResultsCsvLines(comment, table, file_label), file_label);
}

std::filesystem::path SaveResultsCsv(const std::filesystem::path& folder,
                                     std::string_view file_name, std::string_view comment,
                                     const ResultsTable& table) {
    if (file_name.empty()) {
        throw FileError("ファイル名が入力されていません。");
    }
    const std::string file_label = std::string(file_name) + ".csv";
    // The name is a name within the chosen folder, never a path to somewhere else.
    if (file_name.find_first_of("/\\") != std::string_view::npos) {
        throw FileError("ファイル名「" + MessageQuote(file_label) +
                        "」には「/」や「\\」を使えません。");
    }
    for (const char c : file_name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            throw FileError("ファイル名「" + MessageQuote(file_label) +
                            "」に使えない制御文字が含まれています。");
        }
    }
    const std::filesystem::path path = folder / file_label;
    RemoveStaleTemporaryFiles(folder);
    WriteResultsCsv(path, comment, table);
    return path;
}

ResultsCsvContent ParseResultsCsv(std::string text, const std::string& file_label) {
    try {
        return ParseWhole(std::move(text), file_label);
    } catch (const ResultsFileUnreadable&) {
        throw;
    } catch (const FileError& error) {
        throw ResultsFileUnreadable(error.what());
    }
}

ResultsCsvContent ReadResultsCsv(const std::filesystem::path& path) {
    const std::string file_label = path.filename().string();
    std::string text;
    try {
        text = ReadTextFile(path, file_label, Decoding::Strict, kMaxResultsFileBytes);
    } catch (const FileError& error) {
        throw ResultsFileUnreadable(error.what());
    }
    return ParseResultsCsv(std::move(text), file_label);
}

std::string ReadResultsCsvComment(const std::filesystem::path& path) {
    // Only the start is read, so the size limit is no concern; a FIFO or a device in the
    // list's place is refused like any other file that is not regular.
    std::string bytes = ReadFileStart(path, path.filename().string(), kCommentPreviewBytes);
    bytes.resize(std::min(bytes.size(), bytes.find('\n')));
    if (!bytes.empty() && bytes.back() == '\r') {
        bytes.pop_back();
    }
    return DecodeCp932Lenient(bytes);
}

}  // namespace korvex
