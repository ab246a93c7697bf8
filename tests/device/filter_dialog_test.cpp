// The arbitrary-filter dialog (Form5), opened from the device dialog.
#include <QListWidget>

#include "device/filter_dialog.h"
#include "engine/text_file.h"
#include "tests/device/device_dialog_support.h"
#include "tests/fixtures/typical_device.h"
#include "ui/file_list.h"

namespace korvex {
namespace {

using fixtures::MaterialBreakage;
using testing::Find;
using testing::ProcessEvents;

class FilterDialogTest : public testing::DeviceDialogTest {
  protected:
    // Command9 of the device dialog.
    QWidget* OpenFilter() {
        Get<QPushButton>("Command9")->click();
        ProcessEvents();
        QWidget* filter = Filter();
        filter->activateWindow();
        ProcessEvents();
        return filter;
    }
    QWidget* Filter() {
        QWidget* filter = Dialog()->FilterDialogWindow();
        if (!filter) {
            throw std::runtime_error("the filter dialog has not been made");
        }
        EXPECT_EQ(filter->objectName(), "Form5");
        return filter;
    }
    template <typename T = QWidget>
    T* InFilter(const char* name) {
        return Find<T>(Filter(), name);
    }
    FileList* Materials() { return InFilter<FileList>("File1"); }
    void Choose(const QString& file) {
        Materials()->Refresh();
        ASSERT_TRUE(Materials()->SelectName(file)) << file.toStdString();
        ProcessEvents();
    }
    void Thickness(const QString& text) {
        auto* box = InFilter<QLineEdit>("Text2");
        box->setFocus();
        box->setText(text);
    }
    void Click(const char* button) {
        InFilter<QPushButton>(button)->click();
        ProcessEvents();
    }
    QString MainLabel(const char* name) { return Find<QLabel>(window_.get(), name)->text(); }
};

TEST_F(FilterDialogTest, CaptionsListAndReadMe) {
    fixtures::WriteSyntheticMaterial(folder_.path() / "tin.ele");
    OpenDialog();
    QWidget* filter = OpenFilter();
    EXPECT_TRUE(filter->isVisible());
    EXPECT_TRUE(filter->isWindow());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(Dialog()->isEnabled());
    EXPECT_EQ(filter->windowTitle(), "  任意フィルター設定");
    QStringList labels;
    for (const QLabel* label : filter->findChildren<QLabel*>()) {
        labels << label->text();
    }
    for (const char* caption : {"フィルター材質の選択", "材質", "厚さ", "mm"}) {
        EXPECT_TRUE(labels.contains(QString::fromUtf8(caption))) << caption;
    }
    EXPECT_EQ(InFilter<QLabel>("Label3")->text(),
              "左のリストに含まれていない物質を\n付加フィルターに使用する方法は\n"
              "”はじめにお読み下さい.txt” \nに記載してあります。");
    EXPECT_EQ(InFilter<QPushButton>("Command1")->text(), "設 定");
    EXPECT_EQ(InFilter<QPushButton>("Command2")->text(), "解 除");
    EXPECT_EQ(InFilter<QPushButton>("Command2")->toolTip(), "任意フィルターの設定を解除します");
    EXPECT_EQ(InFilter<QPushButton>("Command3")->text(), "Cancel");
    EXPECT_EQ(Materials()->Names(), (QStringList{"lead.ele", "tin.ele"}));
}

TEST_F(FilterDialogTest, AClickShowsTheDescriptionAndEnterGoesToSet) {
    OpenDialog();
    OpenFilter();
    EXPECT_EQ(InFilter<QLabel>("Label5")->text(), "");
    Materials()->Refresh();
    const QRect row = Materials()->visualItemRect(Materials()->item(0));
    QTest::mouseClick(Materials()->viewport(), Qt::LeftButton, {}, row.center());
    ProcessEvents();
    EXPECT_EQ(InFilter<QLabel>("Label5")->text(), QString::fromStdString(lead_description_));
    EXPECT_EQ(QApplication::focusWidget(), InFilter("Text2"));

    // Enter in an empty thickness stays; with a thickness it goes to the set button.
    QTest::keyClick(InFilter("Text2"), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), InFilter("Text2"));
    QTest::keyClicks(InFilter("Text2"), "0.1");
    QTest::keyClick(InFilter("Text2"), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), InFilter("Command1"));
    EXPECT_TRUE(Filter()->isVisible());  // Enter sets nothing
    EXPECT_EQ(state_->calc.ArbitraryFilterOn, 0);
}

