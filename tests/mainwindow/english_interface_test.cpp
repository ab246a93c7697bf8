// The English interface: under the program's English translation no window shows a
// Japanese text of its own, and the Japanese interface is what the sources say.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "device/device_dialog.h"
#include "dose_report/dose_report_window.h"
#include "engine/text_file.h"
#include "mainwindow/beam_plot_window.h"
#include "mainwindow/main_window.h"
#include "mainwindow/program_windows.h"
#include "results/results_window.h"
#include "settings/settings_file.h"
#include "settings/user_language.h"
#include "tests/fixtures/dose_report_fixtures.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"
#include "tests/gui_support/fake_message_service.h"
#include "tests/gui_support/fake_printer_service.h"
#include "tests/gui_support/gui_test_support.h"
#include "ui/file_list.h"
#include "ui/interface_language.h"

namespace korvex {
namespace {

using testing::Find;
using testing::ProcessEvents;

// Kana, ideographs, CJK punctuation and full-width forms: what no English text holds.
const QRegularExpression kJapanese(QStringLiteral(
    "[\\x{3000}-\\x{30FF}\\x{3400}-\\x{9FFF}\\x{F900}-\\x{FAFF}\\x{FF00}-\\x{FFEF}]"));

// Every text a user can read on a widget: title, tooltip, caption, button, group title,
// field text and placeholder, list and table entries, headers and tabs.
QStringList TextsOf(QWidget* widget) {
    QStringList texts{widget->windowTitle(), widget->toolTip()};
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        texts << label->text();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        texts << button->text();
    }
    if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        texts << group->title();
    }
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        texts << edit->text() << edit->placeholderText();
    }
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        // The language list names each language in its own language.
        for (int i = 0; i < combo->count() && widget->objectName() != "LanguageChoice"; ++i) {
            texts << combo->itemText(i);
        }
    }
    if (auto* list = qobject_cast<QListWidget*>(widget)) {
        for (int i = 0; i < list->count(); ++i) {
            texts << list->item(i)->text();
        }
    }
    if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
        for (int i = 0; i < tabs->count(); ++i) {
            texts << tabs->tabText(i) << tabs->tabToolTip(i);
        }
    }
    if (auto* table = qobject_cast<QTableWidget*>(widget)) {
        for (int column = 0; column < table->columnCount(); ++column) {
            if (QTableWidgetItem* header = table->horizontalHeaderItem(column)) {
                texts << header->text();
            }
            for (int row = 0; row < table->rowCount(); ++row) {
                if (QTableWidgetItem* item = table->item(row, column)) {
                    texts << item->text() << item->toolTip();
                }
            }
        }
    }
    return texts;
}

// "widget name: text" for each Japanese text of every widget of the program. The read-me
// file a dialog names is called so in the bundled folder: the name is the way to find it.
std::set<std::string> JapaneseTexts() {
    std::set<std::string> found;
    for (QWidget* widget : QApplication::allWidgets()) {
        for (QString text : TextsOf(widget)) {
            text.remove(QStringLiteral("はじめにお読み下さい.txt"));
            if (text.contains(kJapanese)) {
                found.insert(widget->metaObject()->className() + std::string(" ") +
                             widget->objectName().toStdString() + ": " + text.toStdString());
            }
        }
    }
    return found;
}

class EnglishInterfaceTest : public ::testing::Test {
  protected:
    EnglishInterfaceTest() {
        fixtures::WriteSyntheticWorkdir(folder_.path());
        fixtures::WriteTypicalDevice(folder_.path());
        report_ = folder_.path() / "standard.dcm";
        fixtures::WriteDoseReportFile(report_, fixtures::StandardReport());
    }
    ~EnglishInterfaceTest() override {
        windows_.reset();
        InstallInterfaceLanguage(UserLanguage::Japanese);
    }

