#include "dose_report/dose_report_window.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <cstdio>
#include <fstream>

#include "dose_report/group_result_row.h"
#include "engine/dose_uncertainty.h"
#include "engine/reference_tables.h"
#include "engine/text_rules.h"
#include "mainwindow/main_window.h"
#include "mainwindow/program_windows.h"
#include "results/add_result_row.h"
#include "results/results_window.h"
#include "tests/fixtures/dose_report_fixtures.h"
#include "tests/fixtures/failing_writes.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"
#include "tests/gui_support/fake_message_service.h"
#include "tests/gui_support/fake_printer_service.h"
#include "tests/gui_support/gui_test_support.h"
#include "ui/file_list.h"

namespace korvex {
namespace {

using testing::Find;
using testing::ProcessEvents;

class DoseReportWindowTest : public ::testing::Test {
  protected:
    DoseReportWindowTest() {
        fixtures::WriteSyntheticWorkdir(folder_.path());
        fixtures::WriteTypicalDevice(folder_.path());
        fixtures::WriteTypicalDevice(folder_.path(), "near.kvx2", "65.2");
        report_ = folder_.path() / "standard.dcm";
        fixtures::WriteDoseReportFile(report_, fixtures::StandardReport());
        state_ = std::make_unique<ProgramState>(
            EngineState(LoadReferenceTables(folder_.path()), folder_.path()));
        windows_ = std::make_unique<ProgramWindows>(*state_, messages_, printer_);
        windows_->SetReportFileChooser([this](QWidget*) { return chosen_; });
        windows_->Show();
        ProcessEvents();
    }

    QWidget* Main() { return &windows_->Main(); }
    QWidget* Report() { return windows_->DoseReport(); }
    QTableWidget* Table(const char* name) { return Find<QTableWidget>(Report(), name); }
    QString EventCell(int row, int column) {
        return Table("ReportEvents")->item(row, column)->text();
    }
    void Open(const QStringList& files) {
        chosen_ = files;
        Find<QPushButton>(Main(), "CommandDoseReport")->click();
        ProcessEvents();
    }
    void CheckGroup(int row) { Table("ReportGroups")->item(row, 0)->setCheckState(Qt::Checked); }

