#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "report/qt_text.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/gui_support/fake_message_service.h"
#include "tests/gui_support/gui_test_support.h"
#include "ui/canvas.h"
#include "ui/field_events.h"
#include "ui/file_list.h"

namespace korvex {
namespace {

using testing::ProcessEvents;

void Touch(const std::filesystem::path& path) {
    QFile(ToQString(path.string())).open(QIODevice::WriteOnly);
}

TEST(FieldEvents, EnterAndLeavingRaiseEveryTime) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* field = new QLineEdit;
    auto* other = new QLineEdit;
    layout->addWidget(field);
    layout->addWidget(other);
    int enters = 0;
    int leaves = 0;
    FieldEvents::Watch(
        field, [&] { ++enters; }, [&] { ++leaves; });
    window.show();
    window.activateWindow();
    field->setFocus();
    ProcessEvents();

    QTest::keyClicks(field, "80");
    QTest::keyClick(field, Qt::Key_Return);
    QTest::keyClick(field, Qt::Key_Enter);  // keypad Enter too
    EXPECT_EQ(enters, 2);
    EXPECT_EQ(field->text(), "80");

    other->setFocus(Qt::TabFocusReason);
    ProcessEvents();
    EXPECT_EQ(leaves, 1);
    // Unchanged text: leaving raises the event again.
    field->setFocus(Qt::TabFocusReason);
    other->setFocus(Qt::TabFocusReason);
    ProcessEvents();
    EXPECT_EQ(leaves, 2);
}

TEST(FieldEvents, EnterInAnEditableListAddsNoItem) {
    QComboBox combo;
    combo.setEditable(true);
    combo.addItems({"頭部", "胸部背面"});
    int enters = 0;
    FieldEvents::Watch(&combo, [&] { ++enters; });
    combo.show();
    combo.setFocus();
    combo.setEditText("下肢");
    QTest::keyClick(combo.lineEdit(), Qt::Key_Return);
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(combo.count(), 2);
    EXPECT_EQ(combo.currentText(), "下肢");
}

TEST(FileList, ListsMatchingBareNamesSortedAndFollowsTheFolder) {
    fixtures::TempFolder folder;
    Touch(folder.path() / "b.kvx2");
    Touch(folder.path() / "a.kvx");
    Touch(folder.path() / "c.csv");
    Touch(folder.path() / "d.kvx2.bak");
    std::filesystem::create_directory(folder.path() / "e.kvx2");  // a folder, not a file
    FileList list;
    list.SetPatterns("*.kvx;*.kvx2");
    list.SetFolder(ToQString(folder.path().string()));
    EXPECT_EQ(list.Names(), (QStringList{"a.kvx", "b.kvx2"}));
    EXPECT_EQ(list.SelectedName(), "");

    Touch(folder.path() / "Room 3.kvx2");
    list.Refresh();
    EXPECT_EQ(list.Names(), (QStringList{"Room 3.kvx2", "a.kvx", "b.kvx2"}));

    // A new file shows up without an explicit refresh.
    Touch(folder.path() / "z.kvx2");
    for (int i = 0; i < 50 && !list.Names().contains("z.kvx2"); ++i) {
        QTest::qWait(20);
    }
    EXPECT_TRUE(list.Names().contains("z.kvx2"));
}

TEST(FileList, SelectionByKeysAndMouseRaisesTheEvent) {
    fixtures::TempFolder folder;
    for (const char* name : {"a.kvx2", "b.kvx2", "c.kvx2"}) {
        Touch(folder.path() / name);
    }
    FileList list;
    list.SetPatterns("*.kvx2");
    list.SetFolder(ToQString(folder.path().string()));
    list.show();
    QSignalSpy spy(&list, &FileList::nameSelected);

    const QRect first = list.visualItemRect(list.item(0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, first.center());
    QTest::keyClick(&list, Qt::Key_Down);
    QTest::keyClick(&list, Qt::Key_Down);
    QTest::keyClick(&list, Qt::Key_Up);
    const QRect second = list.visualItemRect(list.item(1));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, second.center());  // already current

    QStringList names;
    for (const auto& args : spy) {
        names.append(args.at(0).toString());
    }
    EXPECT_EQ(names, (QStringList{"a.kvx2", "b.kvx2", "c.kvx2", "b.kvx2", "b.kvx2"}));
    EXPECT_EQ(list.SelectedName(), "b.kvx2");

    // Refreshing keeps the selection and raises nothing; a vanished name is unselected.
    spy.clear();
    list.Refresh();
    EXPECT_EQ(list.SelectedName(), "b.kvx2");
    std::filesystem::remove(folder.path() / "b.kvx2");
    list.Refresh();
    EXPECT_EQ(list.SelectedName(), "");
    EXPECT_EQ(spy.count(), 0);
}

TEST(Canvas, RecordsDrawingInUserUnitsUntilCleared) {
    Canvas canvas(1000, 500, QSize(800, 400));
    canvas.SetFontName("メイリオ");
    canvas.SetFontSize(28);
    canvas.SetTextColor(QColor(192, 192, 192));
    canvas.DrawText(500, 350, "Korvex-2");
    canvas.SetFontSize(9);
    canvas.SetTextColor(Qt::black);
    canvas.FillRect(10, 20, 30, 40, Qt::white);
    canvas.DrawText(1080, 860, "6.2");

    const auto& ops = canvas.Operations();
    ASSERT_EQ(ops.size(), 3u);
    EXPECT_EQ(ops[0].text, "Korvex-2");
    EXPECT_EQ(ops[0].x, 500);
    EXPECT_EQ(ops[0].y, 350);
    EXPECT_EQ(ops[0].font_size_pt, 28);
    EXPECT_EQ(ops[0].color, QColor(192, 192, 192));
    EXPECT_EQ(ops[1].kind, CanvasOperation::Kind::FillRect);
    EXPECT_EQ(ops[2].font_size_pt, 9);
    EXPECT_EQ(ops[2].color, QColor(Qt::black));

    canvas.Clear();
    EXPECT_TRUE(canvas.Operations().empty());
}

TEST(Canvas, DrawingSurvivesRepaintAndResize) {
    Canvas canvas(100, 100, QSize(200, 200));
    canvas.resize(200, 200);
    canvas.SetFontName("Sans");
    canvas.SetFontSize(20);
    canvas.FillRect(10, 10, 50, 50, Qt::red);
    canvas.AddLine("grid", {0, 90, 100, 90, Qt::blue, 2});
    canvas.SetGroupVisible("grid", true);

    const QImage before = canvas.grab().toImage();
    EXPECT_EQ(before.pixelColor(60, 60), QColor(Qt::red));  // (30, 30) in user units
    EXPECT_EQ(before.pixelColor(100, 180), QColor(Qt::blue));

    canvas.resize(400, 400);
    const QImage after = canvas.grab().toImage();
    EXPECT_EQ(after.pixelColor(120, 120), QColor(Qt::red));
    EXPECT_EQ(after.pixelColor(10, 10), QColor(Qt::white));

    canvas.SetGroupVisible("grid", false);
    EXPECT_FALSE(canvas.GroupVisible("grid"));
    EXPECT_EQ(canvas.grab().toImage().pixelColor(200, 360), QColor(Qt::white));
}

TEST(FakeMessageService, RecordsTextsBeepsAndAnswersFromTheScript) {
    testing::FakeMessageService messages;
    messages.AnswerNext(MessageAnswer::Cancel);
    messages.Tell({" 未入力の項目があります ", MessageIcon::Exclamation, true});
    EXPECT_EQ(messages.Ask("q", MessageButtons::OkCancel, MessageIcon::None),
              MessageAnswer::Cancel);
    ASSERT_EQ(messages.Events().size(), 3u);
    EXPECT_TRUE(messages.Events()[0].beep);
    EXPECT_EQ(messages.Events()[1].text, " 未入力の項目があります ");
    EXPECT_EQ(messages.Events()[1].icon, MessageIcon::Exclamation);
    EXPECT_EQ(messages.BeepCount(), 1);
    EXPECT_TRUE(messages.AllAnswersUsed());
}

}  // namespace
}  // namespace korvex
