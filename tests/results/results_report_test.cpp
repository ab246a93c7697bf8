#include "results/results_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <tuple>
#include <utility>

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

constexpr double kMmPerPt = 25.4 / 72;

// What a text covers under the recording surface's model of the Mincho face: its advance
// width across, one em down from its top-left corner.
struct Box {
    double left, top, right, bottom;
    std::string text;
};

Box TextBox(RecordingPrintSurface& page, const Op& op) {
    page.SetFontSize(op.font_size_pt);
    return {op.x1, op.y1, op.x1 + page.TextWidth(op.text), op.y1 + op.font_size_pt * kMmPerPt,
            op.text};
}

std::vector<Box> TextBoxes(RecordingPrintSurface& page) {
    std::vector<Box> boxes;
    for (const Op& op : page.Texts()) {
        boxes.push_back(TextBox(page, op));
    }
    return boxes;
}

// Top and bottom of what a text list covers.
std::pair<double, double> VerticalRange(const std::vector<Box>& boxes) {
    double top = boxes.front().top;
    double bottom = boxes.front().bottom;
    for (const Box& box : boxes) {
        top = std::min(top, box.top);
        bottom = std::max(bottom, box.bottom);
    }
    return {top, bottom};
}

// The heights of the rules that run across the whole table, top to bottom.
std::vector<double> FullWidthRules(const RecordingPrintSurface& page) {
    std::set<double> heights;
    for (const Op& op : page.Lines()) {
        if (op.y1 == op.y2 && std::min(op.x1, op.x2) == 0 &&
            std::max(op.x1, op.x2) == page.Extent().width_mm) {
            heights.insert(op.y1);
        }
    }
    return {heights.begin(), heights.end()};
}

bool Inside(double value, double low, double high) {
    return value >= low - 1e-9 && value <= high + 1e-9;
}

// Everything drawn lies inside the extent the layout declares: the sheet is placed, and
// shrunk, by that extent, so ink outside it can fall off the paper.
void ExpectInsideExtent(RecordingPrintSurface& page) {
    const PageExtent& extent = page.Extent();
    ASSERT_GT(extent.width_mm, 0);
    for (const Op& op : page.Lines()) {
        for (const auto& [x, y] : {std::pair(op.x1, op.y1), std::pair(op.x2, op.y2)}) {
            EXPECT_TRUE(Inside(x, 0, extent.width_mm) && Inside(y, extent.top_mm, extent.bottom_mm))
                << "line end (" << x << ", " << y << ")";
        }
    }
    for (const Box& box : TextBoxes(page)) {
        EXPECT_TRUE(Inside(box.left, 0, extent.width_mm) && Inside(box.right, 0, extent.width_mm) &&
                    Inside(box.top, extent.top_mm, extent.bottom_mm) &&
                    Inside(box.bottom, extent.top_mm, extent.bottom_mm))
            << box.text << " at (" << box.left << ", " << box.top << ")";
    }
}

// No rule runs through a text: each text fits the cell it is printed in.
void ExpectNoRuleThroughAText(RecordingPrintSurface& page) {
    const std::vector<Op> lines = page.Lines();
    for (const Box& box : TextBoxes(page)) {
        for (const Op& line : lines) {
            const double low_x = std::min(line.x1, line.x2), high_x = std::max(line.x1, line.x2);
            const double low_y = std::min(line.y1, line.y2), high_y = std::max(line.y1, line.y2);
            const bool vertical_through = line.x1 == line.x2 && line.x1 > box.left &&
                                          line.x1 < box.right && low_y < box.bottom &&
                                          high_y > box.top;
            const bool horizontal_through = line.y1 == line.y2 && line.y1 > box.top &&
                                            line.y1 < box.bottom && low_x < box.right &&
                                            high_x > box.left;
            EXPECT_FALSE(vertical_through || horizontal_through)
                << box.text << " at (" << box.left << ", " << box.top << ") crossed by (" << line.x1
                << ", " << line.y1 << ")-(" << line.x2 << ", " << line.y2 << ")";
        }
    }
}

