#pragma once

#include <string>
#include <string_view>

#include "engine/calculation_case.h"
#include "engine/user_message.h"
#include "results/results_table.h"

namespace korvex {

// Shown (with the beep) when the 15th row has been stored, and again for every add that
// finds the table full.
inline constexpr std::string_view kCapacityWarningText = KORVEX_TRANSLATE_NOOP(
    "korvex::Core",
    "　これ以上の計算結果は保存できません。現在の結果表を一旦保存し、データ消去後、"
    "新たな結果表に保存して下さい。");

// The Field cell's unit as the results file stores it after the size: the side of a
// square or the diameter of a circle.
inline constexpr std::string_view kSquareFieldUnit = "cm平方";
inline constexpr std::string_view kCircleFieldUnit = "cm直径";

// A Field cell as a reader of `language` reads it: the stored unit in English
// ("12.5cm sq", "10.0cm dia", as narrow as the Japanese); any other text as it is.
std::string FieldTextIn(const std::string& stored, UserLanguage language);

// The 16 cells of a calculation as the results table stores them: each value rounded and
// formatted with its column's pattern, filter thicknesses converted from cm to mm. Throws
// CalculationError, naming the column, when a value is not a finite number.
ResultRow FormatResultRow(const CalculationCase& calc);

// What an add did, so that the window can draw and warn accordingly.
struct AddRowOutcome {
    bool table_was_empty = false;   // clear the area, show the grid, draw the header first
    int stored_slot = 0;            // slot of the new row (draw it there); 0: nothing stored
    bool capacity_warning = false;  // beep and show kCapacityWarningText

    bool Stored() const { return stored_slot != 0; }
};

// Stores the case as the next row. A full table stores nothing and asks for the warning
// again. A case that cannot be formatted throws (see FormatResultRow) and leaves the
// table unchanged.
AddRowOutcome AddResultRow(ResultsTable& table, const CalculationCase& calc);

// Stores a row formatted elsewhere (a dose report's projection group) under the same
// rules: nothing stored in a full table, the warning when the 15th row is stored.
AddRowOutcome AddFormattedRow(ResultsTable& table, const ResultRow& row);

}  // namespace korvex
