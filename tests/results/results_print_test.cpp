#include <gtest/gtest.h>

#include <QPrinter>
#include <QPushButton>
#include <filesystem>
#include <fstream>

#include "report/qt_text.h"
#include "report/report_painter.h"
#include "results/add_result_row.h"
#include "results/results_report.h"
#include "results/results_window.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/gui_support/fake_message_service.h"
#include "tests/gui_support/fake_printer_service.h"
#include "tests/gui_support/gui_test_support.h"
#include "tests/results/pdf_words.h"
#include "tests/results/recording_print_surface.h"
#include "tests/results/results_test_support.h"

namespace korvex {
namespace {

using testing::Find;
using testing::ProcessEvents;
using Kind = testing::RecordingPrintSurface::Operation::Kind;

const QString kReady = QString::fromUtf8("　プリンターは準備できていますか？　");

std::string FileStart(const std::filesystem::path& path, size_t bytes) {
    std::ifstream in(path, std::ios::binary);
    std::string start(bytes, '\0');
    in.read(start.data(), static_cast<std::streamsize>(bytes));
    start.resize(static_cast<size_t>(in.gcount()));
    return start;
}

class ResultsPrintTest : public ::testing::Test {
  protected:
    ResultsPrintTest() : window_(table_, user_name_, messages_, printer_, folder_.path()) {
        window_.show();
        ProcessEvents();
    }

    void AddRows(int rows) {
        for (int i = 0; i < rows; ++i) {
            window_.AddResult(testing::ExampleCase());
        }
        messages_.Forget();
    }
    void Click(const char* name) {
        Find<QPushButton>(&window_, name)->click();
        ProcessEvents();
    }