    // The program's windows as the start makes them in `language`.
    void Start(UserLanguage language) {
        InstallInterfaceLanguage(language);
        state_ = std::make_unique<ProgramState>(
            EngineState(LoadReferenceTables(folder_.path()), folder_.path()));
        windows_ = std::make_unique<ProgramWindows>(*state_, messages_, printer_);
        windows_->SetReportFileChooser(
            [this](QWidget*) { return QStringList{QString::fromStdString(report_.string())}; });
        windows_->Show();
        ProcessEvents();
    }

    QWidget* Main() { return &windows_->Main(); }
    void Press(QWidget* window, const char* name) {
        Find<QPushButton>(window, name)->click();
        ProcessEvents();
    }
    void Enter(const char* field, const QString& text) {
        auto* edit = Find<QLineEdit>(Main(), field);
        edit->setFocus();
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    // Every window and dialog the program has, each with something in it: the welcome,
    // a calculation with its beam plots, a result in the table, the device and filter
    // dialogs, the results dialogs, the exit question, a dose report read.
    void OpenEveryWindow() {
        Press(Main(), "Command8");  // the welcome window, left as the guest
        Press(Find<QWidget>(Main(), "Form15"), "Command2");
        Find<FileList>(Main(), "File1")->SelectName("room1.kvx2");
        Enter("Text5", "80");
        Enter("Text14", "10");
        Enter("Text15", "1");
        Find<QRadioButton>(Main(), "Option2")->click();
        Enter("Text9", "60");
        Find<QPushButton>(Main(), "Command2")->setEnabled(true);
        Press(Main(), "Command2");
        Press(Main(), "CommandBeamPlots");
        ASSERT_NE(dynamic_cast<MainWindow&>(*Main()).BeamPlots(), nullptr);
        Press(Main(), "Command3");
        Press(Main(), "Command7");  // the device dialog
        QWidget* device = dynamic_cast<MainWindow&>(*Main()).DeviceDialogWindow();
        ASSERT_NE(device, nullptr);
        // Measurements the calibration refuses: a couch that would amplify the beam.
        for (const auto& [box, text] :
             {std::pair{"Text13", "Room1"}, std::pair{"Text8", "120"}, std::pair{"Text5", "100"},
              std::pair{"Text3", "1.0"}, std::pair{"Text4", "0.1"}, std::pair{"Text23", "80"},
              std::pair{"Text14", "2.000"}, std::pair{"Text15", "2.500"},
              std::pair{"Text16", "1.000"}}) {
            Find<QLineEdit>(device, box)->setText(text);
        }
        Press(device, "Command1");
        Press(device, "Command9");  // its filter dialog
        Press(&windows_->Results(), "Command5");
        messages_.AnswerNext(MessageAnswer::Ok);  // reading replaces the table on show
        Press(&windows_->Results(), "Command6");
        Press(Main(), "Command1");  // the exit question
        Press(Main(), "CommandDoseReport");
        ASSERT_NE(windows_->DoseReport(), nullptr);
        EXPECT_GT(Find<QTableWidget>(windows_->DoseReport(), "ReportEvents")->rowCount(), 0);
    }

    fixtures::TempFolder folder_;
    std::filesystem::path report_;
    testing::FakeMessageService messages_;
    testing::FakePrinterService printer_;
    std::unique_ptr<ProgramState> state_;
    std::unique_ptr<ProgramWindows> windows_;
};

TEST_F(EnglishInterfaceTest, NoWindowShowsJapaneseOfItsOwn) {
    Start(UserLanguage::English);
    OpenEveryWindow();
    EXPECT_EQ(JapaneseTexts(), std::set<std::string>{});
    // A few texts as a physicist reads them.
    EXPECT_EQ(Find<QPushButton>(Main(), "Command2")->text(), "Calculate");
    EXPECT_EQ(Find<QComboBox>(Main(), "Combo2")->currentText(), "Validated model");
    EXPECT_TRUE(Find<QLabel>(Main(), "Label77")->text().startsWith("Beam quality: first HVL "));
    EXPECT_EQ(Find<QLabel>(Main(), "Label22")->text(), "Square side");
    EXPECT_TRUE(Main()->windowTitle().endsWith("Guest user"));
    // Messages from the windows, the core's fixed texts and the calibration's refusal are
    // English too.
    const std::vector<QString> told = messages_.Texts();
    for (const QString& text : told) {
        EXPECT_FALSE(text.contains(kJapanese)) << text.toStdString();
    }
    EXPECT_TRUE(std::any_of(told.begin(), told.end(), [](const QString& text) {
        return text.startsWith("The air kerma with couch is larger than without");
    }));
}

TEST_F(EnglishInterfaceTest, TheJapaneseInterfaceIsTheSourcesTexts) {
    Start(UserLanguage::Japanese);
    OpenEveryWindow();
    EXPECT_EQ(InterfaceLanguage(), UserLanguage::Japanese);
    EXPECT_EQ(Find<QPushButton>(Main(), "Command2")->text(), "この条件で計算する");
    EXPECT_EQ(Find<QComboBox>(Main(), "Combo2")->currentText(), "検証済みモデル");
    EXPECT_TRUE(Find<QLabel>(Main(), "Label77")->text().startsWith("線質：第１半価層 "));
    EXPECT_EQ(Find<QLabel>(Main(), "Label22")->text(), "正方形 一辺長");
    EXPECT_EQ(
        Find<QTableWidget>(windows_->DoseReport(), "ReportGroups")->horizontalHeaderItem(0)->text(),
        "表に追加");
}

// Japanese brings Qt's own Japanese for the standard buttons, the file dialogs and the
// print preview; English replaces it with the program's translation.
TEST(InterfaceLanguage, JapaneseLoadsQtsOwnTranslation) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFile::exists(folder + "/qtbase_ja.qm")) {
        GTEST_SKIP() << "qtbase_ja.qm is not installed (qt6-translations-l10n)";
    }
    InstallInterfaceLanguage(UserLanguage::Japanese);
    EXPECT_EQ(QCoreApplication::translate("QPrintPreviewDialog", "Page setup"), "ページ設定");
    EXPECT_EQ(QCoreApplication::translate("korvex::ExitConfirmation", "はい"), "はい");
    InstallInterfaceLanguage(UserLanguage::English);
    EXPECT_EQ(QCoreApplication::translate("QPrintPreviewDialog", "Page setup"), "Page setup");
    EXPECT_EQ(QCoreApplication::translate("korvex::ExitConfirmation", "はい"), "Yes");
    EXPECT_EQ(InterfaceLanguage(), UserLanguage::English);
    InstallInterfaceLanguage(UserLanguage::Japanese);
}