// No text is printed over another. The lines of a header cell are set 3 mm apart, less than
// the 3.175 mm em of 9 pt; the ink of a Mincho face stays inside its ideographic face box
// of about 0.9 em, so texts that share columns need 0.9 em between their tops.
void ExpectNoTextsOverlap(RecordingPrintSurface& page) {
    const std::vector<Box> boxes = TextBoxes(page);
    for (size_t i = 0; i < boxes.size(); ++i) {
        for (size_t j = i + 1; j < boxes.size(); ++j) {
            const Box& a = boxes[i];
            const Box& b = boxes[j];
            const double em = std::min(a.bottom - a.top, b.bottom - b.top);
            const bool share_columns = a.left < b.right && b.left < a.right;
            EXPECT_FALSE(share_columns && std::abs(a.top - b.top) < 0.9 * em)
                << a.text << " at (" << a.left << ", " << a.top << ") and " << b.text << " at ("
                << b.left << ", " << b.top << ")";
        }
    }
}

// A line or a text printed twice is darker on paper and says the layout ran a step twice.
void ExpectNothingDrawnTwice(const RecordingPrintSurface& page) {
    std::set<std::tuple<double, double, double, double>> lines;
    for (const Op& op : page.Lines()) {
        const auto forward = std::tuple(op.x1, op.y1, op.x2, op.y2);
        const auto backward = std::tuple(op.x2, op.y2, op.x1, op.y1);
        EXPECT_FALSE(lines.count(forward) || lines.count(backward))
            << "line (" << op.x1 << ", " << op.y1 << ")-(" << op.x2 << ", " << op.y2 << ")";
        lines.insert(forward);
    }
    std::set<std::tuple<double, double, std::string>> texts;
    for (const Op& op : page.Texts()) {
        EXPECT_TRUE(texts.insert({op.x1, op.y1, op.text}).second) << op.text;
    }
}

void ExpectSoundPage(RecordingPrintSurface& page) {
    ExpectInsideExtent(page);
    ExpectNoRuleThroughAText(page);
    ExpectNoTextsOverlap(page);
    ExpectNothingDrawnTwice(page);
}

// A full table of both models, every row with a filter of a chosen material on the
// second model's rows and the longest texts the cells hold.
ResultsTable CrowdedTable() {
    ResultsTable table;
    for (int slot = 1; slot <= 15; ++slot) {
        CalculationCase calc = ExampleCase(slot % 2 ? DoseModel::Legacy : DoseModel::Validated);
        calc.SkinDose = 9999.9;
        calc.DisplayedKar = 9999.9;
        if (slot % 2 == 0) {
            calc.ArbitraryFilterOn = 1;
            calc.ArbitraryFilterMaterial = "lead";
            calc.ArbitraryFilterThickness = 0.05;  // cm
        }
        AddResultRow(table, calc);
    }
    return table;
}

TEST(PrintReportPage, AFullTableOfTwoModelsStaysInsideItsExtentAndItsCells) {
    RecordingPrintSurface page = PrintPage(CrowdedTable(), "国立医療研究センター病院放射線診療部");
    ASSERT_EQ(page.Operations().front().kind, Kind::Orientation);
    EXPECT_EQ(page.Operations().front().orientation, PageOrientation::Landscape);
    EXPECT_EQ(page.Of(Kind::End).size(), 1u);
    EXPECT_EQ(page.Operations().back().kind, Kind::End);
    ExpectSoundPage(page);

    RecordingPrintSurface one_model = PrintPage(TableOf(15), "テスト病院");
    ExpectSoundPage(one_model);
}

TEST(PrintTableFrame, TheFrameIsClosedHeavyAndHoldsEveryRule) {
    RecordingPrintSurface page;
    PrintTableFrame(page);
    ExpectSoundPage(page);
    const std::vector<Op> lines = page.Lines();
    ASSERT_GE(lines.size(), 4u);
    // Four heavy edges drawn on from one another, ending where they began.
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(lines[i].line_width, 5) << i;
        EXPECT_EQ(lines[i].continued, i > 0) << i;
    }
    EXPECT_EQ(std::pair(lines[3].x2, lines[3].y2), std::pair(lines[0].x1, lines[0].y1));
    const double left = std::min({lines[0].x1, lines[1].x1, lines[2].x1, lines[3].x1});
    const double right = std::max({lines[0].x1, lines[1].x1, lines[2].x1, lines[3].x1});
    const double top = std::min({lines[0].y1, lines[1].y1, lines[2].y1, lines[3].y1});
    const double bottom = std::max({lines[0].y1, lines[1].y1, lines[2].y1, lines[3].y1});
    EXPECT_EQ(right - left, page.Extent().width_mm);  // the frame is the table's width
    for (const Op& op : lines) {
        EXPECT_TRUE(Inside(op.x1, left, right) && Inside(op.x2, left, right) &&
                    Inside(op.y1, top, bottom) && Inside(op.y2, top, bottom));
        EXPECT_TRUE(op.line_width == 5 || op.line_width == 1);
    }
    // The header is set in the Mincho face at 9 pt, above the first rule under the frame top.
    const std::vector<double> rules = FullWidthRules(page);
    ASSERT_GE(rules.size(), 2u);
    for (const Box& box : TextBoxes(page)) {
        EXPECT_GT(box.top, rules[0]) << box.text;
        EXPECT_LT(box.bottom, rules[1]) << box.text;
    }
    for (const Op& op : page.Texts()) {
        EXPECT_EQ(op.font_name, "ＭＳ 明朝") << op.text;
        EXPECT_EQ(op.font_size_pt, 9) << op.text;
    }
}