    fixtures::TempFolder folder_;
    std::filesystem::path report_;
    QStringList chosen_;
    testing::FakeMessageService messages_;
    testing::FakePrinterService printer_;
    std::unique_ptr<ProgramState> state_;
    std::unique_ptr<ProgramWindows> windows_;
};

TEST_F(DoseReportWindowTest, OpenedReportShowsItsEventsAndAddsGroupsAsRows) {
    Find<FileList>(Main(), "File1")->SelectName("room1.kvx2");
    const QString main_kv = Find<QLineEdit>(Main(), "Text5")->text();
    const CalculationCase main_case = state_->engine.calc;
    Open({QString::fromStdString(report_.string())});
    ASSERT_NE(Report(), nullptr);
    EXPECT_TRUE(Report()->isVisible());
    EXPECT_TRUE(messages_.Texts().empty());
    EXPECT_EQ(Find<QComboBox>(Report(), "ReportDevice")->currentText(), "room1.kvx2");
    // Each event at its own distance: the field stays empty until a distance for all is typed.
    EXPECT_EQ(Find<QLineEdit>(Report(), "ReportFsd")->text(), "");

    QTableWidget* events = Table("ReportEvents");
    ASSERT_EQ(events->rowCount(), 3);
    EXPECT_EQ(EventCell(0, 0), "10:00:00");
    EXPECT_EQ(EventCell(0, 1), "撮影");
    EXPECT_EQ(EventCell(0, 3), "80.0");
    EXPECT_EQ(EventCell(0, 4), "0.20");
    EXPECT_EQ(EventCell(0, 6), "10.00");
    EXPECT_EQ(EventCell(0, 11), "LAO 30 CRA 10");
    EXPECT_EQ(EventCell(0, 10),
              QString::fromStdString(
                  FormatNumber(windows_->DoseReport()->Result().events[0].focus_skin_distance_cm,
                               "##0.0") +
                  " 幾何"));
    const ReportCalculation& result = windows_->DoseReport()->Result();
    EXPECT_EQ(EventCell(2, 13),
              QString::fromStdString(FormatNumber(result.events[2].calc.SkinDose, "####0.0")));
    ASSERT_EQ(Table("ReportGroups")->rowCount(), 2);
    // The map's page: the picture and what it says, beside the grouped bound.
    const QLabel* map = Find<QLabel>(Report(), "ReportMap");
    EXPECT_FALSE(map->pixmap().isNull());
    EXPECT_GT(map->pixmap().width(), 600);
    const QString map_text = Find<QLabel>(Report(), "ReportMapSummary")->text();
    EXPECT_NE(map_text.indexOf(QString::fromStdString(
                  "最大皮膚線量 " + FormatNumber(result.skin_map.map.peak.dose_mgy, "####0"))),
              -1)
        << map_text.toStdString();
    EXPECT_NE(map_text.indexOf("マップのイベント 3 件"), -1) << map_text.toStdString();
    EXPECT_NE(Find<QLabel>(Report(), "ReportSummary")->text().indexOf("35.0 mGy"), -1);
    EXPECT_NE(Find<QLabel>(Report(), "ReportFlags")->text().indexOf("ICRP Publication 85"), -1);

    CheckGroup(0);
    CheckGroup(1);
    Find<QPushButton>(Report(), "ReportAdd")->click();
    ASSERT_EQ(state_->results.RowCount(), 2);
    const ResultRow& first = state_->results.Row(1);
    EXPECT_EQ(first[ResultColumn::Site].Text(), "LAO 30 CRA 10");
    EXPECT_EQ(first[ResultColumn::KarShown].Text(), "30.0");
    EXPECT_EQ(first[ResultColumn::PkaShown].Text(), "02.5");
    EXPECT_EQ(first[ResultColumn::Field].Text(), "---");
    EXPECT_EQ(
        first[ResultColumn::EntranceDose].Text(),
        FormatNumber(result.events[0].calc.SkinDose + result.events[1].calc.SkinDose, "###0.0"));
    EXPECT_EQ(state_->results.Row(2)[ResultColumn::Site].Text(), "RAO 30 CAU 20");
    EXPECT_EQ(state_->results.Row(2)[ResultColumn::KarShown].Text(), "05.0");
    // Added groups are unchecked, so a second click asks for a choice instead of adding.
    Find<QPushButton>(Report(), "ReportAdd")->click();
    EXPECT_EQ(state_->results.RowCount(), 2);
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_EQ(messages_.Texts()[0], "表に追加する投影にチェックを入れて下さい。");

    // The main window's inputs and case are those from before.
    EXPECT_EQ(Find<QLineEdit>(Main(), "Text5")->text(), main_kv);
    EXPECT_EQ(state_->engine.calc.AddedCopper, main_case.AddedCopper);
    EXPECT_EQ(state_->engine.calc.TubeVoltage, main_case.TubeVoltage);
    EXPECT_EQ(state_->engine.calc.SkinDose, main_case.SkinDose);
}

TEST_F(DoseReportWindowTest, DistanceAndDeviceRecalculateAndWrongInputIsTold) {
    Open({QString::fromStdString(report_.string())});
    ASSERT_NE(Report(), nullptr);
    const QString at_own = EventCell(0, 13);
    auto* fsd = Find<QLineEdit>(Report(), "ReportFsd");
    fsd->setFocus();
    fsd->setText("70");
    QTest::keyClick(fsd, Qt::Key_Return);
    EXPECT_EQ(windows_->DoseReport()->Result().events[0].focus_skin_distance_cm, 70);
    EXPECT_NE(EventCell(0, 13), at_own);
    EXPECT_EQ(EventCell(0, 10), "70.0 指定");

    // The typed distance stays when the device changes.
    auto* device = Find<QComboBox>(Report(), "ReportDevice");
    device->setCurrentIndex(device->findText("near.kvx2"));
    emit device->activated(device->currentIndex());
    EXPECT_EQ(windows_->DoseReport()->Result().device_file, "near.kvx2");
    EXPECT_EQ(fsd->text(), "70");

    fsd->setText("abc");
    QTest::keyClick(fsd, Qt::Key_Return);
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_EQ(messages_.Texts()[0], "焦点-入射表面間距離「abc」は正の数 (cm) で指定して下さい。");
    EXPECT_EQ(fsd->text(), "70");  // the last distance that worked

    // A file that is no dose report is told; the shown report stays.
    const std::filesystem::path other = folder_.path() / "other.dcm";
    fixtures::WriteDoseReportFile(other, fixtures::NotDoseReport());
    Open({QString::fromStdString(other.string())});
    ASSERT_EQ(messages_.Texts().size(), 2u);
    EXPECT_EQ(messages_.Texts()[1],
              "「other.dcm」は X 線線量構造化レポート（RDSR）ではありません。");
    EXPECT_EQ(Table("ReportEvents")->rowCount(), 3);
}

TEST_F(DoseReportWindowTest, TheMainWindowsModelCalculatesTheReportAndIsNamed) {
    Open({QString::fromStdString(report_.string())});
    ASSERT_NE(Report(), nullptr);
    auto* summary = Find<QLabel>(Report(), "ReportSummary");
    const ReportSummary validated = windows_->DoseReport()->Result().summary;
    EXPECT_NE(summary->text().indexOf("計算モデル: 検証済みモデル"), -1);
    EXPECT_NE(summary->text().indexOf(QString::fromStdString(
                  UncertaintyText(validated.peak_skin_dose_uncertainty) + "（k = 2）")),
              -1);
    EXPECT_GT(validated.peak_skin_dose_uncertainty, 0);

    // Choosing the legacy formula on the main window calculates the open report again.
    testing::ChooseInList(windows_->Main().findChild<QComboBox*>("Combo2"), "従来式");
    const ReportCalculation& legacy = windows_->DoseReport()->Result();
    EXPECT_EQ(legacy.model, DoseModel::Legacy);
    EXPECT_EQ(legacy.events[0].calc.Model, DoseModel::Legacy);
    EXPECT_NE(legacy.summary.peak_skin_dose_mgy, validated.peak_skin_dose_mgy);
    EXPECT_NE(summary->text().indexOf("計算モデル: 従来式"), -1);
    EXPECT_EQ(summary->text().indexOf("k = 2"), -1);

    // Its groups go into the table as rows of the legacy formula.
    CheckGroup(0);
    Find<QPushButton>(Report(), "ReportAdd")->click();
    ASSERT_EQ(state_->results.RowCount(), 1);
    EXPECT_EQ(state_->results.Row(1).Model(), DoseModel::Legacy);
}

TEST_F(DoseReportWindowTest, EveryEventsNotesAreShownAndCounted) {
    const std::filesystem::path notes = folder_.path() / "notes.dcm";
    fixtures::WriteDoseReportFile(notes, fixtures::RealWorldNotesReport());
    Open({QString::fromStdString(notes.string())});
    ASSERT_NE(Report(), nullptr);
    QTableWidget* events = Table("ReportEvents");
    ASSERT_EQ(events->columnCount(), 14);
    EXPECT_EQ(events->horizontalHeaderItem(12)->text(), "注記");
    // The first note in the cell, all of them with the values as read in its tooltip.
    EXPECT_EQ(EventCell(0, 12),
              "2 件: 第一角度は規格の単位 deg ではなく「°」で書かれています（換算して使います）");
    EXPECT_NE(events->item(0, 12)->toolTip().indexOf("（-10 °）"), -1)
        << events->item(0, 12)->toolTip().toStdString();
    EXPECT_EQ(EventCell(6, 11), "角度不明");
    EXPECT_NE(EventCell(6, 12).indexOf("単位「gon」は使えません"), -1);
    EXPECT_EQ(EventCell(5, 13), "Ka,r（線量(RP)）がありません");
    EXPECT_NE(Find<QLabel>(Report(), "ReportSummary")->text().indexOf("注記: 9 件（7 イベント"),
              -1);
    // One Japanese line per note in the tooltip, none of the English texts.
    const QString tooltip = events->item(0, 12)->toolTip();
    EXPECT_EQ(tooltip.split("\n").size(), 2);
    EXPECT_EQ(tooltip.count("・"), 2);
    EXPECT_EQ(tooltip.indexOf("is given in"), -1);
    // Calculating again with another device shows the same notes, not twice as many.
    auto* device = Find<QComboBox>(Report(), "ReportDevice");
    device->setCurrentIndex(device->findText("near.kvx2"));
    emit device->activated(device->currentIndex());
    ASSERT_EQ(windows_->DoseReport()->Result().device_file, "near.kvx2");
    EXPECT_EQ(events->item(0, 12)->toolTip(), tooltip);
    EXPECT_NE(Find<QLabel>(Report(), "ReportSummary")->text().indexOf("注記: 9 件（7 イベント"),
              -1);
    // A standard report's events have none.
    Open({QString::fromStdString(report_.string())});
    EXPECT_EQ(EventCell(0, 12), "");
}

TEST_F(DoseReportWindowTest, GroupsThatDoNotFitTheTableAreNotAddedAtAll) {
    Open({QString::fromStdString(report_.string())});
    ASSERT_NE(Report(), nullptr);
    const ResultRow row = GroupResultRow(windows_->DoseReport()->Result(), 0);
    for (int i = 0; i < 14; ++i) {
        AddFormattedRow(state_->results, row);
    }
    CheckGroup(0);
    CheckGroup(1);
    Find<QPushButton>(Report(), "ReportAdd")->click();
    EXPECT_EQ(state_->results.RowCount(), 14);
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_EQ(messages_.Texts()[0],
              "結果表の空きは 1 行で、選んだ 2 個の投影は入りません。"
              "結果表を保存して消去してから追加して下さい。");
    // One fits: stored, with the table's own warning at its 15th row.
    Table("ReportGroups")->item(1, 0)->setCheckState(Qt::Unchecked);
    Find<QPushButton>(Report(), "ReportAdd")->click();
    EXPECT_EQ(state_->results.RowCount(), 15);
    ASSERT_EQ(messages_.Texts().size(), 2u);
    EXPECT_EQ(messages_.Texts()[1].toStdString(), std::string(kCapacityWarningText));
}

TEST_F(DoseReportWindowTest, CancelledDialogOpensNothing) {
    Open({});
    EXPECT_EQ(Report(), nullptr);
    EXPECT_TRUE(messages_.Texts().empty());
}

// The printed report through the printer service: the window built with the test's fake,
// which draws each document into a PDF in memory.
class DoseReportPrintTest : public ::testing::Test {
  protected:
    DoseReportPrintTest() {
        fixtures::WriteTypicalDevice(folder_.path());
        report_ = folder_.path() / "standard.dcm";
        fixtures::WriteDoseReportFile(report_, fixtures::StandardReport());
        results_window_ = std::make_unique<ResultsWindow>(results_, user_name_, messages_, printer_,
                                                          folder_.path());
        window_ = std::make_unique<DoseReportWindow>(tables_, folder_.path(), results_,
                                                     *results_window_, messages_, &printer_);
        EXPECT_TRUE(window_->Open({report_}, "room1.kvx2"));
    }

