#include "mainwindow/user_name_windows.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <fstream>
#include <sstream>

#include "engine/text_file.h"
#include "mainwindow/illustrations.h"
#include "mainwindow/main_window.h"
#include "mainwindow/program_windows.h"
#include "results/results_window.h"
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

using testing::Find;
using testing::ProcessEvents;

const QString kStart = "  Korvex-2  ( Korvex, version 2 )";
const QColor kLightGrey(192, 192, 192);

// One text of the results window's drawing, as the tests compare it.
struct Drawn {
    QString text;
    double x, y;
    QString font;
    double size;
    QColor color;
    bool operator==(const Drawn&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Drawn& d) {
    return out << d.text.toStdString() << " at (" << d.x << ", " << d.y << ") "
               << d.font.toStdString() << " " << d.size << " " << d.color.name().toStdString();
}

class UserNameWindowsTest : public ::testing::Test {
  protected:
    UserNameWindowsTest() {
        fixtures::WriteSyntheticWorkdir(folder_.path());
        fixtures::WriteTypicalDevice(folder_.path());
        reference_ = Bytes();
        Start();
    }

    // A start of the program on the folder as it is now.
    void Start() {
        windows_.reset();
        state_ = std::make_unique<ProgramState>(
            EngineState(LoadReferenceTables(folder_.path()), folder_.path()));
        windows_ = std::make_unique<ProgramWindows>(*state_, messages_, printer_);
        windows_->Show();
        ProcessEvents();
    }

