#pragma once

#include <array>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/dose_model.h"

namespace korvex {

// The columns of the results table in the order in which they are drawn, saved and printed.
enum class ResultColumn {
    Site,
    Kv,
    FilterInherent,
    FilterAluminium,
    FilterCopper,
    FilterOther,
    FilterOtherThickness,
    Fsd,
    Field,
    KarShown,
    PkaShown,
    KarCorrected,
    PkaCorrected,
    DoseRatio,
    ScatterFactor,
    EntranceDose,
};

inline constexpr int kResultColumnCount = 16;
inline constexpr int kResultSlotCount = 15;

enum class ColumnKind { Text, Number };

// What the results window, the results file and the printout need to know of a column.
// A pattern is a FormatNumber pattern; an empty pattern shows the cell as stored (text
// unchanged, a number in its shortest form).
struct ResultColumnInfo {
    ResultColumn column;
    std::string_view name;            // the column's name in code and in command-line output
    ColumnKind kind;                  // a number column holds text from an add, numbers from a file
    std::string_view csv_label;       // first field of the column's line in a results file
    std::string_view screen_pattern;  // the results window; also what an add stores
    std::string_view print_pattern;   // the printed report
};

inline constexpr std::array<ResultColumnInfo, kResultColumnCount> kResultColumns{{
    {ResultColumn::Site, "Site", ColumnKind::Text, "対象部位", "", ""},
    {ResultColumn::Kv, "Kv", ColumnKind::Number, "管電圧 (kV)", "#00", "#00"},
    {ResultColumn::FilterInherent, "FilterInherent", ColumnKind::Number, "固有濾過(mmAL)", "0.00",
     "0.00"},
    {ResultColumn::FilterAluminium, "FilterAluminium", ColumnKind::Number, "ｱﾙﾐ付加 (mm)", "0.00",
     "0.00"},
    {ResultColumn::FilterCopper, "FilterCopper", ColumnKind::Number, "銅付加 (mm)", "0.00", "0.00"},
    {ResultColumn::FilterOther, "FilterOther", ColumnKind::Text, "その他フィルタ", "", ""},
    {ResultColumn::FilterOtherThickness, "FilterOtherThickness", ColumnKind::Number, "上記厚(mm)",
     "0.00", "0.00"},
    // The printout shows the distance as stored.
    {ResultColumn::Fsd, "Fsd", ColumnKind::Number, "FSD (cm)", "#00", ""},
    {ResultColumn::Field, "Field", ColumnKind::Text, "照射野 at 基準点", "", ""},
    {ResultColumn::KarShown, "KarShown", ColumnKind::Number, "Kar (mGy)", "###00.0", "###00.0"},
    {ResultColumn::PkaShown, "PkaShown", ColumnKind::Number, "P_KA (Gy･cm2)", "###00.0", "###00.0"},
    {ResultColumn::KarCorrected, "KarCorrected", ColumnKind::Number, "補正 kar (mGy)", "###00.0",
     "###00.0"},
    {ResultColumn::PkaCorrected, "PkaCorrected", ColumnKind::Number, "補正 P_KA (Gy･cm2)",
     "###00.0", "###00.0"},
    {ResultColumn::DoseRatio, "DoseRatio", ColumnKind::Number, "皮膚線量/空気カーマ比", "0.000",
     "0.000"},
    {ResultColumn::ScatterFactor, "ScatterFactor", ColumnKind::Number, "前方・後方散乱係数",
     "0.000", "0.000"},
    // The printout keeps two integer digits of the dose (5.0 prints as 05.0).
    {ResultColumn::EntranceDose, "EntranceDose", ColumnKind::Number, "入射表面皮膚吸収線量 (mGy)",
     "###0.0", "###00.0"},
}};

constexpr const ResultColumnInfo& ColumnInfo(ResultColumn column) {
    return kResultColumns[static_cast<std::size_t>(column)];
}

// Marks a row without a filter of a chosen material in the FilterOther column.
inline constexpr std::string_view kNoArbitraryFilter = "-";

// One cell: a text, or a number (cells read from a results file). Numbers are always
// finite.
class ResultCell {
  public:
    ResultCell() = default;  // empty text