TEST_F(FilterDialogTest, SetRefusesNoFileAndAThicknessThatIsNoPositiveNumber) {
    OpenDialog();
    OpenFilter();
    Thickness("0.1");
    Click("Command1");
    ASSERT_EQ(messages_.Events().size(), 2u);
    EXPECT_TRUE(messages_.Events()[0].beep);
    EXPECT_EQ(messages_.Events()[1].text, "　フィルター材質が未選択です　");
    EXPECT_EQ(messages_.Events()[1].icon, MessageIcon::Exclamation);

    Choose("lead.ele");
    for (const char* thickness : {"", "0"}) {
        messages_.Forget();
        Thickness(thickness);
        Click("Command1");
        ASSERT_EQ(messages_.Events().size(), 2u) << thickness;
        EXPECT_TRUE(messages_.Events()[0].beep);
        EXPECT_EQ(messages_.Events()[1].text, "　フィルターの厚さを入力して下さい　") << thickness;
        EXPECT_EQ(messages_.Events()[1].icon, MessageIcon::Exclamation);
    }
    // A text that is no number is refused as in the device dialog's boxes.
    for (const char* thickness : {"abc", "0.1mm"}) {
        messages_.Forget();
        Thickness(thickness);
        Click("Command1");
        ASSERT_EQ(messages_.Events().size(), 2u) << thickness;
        EXPECT_EQ(messages_.Events()[1].text.toStdString(),
                  std::string("フィルターの厚さには数値を入力して下さい（「") + thickness +
                      "」は数値ではありません）。");
        EXPECT_EQ(messages_.Events()[1].icon, MessageIcon::Exclamation);
    }
    EXPECT_TRUE(Filter()->isVisible());
    EXPECT_EQ(state_->calc.ArbitraryFilterOn, 0);
    EXPECT_EQ(Text("Label29"), "---");
    EXPECT_EQ(Text("Label26"), "0");
}

TEST_F(FilterDialogTest, LeadWithATenthOfAMillimetreGoesIntoTheDeviceDialog) {
    OpenDialog();
    OpenFilter();
    Choose("lead.ele");
    Thickness("0.1");
    Click("Command1");
    EXPECT_TRUE(messages_.Events().empty());
    EXPECT_FALSE(Filter()->isVisible());
    EXPECT_EQ(Text("Label29"), "lead");
    EXPECT_EQ(Text("Label26"), "0.1");
    EXPECT_EQ(state_->calc.ArbitraryFilterOn, 1);
    EXPECT_DOUBLE_EQ(state_->calc.ArbitraryFilterThickness, 0.01);
    EXPECT_GT(state_->work.ArbitraryFilterMu[100], 0);
    // The main window's labels are not the dialog's business when a filter is set.
    EXPECT_EQ(MainLabel("Label29"), "―");

    // The device saved with it names the filter.
    FillExample();
    ClickOk();
    ClickSave();
    const std::vector<std::string> lines = Lines("Room1.kvx2");
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[6], " 1 ");
    EXPECT_EQ(lines[7], "lead");
    EXPECT_EQ(lines[8], "0.1");
}

TEST_F(FilterDialogTest, ASetAfterOkClosesSave) {
    OpenDialog();
    FillExample();
    ClickOk();
    ASSERT_TRUE(Get("Command3")->isEnabled());
    OpenFilter();
    Choose("lead.ele");
    Thickness("0.1");
    Click("Command1");
    EXPECT_FALSE(Get("Command3")->isEnabled());
    ClickOk();
    EXPECT_TRUE(Get("Command3")->isEnabled());
}