    void Click(const char* name) {
        Find<QPushButton>(window_.get(), name)->click();
        ProcessEvents();
    }

    // The words of a PDF as pdftotext (poppler-utils) reads them, blanks left out.
    std::string PdfText(const std::string& bytes) {
        const std::filesystem::path pdf = folder_.path() / "read.pdf";
        std::ofstream(pdf, std::ios::binary) << bytes;
        std::string text;
        FILE* pipe = popen(("pdftotext -raw '" + pdf.string() + "' -").c_str(), "r");
        if (pipe == nullptr) {
            return text;
        }
        for (int c; (c = fgetc(pipe)) != EOF;) {
            if (c != ' ' && c != '\n' && c != '\f') {
                text += static_cast<char>(c);
            }
        }
        EXPECT_EQ(pclose(pipe), 0) << "pdftotext (poppler-utils) is needed";
        return text;
    }

    fixtures::TempFolder folder_;
    // The working folder is written before its tables are loaded.
    ReferenceTables tables_ = LoadReferenceTables([this] {
        fixtures::WriteSyntheticWorkdir(folder_.path());
        return folder_.path();
    }());
    std::filesystem::path report_;
    ResultsTable results_;
    std::string user_name_ = "テスト病院";
    testing::FakeMessageService messages_;
    testing::FakePrinterService printer_;
    std::unique_ptr<ResultsWindow> results_window_;
    std::unique_ptr<DoseReportWindow> window_;
};

TEST_F(DoseReportPrintTest, PrintAndPreviewSendThePagesThePatientOnlyWhenChecked) {
    EXPECT_FALSE(Find<QLabel>(window_.get(), "ReportBarChart")->pixmap().isNull());
    auto* with_patient = Find<QCheckBox>(window_.get(), "ReportWithPatient");
    EXPECT_FALSE(with_patient->isChecked());

    Click("ReportPrint");
    EXPECT_EQ(printer_.DocumentPrints(), 1);
    ASSERT_EQ(printer_.Document().rfind("%PDF", 0), 0u);
    std::string text = PdfText(printer_.Document());
    EXPECT_NE(text.find("線量レポート（皮膚線量の推定）"), std::string::npos) << text;
    EXPECT_NE(text.find("LAO30CRA10"), std::string::npos);
    EXPECT_EQ(text.find("SYN0001"), std::string::npos);

    with_patient->setChecked(true);
    Click("ReportPreview");
    EXPECT_EQ(printer_.DocumentPreviews(), 1);
    text = PdfText(printer_.Document());
    EXPECT_NE(text.find("患者IDSYN0001"), std::string::npos) << text;
    EXPECT_TRUE(messages_.Texts().empty());

    // A printer that fails is told, never taken for printed.
    printer_.SetResult(PrintResult::Failed);
    Click("ReportPrint");
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_NE(messages_.Texts()[0].indexOf("印刷できませんでした"), -1);
}

TEST_F(DoseReportPrintTest, ThePdfIsSavedWhereChosenAndAFailedWriteIsTold) {
    const std::filesystem::path pdf = folder_.path() / "out" / "report.pdf";
    std::filesystem::create_directories(pdf.parent_path());
    printer_.ChooseNextPdf(pdf);
    Click("ReportSavePdf");
    ASSERT_EQ(printer_.PdfSuggestions().size(), 1u);
    EXPECT_EQ(printer_.PdfSuggestions()[0], folder_.path() / "線量レポート.pdf");
    EXPECT_EQ(fixtures::ReadWholeFile(pdf).rfind("%PDF", 0), 0u);
    EXPECT_TRUE(messages_.Texts().empty());

    // Cancelled: nothing written, nothing said; the next dialog opens where the last PDF went.
    printer_.ChooseNextPdf(std::nullopt);
    Click("ReportSavePdf");
    EXPECT_EQ(printer_.PdfSuggestions()[1], pdf.parent_path() / "線量レポート.pdf");
    EXPECT_TRUE(messages_.Texts().empty());

    const std::filesystem::path lost = folder_.path() / "missing" / "lost.pdf";
    printer_.ChooseNextPdf(lost);
    Click("ReportSavePdf");
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_NE(messages_.Texts()[0].indexOf("lost.pdf"), -1) << messages_.Texts()[0].toStdString();
    EXPECT_FALSE(std::filesystem::exists(lost));

    // Without a printer, printing offers the PDF instead.
    messages_.Forget();
    printer_.SetInstalled(false);
    messages_.AnswerNext(MessageAnswer::Yes);
    const std::filesystem::path offered = folder_.path() / "offered.pdf";
    printer_.ChooseNextPdf(offered);
    Click("ReportPrint");
    EXPECT_EQ(printer_.DocumentPrints(), 0);
    EXPECT_TRUE(std::filesystem::exists(offered));
    EXPECT_TRUE(messages_.AllAnswersUsed());
}

}  // namespace
}  // namespace korvex
