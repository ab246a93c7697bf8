#include "mainwindow/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <sstream>

#include "cli/commands.h"
#include "cli/json_output.h"
#include "device/device_file.h"
#include "engine/calculation_driver.h"
#include "engine/text_file.h"
#include "engine/text_rules.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"
#include "tests/gui_support/fake_message_service.h"
#include "tests/gui_support/gui_test_support.h"
#include "ui/file_list.h"

namespace korvex {
namespace {

using testing::Find;
using testing::ProcessEvents;

class MainWindowTest : public ::testing::Test {
  protected:
    MainWindowTest() {
        fixtures::WriteSyntheticWorkdir(folder_.path());
        WriteDevice("room1.kvx2", fixtures::TypicalDeviceLines("100.0"));
        state_ = std::make_unique<EngineState>(LoadReferenceTables(folder_.path()), folder_.path());
        window_ = std::make_unique<MainWindow>(*state_, messages_);
        window_->show();
        window_->activateWindow();
        ProcessEvents();
    }

    void WriteDevice(const std::string& name, const std::vector<std::string>& lines) {
        WriteTextLines(folder_.path() / name, lines, name);
    }

    template <typename T = QWidget>
    T* Get(const char* name) {
        return Find<T>(window_.get(), name);
    }
    QString Text(const char* label) { return Get<QLabel>(label)->text(); }

    FileList* Devices() { return Get<FileList>("File1"); }
    void Select(const QString& name) {
        Devices()->Refresh();
        ASSERT_TRUE(Devices()->SelectName(name)) << name.toStdString();
        ProcessEvents();
    }

    // Types into a field and confirms it with Enter, as a user would.
    void Enter(const char* field, const QString& text) {
        auto* edit = Get<QLineEdit>(field);
        edit->setFocus();
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
        ProcessEvents();
    }

    void PrepareExposure(const QString& kv = "80") {
        Select("room1.kvx2");
        Get<QComboBox>("Combo1")->setEditText("胸部背面");
        Enter("Text5", kv);
        Enter("Text14", "10");
        Enter("Text15", "1");
        Get<QRadioButton>("Option2")->click();
        Enter("Text9", "85");
    }

    std::array<QString, 7> Results() {
        std::array<QString, 7> texts;
        for (int i = 0; i < 7; ++i) {
            texts[static_cast<size_t>(i)] =
                Text(QString("Label%1").arg(68 + i).toUtf8().constData());
        }
        return texts;
    }