TEST(PrintResultRow, EachRowHasABandOfItsOwnBelowTheHeaderInsideTheFrame) {
    const ResultsTable table = CrowdedTable();
    RecordingPrintSurface frame;
    PrintTableFrame(frame);
    const std::vector<double> rules = FullWidthRules(frame);
    ASSERT_GE(rules.size(), 17u);  // frame top, header bottom, 14 row rules, frame bottom
    double previous_bottom = rules[1];
    for (int slot = 1; slot <= 15; ++slot) {
        RecordingPrintSurface row;
        row.SetFontSize(kPrintTableFontPt);
        PrintResultRow(row, table, slot);
        const auto [top, bottom] = VerticalRange(TextBoxes(row));
        EXPECT_GE(top, previous_bottom) << slot;
        // The band between two consecutive rules holds the whole row.
        const auto below = std::upper_bound(rules.begin(), rules.end(), top);
        ASSERT_NE(below, rules.end()) << slot;
        ASSERT_NE(below, rules.begin()) << slot;
        EXPECT_GE(top, *(below - 1)) << slot;
        EXPECT_LE(bottom, *below) << slot;
        EXPECT_EQ(below - rules.begin(), slot + 1) << "row " << slot << " in the wrong band";
        previous_bottom = bottom;
    }
}

TEST(PrintResultRow, PrintsEachCellWithItsPattern) {
    ResultsTable table = TableOf(1);
    CalculationCase small = ExampleCase();
    small.TubeVoltage = 7;
    small.SkinDose = 5.04;  // stored as 5.0, printed with two integer digits
    small.DisplayedKar = 5.24;
    AddResultRow(table, small);

    RecordingPrintSurface first;
    PrintResultRow(first, table, 1);
    std::vector<std::string> texts;
    for (const Op& op : first.Texts()) {
        texts.push_back(op.text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"胸部背面", "80", "2.50", "1.00", "0.10", "65",
                                               "12.5cm平方", "250.0", "35.2", "240.0", "33.8",
                                               "1.065", "1.352", "345.6", "―"}));
    // One line: every cell at the same height.
    for (const Op& op : first.Texts()) {
        EXPECT_EQ(op.y1, first.Texts().front().y1) << op.text;
    }

    RecordingPrintSurface second;
    PrintResultRow(second, table, 2);
    const std::vector<Op> row = second.Texts();
    ASSERT_EQ(row.size(), 15u);
    EXPECT_EQ(row[1].text, "07");
    EXPECT_EQ(row[7].text, "05.2");
    EXPECT_EQ(row[13].text, "05.0");
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
    const std::vector<Op> texts = page.Texts();
    ASSERT_EQ(texts.size(), 15u);
    EXPECT_EQ(texts[1].text, "07");
    EXPECT_EQ(texts[5].text, "65");
    EXPECT_EQ(texts[13].text, "05.0");
}

TEST(PrintResultRow, MaterialAboveAndThicknessBelowTheRowLineInTheBarsColumn) {
    ResultsTable table = TableOf(1);
    CalculationCase filtered = ExampleCase();
    filtered.ArbitraryFilterOn = 1;
    filtered.ArbitraryFilterMaterial = "lead";
    filtered.ArbitraryFilterThickness = 0.05;  // cm
    AddResultRow(table, filtered);

    RecordingPrintSurface plain;
    PrintResultRow(plain, table, 1);
    RecordingPrintSurface page;
    PrintResultRow(page, table, 2);
    const Op* bar = plain.FindText(std::string(kPrintNoMaterial));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(page.FindText(std::string(kPrintNoMaterial)), nullptr);  // no bar on this row
    const Op* material = page.FindText("lead");
    const Op* thickness = page.FindText("0.50");
    ASSERT_NE(material, nullptr);
    ASSERT_NE(thickness, nullptr);
    const double row_line = page.Texts().front().y1;
    EXPECT_LT(material->y1, row_line);
    EXPECT_GT(thickness->y1, row_line);
    // Both in the column of the bar: no rule of the frame between them and it.
    RecordingPrintSurface frame;
    PrintTableFrame(frame);
    for (const Op& line : frame.Lines()) {
        if (line.x1 == line.x2) {
            for (const Op* text : {material, thickness}) {
                const double low = std::min(text->x1, bar->x1);
                const double high = std::max(text->x1, bar->x1);
                EXPECT_FALSE(line.x1 > low && line.x1 < high) << text->text;
            }
        }
    }
}

