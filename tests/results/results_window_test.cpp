#include "results/results_window.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <fstream>

#include "results/add_result_row.h"
#include "results/results_csv.h"
#include "results/results_dialogs.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/gui_support/fake_message_service.h"
#include "tests/gui_support/fake_printer_service.h"
#include "tests/gui_support/gui_test_support.h"
#include "tests/results/results_test_support.h"
#include "ui/canvas.h"
#include "ui/file_list.h"

namespace korvex {
namespace {

using testing::ExampleCase;
using testing::Find;
using testing::ProcessEvents;

class ResultsWindowTest : public ::testing::Test {
  protected:
    ResultsWindowTest() : window_(table_, user_name_, messages_, printer_, folder_.path()) {
        window_.show();
        ProcessEvents();
    }

    const std::vector<CanvasOperation>& Ops() { return Drawing()->Operations(); }

    // The texts drawn at height y, in drawing order.
    std::vector<QString> TextsAt(double y) {
        std::vector<QString> texts;
        for (const auto& op : Ops()) {
            if (op.kind == CanvasOperation::Kind::Text && op.y == y) {
                texts.push_back(op.text);
            }
        }
        return texts;
    }

    const CanvasOperation* FindText(const QString& text) {
        for (const auto& op : Ops()) {
            if (op.kind == CanvasOperation::Kind::Text && op.text == text) {
                return &op;
            }
        }
        return nullptr;
    }

    QPushButton* Button(const char* name) { return Find<QPushButton>(&window_, name); }
    Canvas* Drawing() { return Find<Canvas>(&window_, "Picture2"); }
    ResultsReadDialog* ReadDialog() { return Find<ResultsReadDialog>(&window_, "Form3"); }

    fixtures::TempFolder folder_;
    std::string user_name_ = "テスト病院";
    ResultsTable table_;
    testing::FakeMessageService messages_;
    testing::FakePrinterService printer_;
    ResultsWindow window_;
};

TEST_F(ResultsWindowTest, StartsWithTheEmptyDisplay) {
    EXPECT_EQ(window_.windowTitle(), "    Calculation Results by Korvex-2");
    const CanvasOperation* title = FindText("Korvex-2");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->x, 500);
    EXPECT_EQ(title->y, 350);
    EXPECT_EQ(title->color, QColor(192, 192, 192));
    EXPECT_EQ(title->font_size_pt, 28);
    EXPECT_EQ(title->font_name, "Times New Roman");
    const CanvasOperation* name = FindText("テスト病院");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->y, 500);
    EXPECT_EQ(name->font_name, "メイリオ");
    EXPECT_FALSE(Drawing()->GroupVisible("grid"));
    EXPECT_FALSE(Button("Command1")->isVisible());
    for (const char* button : {"Command5", "Command6", "Command4", "Command7"}) {
        EXPECT_TRUE(Button(button)->isVisible()) << button;
    }
}

TEST_F(ResultsWindowTest, FirstAddDrawsHeaderThenTheRow) {
    window_.AddResult(ExampleCase());
    const auto& ops = Ops();
    ASSERT_FALSE(ops.empty());
    // The empty display is gone; the header comes first.
    EXPECT_EQ(FindText("Korvex-2"), nullptr);
    EXPECT_EQ(ops.front().text, "対象部位");
    EXPECT_EQ(ops.front().x, 10);
    EXPECT_EQ(ops.front().y, 40);
    EXPECT_EQ(ops.front().font_size_pt, 9);
    EXPECT_EQ(ops.front().color, QColor(Qt::black));
    EXPECT_TRUE(Drawing()->GroupVisible("grid"));
    EXPECT_TRUE(Button("Command1")->isVisible());

    const std::vector<QString> row = TextsAt(120);
    EXPECT_EQ(row, (std::vector<QString>{"胸部背面", "80", "2.50", "1.00", "0.10", "65",
                                         "12.5cm平方", "250.0", "35.2", "240.0", "33.8", "1.065",
                                         "1.352", "345.6", "---"}));
    const CanvasOperation* material = FindText("---");
    ASSERT_NE(material, nullptr);
    EXPECT_EQ(material->x, 350);
    // Every header text precedes every row text.
    size_t last_header = 0;
    for (size_t i = 0; i < ops.size(); ++i) {
        if (ops[i].y < 100) {
            last_header = i;
        }
    }
    EXPECT_LT(last_header, ops.size() - row.size());
}