    fixtures::TempFolder folder_;
    testing::FakeMessageService messages_;
    std::unique_ptr<EngineState> state_;
    std::unique_ptr<MainWindow> window_;
};

TEST_F(MainWindowTest, StartsWithInputsClosedAndNothingShown) {
    EXPECT_EQ(window_->windowTitle(), "  Korvex-2  ( Korvex, version 2 )");
    for (const char* input : {"Combo1", "Text5", "Text14", "Text15", "Text9"}) {
        EXPECT_FALSE(Get(input)->isEnabled()) << input;
    }
    for (const char* label : {"Label23", "Label25", "Label50", "Label51", "Label26", "Label62",
                              "Label64", "Label65", "Label68", "Label74"}) {
        EXPECT_EQ(Text(label), "") << label;
    }
    EXPECT_EQ(Text("Label29"), "―");
    EXPECT_EQ(Text("Label22"), "正 方 形");
    EXPECT_FALSE(Get<QRadioButton>("Option1")->isChecked());
    EXPECT_FALSE(Get<QRadioButton>("Option2")->isChecked());
    EXPECT_FALSE(Get("Command3")->isEnabled());
    auto* sites = Get<QComboBox>("Combo1");
    ASSERT_EQ(sites->count(), 4);
    EXPECT_EQ(sites->itemText(0), "頭部");
    EXPECT_EQ(sites->itemText(1), "胸部背面");
    EXPECT_EQ(sites->itemText(2), "腹部背面");
    EXPECT_EQ(sites->itemText(3), "");
    EXPECT_EQ(sites->currentText(), "");
    EXPECT_EQ(Devices()->Names(), QStringList{"room1.kvx2"});
    EXPECT_EQ(state_->calc.ArbitraryFilterOn, 0);
}

TEST_F(MainWindowTest, SelectingADeviceShowsItsValuesAndOpensTheInputs) {
    Select("room1.kvx2");
    EXPECT_EQ(Text("Label23"), "12.0");
    EXPECT_EQ(Text("Label25"), "2.50");
    EXPECT_EQ(Text("Label50"), "1.00");
    EXPECT_EQ(Text("Label51"), "0.10");
    EXPECT_EQ(Text("Label29"), "-");
    EXPECT_EQ(Text("Label26"), "-");
    EXPECT_EQ(Text("Label62"), "120.0");
    EXPECT_EQ(Text("Label64"), "100.0");
    EXPECT_EQ(Get<QLineEdit>("Text5")->text(), "80");
    EXPECT_EQ(Get<QLineEdit>("Text9")->text(), "85");
    for (const char* input : {"Combo1", "Text5", "Text14", "Text15", "Text9", "Command2"}) {
        EXPECT_TRUE(Get(input)->isEnabled()) << input;
    }
    QWidget* focus = QApplication::focusWidget();
    EXPECT_TRUE(focus == Get("Combo1") || (focus && focus->parent() == Get("Combo1")));
    // The case holds centimetres.
    EXPECT_DOUBLE_EQ(state_->calc.InherentFiltration, 0.25);
    EXPECT_DOUBLE_EQ(state_->calc.AddedCopper, 0.01);

    // An older device file: 80 kV; an isocentre at 65.2 cm gives 50 cm to the skin.
    WriteDevice("old.kvx", {"100.0", "65.2", "12.0", "2.50", "0.00", "0.00", " 0 ",  "---",
                            "0",     "0.80", "0.82", "0.85", "0.87", "0.90", "1.0",  "1.1",
                            "1.2",   "1.3",  "1.4",  "1.00", "1.01", "1.02", "1.03", "1.04"});
    Select("old.kvx");
    EXPECT_EQ(Get<QLineEdit>("Text5")->text(), "80");
    EXPECT_EQ(Get<QLineEdit>("Text9")->text(), "50");
    EXPECT_EQ(Text("Label64"), "65.2");
    EXPECT_DOUBLE_EQ(state_->calc.CouchTransmission, 0.85);
}

// The device's couch model is shown under its values and goes into the case with them; a
// device of earlier programs is the layer and every other display stays as it was.
TEST_F(MainWindowTest, TheChosenDevicesCouchModelIsShownAndGoesIntoTheCase) {
    EXPECT_EQ(Text("CouchModelLabel"), "");
    WriteDevice("table.kvx2", fixtures::TypicalTableTopDeviceLines("4.0"));
    Select("table.kvx2");
    EXPECT_EQ(Text("CouchModelLabel"), "天板モデル：天板＋マット 4.0 cm");
    EXPECT_EQ(state_->calc.Couch, CouchModel::TableTop);
    EXPECT_EQ(state_->calc.MattressThickness, 4);
    EXPECT_EQ(Text("Label64"), "100.0");
    EXPECT_EQ(Text("Label26"), "-");

    Select("room1.kvx2");
    EXPECT_EQ(Text("CouchModelLabel"), "天板モデル：組織等価層");
    EXPECT_EQ(state_->calc.Couch, CouchModel::Layer);
    EXPECT_EQ(state_->calc.MattressThickness, 0);

    // A broken couch line loads nothing: the shown device and the case stay.
    Select("table.kvx2");
    WriteDevice("broken.kvx2", fixtures::TypicalTableTopDeviceLines("40"));
    messages_.Forget();
    Select("broken.kvx2");
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_TRUE(messages_.Texts()[0].contains("15 行目")) << messages_.Texts()[0].toStdString();
    EXPECT_EQ(Text("CouchModelLabel"), "天板モデル：天板＋マット 4.0 cm");
    EXPECT_EQ(state_->calc.MattressThickness, 4);

    // A deleted device is no longer shown; the case keeps it for the next calculation.
    Select("table.kvx2");
    messages_.AnswerNext(MessageAnswer::Ok);
    Get<QPushButton>("Command4")->click();
    EXPECT_EQ(Text("CouchModelLabel"), "");
    EXPECT_EQ(state_->calc.Couch, CouchModel::TableTop);
}

TEST_F(MainWindowTest, ArrowKeysLoadEachDevicePassedOver) {
    WriteDevice("room2.kvx2", fixtures::TypicalDeviceLines("90.0"));
    WriteDevice("room3.kvx2", fixtures::TypicalDeviceLines("110.0"));
    Select("room1.kvx2");
    Devices()->setFocus();
    QTest::keyClick(Devices(), Qt::Key_Down);
    EXPECT_EQ(Text("Label64"), "90.0");
    EXPECT_EQ(Get<QLineEdit>("Text9")->text(), "75");
    QTest::keyClick(Devices(), Qt::Key_Down);
    EXPECT_EQ(Text("Label64"), "110.0");
    QTest::keyClick(Devices(), Qt::Key_Up);
    EXPECT_EQ(Text("Label64"), "90.0");
    EXPECT_EQ(Devices()->SelectedName(), "room2.kvx2");
}

TEST_F(MainWindowTest, DeleteAsksAndOnlyOkDeletes) {
    Select("room1.kvx2");
    messages_.AnswerNext(MessageAnswer::Cancel);
    Get<QPushButton>("Command4")->click();
    EXPECT_TRUE(std::filesystem::exists(folder_.path() / "room1.kvx2"));
    EXPECT_EQ(Text("Label64"), "100.0");
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_EQ(messages_.Texts()[0], " このデータファイルを本当に削除しますか？ ");
    EXPECT_EQ(messages_.Events()[0].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(messages_.Events()[0].icon, MessageIcon::None);

    messages_.AnswerNext(MessageAnswer::Ok);
    Get<QPushButton>("Command4")->click();
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / "room1.kvx2"));
    EXPECT_TRUE(Devices()->Names().isEmpty());
    for (const char* label :
         {"Label23", "Label25", "Label50", "Label51", "Label26", "Label62", "Label64"}) {
        EXPECT_EQ(Text(label), "") << label;
    }
    EXPECT_EQ(Text("Label29"), "-");
    // The case keeps the deleted device's values; the inputs stay open.
    EXPECT_DOUBLE_EQ(state_->calc.FocusIsocentreDistance, 100);
    EXPECT_TRUE(Get("Text14")->isEnabled());
}

TEST_F(MainWindowTest, AFileThatCannotBeDeletedIsReported) {
    Select("room1.kvx2");
    // Gone between choosing it and confirming the delete (another program took it).
    std::filesystem::remove(folder_.path() / "room1.kvx2");
    messages_.AnswerNext(MessageAnswer::Ok);
    Get<QPushButton>("Command4")->click();
    ASSERT_EQ(messages_.Texts().size(), 2u);
    EXPECT_TRUE(messages_.Texts()[1].contains("room1.kvx2"));
    EXPECT_EQ(messages_.Events()[1].icon, MessageIcon::Exclamation);
    // The device's values stay shown; the list follows the folder.
    EXPECT_EQ(Text("Label64"), "100.0");
    EXPECT_TRUE(Devices()->Names().isEmpty());
}

TEST_F(MainWindowTest, ABrokenDeviceFileIsReportedAndChangesNothing) {
    Select("room1.kvx2");
    const CalculationCase before = state_->calc;
    std::vector<std::string> broken = fixtures::TypicalDeviceLines("100.0");
    broken[1] = "one hundred";
    WriteDevice("broken.kvx2", broken);
    WriteDevice("short.kvx2", {"120.0", "100.0", "12.0"});
    for (const char* name : {"broken.kvx2", "short.kvx2"}) {
        messages_.Forget();
        Select(name);
        ASSERT_FALSE(messages_.Texts().empty()) << name;
        EXPECT_TRUE(messages_.Texts().back().contains(name))
            << messages_.Texts().back().toStdString();
        EXPECT_EQ(messages_.Events().back().icon, MessageIcon::Exclamation);
        EXPECT_EQ(Text("Label64"), "100.0");
        EXPECT_EQ(state_->calc.FocusIsocentreDistance, before.FocusIsocentreDistance);
        EXPECT_EQ(state_->calc.CouchTransmission, before.CouchTransmission);
        EXPECT_EQ(state_->calc.InherentFiltration, before.InherentFiltration);
    }
}

TEST_F(MainWindowTest, EnterWalksTheFieldsAndStoresTheirValues) {
    Select("room1.kvx2");
    auto* site = Get<QComboBox>("Combo1");
    site->setFocus();
    QTest::keyClick(site->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), Get("Text5"));
    Enter("Text5", "80kV");
    EXPECT_EQ(state_->calc.TubeVoltage, 80);
    EXPECT_EQ(QApplication::focusWidget(), Get("Text14"));
    Enter("Text14", "12.5");
    EXPECT_EQ(state_->calc.DisplayedKar, 12.5);
    EXPECT_EQ(QApplication::focusWidget(), Get("Text15"));
    Enter("Text15", "abc");
    EXPECT_EQ(state_->calc.DisplayedPka, 0);
    EXPECT_EQ(QApplication::focusWidget(), Get("Option2"));
    Enter("Text9", "70");
    EXPECT_EQ(state_->calc.FocusSkinDistance, 70);
    EXPECT_EQ(QApplication::focusWidget(), Get("Command2"));