TEST(PrintReportPage, TitleAndUserNameShareALineAboveTheTable) {
    RecordingPrintSurface page = PrintPage(TableOf(2), "テスト病院");
    const Op* title = page.FindText(kReportTitle);
    const Op* signature = page.FindText("テスト病院  with  Korvex-2");
    ASSERT_NE(title, nullptr);
    ASSERT_NE(signature, nullptr);
    EXPECT_EQ(title->font_size_pt, 12);
    EXPECT_EQ(signature->font_size_pt, 12);
    EXPECT_EQ(signature->font_name, "ＭＳ 明朝");
    EXPECT_EQ(signature->y1, title->y1);
    EXPECT_GT(signature->x1, TextBox(page, *title).right);
    EXPECT_LE(TextBox(page, *title).bottom, FullWidthRules(page).front());

    const std::vector<Op>& ops = page.Operations();
    EXPECT_EQ(ops.back().kind, Kind::End);
    EXPECT_EQ(ops.back().font_size_pt, 9);  // set back for the table
}

// The texts of PrintDoseTotal alone, at the table font.
RecordingPrintSurface TotalsOf(const ResultsTable& table) {
    RecordingPrintSurface totals;
    totals.SetFontName(kPrintFontName);
    totals.SetFontSize(kPrintTableFontPt);
    PrintDoseTotal(totals, table);
    return totals;
}

std::vector<std::string> TextsOf(const RecordingPrintSurface& page) {
    std::vector<std::string> texts;
    for (const Op& op : page.Texts()) {
        texts.push_back(op.text);
    }
    return texts;
}

TEST(PrintDoseTotal, SumOfTheRoundedDosesBelowTheLastRowInTheDoseColumn) {
    ResultsTable table = TableOf(1);
    CalculationCase small = ExampleCase();
    small.SkinDose = 4.96;  // stored as 5.0: the total adds what the table shows
    AddResultRow(table, small);
    RecordingPrintSurface totals = TotalsOf(table);
    EXPECT_EQ(TextsOf(totals), (std::vector<std::string>{"計算モデル：従来式", "合 計", "350.6"}));
    EXPECT_EQ(totals.FindText("350.6")->font_size_pt, 9);

    // Under the rows' doses, below the frame and the last row.
    RecordingPrintSurface page = PrintPage(CrowdedTable(), "");
    RecordingPrintSurface last_row;
    last_row.SetFontSize(kPrintTableFontPt);
    PrintResultRow(last_row, table, 2);
    const Op* row_dose = last_row.FindText("05.0");
    ASSERT_NE(row_dose, nullptr);
    EXPECT_EQ(totals.FindText("350.6")->x1, row_dose->x1);
    RecordingPrintSurface crowded_totals = TotalsOf(CrowdedTable());
    RecordingPrintSurface fifteenth;
    fifteenth.SetFontSize(kPrintTableFontPt);
    PrintResultRow(fifteenth, CrowdedTable(), 15);
    const double totals_top = VerticalRange(TextBoxes(crowded_totals)).first;
    EXPECT_GE(totals_top, VerticalRange(TextBoxes(fifteenth)).second);
    EXPECT_GE(totals_top, FullWidthRules(page).back());

    ResultsTable one;
    small.SkinDose = 5.04;
    AddResultRow(one, small);
    EXPECT_EQ(TextsOf(TotalsOf(one)).back(), "05.0");

    // Values read from a file whose sum overflows: no "inf" on paper.
    ResultsTable absurd;
    ResultRow row = FormatResultRow(ExampleCase());
    row[ResultColumn::EntranceDose] = NumberCell(1e308);
    absurd.StoreRow(row);
    absurd.StoreRow(row);
    EXPECT_EQ(TextsOf(TotalsOf(absurd)).back(), "―");
    EXPECT_TRUE(TotalsOf(ResultsTable()).Texts().empty());
}

