#include "results/results_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <tuple>

#include "results/add_result_row.h"
#include "tests/results/recording_print_surface.h"
#include "tests/results/results_test_support.h"

namespace korvex {
namespace {

using testing::ExampleCase;
using testing::RecordingPrintSurface;
using Op = RecordingPrintSurface::Operation;
using Kind = Op::Kind;

RecordingPrintSurface PrintPage(const ResultsTable& table, std::string_view user_name) {
    RecordingPrintSurface page;
    PrintReportPage(page, table, user_name);
    return page;
}

ResultsTable TableOf(int rows) {
    ResultsTable table;
    for (int i = 0; i < rows; ++i) {
        AddResultRow(table, ExampleCase());
    }
    return table;
}

using Segment = std::tuple<double, double, double, double>;

std::set<Segment> LinesOfWidth(const RecordingPrintSurface& page, int width) {
    std::set<Segment> lines;
    for (const Op& op : page.Lines()) {
        if (op.line_width == width) {
            lines.insert({op.x1, op.y1, op.x2, op.y2});
        }
    }
    return lines;
}

TEST(PrintTableFrame, SetsUpALandscapeMinchoPageAndDrawsTheRules) {
    RecordingPrintSurface page;
    PrintTableFrame(page);
    ASSERT_FALSE(page.Operations().empty());
    EXPECT_EQ(page.Operations().front().kind, Kind::Orientation);
    EXPECT_EQ(page.Operations().front().orientation, PageOrientation::Landscape);

    // The frame is one line drawn on round its four corners, heavy.
    const std::vector<Op> lines = page.Lines();
    ASSERT_GE(lines.size(), 4u);
    const std::vector<Segment> frame = {
        {0, 20, 285, 20}, {285, 20, 285, 190}, {285, 190, 0, 190}, {0, 190, 0, 20}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(Segment(lines[i].x1, lines[i].y1, lines[i].x2, lines[i].y2), frame[i]);
        EXPECT_EQ(lines[i].continued, i > 0);
        EXPECT_EQ(lines[i].line_width, 5);
    }

    const std::set<Segment> heavy = LinesOfWidth(page, 5);
    EXPECT_EQ(heavy.size(), 8u);  // four frame edges, header bottom, three group borders
    EXPECT_TRUE(heavy.count({0, 40, 285, 40}));
    for (double x : {134.0, 179.0, 255.0}) {
        EXPECT_TRUE(heavy.count({x, 20, x, 190})) << x;
    }

    const std::set<Segment> thin = LinesOfWidth(page, 1);
    EXPECT_EQ(thin.size(), 6u + 5u + 2u + 14u);
    for (double x : {22.0, 38.0, 96.0, 112.0, 214.0, 235.0}) {
        EXPECT_TRUE(thin.count({x, 20, x, 190})) << x;
    }
    for (double x : {51.0, 65.0, 78.0, 156.0, 197.0}) {
        EXPECT_TRUE(thin.count({x, 30, x, 190})) << x;
    }
    EXPECT_TRUE(thin.count({38, 30, 96, 30}));
    EXPECT_TRUE(thin.count({134, 30, 214, 30}));
    for (double y = 50; y <= 180; y += 10) {
        EXPECT_TRUE(thin.count({0, y, 285, y})) << y;
    }
    EXPECT_EQ(heavy.size() + thin.size(), lines.size());  // nothing drawn twice
}

TEST(PrintTableFrame, PrintsTheHeaderInNinePointMincho) {
    RecordingPrintSurface page;
    PrintTableFrame(page);
    const std::vector<Op> texts = page.Texts();
    EXPECT_EQ(texts.size(), 34u);
    for (const Op& op : texts) {
        EXPECT_EQ(op.font_name, "ＭＳ 明朝") << op.text;
        EXPECT_EQ(op.font_size_pt, 9) << op.text;
        // All inside the header band, below the frame top and above the header bottom.
        EXPECT_GT(op.y1, 20) << op.text;
        EXPECT_LT(op.y1, 40) << op.text;
    }
    const auto at = [&page](const char* text) {
        const Op* op = page.FindText(text);
        return op ? std::pair(op->x1, op->y1) : std::pair(-1.0, -1.0);
    };
    EXPECT_EQ(at("対象部位"), std::pair(5.0, 30.0));
    EXPECT_EQ(at("at 基準点"), std::pair(115.0, 33.0));
    EXPECT_EQ(at("装置に表示された"), std::pair(142.0, 24.0));
    EXPECT_EQ(at("Gy･cm2"), std::pair(162.0, 35.0));  // half-width middle dot
    EXPECT_EQ(at("皮膚線量／"), std::pair(216.0, 30.0));
    EXPECT_EQ(at("空気カーマ比"), std::pair(215.0, 35.0));
    EXPECT_EQ(at("前方･後方"), std::pair(238.0, 30.0));
    EXPECT_EQ(at("皮膚吸収線量"), std::pair(260.0, 30.0));
    EXPECT_EQ(page.TextsAt(35),
              (std::vector<std::string>{"mmAl", "mm", "mm", "mm", "mGy", "Gy･cm2", "mGy", "Gy･cm2",
                                        "空気カーマ比", "散乱係数", "mGy"}));
}

TEST(PrintResultRow, FifteenRowsLieBetweenTheHeaderAndTheFrameBottom) {
    const ResultsTable table = TableOf(15);
    const RecordingPrintSurface page = PrintPage(table, "テスト病院");
    for (int slot = 1; slot <= 15; ++slot) {
        const double y = 10.0 * slot + 33;
        EXPECT_EQ(page.TextsAt(y).size(), 15u) << slot;  // 14 cells and the bar
        // Between the rule above (or the header bottom) and the rule or frame below.
        EXPECT_GT(y, 10.0 * slot + 30);
        EXPECT_LT(y, 10.0 * slot + 40);
    }
    EXPECT_EQ(page.TextsAt(183).front(), "胸部背面");
    EXPECT_TRUE(page.TextsAt(193).empty());
}

TEST(PrintResultRow, PrintsEachCellWithItsPattern) {
    ResultsTable table = TableOf(1);
    CalculationCase small = ExampleCase();
    small.TubeVoltage = 7;
    small.SkinDose = 5.04;  // stored as 5.0, printed with two integer digits
    small.DisplayedKar = 5.24;
    AddResultRow(table, small);

    RecordingPrintSurface page;
    PrintResultRow(page, table, 1);
    EXPECT_EQ(page.TextsAt(43),
              (std::vector<std::string>{"胸部背面", "80", "2.50", "1.00", "0.10", "65",
                                        "12.5cm平方", "250.0", "35.2", "240.0", "33.8", "1.065",
                                        "1.352", "345.6", "―"}));
    const std::vector<double> xs = {3,   27,  42,  55,  69,  100, 114, 140,
                                    162, 182, 200, 219, 240, 265, 84};
    const std::vector<Op> texts = page.Texts();
    ASSERT_EQ(texts.size(), xs.size());
    for (size_t i = 0; i < xs.size(); ++i) {
        EXPECT_EQ(texts[i].x1, xs[i]) << texts[i].text;
    }

    RecordingPrintSurface second;
    PrintResultRow(second, table, 2);
    const std::vector<std::string> row = second.TextsAt(53);
    EXPECT_EQ(row[1], "07");
    EXPECT_EQ(row[7], "05.2");
    EXPECT_EQ(row[13], "05.0");
}

TEST(PrintResultRow, CellsReadFromAFileArePrintedLikeStoredOnes) {
    ResultsTable table;
    ResultRow row = FormatResultRow(ExampleCase());
    row[ResultColumn::EntranceDose] = NumberCell(5.04);
    row[ResultColumn::Fsd] = NumberCell(65);  // the distance is printed as stored
    row[ResultColumn::Kv] = NumberCell(7);
    table.StoreRow(row);
    RecordingPrintSurface page;
    PrintResultRow(page, table, 1);
    const std::vector<std::string> texts = page.TextsAt(43);
    EXPECT_EQ(texts[1], "07");
    EXPECT_EQ(texts[5], "65");
    EXPECT_EQ(texts[13], "05.0");
}

TEST(PrintResultRow, MaterialAboveAndThicknessBelowTheRowLine) {
    ResultsTable table = TableOf(1);
    CalculationCase filtered = ExampleCase();
    filtered.ArbitraryFilterOn = 1;
    filtered.ArbitraryFilterMaterial = "lead";
    filtered.ArbitraryFilterThickness = 0.05;  // cm
    AddResultRow(table, filtered);

    RecordingPrintSurface page;
    PrintResultRow(page, table, 1);
    PrintResultRow(page, table, 2);
    const Op* bar = page.FindText("―");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(std::pair(bar->x1, bar->y1), std::pair(84.0, 43.0));
    const Op* material = page.FindText("lead");
    ASSERT_NE(material, nullptr);
    EXPECT_EQ(std::pair(material->x1, material->y1), std::pair(80.0, 51.0));
    const Op* thickness = page.FindText("0.50");
    ASSERT_NE(thickness, nullptr);
    EXPECT_EQ(std::pair(thickness->x1, thickness->y1), std::pair(83.0, 55.0));
    EXPECT_EQ(page.TextsAt(53).size(), 14u);  // no bar on the filtered row
}

TEST(PrintReportPage, TitleCarriesTheUserNameAndEndsThePage) {
    const RecordingPrintSurface page = PrintPage(TableOf(2), "テスト病院");
    const Op* title = page.FindText("IVR 時の入射表面皮膚組織吸収線量");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(std::pair(title->x1, title->y1), std::pair(50.0, 12.0));
    EXPECT_EQ(title->font_size_pt, 12);
    const Op* signature = page.FindText("テスト病院  with  Korvex-2");
    ASSERT_NE(signature, nullptr);
    EXPECT_EQ(std::pair(signature->x1, signature->y1), std::pair(200.0, 12.0));
    EXPECT_EQ(signature->font_size_pt, 12);
    EXPECT_EQ(signature->font_name, "ＭＳ 明朝");

    const std::vector<Op>& ops = page.Operations();
    EXPECT_EQ(ops.back().kind, Kind::End);
    EXPECT_EQ(ops.back().font_size_pt, 9);  // set back for the table
    EXPECT_EQ(page.Of(Kind::End).size(), 1u);
}

TEST(PrintDoseTotal, SumOfTheRoundedDosesBelowTheDoseColumn) {
    ResultsTable table = TableOf(1);
    CalculationCase small = ExampleCase();
    small.SkinDose = 4.96;  // stored as 5.0: the total adds what the table shows
    AddResultRow(table, small);
    const RecordingPrintSurface page = PrintPage(table, "テスト病院");
    EXPECT_EQ(page.TextsAt(192),
              (std::vector<std::string>{"計算モデル：従来式", "合 計", "350.6"}));
    EXPECT_EQ(page.FindText("350.6")->x1, 265);
    EXPECT_EQ(page.FindText("350.6")->font_size_pt, 9);

    ResultsTable one;
    small.SkinDose = 5.04;
    AddResultRow(one, small);
    EXPECT_EQ(PrintPage(one, "").TextsAt(192).back(), "05.0");

    // Values read from a file whose sum overflows: no "inf" on paper.
    ResultsTable absurd;
    ResultRow row = FormatResultRow(ExampleCase());
    row[ResultColumn::EntranceDose] = NumberCell(1e308);
    absurd.StoreRow(row);
    absurd.StoreRow(row);
    EXPECT_EQ(PrintPage(absurd, "").TextsAt(192).back(), "―");
}

TEST(PrintDoseTotal, RowsOfTwoModelsAreMarkedAndTotalledApart) {
    ResultsTable table;
    CalculationCase validated = ExampleCase(DoseModel::Validated);
    validated.SkinDose = 400;
    AddResultRow(table, validated);
    AddResultRow(table, ExampleCase(DoseModel::Legacy));
    const RecordingPrintSurface page = PrintPage(table, "");
    // Only the legacy row carries its mark, in the dose column left of the dose.
    EXPECT_EQ(page.TextsAt(43).size(), 15u);
    ASSERT_EQ(page.TextsAt(53).size(), 16u);
    EXPECT_EQ(page.FindText("従来")->x1, 256);
    EXPECT_EQ(page.FindText("従来")->y1, 53);
    EXPECT_EQ(page.TextsAt(192),
              (std::vector<std::string>{"計算モデル：検証済みモデル、「従来」の行は従来式",
                                        "合計（検証）", "400.0", "合計（従来）", "345.6"}));
    EXPECT_EQ(page.FindText("合計（従来）")->x1, 240);
    EXPECT_EQ(page.FindText("合計（検証）")->x1, 193);

    // One model: named below the table, no marks.
    const RecordingPrintSurface one = PrintPage(TableOf(2), "");
    EXPECT_EQ(one.FindText("従来"), nullptr);
    EXPECT_EQ(one.TextsAt(192).front(), "計算モデル：従来式");
}

TEST(PrintReportPage, AnEmptyTablePrintsFrameHeaderAndTitle) {
    const RecordingPrintSurface page = PrintPage(ResultsTable(), "テスト病院");
    EXPECT_EQ(page.Lines().size(), 35u);
    EXPECT_EQ(page.Texts().size(), 34u + 2u);
    for (const Op& op : page.Texts()) {
        EXPECT_LT(op.y1, 40) << op.text;  // header and title only
    }
    EXPECT_EQ(page.Of(Kind::End).size(), 1u);
    // Without a registered name the signature stands alone.
    EXPECT_NE(PrintPage(ResultsTable(), "").FindText("  with  Korvex-2"), nullptr);
}

TEST(PrintReportTitle, ALongUserNameStaysOnThePage) {
    // 24 Japanese characters: at 200 mm it would run 50 mm past the frame's right edge.
    const std::string facility = "国立医療研究センター病院放射線診療部医学物理室";
    RecordingPrintSurface page;
    PrintReportTitle(page, facility);
    const Op* moved = page.FindText(facility + "  with  Korvex-2");
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->font_size_pt, 12);
    EXPECT_LT(moved->x1, 200);
    page.SetFontSize(12);
    EXPECT_NEAR(moved->x1 + page.TextWidth(moved->text), 285, 1e-9);
    const Op* title = page.FindText(std::string(kReportTitle));
    EXPECT_GE(moved->x1, title->x1 + page.TextWidth(title->text));  // no overlap

    // Longer than the whole line: made smaller, still within the frame's width.
    std::string huge;
    for (int i = 0; i < 4; ++i) {
        huge += facility;
    }
    RecordingPrintSurface small;
    PrintReportTitle(small, huge);
    const Op* shrunk = small.FindText(huge + "  with  Korvex-2");
    ASSERT_NE(shrunk, nullptr);
    EXPECT_LT(shrunk->font_size_pt, 12);
    EXPECT_GT(shrunk->x1, 50);
    small.SetFontSize(shrunk->font_size_pt);
    EXPECT_LE(shrunk->x1 + small.TextWidth(shrunk->text), 285 + 1e-9);
}

}  // namespace
}  // namespace korvex