TEST_F(ResultsWindowTest, ArbitraryFilterNameAboveAndThicknessBelow) {
    CalculationCase calc = ExampleCase();
    calc.ArbitraryFilterOn = 1;
    calc.ArbitraryFilterMaterial = "lead";
    calc.ArbitraryFilterThickness = 0.01;  // cm
    window_.AddResult(calc);
    const CanvasOperation* name = FindText("lead");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->x, 330);
    EXPECT_EQ(name->y, 106);
    const auto below = TextsAt(130);
    ASSERT_EQ(below.size(), 1u);
    EXPECT_EQ(below[0], "0.10");
    EXPECT_EQ(FindText("---"), nullptr);
}

TEST_F(ResultsWindowTest, FifteenRowsThenTheTableIsFull) {
    for (int i = 1; i <= 15; ++i) {
        window_.AddResult(ExampleCase());
    }
    EXPECT_EQ(TextsAt(820).size(), 15u);
    EXPECT_EQ(table_.RowCount(), 15);
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_EQ(messages_.Texts()[0].toStdString(), kCapacityWarningText);
    EXPECT_EQ(messages_.BeepCount(), 1);
    EXPECT_EQ(messages_.Events().back().icon, MessageIcon::Exclamation);

    // A further add stores nothing and warns again.
    const size_t drawn = Ops().size();
    window_.AddResult(ExampleCase());
    EXPECT_EQ(table_.RowCount(), 15);
    EXPECT_EQ(Ops().size(), drawn);
    EXPECT_EQ(messages_.Texts().size(), 2u);
}

TEST_F(ResultsWindowTest, TotalDrawnTwiceShowsOneTotal) {
    CalculationCase first = ExampleCase();
    first.SkinDose = 4.96;  // stored as 5.0
    CalculationCase second = ExampleCase();
    second.SkinDose = 1.23;  // stored as 1.2
    window_.AddResult(first);
    window_.AddResult(second);
    Button("Command1")->click();
    window_.AddResult(second);
    Button("Command1")->click();

    std::vector<const CanvasOperation*> totals;
    for (size_t i = 0; i < Ops().size(); ++i) {
        const auto& op = Ops()[i];
        if (op.kind == CanvasOperation::Kind::Text && op.y == 860) {
            // Each total is drawn over a white box that erases the one before.
            ASSERT_GT(i, 0u);
            const auto& box = Ops()[i - 1];
            EXPECT_EQ(box.kind, CanvasOperation::Kind::FillRect);
            EXPECT_EQ(box.color, QColor(Qt::white));
            EXPECT_LE(box.x, op.x);
            EXPECT_EQ(box.y, 860);
            totals.push_back(&op);
        }
    }
    ASSERT_EQ(totals.size(), 2u);
    EXPECT_EQ(totals[0]->text, "6.2");
    EXPECT_EQ(totals[1]->text, "7.4");
    EXPECT_EQ(totals[1]->x, 1080);
}