    // Leaving a field stores it as well, changed or not.
    auto* kar = Get<QLineEdit>("Text14");
    kar->setFocus();
    kar->setText("7");
    Get("Text15")->setFocus();
    ProcessEvents();
    EXPECT_EQ(state_->calc.DisplayedKar, 7);
}

TEST_F(MainWindowTest, FieldShapeNeedsBothReadings) {
    Select("room1.kvx2");
    Enter("Text14", "10");
    Get<QRadioButton>("Option2")->click();
    EXPECT_FALSE(Get<QRadioButton>("Option2")->isChecked());
    EXPECT_EQ(Text("Label65"), "");
    // A stored zero reading counts as none (no division by zero).
    Enter("Text15", "0");
    Get<QRadioButton>("Option1")->click();
    EXPECT_FALSE(Get<QRadioButton>("Option1")->isChecked());
    EXPECT_EQ(Text("Label65"), "");

    // 10 mGy and 1 Gy cm2: 100 cm2.
    Enter("Text15", "1");
    Get<QRadioButton>("Option2")->click();
    EXPECT_TRUE(Get<QRadioButton>("Option2")->isChecked());
    EXPECT_EQ(Text("Label22"), "正方形 一辺長");
    EXPECT_EQ(Text("Label65"), "10.00");
    EXPECT_EQ(state_->calc.FieldShape, FieldShapeKind::Square);
    EXPECT_EQ(QApplication::focusWidget(), Get("Text9"));
    Get<QRadioButton>("Option1")->click();
    EXPECT_TRUE(Get<QRadioButton>("Option1")->isChecked());
    EXPECT_FALSE(Get<QRadioButton>("Option2")->isChecked());
    EXPECT_EQ(Text("Label22"), "直 径");
    EXPECT_EQ(Text("Label65"), "11.28");
    EXPECT_EQ(state_->calc.FieldShape, FieldShapeKind::Circle);
}

