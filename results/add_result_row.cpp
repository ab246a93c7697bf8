#include "results/add_result_row.h"

#include <cmath>
#include <string>
#include <utility>

#include "engine/errors.h"
#include "engine/text_rules.h"

namespace korvex {
namespace {

constexpr double kMillimetresPerCentimetre = 10.0;
constexpr std::string_view kFieldSizePattern = "#0.0";  // cm

// The value formatted with the column's pattern, as a text cell.
ResultCell Formatted(ResultColumn column, double value) {
    const ResultColumnInfo& info = ColumnInfo(column);
    if (!std::isfinite(value)) {
        throw CalculationError("the value of results column " + std::string(info.name) +
                               " is not a finite number");
    }
    return TextCell(FormatNumber(value, info.screen_pattern));
}

}  // namespace

std::string FieldTextIn(const std::string& stored, UserLanguage language) {
    if (language == UserLanguage::Japanese) {
        return stored;
    }
    for (const auto& [unit, english] :
         {std::pair{kSquareFieldUnit, "cm sq"}, std::pair{kCircleFieldUnit, "cm dia"}}) {
        if (stored.size() > unit.size() && stored.ends_with(unit)) {
            return stored.substr(0, stored.size() - unit.size()) + english;
        }
    }
    return stored;
}

ResultRow FormatResultRow(const CalculationCase& calc) {
    using C = ResultColumn;
    ResultRow row;
    row[C::Site] = TextCell(calc.BodySite);
    row[C::Kv] = Formatted(C::Kv, calc.TubeVoltage);
    row[C::FilterInherent] =
        Formatted(C::FilterInherent, kMillimetresPerCentimetre * calc.InherentFiltration);
    row[C::FilterAluminium] =
        Formatted(C::FilterAluminium, kMillimetresPerCentimetre * calc.AddedAluminium);
    row[C::FilterCopper] = Formatted(C::FilterCopper, kMillimetresPerCentimetre * calc.AddedCopper);
    if (calc.ArbitraryFilterOn == 1) {
        row[C::FilterOther] = TextCell(calc.ArbitraryFilterMaterial);
        row[C::FilterOtherThickness] = Formatted(
            C::FilterOtherThickness, kMillimetresPerCentimetre * calc.ArbitraryFilterThickness);
    } else {
        row[C::FilterOther] = TextCell(std::string(kNoArbitraryFilter));
        row[C::FilterOtherThickness] = NumberCell(0);
    }
    row[C::Fsd] = Formatted(C::Fsd, calc.FocusSkinDistance);
    // The side of a square or the diameter of a circle; a case without a shape counts as
    // a circle.
    const std::string_view shape_unit =
        calc.FieldShape == FieldShapeKind::Square ? kSquareFieldUnit : kCircleFieldUnit;
    if (!std::isfinite(calc.ReferenceFieldSize)) {
        throw CalculationError("the value of results column Field is not a finite number");
    }
    row[C::Field] = TextCell(FormatNumber(calc.ReferenceFieldSize, kFieldSizePattern) +
                             std::string(shape_unit));
    row[C::KarShown] = Formatted(C::KarShown, calc.DisplayedKar);
    row[C::PkaShown] = Formatted(C::PkaShown, calc.DisplayedPka);
    row[C::KarCorrected] = Formatted(C::KarCorrected, calc.CorrectedKar);
    row[C::PkaCorrected] = Formatted(C::PkaCorrected, calc.CorrectedPka);
    row[C::DoseRatio] = Formatted(C::DoseRatio, calc.DoseToKermaRatio);
    row[C::ScatterFactor] = Formatted(C::ScatterFactor, calc.ForwardBackscatterFactor);
    row[C::EntranceDose] = Formatted(C::EntranceDose, calc.SkinDose);
    row.SetModel(calc.Model);
    return row;
}

AddRowOutcome AddResultRow(ResultsTable& table, const CalculationCase& calc) {
    if (table.IsFull()) {
        AddRowOutcome outcome;
        outcome.capacity_warning = true;
        return outcome;
    }
    return AddFormattedRow(table, FormatResultRow(calc));
}

AddRowOutcome AddFormattedRow(ResultsTable& table, const ResultRow& row) {
    AddRowOutcome outcome;
    if (table.IsFull()) {
        outcome.capacity_warning = true;
        return outcome;
    }
    outcome.table_was_empty = table.RowCount() == 0;
    outcome.stored_slot = table.StoreRow(row);
    outcome.capacity_warning = table.IsFull();
    return outcome;
}

}  // namespace korvex