// The start follows the working folder's choice over a Japanese locale, and a choice that
// cannot be used is told in the language the rule gives without it.
TEST(InterfaceLanguage, TheStartFollowsTheStoredChoiceAndTellsWhatCannotBeUsed) {
    const QByteArray saved_lc_all = qgetenv("LC_ALL");
    const QByteArray saved_given = qgetenv(kLanguageVariable);
    qputenv("LC_ALL", "ja_JP.UTF-8");
    qunsetenv(kLanguageVariable);
    fixtures::TempFolder folder;
    testing::FakeMessageService messages;

    WriteLanguageSetting(folder.path(), LanguageChoice::English);
    InstallStartLanguage(folder.path(), messages);
    EXPECT_EQ(InterfaceLanguage(), UserLanguage::English);
    EXPECT_TRUE(messages.Texts().empty());

    WriteTextLines(folder.path() / kSettingsFileName, {"Language=klingon"}, "settings");
    InstallStartLanguage(folder.path(), messages);
    EXPECT_EQ(InterfaceLanguage(), UserLanguage::Japanese);
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_TRUE(messages.Texts().front().contains("「klingon」"))
        << messages.Texts().front().toStdString();

    saved_lc_all.isNull() ? qunsetenv("LC_ALL") : qputenv("LC_ALL", saved_lc_all);
    if (!saved_given.isNull()) {
        qputenv(kLanguageVariable, saved_given);
    }
    InstallInterfaceLanguage(UserLanguage::Japanese);
}

}  // namespace
}  // namespace korvex