TEST(PrintDoseTotal, RowsOfTwoModelsAreMarkedAndTotalledApart) {
    ResultsTable table;
    CalculationCase validated = ExampleCase(DoseModel::Validated);
    validated.SkinDose = 400;
    AddResultRow(table, validated);
    AddResultRow(table, ExampleCase(DoseModel::Legacy));
    // Only the legacy row carries its mark, left of its dose.
    RecordingPrintSurface first;
    PrintResultRow(first, table, 1);
    RecordingPrintSurface second;
    PrintResultRow(second, table, 2);
    EXPECT_EQ(first.FindText("検証"), nullptr);
    const Op* mark = second.FindText("従来");
    const Op* dose = second.FindText("345.6");
    ASSERT_NE(mark, nullptr);
    ASSERT_NE(dose, nullptr);
    EXPECT_EQ(mark->y1, dose->y1);
    EXPECT_LT(mark->x1, dose->x1);

    EXPECT_EQ(TextsOf(TotalsOf(table)),
              (std::vector<std::string>{"計算モデル：検証済みモデル、「従来」の行は従来式",
                                        "合計（検証）", "400.0", "合計（従来）", "345.6"}));
    RecordingPrintSurface page = PrintPage(table, "");
    ExpectSoundPage(page);

    // One model: named below the table, no marks.
    const RecordingPrintSurface one = PrintPage(TableOf(2), "");
    EXPECT_EQ(one.FindText("従来"), nullptr);
    EXPECT_EQ(TextsOf(TotalsOf(TableOf(2))).front(), "計算モデル：従来式");
}

// The English page: every text the page draws itself is English (the rows' own texts are
// the table's, here ASCII), within the same frame and cells as the Japanese one.
TEST(PrintReportPage, TheEnglishPageHasNoJapaneseOfItsOwn) {
    ResultsTable table;
    CalculationCase validated = ExampleCase(DoseModel::Validated);
    validated.BodySite = "Head";
    AddResultRow(table, validated);
    CalculationCase legacy = ExampleCase(DoseModel::Legacy);
    legacy.BodySite = "Head";
    AddResultRow(table, legacy);
    RecordingPrintSurface page;
    PrintReportPage(page, table, "IVR Dosimetry", UserLanguage::English);
    ExpectSoundPage(page);
    for (const Op& op : page.Of(Kind::Text)) {
        // UTF-8 lead bytes of kana, CJK punctuation and ideographs (U+3000..U+9FFF) and of
        // the full-width forms (U+F000..).
        const bool ascii_or_symbol = std::none_of(op.text.begin(), op.text.end(), [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return (byte >= 0xE3 && byte <= 0xE9) || byte == 0xEF;
        });
        EXPECT_TRUE(ascii_or_symbol) << op.text;
    }
    EXPECT_NE(page.FindText(std::string(kReportTitleEnglish)), nullptr);
    EXPECT_NE(page.FindText("Dose model: Validated model; rows marked \"Leg.\": Legacy formula"),
              nullptr);
    EXPECT_NE(page.FindText("Total (Leg.)"), nullptr);
    EXPECT_NE(page.FindText("Site"), nullptr);
    EXPECT_NE(page.FindText("12.5cm sq"), nullptr);
}

TEST(PrintReportPage, AnEmptyTablePrintsFrameHeaderAndTitleOnly) {
    RecordingPrintSurface page = PrintPage(ResultsTable(), "テスト病院");
    RecordingPrintSurface frame;
    PrintTableFrame(frame);
    EXPECT_EQ(page.Lines().size(), frame.Lines().size());
    const double header_bottom = FullWidthRules(frame)[1];
    for (const Op& op : page.Texts()) {
        EXPECT_LT(op.y1, header_bottom) << op.text;  // header and title only
    }
    EXPECT_EQ(page.Texts().size(), frame.Texts().size() + 2);
    EXPECT_EQ(page.Of(Kind::End).size(), 1u);
    ExpectSoundPage(page);
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
    EXPECT_NEAR(moved->x1 + page.TextWidth(moved->text), kReportWidthMm, 1e-9);
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
    EXPECT_LE(shrunk->x1 + small.TextWidth(shrunk->text), kReportWidthMm + 1e-9);
}

}  // namespace
}  // namespace korvex