    fixtures::TempFolder folder_;
    std::string user_name_ = "テスト病院";
    ResultsTable table_;
    testing::FakeMessageService messages_;
    testing::FakePrinterService printer_;
    ResultsWindow window_;
};

TEST_F(ResultsPrintTest, NoToTheQuestionPrintsNothing) {
    AddRows(2);
    messages_.AnswerNext(MessageAnswer::No);
    Click("Command4");
    ASSERT_EQ(messages_.Events().size(), 1u);
    EXPECT_EQ(messages_.Events()[0].text, kReady);
    EXPECT_EQ(messages_.Events()[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(messages_.Events()[0].icon, MessageIcon::None);
    EXPECT_EQ(printer_.Previews(), 0);
    EXPECT_TRUE(printer_.PdfSuggestions().empty());
}

TEST_F(ResultsPrintTest, YesPreviewsThePageOfTheTableAndTheUserName) {
    AddRows(2);
    const ResultsTable before = table_;
    messages_.AnswerNext(MessageAnswer::Yes);
    Click("Command4");
    EXPECT_EQ(messages_.Texts(), std::vector<QString>{kReady});
    ASSERT_EQ(printer_.Previews(), 1);
    const auto& page = printer_.Page();
    EXPECT_EQ(page.TextsAt(43).front(), "胸部背面");
    EXPECT_EQ(page.TextsAt(53).size(), 15u);
    EXPECT_TRUE(page.TextsAt(63).empty());
    EXPECT_NE(page.FindText("テスト病院  with  Korvex-2"), nullptr);
    EXPECT_EQ(page.Operations().back().kind, Kind::End);
    EXPECT_EQ(table_, before);  // printing changes nothing

    // The name the program holds now, not the one it had when the window opened.
    user_name_ = "ゲストユーザー";
    messages_.AnswerNext(MessageAnswer::Yes);
    Click("Command4");
    EXPECT_NE(printer_.Page().FindText("ゲストユーザー  with  Korvex-2"), nullptr);
}

TEST_F(ResultsPrintTest, AFailedPrintIsReported) {
    AddRows(1);
    printer_.SetResult(PrintResult::Failed);
    messages_.AnswerNext(MessageAnswer::Yes);
    Click("Command4");
    ASSERT_EQ(messages_.Texts().size(), 2u);
    EXPECT_EQ(messages_.Texts()[1],
              QString::fromUtf8("　印刷できませんでした。プリンターの状態を確かめて下さい。　"));
    EXPECT_EQ(messages_.Events().back().icon, MessageIcon::Exclamation);

    // Cancelling the preview is the user's choice, not a failure.
    messages_.Forget();
    printer_.SetResult(PrintResult::Cancelled);
    messages_.AnswerNext(MessageAnswer::Yes);
    Click("Command4");
    EXPECT_EQ(messages_.Texts(), std::vector<QString>{kReady});
}

TEST_F(ResultsPrintTest, WithoutAPrinterThePdfIsOffered) {
    AddRows(3);
    printer_.SetInstalled(false);
    messages_.AnswerNext(MessageAnswer::No);
    Click("Command4");
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_EQ(messages_.BeepCount(), 1);
    EXPECT_TRUE(messages_.Texts()[0].contains(QString::fromUtf8("プリンターが見つかりません")));
    EXPECT_EQ(messages_.Events().back().buttons, MessageButtons::YesNo);
    EXPECT_EQ(printer_.Previews(), 0);
    EXPECT_TRUE(printer_.PdfSuggestions().empty());

    const std::filesystem::path pdf = folder_.path() / "report.pdf";
    printer_.ChooseNextPdf(pdf);
    messages_.AnswerNext(MessageAnswer::Yes);
    Click("Command4");
    ASSERT_EQ(printer_.PdfSuggestions().size(), 1u);
    EXPECT_EQ(printer_.PdfSuggestions()[0], folder_.path() / "結果表.pdf");
    EXPECT_EQ(FileStart(pdf, 5), "%PDF-");
}

TEST_F(ResultsPrintTest, PdfButtonWritesTheFileAndRemembersItsFolder) {
    AddRows(1);
    const std::filesystem::path other = folder_.path() / "reports";
    std::filesystem::create_directories(other);
    printer_.ChooseNextPdf(other / "series.pdf");
    Click("Command8");
    EXPECT_TRUE(messages_.Events().empty());
    EXPECT_EQ(FileStart(other / "series.pdf", 5), "%PDF-");

    printer_.ChooseNextPdf(std::nullopt);  // cancelled: nothing written, nothing said
    Click("Command8");
    ASSERT_EQ(printer_.PdfSuggestions().size(), 2u);
    EXPECT_EQ(printer_.PdfSuggestions()[1], other / "結果表.pdf");
    EXPECT_TRUE(messages_.Events().empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(other), {}), 1);
}

TEST_F(ResultsPrintTest, AFailedPdfWriteIsReportedWithTheFileName) {
    AddRows(1);
    printer_.ChooseNextPdf(folder_.path() / "no such folder" / "lost.pdf");
    Click("Command8");
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_TRUE(messages_.Texts()[0].contains("lost.pdf"));
    EXPECT_EQ(messages_.Events().back().icon, MessageIcon::Exclamation);
    // The folder of a failed file is not remembered.
    printer_.ChooseNextPdf(std::nullopt);
    Click("Command8");
    EXPECT_EQ(printer_.PdfSuggestions().back(), folder_.path() / "結果表.pdf");
}

// The printer path (QPrinter in full-page mode) places the page as the PDF writer does;
// Qt's PDF output stands in for a printer that is not there.
TEST(PrinterPage, FullPagePrinterPutsTheReportInsideTheSheet) {
    fixtures::TempFolder folder;
    const std::filesystem::path pdf = folder.path() / "printer.pdf";
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(ToQString(pdf.string()));
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setFullPage(true);
    ResultsTable table;
    AddResultRow(table, testing::ExampleCase());
    {
        PainterPrintSurface surface(printer);
        PrintReportPage(surface, table, "テスト病院");
        EXPECT_FALSE(surface.Failed());
    }
    QSizeF page;
    const std::vector<testing::Word> words = testing::Words(pdf, &page);
    EXPECT_NEAR(page.width(), 297, 0.5);  // turned to landscape by the report

    // Each word where the layout put it, moved as PlaceReport places the report on a sheet
    // printable to its edges. 0.3 mm: pdftotext's boxes start at the glyph's side bearing.
    testing::RecordingPrintSurface layout;
    PrintReportPage(layout, table, "テスト病院");
    const ReportPlacement placed = PlaceReport(page.width(), page.height(),
                                               {0, 0, page.width(), page.height()}, kReportExtent);
    for (const auto& [word, text] :
         {std::pair("IVR", std::string(kReportTitle)), std::pair("345.6", std::string("345.6"))}) {
        const testing::Word* printed = testing::FindWord(words, word);
        const auto* laid_out = layout.FindText(text);
        ASSERT_NE(printed, nullptr) << word;
        ASSERT_NE(laid_out, nullptr) << word;
        EXPECT_NEAR(printed->x_min, placed.origin_x_mm + placed.scale * laid_out->x1, 0.3) << word;
        EXPECT_NEAR(printed->y_min, placed.origin_y_mm + placed.scale * laid_out->y1, 0.3) << word;
    }
}

}  // namespace
}  // namespace korvex