TEST_F(MainWindowTest, MissingInputWarnsAndChangesNoDisplay) {
    Select("room1.kvx2");
    Enter("Text14", "10");
    Get<QPushButton>("Command2")->click();
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_EQ(messages_.Texts()[0], " 未入力の項目があります ");
    EXPECT_EQ(messages_.Events()[0].icon, MessageIcon::Exclamation);
    for (const QString& text : Results()) {
        EXPECT_EQ(text, "");
    }
    EXPECT_FALSE(Get("Command3")->isEnabled());
}

TEST_F(MainWindowTest, CalculationShowsWhatTheEngineAndTheCommandLineGive) {
    PrepareExposure();
    Get<QPushButton>("Command2")->click();
    EXPECT_TRUE(messages_.Texts().empty());

    // The same inputs through the engine alone, on a state of its own.
    const CalculationOutcome expected = fixtures::CalculateTypicalExposure(folder_.path()).outcome;
    ASSERT_EQ(expected.result, CalculationOutcome::Result::Succeeded) << expected.reason;
    const auto shown = Results();
    for (size_t i = 0; i < 7; ++i) {
        ASSERT_TRUE(expected.displays[i]);
        EXPECT_EQ(shown[i].toStdString(), *expected.displays[i]) << "Label" << 68 + i;
    }
    // And what the command-line tool prints for the same inputs.
    std::ostringstream json;
    std::ostringstream errors;
    ASSERT_EQ(cli::RunCommandLine(
                  {"calc", "--device", "room1.kvx2", "--kar", "10", "--pka", "1", "--shape",
                   "square", "--site", "胸部背面", "--workdir", folder_.path().string()},
                  "korvex2-cli", json, errors),
              0)
        << errors.str();
    const cli::Json printed = cli::Json::parse(json.str());
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(printed["Display"][kDisplayNames[i]], shown[i].toStdString()) << kDisplayNames[i];
    }
    EXPECT_EQ(state_->calc.BodySite, "胸部背面");
    EXPECT_TRUE(Get("Command3")->isEnabled());
    EXPECT_TRUE(Get("Command6")->isEnabled());
    EXPECT_EQ(QApplication::focusWidget(), Get("Command3"));

    // Clearing the results empties the seven values and closes the add button.
    Get<QPushButton>("Command6")->click();
    for (const QString& text : Results()) {
        EXPECT_EQ(text, "");
    }
    EXPECT_FALSE(Get("Command3")->isEnabled());
    EXPECT_TRUE(Get("Command2")->isEnabled());
}