    std::string Bytes() const {
        std::ifstream in(folder_.path() / "Primary.dat", std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        return content.str();
    }
    void StoreName(const std::string& name) {
        std::ofstream(folder_.path() / "Primary.dat", std::ios::binary | std::ios::trunc)
            << reference_ << EncodeCp932(name, "Primary.dat") << "\r\n";
    }

    MainWindow* Main() { return &windows_->Main(); }
    QPushButton* Button(const char* name) { return Find<QPushButton>(Main(), name); }
    UserNameWindow* Form(const char* name) { return Find<UserNameWindow>(Main(), name); }
    QLineEdit* NameField(const char* form) { return Find<QLineEdit>(Form(form), "Text1"); }
    void Press(const char* form, const char* button) {
        Find<QPushButton>(Form(form), button)->click();
        ProcessEvents();
    }
    void DoubleClickMascot() {
        QTest::mouseDClick(Find<MascotPicture>(Main(), "Picture1"), Qt::LeftButton);
        ProcessEvents();
    }
    QString ResultsLabel() { return Find<QLabel>(&windows_->Results(), "Label1")->text(); }
    Canvas* Drawing() { return Find<Canvas>(&windows_->Results(), "Picture2"); }
    std::vector<Drawn> DrawnTexts() {
        std::vector<Drawn> texts;
        for (const CanvasOperation& op : Drawing()->Operations()) {
            if (op.kind == CanvasOperation::Kind::Text) {
                texts.push_back({op.text, op.x, op.y, op.font_name, op.font_size_pt, op.color});
            }
        }
        return texts;
    }
    // The watermark alone, at the heights of the given moment.
    void ExpectWatermark(double product_y, const QString& name, double name_y) {
        std::vector<Drawn> expected{
            {"Korvex-2", 500, product_y, "Times New Roman", 28, kLightGrey}};
        if (!name.isEmpty()) {
            expected.push_back({name, 500, name_y, "メイリオ", 28, kLightGrey});
        }
        EXPECT_EQ(DrawnTexts(), expected);
        // The table is drawn afterwards in black at 9 pt.
        EXPECT_EQ(Drawing()->TextColor(), QColor(Qt::black));
        EXPECT_EQ(Drawing()->FontSize(), 9);
        EXPECT_EQ(Drawing()->FontName(), "メイリオ");
    }
    void ExpectWelcomeState() {
        EXPECT_EQ(Main()->windowTitle(), kStart);
        EXPECT_TRUE(Button("Command8")->isVisible());
        for (const char* closed : {"Command2", "Command3", "Command6"}) {
            EXPECT_FALSE(Button(closed)->isEnabled()) << closed;
        }
        EXPECT_TRUE(Button("Command1")->isEnabled());
        EXPECT_EQ(ResultsLabel(), "User name");
        EXPECT_EQ(state_->user_name, "");
    }
    void Enter(const char* field, const QString& text) {
        auto* edit = Find<QLineEdit>(Main(), field);
        edit->setFocus();
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    fixtures::TempFolder folder_;
    std::string reference_;
    testing::FakeMessageService messages_;
    testing::FakePrinterService printer_;
    std::unique_ptr<ProgramState> state_;
    std::unique_ptr<ProgramWindows> windows_;
};

TEST_F(UserNameWindowsTest, FirstRunWelcomesAndTheWelcomeWindowDoesNotBlock) {
    ExpectWelcomeState();
    ExpectWatermark(350, {}, 0);
    EXPECT_FALSE(Form("Form15")->isVisible());

    Button("Command8")->click();
    ProcessEvents();
    UserNameWindow* welcome = Form("Form15");
    EXPECT_TRUE(welcome->isVisible());
    EXPECT_EQ(welcome->windowModality(), Qt::NonModal);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(welcome->windowTitle(), "　ユーザー名登録");
    EXPECT_EQ(NameField("Form15")->text(), "ABC総合病院");
    QStringList texts;
    for (const QLabel* label : welcome->findChildren<QLabel*>()) {
        texts << label->text();
    }
    EXPECT_EQ(texts,
              (QStringList{"ようこそ Korvex-2 へ", "ユーザー名を入力して下さい",
                           "施設名，使用者名など", "漢字，アルファベット，数字，記号 何でも OK",
                           "初期画面右下のマスコット犬をダブルクリックすると",
                           "ユーザー名を変更できます"}));
    // Selecting a device opens calculating without a name.
    Find<FileList>(Main(), "File1")->SelectName("room1.kvx2");
    ProcessEvents();
    EXPECT_TRUE(Button("Command2")->isEnabled());
    EXPECT_TRUE(Button("Command8")->isVisible());
}

TEST_F(UserNameWindowsTest, OkWithThePresetRegistersAndTheNextStartFindsTheName) {
    Button("Command8")->click();
    Press("Form15", "Command1");

    const std::string stored = Bytes();
    EXPECT_EQ(stored.substr(0, reference_.size()), reference_);
    EXPECT_EQ(stored.substr(reference_.size()), EncodeCp932("ABC総合病院", "t") + "\r\n");
    EXPECT_EQ(Main()->windowTitle(), "Korvex-2 ( Korvex, version 2 )  :  ABC総合病院");
    EXPECT_FALSE(Button("Command8")->isVisible());
    EXPECT_TRUE(Button("Command2")->isEnabled());
    EXPECT_FALSE(Form("Form15")->isVisible());
    EXPECT_EQ(ResultsLabel(), "ABC総合病院");
    ExpectWatermark(200, "ABC総合病院", 350);
    EXPECT_TRUE(messages_.Events().empty());

    Start();
    EXPECT_EQ(state_->user_name, "ABC総合病院");
    EXPECT_EQ(Main()->windowTitle(), "Korvex-2 ( Korvex, version 2 )  :  ABC総合病院");
    EXPECT_FALSE(Button("Command8")->isVisible());
    EXPECT_TRUE(Button("Command2")->isEnabled());
    EXPECT_FALSE(Button("Command3")->isEnabled());
    EXPECT_TRUE(Button("Command6")->isEnabled());
    EXPECT_EQ(ResultsLabel(), "ABC総合病院");
    ExpectWatermark(350, "ABC総合病院", 500);
}

TEST_F(UserNameWindowsTest, CancelContinuesAsGuestAndWritesNothing) {
    Button("Command8")->click();
    Press("Form15", "Command2");

    EXPECT_EQ(Main()->windowTitle(), kStart + "   :   ゲストユーザー");
    EXPECT_EQ(Bytes(), reference_);
    EXPECT_EQ(state_->user_name, "ゲストユーザー");
    EXPECT_FALSE(Button("Command8")->isVisible());
    EXPECT_TRUE(Button("Command2")->isEnabled());
    EXPECT_FALSE(Form("Form15")->isVisible());
    EXPECT_EQ(ResultsLabel(), "ゲストユーザー");
    ExpectWatermark(200, "ゲストユーザー", 350);

    Start();
    ExpectWelcomeState();
}

TEST_F(UserNameWindowsTest, ChangeWindowOpensWithTheNameAndRefusesWhatIsNoName) {
    StoreName("放射線科 IVR");
    Start();
    DoubleClickMascot();
    UserNameWindow* change = Form("Form18");
    ASSERT_TRUE(change->isVisible());
    EXPECT_EQ(change->windowTitle(), "　ユーザー名変更");
    EXPECT_EQ(NameField("Form18")->text(), "放射線科 IVR");
    const std::string stored = Bytes();

    NameField("Form18")->clear();
    Press("Form18", "Command1");
    // A pasted text keeps its line break in a one-line field.
    NameField("Form18")->setText("ABC\n総合病院");
    Press("Form18", "Command1");
    ASSERT_EQ(messages_.Texts().size(), 2u);
    EXPECT_EQ(messages_.Texts()[0], "名前が入力されていません");
    EXPECT_EQ(messages_.Events()[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(messages_.Texts()[1].contains("１行で入力"));
    EXPECT_TRUE(change->isVisible());
    EXPECT_EQ(state_->user_name, "放射線科 IVR");
    EXPECT_EQ(Main()->windowTitle(), "Korvex-2 ( Korvex, version 2 )  :  放射線科 IVR");
    EXPECT_EQ(Bytes(), stored);

    Press("Form18", "Command2");
    EXPECT_FALSE(change->isVisible());
    EXPECT_EQ(state_->user_name, "放射線科 IVR");
    EXPECT_EQ(Bytes(), stored);
}

TEST_F(UserNameWindowsTest, ANameAfterTheGuestReplacesTheWholeCaption) {
    Button("Command8")->click();
    Press("Form15", "Command2");
    DoubleClickMascot();
    EXPECT_EQ(NameField("Form18")->text(), "ゲストユーザー");
    NameField("Form18")->setText("第２病棟");
    Press("Form18", "Command1");

    EXPECT_EQ(Main()->windowTitle(), "Korvex-2 ( Korvex, version 2 )  :  第２病棟");
    EXPECT_FALSE(Form("Form18")->isVisible());
    EXPECT_EQ(Bytes(), reference_ + EncodeCp932("第２病棟", "t") + "\r\n");
}

TEST_F(UserNameWindowsTest, AChangeWhileRowsAreShownReplacesTheDrawingNotTheTable) {
    StoreName("ABC総合病院");
    Start();
    Find<FileList>(Main(), "File1")->SelectName("room1.kvx2");
    Enter("Text14", "10");
    Enter("Text15", "1");
    Find<QRadioButton>(Main(), "Option2")->click();
    for (int i = 0; i < 2; ++i) {
        Button("Command2")->click();
        Button("Command3")->click();
    }
    ASSERT_EQ(state_->results.RowCount(), 2);
    ASSERT_GT(DrawnTexts().size(), 30u);  // header and two rows
    const ResultsTable table_before = state_->results;

    DoubleClickMascot();
    NameField("Form18")->setText("IVR センター");
    Press("Form18", "Command1");

    ExpectWatermark(200, "IVR センター", 350);
    EXPECT_EQ(state_->results.RowCount(), 2);
    for (int slot = 1; slot <= 2; ++slot) {
        for (int column = 0; column < kResultColumnCount; ++column) {
            const auto c = static_cast<ResultColumn>(column);
            EXPECT_EQ(state_->results.Cell(slot, c).StoredText(),
                      table_before.Cell(slot, c).StoredText());
        }
    }
}

TEST_F(UserNameWindowsTest, AWriteIntoAReadOnlyFolderChangesNothingAndSaysSo) {
    Button("Command8")->click();
    {
        // Root writes through permission bits: a full disk makes the same write fail.
        std::optional<fixtures::ReadOnlyFolder> read_only;
        std::optional<fixtures::FileSizeLimit> full_disk;
        if (fixtures::RunningAsRoot()) {
            full_disk.emplace(0);
        } else {
            read_only.emplace(folder_.path());
        }
        Press("Form15", "Command1");
    }
    EXPECT_EQ(Bytes(), reference_);
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_TRUE(messages_.Texts()[0].contains("「Primary.dat」は変更されていません"));
    EXPECT_TRUE(Form("Form15")->isVisible());
    ExpectWelcomeState();
    ExpectWatermark(350, {}, 0);
}

}  // namespace
}  // namespace korvex