TEST_F(ResultsWindowTest, RowsOfTwoModelsAreMarkedAndTotalledApart) {
    auto* models = Find<QLabel>(&window_, "Label2");
    EXPECT_EQ(models->text(), "");
    window_.AddResult(ExampleCase(DoseModel::Legacy));
    // One model: the strip names it, the row carries no mark.
    EXPECT_EQ(models->text(), "計算モデル：従来式");
    EXPECT_EQ(FindText("従来"), nullptr);

    CalculationCase validated = ExampleCase(DoseModel::Validated);
    validated.SkinDose = 400;
    window_.AddResult(validated);
    // The second model redraws the table: the legacy row now carries its mark beside the
    // dose, the validated one none.
    EXPECT_EQ(models->text(), "計算モデル：検証済みモデル、「従来」の行は従来式");
    ASSERT_NE(FindText("従来"), nullptr);
    EXPECT_EQ(FindText("従来")->x, 1044);
    EXPECT_EQ(FindText("従来")->y, 123);
    EXPECT_EQ(FindText("従来")->font_size_pt, 7);
    EXPECT_EQ(TextsAt(170).size(), 15u);
    EXPECT_EQ(FindText("対象部位")->y, 40);

    Button("Command1")->click();
    // One total each, under a white box that covers both lines, never their sum.
    EXPECT_EQ(FindText("745.6"), nullptr);
    EXPECT_EQ(TextsAt(854), (std::vector<QString>{"400.0"}));
    EXPECT_EQ(TextsAt(878), (std::vector<QString>{"345.6"}));
    EXPECT_EQ(TextsAt(857), (std::vector<QString>{"検証"}));
    EXPECT_EQ(TextsAt(881), (std::vector<QString>{"従来"}));

    messages_.AnswerNext(MessageAnswer::Ok);
    Button("Command7")->click();
    EXPECT_EQ(models->text(), "");
}

TEST_F(ResultsWindowTest, ClearAsksEvenWhenEmptyAndShowsTheEmptyDisplay) {
    QSignalSpy cleared(&window_, &ResultsWindow::tableCleared);
    messages_.AnswerNext(MessageAnswer::Cancel);
    Button("Command7")->click();
    EXPECT_EQ(messages_.BeepCount(), 1);
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_EQ(messages_.Texts()[0], "　現在表示されている計算結果は削除されます　");
    EXPECT_EQ(messages_.Events()[1].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(cleared.count(), 0);

    window_.AddResult(ExampleCase());
    messages_.AnswerNext(MessageAnswer::Cancel);
    Button("Command7")->click();
    EXPECT_EQ(table_.RowCount(), 1);
    EXPECT_EQ(TextsAt(120).size(), 15u);

    messages_.AnswerNext(MessageAnswer::Ok);
    Button("Command7")->click();
    EXPECT_EQ(table_.RowCount(), 0);
    EXPECT_EQ(cleared.count(), 1);
    EXPECT_TRUE(TextsAt(120).empty());
    EXPECT_NE(FindText("Korvex-2"), nullptr);
    EXPECT_FALSE(Drawing()->GroupVisible("grid"));
    EXPECT_FALSE(Button("Command1")->isVisible());
    // The next add starts the table anew at row 1.
    window_.AddResult(ExampleCase());
    EXPECT_EQ(TextsAt(120).size(), 15u);
}

TEST_F(ResultsWindowTest, SaveRefusesAnEmptyTableWithoutABeep) {
    Button("Command5")->click();
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_EQ(messages_.Texts()[0], "保存するデータがありません");
    EXPECT_EQ(messages_.Events()[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(messages_.BeepCount(), 0);
    EXPECT_FALSE(Find<ResultsSaveDialog>(&window_, "Form2")->isVisible());
}

TEST_F(ResultsWindowTest, SaveDialogChecksItsFieldsAndWritesTheFile) {
    window_.AddResult(ExampleCase());
    Button("Command5")->click();
    ResultsSaveDialog* dialog = Find<ResultsSaveDialog>(&window_, "Form2");
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), "  Data Save");
    auto* comment = Find<QLineEdit>(dialog, "Text2");
    auto* name = Find<QLineEdit>(dialog, "Text1");
    EXPECT_EQ(dialog->focusWidget(), comment);

    // Both fields are required.
    name->setText("series1");
    Find<QPushButton>(dialog, "Command1")->click();
    EXPECT_EQ(messages_.Texts().back(), "　コメントおよびファイル名を入力して下さい　");
    EXPECT_EQ(messages_.BeepCount(), 1);
    EXPECT_TRUE(dialog->isVisible());

    // Enter walks comment -> name -> OK.
    comment->setFocus();
    comment->setText("fluoroscopy, cine");
    QTest::keyClick(comment, Qt::Key_Return);
    EXPECT_EQ(dialog->focusWidget(), name);
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(dialog->focusWidget(), Find<QWidget>(dialog, "Command1"));

    // A refused name is reported; nothing is written and the dialog stays.
    name->setText("a/b");
    Find<QPushButton>(dialog, "Command1")->click();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / "a"));

    name->setText("series1");
    Find<QPushButton>(dialog, "Command1")->click();
    EXPECT_EQ(messages_.Texts().back(), "　計算結果を エクセル csv形式 で保存しました　");
    EXPECT_EQ(messages_.Events().back().icon, MessageIcon::None);
    EXPECT_FALSE(dialog->isVisible());
    const auto saved = ReadResultsCsv(folder_.path() / "series1.csv");
    EXPECT_EQ(saved.comment, "fluoroscopy, cine");
    EXPECT_EQ(saved.table.RowCount(), 1);

    // Reopened: fields empty, an existing name is taken from the list without ".csv".
    Button("Command5")->click();
    EXPECT_EQ(comment->text(), "");
    EXPECT_EQ(name->text(), "");
    auto* files = Find<FileList>(dialog, "File2");
    ASSERT_TRUE(files->SelectName("series1.csv"));
    EXPECT_EQ(name->text(), "series1");
}

