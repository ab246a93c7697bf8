#include "mainwindow/program_windows.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "engine/text_file.h"
#include "mainwindow/main_window.h"
#include "results/add_result_row.h"
#include "results/results_window.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"
#include "tests/gui_support/fake_message_service.h"
#include "tests/gui_support/fake_printer_service.h"
#include "tests/gui_support/gui_test_support.h"
#include "ui/canvas.h"
#include "ui/file_list.h"

namespace korvex {
namespace {

using testing::Find;
using testing::ProcessEvents;

class ProgramWindowsTest : public ::testing::Test {
  protected:
    ProgramWindowsTest() {
        fixtures::WriteSyntheticWorkdir(folder_.path());
        fixtures::WriteTypicalDevice(folder_.path());
        state_ = std::make_unique<ProgramState>(
            EngineState(LoadReferenceTables(folder_.path()), folder_.path()));
        windows_ = std::make_unique<ProgramWindows>(*state_, messages_, printer_);
        windows_->Show();
        ProcessEvents();
        Find<FileList>(Main(), "File1")->SelectName("room1.kvx2");
        Enter("Text14", "10");
        Enter("Text15", "1");
        Find<QRadioButton>(Main(), "Option2")->click();
    }

    QWidget* Main() { return &windows_->Main(); }
    QPushButton* MainButton(const char* name) { return Find<QPushButton>(Main(), name); }
    void Enter(const char* field, const QString& text) {
        auto* edit = Find<QLineEdit>(Main(), field);
        edit->setFocus();
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    int RowsDrawnAt(double y) {
        int texts = 0;
        for (const auto& op : Find<Canvas>(&windows_->Results(), "Picture2")->Operations()) {
            texts += op.kind == CanvasOperation::Kind::Text && op.y == y ? 1 : 0;
        }
        return texts;
    }

    fixtures::TempFolder folder_;
    testing::FakeMessageService messages_;
    testing::FakePrinterService printer_;
    std::unique_ptr<ProgramState> state_;
    std::unique_ptr<ProgramWindows> windows_;
};

TEST_F(ProgramWindowsTest, BothWindowsOpenAtStartUp) {
    EXPECT_EQ(Find<QLabel>(Main(), "Label64")->text(), "100.0");  // the device was loaded
    EXPECT_TRUE(Main()->isVisible());
    EXPECT_TRUE(windows_->Results().isVisible());
    EXPECT_EQ(state_->results.RowCount(), 0);
}

TEST_F(ProgramWindowsTest, EachCalculationCanBeAddedOnce) {
    MainButton("Command2")->click();
    ASSERT_TRUE(MainButton("Command3")->isEnabled());
    MainButton("Command3")->click();
    EXPECT_EQ(state_->results.RowCount(), 1);
    EXPECT_EQ(RowsDrawnAt(120), 15);
    EXPECT_FALSE(MainButton("Command3")->isEnabled());
    // The stored row is the calculation as shown.
    EXPECT_EQ(state_->results.Cell(1, ResultColumn::EntranceDose).StoredText(),
              Find<QLabel>(Main(), "Label74")->text().toStdString());
    EXPECT_EQ(state_->results.Cell(1, ResultColumn::Field).StoredText(), "10.0cm平方");
}

TEST_F(ProgramWindowsTest, TheFifteenthAddWarnsAndClearingClosesTheAddButton) {
    for (int i = 0; i < 15; ++i) {
        MainButton("Command2")->click();
        MainButton("Command3")->click();
    }
    EXPECT_EQ(state_->results.RowCount(), 15);
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_EQ(messages_.Texts()[0].toStdString(), kCapacityWarningText);

    MainButton("Command2")->click();
    EXPECT_TRUE(MainButton("Command3")->isEnabled());
    messages_.AnswerNext(MessageAnswer::Ok);
    Find<QPushButton>(&windows_->Results(), "Command7")->click();
    EXPECT_EQ(state_->results.RowCount(), 0);
    EXPECT_FALSE(MainButton("Command3")->isEnabled());
}

}  // namespace
}  // namespace korvex