// The same exposure as PrepareExposure through the command-line tool.
cli::Json CalcJson(const std::filesystem::path& folder, const std::string& model) {
    std::ostringstream json;
    std::ostringstream errors;
    EXPECT_EQ(cli::RunCommandLine(
                  {"calc", "--device", "room1.kvx2", "--kar", "10", "--pka", "1", "--shape",
                   "square", "--fsd", "85", "--model", model, "--workdir", folder.string()},
                  "korvex2-cli", json, errors),
              0)
        << errors.str();
    return cli::Json::parse(json.str());
}

TEST_F(MainWindowTest, TheChosenModelCalculatesIsShownAndIsKeptForTheNextStart) {
    auto* models = Get<QComboBox>("Combo2");
    // No setting stored: the validated model, with its explanation.
    EXPECT_EQ(models->currentText(), "検証済みモデル");
    EXPECT_NE(Text("Label76").indexOf("逆二乗"), -1);
    EXPECT_NE(Get<QLabel>("Label71")->toolTip().indexOf("皮膚（天板の後ろ"), -1);
    EXPECT_NE(Get<QLabel>("Label73")->toolTip().indexOf("皮膚での一次線吸収線量"), -1);
    PrepareExposure();
    Get<QPushButton>("Command2")->click();
    const cli::Json validated = CalcJson(folder_.path(), "validated");
    EXPECT_EQ(Text("Label74").toStdString(), validated["Display"]["SkinDose"]);
    const double uncertainty = validated["SkinDoseUncertainty"].get<double>();
    EXPECT_EQ(Text("Label75").toStdString(), "± " + FormatNumber(100 * uncertainty, "#0") + " %");
    // The beam's quality under the displays, as the command line states it.
    EXPECT_EQ(Text("Label77").toStdString(),
              "線質：第１半価層 " +
                  FormatNumber(validated["HalfValueLayer"].get<double>(), "#0.00") +
                  " mmAl、平均エネルギー " +
                  FormatNumber(validated["MeanEnergy"].get<double>(), "##0.0") + " keV");

    // Choosing the legacy formula calculates the result on show again, by it.
    testing::ChooseInList(models, "従来式");
    ProcessEvents();
    const cli::Json legacy = CalcJson(folder_.path(), "legacy");
    EXPECT_EQ(Text("Label74").toStdString(), legacy["Display"]["SkinDose"]);
    EXPECT_EQ(Text("Label71").toStdString(), legacy["Display"]["PrimaryAirKerma"]);
    EXPECT_EQ(Text("Label75"), "");
    EXPECT_NE(Text("Label77").indexOf("第１半価層"), -1);  // the same beam, either model
    EXPECT_NE(Text("Label76").indexOf("以前のプログラム"), -1);
    // The captions stay; the tooltips say what the two changed values are.
    EXPECT_NE(Get<QLabel>("Label71")->toolTip().indexOf("基準点の値"), -1);
    EXPECT_EQ(state_->calc.Model, DoseModel::Legacy);
    EXPECT_TRUE(Get("Command3")->isEnabled());

    // The next start finds the choice in the working folder.
    EXPECT_EQ(ReadTextFile(folder_.path() / "Korvex2Settings.txt", "settings"),
              "DoseModel=legacy\r\n");
    MainWindow next(*state_, messages_);
    EXPECT_EQ(Find<QComboBox>(&next, "Combo2")->currentText(), "従来式");
    EXPECT_TRUE(messages_.Texts().empty());
}

