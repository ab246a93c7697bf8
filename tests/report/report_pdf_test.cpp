// The report drawn by Qt into a PDF, read back with poppler's pdftotext: positions in the
// file must be the layout's millimetres moved to the placed origin.
#include "report/report_pdf.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <filesystem>
#include <fstream>

#include "engine/errors.h"
#include "report/report_painter.h"
#include "results/add_result_row.h"
#include "results/results_report.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/results/pdf_words.h"
#include "tests/results/results_test_support.h"

namespace korvex {
namespace {

using testing::FindWord;
using testing::kPointMm;
using testing::ReadAll;
using testing::Word;
using testing::Words;

ResultsTable FullTable() {
    ResultsTable table;
    for (int i = 0; i < 15; ++i) {
        CalculationCase calc = testing::ExampleCase();
        calc.SkinDose = 5.04 + 100 * i;
        AddResultRow(table, calc);
    }
    return table;
}

TEST(PlaceReport, CentresTheExtentAndRespectsThePrinterMargins) {
    // The results report's extent: 285 mm wide, inked from 12 to 196 mm.
    const PageExtent extent{285, 12, 196};
    // A4 landscape, 5 mm unprintable border: the extent is centred.
    const ReportPlacement a4 = PlaceReport(297, 210, {5, 5, 292, 205}, extent);
    EXPECT_DOUBLE_EQ(a4.scale, 1);
    EXPECT_DOUBLE_EQ(a4.origin_x_mm, 6);
    EXPECT_DOUBLE_EQ(a4.origin_y_mm + 12, 13);  // the title's top

    // A printer that cannot print the first 8 mm on the left: moved right, not cut.
    const ReportPlacement shifted = PlaceReport(297, 210, {8, 5, 296, 205}, extent);
    EXPECT_DOUBLE_EQ(shifted.origin_x_mm, 8);
    EXPECT_DOUBLE_EQ(shifted.scale, 1);

    // US Letter landscape (279.4 mm) is narrower than the table: shrunk to the area.
    const ReportPlacement letter = PlaceReport(279.4, 215.9, {6.35, 6.35, 273.05, 209.55}, extent);
    EXPECT_NEAR(letter.scale, (273.05 - 6.35) / 285, 1e-12);
    EXPECT_NEAR(letter.origin_x_mm, 6.35, 1e-9);
    EXPECT_LE(letter.origin_x_mm + 285 * letter.scale, 273.05 + 1e-9);
    EXPECT_GE(letter.origin_y_mm + 12 * letter.scale, 6.35);
    EXPECT_LE(letter.origin_y_mm + 196 * letter.scale, 209.55 + 1e-9);

    // A printable area that makes no sense falls back to the whole sheet.
    const ReportPlacement odd = PlaceReport(297, 210, {50, 50, 10, 10}, extent);
    EXPECT_DOUBLE_EQ(odd.origin_x_mm, 6);
    EXPECT_DOUBLE_EQ(odd.scale, 1);

    // A layout that set no extent is drawn unscaled from the sheet's corner, never divided
    // by zero.
    const ReportPlacement unset = PlaceReport(297, 210, {5, 5, 292, 205}, PageExtent{});
    EXPECT_DOUBLE_EQ(unset.scale, 1);
    EXPECT_DOUBLE_EQ(unset.origin_x_mm, 0);
}

class ReportPdfTest : public ::testing::Test {
  protected:
    fixtures::TempFolder folder_;
};

TEST_F(ReportPdfTest, TextsSitWhereTheLayoutPutsThemOnA4) {
    const std::filesystem::path pdf = folder_.path() / "report.pdf";
    WritePdfDocument(pdf, kReportTitle, ReportPageDrawing(FullTable(), "テスト病院"));
    QSizeF page;
    const std::vector<Word> words = Words(pdf, &page);
    EXPECT_NEAR(page.width(), 297, 0.5);  // landscape A4
    EXPECT_NEAR(page.height(), 210, 0.5);

    // Centred: origin 6 mm from the left, the title's top 13 mm from the top.
    const double left = 6, top = 1;
    const auto expect_at = [&](const char* text, double x, double y, int occurrence = 0) {
        const Word* word = FindWord(words, text, occurrence);
        ASSERT_NE(word, nullptr) << text;
        EXPECT_NEAR(word->x_min, left + x, 0.3) << text;
        EXPECT_NEAR(word->y_min, top + y, 0.3) << text;  // the top of the text, not its baseline
    };
    expect_at("IVR", 50, 12);
    expect_at("対象部位", 5, 30);
    expect_at("皮膚吸収線量", 260, 30);
    expect_at("胸部背面", 3, 183, 14);
    expect_at("1405.0", 265, 183);
    expect_at("05.0", 265, 43);
    expect_at("10575.0", 265, 192);  // the total
    const Word* name = FindWord(words, "テスト病院");
    ASSERT_NE(name, nullptr);
    EXPECT_NEAR(name->x_min, left + 200, 0.3);
    EXPECT_NEAR(name->y_max - name->y_min, 12 * kPointMm, 0.1);  // 12 pt

    // Nothing outside the report's box, so nothing is cut at the sheet's edge.
    for (const Word& word : words) {
        EXPECT_GE(word.x_min, left - 0.01) << word.text.toStdString();
        EXPECT_LE(word.x_max, left + 285) << word.text.toStdString();
        EXPECT_LE(word.y_max, top + 196) << word.text.toStdString();
    }
}

// A session saves many PDFs: the second must carry every glyph the first did.
TEST_F(ReportPdfTest, EveryPdfOfASessionHasEveryText) {
    std::vector<std::vector<QString>> texts;
    for (const char* name : {"first.pdf", "second.pdf", "third.pdf"}) {
        const std::filesystem::path pdf = folder_.path() / name;
        WritePdfDocument(pdf, kReportTitle, ReportPageDrawing(FullTable(), "テスト病院"));
        std::vector<QString> words;
        for (const Word& word : Words(pdf)) {
            words.push_back(word.text);
        }
        texts.push_back(words);
    }
    ASSERT_NE(FindWord(Words(folder_.path() / "first.pdf"), "Korvex-2"), nullptr);
    EXPECT_EQ(texts[1], texts[0]);
    EXPECT_EQ(texts[2], texts[0]);
}

TEST_F(ReportPdfTest, ALongUserNameEndsInsideTheFrameWidth) {
    const std::filesystem::path pdf = folder_.path() / "long.pdf";
    WritePdfDocument(
        pdf, kReportTitle,
        ReportPageDrawing(ResultsTable(), "国立医療研究センター病院放射線診療部医学物理室"));
    const std::vector<Word> words = Words(pdf);
    const Word* signature = FindWord(words, "Korvex-2");
    ASSERT_NE(signature, nullptr);
    EXPECT_LE(signature->x_max, 6 + 285 + 0.3);
    EXPECT_GT(signature->x_max, 6 + 285 - 2);  // moved left just enough
}

TEST_F(ReportPdfTest, TextWidthsAreInReportMillimetresOnAnySheet) {
    // On US Letter the report is shrunk to fit; its layout units stay millimetres.
    QByteArray a4_bytes, letter_bytes;
    QBuffer a4_buffer(&a4_bytes), letter_buffer(&letter_bytes);
    a4_buffer.open(QIODevice::WriteOnly);
    letter_buffer.open(QIODevice::WriteOnly);
    QPdfWriter a4(&a4_buffer), letter(&letter_buffer);
    a4.setPageSize(QPageSize(QPageSize::A4));
    letter.setPageSize(QPageSize(QPageSize::Letter));
    for (QPdfWriter* writer : {&a4, &letter}) {
        writer->setPageMargins(QMarginsF(0, 0, 0, 0));
    }
    PainterPrintSurface on_a4(a4), on_letter(letter);
    for (PainterPrintSurface* surface : {&on_a4, &on_letter}) {
        surface->SetOrientation(PageOrientation::Landscape);
        surface->SetExtent(kReportExtent);
        surface->SetFontName(kPrintFontName);
        surface->SetFontSize(9);
    }
    // Ten full-width characters of a 9 pt face: ten ems of 3.175 mm.
    const std::string ten = "皮膚吸収線量皮膚吸収";
    EXPECT_NEAR(on_a4.TextWidth(ten), 31.75, 0.5);
    EXPECT_NEAR(on_letter.TextWidth(ten), on_a4.TextWidth(ten), 0.05);
    on_a4.EndDocument();
    on_letter.EndDocument();
    EXPECT_FALSE(on_a4.Failed());
    EXPECT_FALSE(on_letter.Failed());
}

TEST_F(ReportPdfTest, WritingReplacesTheFileWholeOrReportsTheFailure) {
    const std::filesystem::path pdf = folder_.path() / "report.pdf";
    std::ofstream(pdf) << "old";
    WritePdfDocument(pdf, kReportTitle, ReportPageDrawing(FullTable(), "テスト病院"));
    EXPECT_EQ(ReadAll(pdf).substr(0, 5), "%PDF-");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.path()), {}), 1);

    const std::filesystem::path missing = folder_.path() / "gone" / "report.pdf";
    try {
        WritePdfDocument(missing, kReportTitle, ReportPageDrawing(FullTable(), "テスト病院"));
        FAIL() << "a file in a missing folder was reported as written";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("report.pdf"), std::string::npos);
    }
}

}  // namespace
}  // namespace korvex

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