TEST_F(ResultsWindowTest, ReadAsksFirstWhenRowsWouldBeLost) {
    Button("Command6")->click();
    EXPECT_TRUE(messages_.Events().empty());
    EXPECT_TRUE(ReadDialog()->isVisible());
    Find<QPushButton>(ReadDialog(), "Command2")->click();  // Cancel

    window_.AddResult(ExampleCase());
    messages_.AnswerNext(MessageAnswer::Cancel);
    Button("Command6")->click();
    EXPECT_EQ(messages_.BeepCount(), 1);
    EXPECT_EQ(messages_.Texts().back(),
              "　ファイル読出を行うと、現在表示されている計算結果は削除されます。");
    EXPECT_FALSE(ReadDialog()->isVisible());
    messages_.AnswerNext(MessageAnswer::Ok);
    Button("Command6")->click();
    EXPECT_TRUE(ReadDialog()->isVisible());
    EXPECT_EQ(table_.RowCount(), 1);
}

TEST_F(ResultsWindowTest, ReadReplacesTheTableOnlyWhenTheWholeFileReads) {
    ResultsTable saved;
    CalculationCase calc = ExampleCase();
    AddResultRow(saved, calc);
    calc.SkinDose = 12.34;
    AddResultRow(saved, calc);
    WriteResultsCsv(folder_.path() / "two.csv", "two rows, saved", saved);
    std::ofstream(folder_.path() / "broken.csv", std::ios::binary) << "comment\r\n 5 \r\nx\r\n";

    window_.AddResult(ExampleCase());
    const size_t drawn_before = Ops().size();
    messages_.AnswerNext(MessageAnswer::Ok);
    Button("Command6")->click();
    ResultsReadDialog* dialog = ReadDialog();
    EXPECT_EQ(dialog->windowTitle(), "  Data Read");

    // OK without a file.
    Find<QPushButton>(dialog, "Command1")->click();
    EXPECT_EQ(messages_.Texts().back(), "　ファイルを選択して下さい　");

    auto* files = Find<FileList>(dialog, "File1");
    ASSERT_TRUE(files->SelectName("broken.csv"));
    Find<QPushButton>(dialog, "Command1")->click();
    EXPECT_EQ(messages_.Texts().back(), "　*** このファイルは正しく読み込めません　***  ");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(table_.RowCount(), 1);
    EXPECT_EQ(Ops().size(), drawn_before);

    ASSERT_TRUE(files->SelectName("two.csv"));
    EXPECT_EQ(Find<QLineEdit>(dialog, "Text2")->text(), "two rows, saved");
    Find<QPushButton>(dialog, "Command1")->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(table_.RowCount(), 2);
    EXPECT_EQ(table_.NextRow(), 3);
    const auto second_row = TextsAt(170);
    ASSERT_EQ(second_row.size(), 15u);
    EXPECT_EQ(second_row[13], "12.3");  // the dose, drawn from the cell as read
    EXPECT_EQ(FindText("対象部位")->y, 40);
}

}  // namespace
}  // namespace korvex