TEST_F(MainWindowTest, AStoredModelThatCannotBeUsedOrKeptIsReported) {
    WriteTextLines(folder_.path() / "Korvex2Settings.txt", {"DoseModel=exact"}, "settings");
    MainWindow unknown(*state_, messages_);
    EXPECT_EQ(Find<QComboBox>(&unknown, "Combo2")->currentText(), "検証済みモデル");
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_NE(messages_.Texts().back().indexOf("「exact」"), -1);

    // A folder in the file's place: the choice holds for this run, and the user is told.
    std::filesystem::remove(folder_.path() / "Korvex2Settings.txt");
    std::filesystem::create_directory(folder_.path() / "Korvex2Settings.txt");
    testing::ChooseInList(Get<QComboBox>("Combo2"), "従来式");
    EXPECT_EQ(window_->Model(), DoseModel::Legacy);
    ASSERT_EQ(messages_.Texts().size(), 2u);
    EXPECT_NE(messages_.Texts().back().indexOf("次回の起動に引き継がれません"), -1);
}

TEST_F(MainWindowTest, TooHighAVoltageFailsWithTheMessageAndBeep) {
    PrepareExposure("150");
    Get<QPushButton>("Command2")->click();
    ASSERT_FALSE(messages_.Events().empty());
    EXPECT_TRUE(messages_.Events()[0].beep);
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_EQ(messages_.Texts()[0], "　???  正しく計算できませんでした  ???   ");
    EXPECT_FALSE(Get("Command3")->isEnabled());
}

TEST_F(MainWindowTest, AMissingKernelFileStopsTheDepthStep) {
    std::filesystem::remove(folder_.path() / fixtures::ScatterKernelFileName(45));
    PrepareExposure();
    Get<QPushButton>("Command2")->click();
    ASSERT_FALSE(messages_.Texts().empty());
    EXPECT_EQ(messages_.Texts().back(), " 正しく計算できません ");
    EXPECT_EQ(Text("Label73"), "---");
    EXPECT_EQ(Text("Label74"), "---");
    EXPECT_FALSE(Get("Command3")->isEnabled());
}

TEST_F(MainWindowTest, DecliningToExitKeepsEverything) {
    PrepareExposure();
    Get<QPushButton>("Command2")->click();
    const auto results = Results();
    QSignalSpy exits(window_.get(), &MainWindow::exitRequested);

    // By the exit button.
    Get<QPushButton>("Command1")->click();
    ProcessEvents();
    QWidget* question = Find<QWidget>(window_.get(), "Form7");
    EXPECT_TRUE(question->isVisible());
    EXPECT_EQ(question->windowTitle(), "END");
    Find<QPushButton>(question, "Command2")->click();  // いいえ
    ProcessEvents();
    EXPECT_FALSE(question->isVisible());
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(Results(), results);
    EXPECT_EQ(Get<QLineEdit>("Text14")->text(), "10");

    // By the window frame.
    window_->close();
    ProcessEvents();
    EXPECT_TRUE(question->isVisible());
    Find<QPushButton>(question, "Command2")->click();
    ProcessEvents();
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(Results(), results);
    EXPECT_EQ(Text("Label65"), "10.00");
    EXPECT_EQ(exits.count(), 0);

    // "はい" ends the program.
    Get<QPushButton>("Command1")->click();
    Find<QPushButton>(question, "Command1")->click();
    EXPECT_EQ(exits.count(), 1);
}

}  // namespace
}  // namespace korvex
