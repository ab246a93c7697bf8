#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QTableWidget>
#include <fstream>

#include "dose_report/dose_report_window.h"
#include "mainwindow/main_window.h"
#include "mainwindow/program_windows.h"
#include "results/add_result_row.h"
#include "results/results_csv.h"
#include "results/results_window.h"
#include "tests/fixtures/dose_report_fixtures.h"
#include "tests/fixtures/failing_writes.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"
#include "tests/gui_support/fake_message_service.h"
#include "tests/gui_support/fake_printer_service.h"
#include "tests/gui_support/gui_test_support.h"
#include "ui/canvas.h"
#include "ui/file_list.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using fixtures::ReadWholeFile;
using testing::Find;
using testing::ProcessEvents;

// The program as `korvex2 FILE...` starts it: the windows shown, then the files opened.
class GivenFilesTest : public ::testing::Test {
  protected:
    GivenFilesTest() {
        fixtures::WriteSyntheticWorkdir(folder_.path());
        fixtures::WriteTypicalDevice(folder_.path(), "room1.kvx2", "100.0");
        state_ = std::make_unique<ProgramState>(
            EngineState(LoadReferenceTables(folder_.path()), folder_.path()));
        windows_ = std::make_unique<ProgramWindows>(*state_, messages_, printer_);
        windows_->Show();
        ProcessEvents();
    }

    void Open(const std::vector<fs::path>& files) {
        QStringList arguments;
        for (const fs::path& file : files) {
            arguments.append(QString::fromStdString(file.string()));
        }
        windows_->OpenGivenFiles(arguments);
        ProcessEvents();
    }
    QWidget* Main() { return &windows_->Main(); }
    QString Chosen() { return Find<FileList>(Main(), "File1")->SelectedName(); }
    QString Isocentre() { return Find<QLabel>(Main(), "Label64")->text(); }
    fs::path Given(const std::string& name) { return elsewhere_.path() / name; }

    fixtures::TempFolder folder_;     // the working folder
    fixtures::TempFolder elsewhere_;  // where the user's files lie
    testing::FakeMessageService messages_;
    testing::FakePrinterService printer_;
    std::unique_ptr<ProgramState> state_;
    std::unique_ptr<ProgramWindows> windows_;
};

TEST_F(GivenFilesTest, ADeviceIsAddedToTheWorkingFolderWhenTheUserAgreesAndThenChosen) {
    fixtures::WriteTypicalDevice(elsewhere_.path(), "room2.kvx2", "90.0");
    messages_.AnswerNext(MessageAnswer::No);
    Open({Given("room2.kvx2")});
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_EQ(messages_.Events().back().buttons, MessageButtons::YesNo);
    EXPECT_EQ(messages_.Texts()[0],
              "装置データ「room2.kvx2」を作業フォルダーに追加して選択しますか？");
    EXPECT_FALSE(fs::exists(folder_.path() / "room2.kvx2"));
    EXPECT_EQ(Chosen(), "");

    messages_.AnswerNext(MessageAnswer::Yes);
    Open({Given("room2.kvx2")});
    EXPECT_EQ(ReadWholeFile(folder_.path() / "room2.kvx2"), ReadWholeFile(Given("room2.kvx2")));
    EXPECT_EQ(Chosen(), "room2.kvx2");
    EXPECT_EQ(Isocentre(), "90.0");  // loaded, as a click in the list loads it
    EXPECT_TRUE(messages_.AllAnswersUsed());
}

TEST_F(GivenFilesTest, ADeviceOfAnExistingNameIsChosenWhenIdenticalAndReplacedOnlyAfterAsking) {
    // The same bytes: nothing to ask, the folder's device is chosen.
    fs::copy_file(folder_.path() / "room1.kvx2", Given("room1.kvx2"));
    Open({Given("room1.kvx2")});
    EXPECT_TRUE(messages_.Texts().empty());
    EXPECT_EQ(Chosen(), "room1.kvx2");
    EXPECT_EQ(Isocentre(), "100.0");

    // Another room under that name: never replaced silently.
    fs::remove(Given("room1.kvx2"));
    fixtures::WriteTypicalDevice(elsewhere_.path(), "room1.kvx2", "90.0");
    const std::string folders = ReadWholeFile(folder_.path() / "room1.kvx2");
    messages_.AnswerNext(MessageAnswer::No);
    Open({Given("room1.kvx2")});
    EXPECT_EQ(messages_.Texts().back(),
              "作業フォルダーには内容の異なる同じ名前の装置データ「room1.kvx2」があります。\n"
              "作業フォルダーのファイルを開いたファイルで置き換えて選択しますか？");
    EXPECT_EQ(ReadWholeFile(folder_.path() / "room1.kvx2"), folders);
    EXPECT_EQ(Isocentre(), "100.0");

    // Replaced: the device chosen already is loaded again from its new file.
    messages_.AnswerNext(MessageAnswer::Yes);
    Open({Given("room1.kvx2")});
    EXPECT_EQ(ReadWholeFile(folder_.path() / "room1.kvx2"), ReadWholeFile(Given("room1.kvx2")));
    EXPECT_EQ(Chosen(), "room1.kvx2");
    EXPECT_EQ(Isocentre(), "90.0");
}

