#include "results/results_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "engine/errors.h"
#include "results/add_result_row.h"
#include "tests/results/results_test_support.h"

namespace korvex {
namespace {

using C = ResultColumn;

// Every cell's text as stored by an add, in column order.
std::vector<std::string> Texts(const ResultRow& row) {
    std::vector<std::string> texts;
    for (const auto& info : kResultColumns) {
        texts.push_back(row[info.column].StoredText());
    }
    return texts;
}

TEST(FormatResultRow, WorkedExampleGivesTheDocumentedCells) {
    const ResultRow row = FormatResultRow(testing::ExampleCase());
    const std::vector<std::string> expected{
        "胸部背面",   "80",    "2.50", "1.00",  "0.10", "-",     "0",     "65",
        "12.5cm平方", "250.0", "35.2", "240.0", "33.8", "1.065", "1.352", "345.6"};
    EXPECT_EQ(Texts(row), expected);
    // Without a filter of a chosen material the thickness is the number 0, not a text.
    EXPECT_TRUE(row[C::FilterOtherThickness].IsNumber());
    EXPECT_FALSE(row[C::Kv].IsNumber());
    EXPECT_FALSE(row.HasArbitraryFilter());
}

TEST(FormatResultRow, PatternsRoundAndPadEachColumn) {
    CalculationCase calc = testing::ExampleCase();
    calc.TubeVoltage = 7;              // "#00" keeps two digits
    calc.FocusSkinDistance = 64.5;     // half away from zero
    calc.DisplayedKar = 5.24;          // "###00.0"
    calc.DisplayedPka = 1234.56;       // never cut on the left
    calc.InherentFiltration = 0.0333;  // 0.333 mm
    calc.DoseToKermaRatio = 0.85;
    calc.ForwardBackscatterFactor = 1.4995;
    calc.SkinDose = 4.96;
    calc.FieldShape = FieldShapeKind::Circle;
    calc.ReferenceFieldSize = 20;
    const ResultRow row = FormatResultRow(calc);
    EXPECT_EQ(row[C::Kv].Text(), "07");
    EXPECT_EQ(row[C::Fsd].Text(), "65");
    EXPECT_EQ(row[C::KarShown].Text(), "05.2");
    EXPECT_EQ(row[C::PkaShown].Text(), "1234.6");
    EXPECT_EQ(row[C::FilterInherent].Text(), "0.33");
    EXPECT_EQ(row[C::DoseRatio].Text(), "0.850");
    EXPECT_EQ(row[C::ScatterFactor].Text(), "1.500");
    EXPECT_EQ(row[C::EntranceDose].Text(), "5.0");
    EXPECT_EQ(row[C::Field].Text(), "20.0cm直径");

    // The field size is the shown two-decimal value; 12.45 rounds up to 12.5.
    calc.FieldShape = FieldShapeKind::Square;
    calc.ReferenceFieldSize = 12.45;
    EXPECT_EQ(FormatResultRow(calc)[C::Field].Text(), "12.5cm平方");
    // A case without a shape counts as a circle.
    calc.FieldShape = FieldShapeKind::Unset;
    calc.ReferenceFieldSize = 0;
    EXPECT_EQ(FormatResultRow(calc)[C::Field].Text(), "0.0cm直径");
}

TEST(FormatResultRow, FilterOfAChosenMaterialOnlyWhenSwitchedOn) {
    CalculationCase calc = testing::ExampleCase();
    calc.ArbitraryFilterMaterial = "Mo";
    calc.ArbitraryFilterThickness = 0.003;  // cm = 0.03 mm
    calc.ArbitraryFilterOn = 1;
    ResultRow row = FormatResultRow(calc);
    EXPECT_EQ(row[C::FilterOther].Text(), "Mo");
    EXPECT_EQ(row[C::FilterOtherThickness].Text(), "0.03");
    EXPECT_TRUE(row.HasArbitraryFilter());

    for (int off : {0, 2}) {
        calc.ArbitraryFilterOn = off;
        row = FormatResultRow(calc);
        EXPECT_EQ(row[C::FilterOther].Text(), "-");
        EXPECT_EQ(row[C::FilterOtherThickness], NumberCell(0));
    }
}

TEST(FormatResultRow, NonFiniteValueIsRefusedAndNothingIsStored) {
    ResultsTable table;
    for (double bad :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        CalculationCase calc = testing::ExampleCase();
        calc.SkinDose = bad;
        EXPECT_THROW(AddResultRow(table, calc), CalculationError);
        calc = testing::ExampleCase();
        calc.ReferenceFieldSize = bad;
        EXPECT_THROW(AddResultRow(table, calc), CalculationError);
    }
    EXPECT_EQ(table, ResultsTable());
}

TEST(AddResultRow, FifteenRowsThenTheFullTableRefusesAndWarnsAgain) {
    ResultsTable table;
    CalculationCase calc = testing::ExampleCase();
    for (int n = 1; n <= 15; ++n) {
        calc.TubeVoltage = 60 + n;
        const AddRowOutcome outcome = AddResultRow(table, calc);
        EXPECT_EQ(outcome.table_was_empty, n == 1);
        EXPECT_EQ(outcome.stored_slot, n);
        EXPECT_EQ(outcome.capacity_warning, n == 15) << "row " << n;
        EXPECT_EQ(table.Cell(n, C::Kv).Text(), std::to_string(60 + n));
    }
    EXPECT_EQ(table.NextRow(), 16);
    EXPECT_EQ(table.RowCount(), 15);
    EXPECT_TRUE(table.IsFull());

    const ResultsTable before = table;
    calc.TubeVoltage = 99;
    const AddRowOutcome refused = AddResultRow(table, calc);
    EXPECT_FALSE(refused.Stored());
    EXPECT_TRUE(refused.capacity_warning);
    EXPECT_FALSE(refused.table_was_empty);
    EXPECT_EQ(table, before);

    table.ClearResultsTable();
    EXPECT_EQ(table, ResultsTable());
    EXPECT_EQ(table.Cell(15, C::Site).Text(), "");
    EXPECT_EQ(table.Cell(15, C::EntranceDose), NumberCell(0));
    const AddRowOutcome again = AddResultRow(table, calc);
    EXPECT_TRUE(again.table_was_empty);
    EXPECT_EQ(again.stored_slot, 1);
}

TEST(ResultsTable, SlotsOutsideOneToFifteenAreRefused) {
    ResultsTable table;
    EXPECT_THROW(table.Cell(0, C::Site), std::out_of_range);
    EXPECT_THROW(table.Row(16), std::out_of_range);
    EXPECT_NO_THROW(table.Row(15));
}

TEST(ResultsTable, DoseTotalAddsTheRoundedCells) {
    ResultsTable table;
    EXPECT_EQ(table.DoseTotal(), 0.0);
    CalculationCase calc = testing::ExampleCase();
    calc.SkinDose = 4.96;  // stored as 5.0
    AddResultRow(table, calc);
    calc.SkinDose = 1.16;  // stored as 1.2; the unrounded sum would be 6.12
    AddResultRow(table, calc);
    EXPECT_DOUBLE_EQ(table.DoseTotal(), 6.2);
}

TEST(ResultsTable, RowsOfTwoModelsAreTotalledApart) {
    ResultsTable table;
    CalculationCase legacy = testing::ExampleCase(DoseModel::Legacy);
    CalculationCase validated = testing::ExampleCase(DoseModel::Validated);
    legacy.SkinDose = 100;
    validated.SkinDose = 130;
    AddResultRow(table, legacy);
    EXPECT_FALSE(table.MixesModels());
    EXPECT_EQ(table.Row(1).Model(), DoseModel::Legacy);
    AddResultRow(table, validated);
    AddResultRow(table, legacy);
    EXPECT_TRUE(table.MixesModels());
    // One total per model, the default model's first; never one sum of both.
    const std::vector<ModelDoseTotal> totals = table.DoseTotals();
    ASSERT_EQ(totals.size(), 2u);
    EXPECT_EQ(totals[0].model, DoseModel::Validated);
    EXPECT_EQ(totals[0].total, 130);
    EXPECT_EQ(totals[0].rows, 1);
    EXPECT_EQ(totals[1].model, DoseModel::Legacy);
    EXPECT_EQ(totals[1].total, 200);
    EXPECT_EQ(totals[1].rows, 2);
    EXPECT_THROW(table.DoseTotal(), CalculationError);
    table.ClearResultsTable();
    EXPECT_TRUE(table.DoseTotals().empty());
    EXPECT_FALSE(table.MixesModels());
}

TEST(ResultCell, ShownWithPatternsAndStoredForm) {
    EXPECT_EQ(NumberCell(2.5).Shown("0.00"), "2.50");
    EXPECT_EQ(NumberCell(2.5).StoredText(), "2.5");
    EXPECT_EQ(NumberCell(65).Shown(""), "65");
    // Stored texts are re-formatted by the printout's wider pattern.
    EXPECT_EQ(TextCell("5.0").Shown("###00.0"), "05.0");
    EXPECT_EQ(TextCell("345.6").Shown("###00.0"), "345.6");
    EXPECT_EQ(TextCell("n/a").Shown("###00.0"), "n/a");
    EXPECT_EQ(TextCell("12.5mGy").Value(), 12.5);
    EXPECT_EQ(TextCell("abc").Value(), 0.0);
    EXPECT_THROW(NumberCell(std::nan("")), std::invalid_argument);
}

}  // namespace
}  // namespace korvex