    bool IsNumber() const { return std::holds_alternative<double>(content_); }
    // The stored text; empty for a number cell.
    std::string_view Text() const;
    // The numeric value: the number, or the leading number of the text (0 when it begins
    // with none).
    double Value() const;
    // The text a results file holds: the text unchanged, a number in shortest form.
    std::string StoredText() const;
    // The cell as shown with a column pattern: a number, or a text that is a decimal
    // number, is formatted with the pattern; any other text is shown unchanged. An empty
    // pattern gives StoredText().
    std::string Shown(std::string_view pattern) const;

    bool operator==(const ResultCell&) const = default;

  private:
    friend ResultCell TextCell(std::string text);
    friend ResultCell NumberCell(double value);

    std::variant<std::string, double> content_;
};

ResultCell TextCell(std::string text);
// Throws std::invalid_argument for NaN or infinity.
ResultCell NumberCell(double value);

// The 16 cells of one slot. A default row is a free slot: empty text in text columns,
// the number 0 in number columns.
class ResultRow {
  public:
    ResultRow();

    ResultCell& operator[](ResultColumn column) { return cells_[Index(column)]; }
    const ResultCell& operator[](ResultColumn column) const { return cells_[Index(column)]; }

    // The screen and the printout show "---" / a bar instead of the material and its
    // thickness when this is false.
    bool HasArbitraryFilter() const;

    // The dose model that computed the row's numbers.
    DoseModel Model() const { return model_; }
    void SetModel(DoseModel model) { model_ = model; }

    bool operator==(const ResultRow&) const = default;

  private:
    static std::size_t Index(ResultColumn column) { return static_cast<std::size_t>(column); }

    std::array<ResultCell, kResultColumnCount> cells_;
    DoseModel model_ = kDefaultDoseModel;
};

// The dose total of the rows of one model.
struct ModelDoseTotal {
    DoseModel model = kDefaultDoseModel;
    double total = 0;  // mGy
    int rows = 0;
};

// Up to 15 rows, filled from slot 1 upwards without gaps.
class ResultsTable {
  public:
    // The number of the next free slot, 1..16; 16 means the table is full.
    int NextRow() const { return row_count_ + 1; }
    int RowCount() const { return row_count_; }
    bool IsFull() const { return row_count_ == kResultSlotCount; }

    // Slots are numbered 1..15; free slots read as empty rows. Any other slot number
    // throws std::out_of_range.
    const ResultRow& Row(int slot) const;
    const ResultCell& Cell(int slot, ResultColumn column) const { return Row(slot)[column]; }

    // Stores the row in slot NextRow(); returns the slot, or 0 (nothing stored) when the
    // table is full.
    int StoreRow(const ResultRow& row);

    // All slots free again, NextRow() = 1.
    void ClearResultsTable();

    // Sums of EntranceDose, each row as its cell shows it (rounded to 0.1 mGy by the add),
    // in mGy: one for each model that has rows, in the order of kDoseModels. Doses of two
    // models are never added together. Throws CalculationError when a sum is not a finite
    // number (only possible with absurd values read from a file).
    std::vector<ModelDoseTotal> DoseTotals() const;
    // The one total of a table whose rows share a model (0 for an empty table). Throws
    // CalculationError for rows of two models, or a sum that is not finite.
    double DoseTotal() const;
    // Whether the stored rows come from more than one model.
    bool MixesModels() const;

    bool operator==(const ResultsTable&) const = default;

  private:
    std::array<ResultRow, kResultSlotCount> slots_;
    int row_count_ = 0;
};

}  // namespace korvex