TEST_F(GivenFilesTest, AResultsFileOpensInTheResultsWindowAsItsReadButtonOpensIt) {
    ResultsTable saved;
    const CalculationCase calc = fixtures::CalculateTypicalExposure(folder_.path()).calc;
    AddResultRow(saved, calc);
    AddResultRow(saved, calc);
    WriteResultsCsv(Given("two.csv"), "two rows", saved);
    Open({Given("two.csv")});
    EXPECT_TRUE(messages_.Texts().empty());
    EXPECT_EQ(state_->results.RowCount(), 2);
    int texts = 0;
    for (const auto& op : Find<Canvas>(&windows_->Results(), "Picture2")->Operations()) {
        texts += op.kind == CanvasOperation::Kind::Text ? 1 : 0;
    }
    EXPECT_GT(texts, 30);  // both rows drawn, 15 cells each, besides the header

    // Rows on show are replaced only after the read button's question.
    AddResultRow(saved, calc);
    WriteResultsCsv(Given("three.csv"), "three rows", saved);
    messages_.AnswerNext(MessageAnswer::Cancel);
    Open({Given("three.csv")});
    EXPECT_EQ(messages_.Texts().back(),
              "　ファイル読出を行うと、現在表示されている計算結果は削除されます。");
    EXPECT_EQ(state_->results.RowCount(), 2);
    // A file that does not read whole leaves the table.
    std::ofstream(Given("broken.csv"), std::ios::binary) << "comment\r\n 5 \r\nx\r\n";
    messages_.AnswerNext(MessageAnswer::Ok);
    Open({Given("broken.csv")});
    EXPECT_EQ(messages_.Texts().back(), "　*** このファイルは正しく読み込めません　***  ");
    EXPECT_EQ(state_->results.RowCount(), 2);
}

TEST_F(GivenFilesTest, DoseReportsGivenTogetherOpenAsOneSetWithADeviceGivenWithThem) {
    fixtures::WriteDoseReportFile(Given("first.dcm"), fixtures::StandardReport());
    fixtures::FixtureReport second = fixtures::StandardReport();
    second.events = {fixtures::NumberedEvent(10), fixtures::NumberedEvent(11)};
    fixtures::WriteDoseReportFile(Given("IM000002"), second);
    fixtures::WriteTypicalDevice(elsewhere_.path(), "room2.kvx2", "90.0");
    messages_.AnswerNext(MessageAnswer::Yes);
    // The device comes last on the command line and is still the one the reports use.
    Open({Given("first.dcm"), Given("IM000002"), Given("room2.kvx2")});
    ASSERT_NE(windows_->DoseReport(), nullptr);
    QWidget* report = windows_->DoseReport();
    EXPECT_TRUE(report->isVisible());
    EXPECT_EQ(Find<QTableWidget>(report, "ReportEvents")->rowCount(), 5);
    EXPECT_EQ(Find<QComboBox>(report, "ReportDevice")->currentText(), "room2.kvx2");
    EXPECT_EQ(messages_.Texts().size(), 1u);  // the device's question only
}

TEST_F(GivenFilesTest, FilesThatCannotBeUsedAreToldAndTheOthersStillOpen) {
    std::ofstream(Given("notes.txt"), std::ios::binary) << "room 3: new tube\n";
    std::ofstream(Given("broken.kvx2"), std::ios::binary) << "room 3\r\n";
    fixtures::WriteTypicalDevice(elsewhere_.path(), "room2.kvx2", "90.0");
    messages_.AnswerNext(MessageAnswer::Yes);
    Open({Given("gone.kvx2"), Given("notes.txt"), Given("broken.kvx2"), Given("report.dcm"),
          Given("room2.kvx2")});
    const std::vector<QString> texts = messages_.Texts();
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[0], "ファイル「gone.kvx2」が見つかりません。");
    EXPECT_EQ(texts[1],
              "「notes.txt」は Korvex-2 で開けるファイルではありません。\n"
              "開けるのは装置データ（*.kvx2、*.kvx）、計算結果（*.csv）、線量レポート（DICOM "
              "RDSR）です。");
    EXPECT_NE(texts[2].indexOf("broken.kvx2"), -1);  // the device reader's own message
    EXPECT_FALSE(fs::exists(folder_.path() / "broken.kvx2"));
    EXPECT_EQ(texts[3], "ファイル「report.dcm」が見つかりません。");
    EXPECT_EQ(texts[4], "装置データ「room2.kvx2」を作業フォルダーに追加して選択しますか？");
    EXPECT_EQ(Chosen(), "room2.kvx2");
    EXPECT_EQ(windows_->DoseReport(), nullptr);
    for (const auto& event : messages_.Events()) {
        if (!event.beep && event.buttons == MessageButtons::Ok) {
            EXPECT_EQ(event.icon, MessageIcon::Exclamation) << event.text.toStdString();
        }
    }
}

}  // namespace
}  // namespace korvex