TEST_F(FilterDialogTest, ReleaseEmptiesTheMainWindowsLabelsAndClearsTheFlag) {
    // A device with a lead filter chosen on the main window.
    std::vector<std::string> lines = fixtures::TypicalDeviceLines();
    lines[6] = " 1 ";
    lines[7] = "lead";
    lines[8] = "0.1";
    WriteTextLines(folder_.path() / "leaded.kvx2", lines, "leaded.kvx2");
    auto* devices = Find<FileList>(window_.get(), "File1");
    devices->Refresh();
    ASSERT_TRUE(devices->SelectName("leaded.kvx2"));
    ProcessEvents();
    ASSERT_EQ(MainLabel("Label29"), "lead");
    ASSERT_EQ(MainLabel("Label26"), "0.10");
    ASSERT_EQ(state_->calc.ArbitraryFilterOn, 1);
    const double mu = state_->work.ArbitraryFilterMu[100];

    OpenDialog();
    OpenFilter();
    Choose("lead.ele");
    Thickness("0.3");
    Click("Command1");
    ASSERT_EQ(Text("Label29"), "lead");
    OpenFilter();
    Click("Command2");
    EXPECT_FALSE(Filter()->isVisible());
    EXPECT_EQ(MainLabel("Label29"), "");
    EXPECT_EQ(MainLabel("Label26"), "");
    EXPECT_EQ(state_->calc.ArbitraryFilterOn, 0);
    EXPECT_EQ(state_->calc.ArbitraryFilterThickness, 0);
    EXPECT_EQ(state_->work.ArbitraryFilterMu[100], mu);
    // The device dialog keeps its texts.
    EXPECT_EQ(Text("Label29"), "lead");
    EXPECT_EQ(Text("Label26"), "0.3");
    EXPECT_TRUE(messages_.Events().empty());

    // Deleting the device later leaves the material label as the release left it.
    messages_.AnswerNext(MessageAnswer::Ok);
    Find<QPushButton>(window_.get(), "Command4")->click();
    ProcessEvents();
    EXPECT_EQ(MainLabel("Label29"), "");
}

TEST_F(FilterDialogTest, CancelChangesNothingButTheDescription) {
    OpenDialog();
    state_->work.ArbitraryFilterMu[100] = 7;
    state_->calc.ArbitraryFilterThickness = 0.02;
    const CalculationCase before = state_->calc;
    OpenFilter();
    Choose("lead.ele");
    Thickness("0.5");
    Click("Command3");
    EXPECT_FALSE(Filter()->isVisible());
    EXPECT_EQ(state_->work.ArbitraryFilterMu[100], 7);
    EXPECT_EQ(state_->calc.ArbitraryFilterOn, before.ArbitraryFilterOn);
    EXPECT_EQ(state_->calc.ArbitraryFilterThickness, 0.02);
    EXPECT_EQ(Text("Label29"), "---");
    EXPECT_EQ(Text("Label26"), "0");
    EXPECT_TRUE(messages_.Events().empty());
    EXPECT_EQ(InFilter<QLabel>("Label5")->text(), QString::fromStdString(lead_description_));

    // Opening again empties the description and the thickness.
    OpenFilter();
    EXPECT_EQ(InFilter<QLabel>("Label5")->text(), "");
    EXPECT_EQ(InFilter<QLineEdit>("Text2")->text(), "");
}

TEST_F(FilterDialogTest, AMaterialFileThatCannotBeReadIsReportedAndTheTableKept) {
    fixtures::WriteSyntheticMaterial(folder_.path() / "broken.ele", MaterialBreakage::ShortFile);
    OpenDialog();
    OpenFilter();
    Choose("lead.ele");
    Thickness("0.1");
    Click("Command1");
    const double lead_mu = state_->work.ArbitraryFilterMu[100];

    OpenFilter();
    Choose("broken.ele");
    Thickness("0.2");
    Click("Command1");
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_TRUE(messages_.Texts()[0].contains("broken.ele")) << messages_.Texts()[0].toStdString();
    EXPECT_EQ(messages_.Events().back().icon, MessageIcon::Exclamation);
    EXPECT_TRUE(Filter()->isVisible());
    EXPECT_EQ(state_->work.ArbitraryFilterMu[100], lead_mu);
    EXPECT_DOUBLE_EQ(state_->calc.ArbitraryFilterThickness, 0.01);
    EXPECT_EQ(Text("Label29"), "lead");
    EXPECT_EQ(Text("Label26"), "0.1");
}

}  // namespace
}  // namespace korvex
