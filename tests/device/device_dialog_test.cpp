// The device dialog (Form8) driven through the main window, as a user would.
#include <QComboBox>
#include <QRadioButton>
#include <QSet>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "cli/commands.h"
#include "cli/json_output.h"
#include "device/device_file.h"
#include "engine/text_rules.h"
#include "engine/working_folder.h"
#include "mainwindow/program_windows.h"
#include "tests/device/device_dialog_support.h"
#include "tests/gui_support/fake_printer_service.h"
#include "ui/file_list.h"

namespace korvex {
namespace {

using testing::DeviceDialogTest;
using testing::Find;
using testing::ProcessEvents;

// Every text of the labels of a window, with line breaks as "<br>".
QSet<QString> LabelTexts(QWidget* window) {
    QSet<QString> texts;
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        texts.insert(label->text());
    }
    return texts;
}

TEST_F(DeviceDialogTest, CaptionsHeadingsInstructionsAndNotes) {
    QWidget* dialog = OpenDialog();
    EXPECT_EQ(dialog->windowTitle(), "  装置データ作成");
    const QSet<QString> texts = LabelTexts(dialog);
    for (const char* caption : {
             "使用するＸ線装置の基本データを作成します。",
             "Ｘ線室 または 装置の名称",
             "　焦点-受像器間距離",
             "焦点-アイソセンター間距離",
             " Ｘ線管ターゲット角度",
             "　度",
             " 固有フィルタ (Al 当量)",
             "以下、通常使用するフィルタを設定",
             " 付加フィルタ (アルミ)",
             " 付加フィルタ（ 銅 ）",
             "通常使用する管電圧",
             "kV",
             "cm",
             "mm",
             "mGy",
             "天板透過率 および<br>実測値/装置表示値 校正定数",
             "・線量計でアイソセンターにおける空気カーマを測定",
             "・通常使用する管電圧に設定",
             "・mAs 値は適当な値に設定",
             "・照射野は K<sub>a,r</sub> 検出器の大きさに絞る",
             "実測空気カーマ (補正後)",
             "天板なし",
             "天板あり",
             "装置表示値 K<sub>a,r</sub>",
             "K<sub>a,r</sub> は患者照射基準点 (天板なし) の空気カーマ",
             "天板透過率",
             "天板の軟部組織等価厚 cm",
             "実測値/表示値 (同距離換算)",
             "同じＸ線室・装置であっても、フィルタの組み合わせが異なる場合は、それぞれについてこの"
             "データを（名称を変えて）作成する必要があります。",
         }) {
        EXPECT_TRUE(texts.contains(QString::fromUtf8(caption))) << caption;
    }
    EXPECT_EQ(Get<QPushButton>("Command1")->text(), "OK");
    EXPECT_EQ(Get<QPushButton>("Command3")->text(), "Save");
    EXPECT_EQ(Get<QPushButton>("Command2")->text(), "Cancel");
    EXPECT_EQ(Get<QPushButton>("Command9")->text(), "任意フィルタ");
    EXPECT_EQ(Get<QPushButton>("Command9")->toolTip(), "アルミ・銅以外のフィルター設定");
}

TEST_F(DeviceDialogTest, CreateNewOpensAResetDialogBesideAUsableMainWindow) {
    QWidget* dialog = OpenDialog();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->isWindow());
    EXPECT_EQ(dialog->parentWidget(), nullptr);  // none of the main window's style
    // Modeless: nothing blocks the main window.
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_FALSE(dialog->isModal());
    EXPECT_TRUE(window_->isEnabled());
    EXPECT_TRUE(Find(window_.get(), "File1")->isEnabled());

    EXPECT_EQ(Box("Text1")->text(), "12");
    EXPECT_EQ(Box("Text2")->text(), "2.5");
    for (const char* box :
         {"Text13", "Text8", "Text5", "Text3", "Text4", "Text23", "Text14", "Text15", "Text16"}) {
        EXPECT_EQ(Box(box)->text(), "") << box;
    }
    EXPECT_EQ(Text("Label29"), "---");
    EXPECT_EQ(Text("Label26"), "0");
    for (const char* label : {"Label21", "Label38", "Label27"}) {
        EXPECT_EQ(Text(label), "") << label;
    }
    EXPECT_FALSE(Get("Command3")->isEnabled());

    // Cancel hides it; the next create-new resets what was typed.
    FillExample();
    ClickOk();
    Get<QPushButton>("Command2")->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(Box("Text13")->text(), "Room1");  // hidden, not destroyed
    EXPECT_EQ(OpenDialog(), dialog);
    EXPECT_EQ(Box("Text13")->text(), "");
    EXPECT_EQ(Text("Label21"), "");
    EXPECT_FALSE(Get("Command3")->isEnabled());
}

TEST_F(DeviceDialogTest, EnterWalksTheBoxesInTheirOrderAndEndsOnOk) {
    OpenDialog();
    const char* const order[] = {"Text13", "Text8",  "Text5",  "Text1",  "Text2", "Text3",
                                 "Text4",  "Text23", "Text14", "Text15", "Text16"};
    Box("Text13")->setFocus();
    ProcessEvents();
    for (size_t i = 0; i < std::size(order); ++i) {
        ASSERT_EQ(QApplication::focusWidget(), Box(order[i])) << order[i];
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        ProcessEvents();
    }
    EXPECT_EQ(QApplication::focusWidget(), Get("Command1"));
    EXPECT_TRUE(messages_.Events().empty());  // Enter does not press OK
}

TEST_F(DeviceDialogTest, OkWithAnEmptyBoxGivesTheMessageAndComputesNothing) {
    OpenDialog();
    FillExample();
    Type("Text23", "");
    state_->calc.CouchTransmission = 0.42;
    ClickOk();
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_EQ(messages_.Texts()[0], " 入力されていない箇所があります ");
    EXPECT_EQ(messages_.Events().back().icon, MessageIcon::Exclamation);
    EXPECT_EQ(messages_.Events().back().buttons, MessageButtons::Ok);
    EXPECT_EQ(Text("Label21"), "");
    EXPECT_EQ(Text("Label27"), "");
    EXPECT_EQ(Text("Label38"), "");
    EXPECT_FALSE(Get("Command3")->isEnabled());
    EXPECT_EQ(state_->calc.CouchTransmission, 0.42);
    EXPECT_EQ(state_->calc.FocusIsocentreDistance, 0);
}

TEST_F(DeviceDialogTest, TheCalibrationExampleShowsItsThreeValues) {
    OpenDialog();
    FillExample();
    ClickOk();
    EXPECT_TRUE(messages_.Events().empty()) << messages_.Texts()[0].toStdString();
    EXPECT_EQ(Text("Label21"), "0.850");
    EXPECT_EQ(Text("Label27"), "2.768");
    EXPECT_EQ(Text("Label38"),
              QString::fromStdString(FormatNumber(state_->calc.CouchEquivalentThickness, "#0.0")));
    EXPECT_DOUBLE_EQ(state_->calc.CouchTransmission, 0.85);
    EXPECT_TRUE(Get("Command3")->isEnabled());
    EXPECT_EQ(QApplication::focusWidget(), Get("Command3"));
}

TEST_F(DeviceDialogTest, InherentFiltrationIsStoredInCentimetresAndSavedInMillimetres) {
    OpenDialog();
    FillExample();
    Type("Text2", "2.5");
    Box("Text3")->setFocus();  // leaving Text2 stores it
    ProcessEvents();
    EXPECT_DOUBLE_EQ(state_->calc.InherentFiltration, 0.25);
    Type("Text1", "14");
    Box("Text2")->setFocus();
    ProcessEvents();
    EXPECT_EQ(state_->calc.TargetAngle, 14);
    ClickOk();
    ClickSave();
    ASSERT_EQ(Lines("Room1.kvx2").size(), 13u);
    EXPECT_EQ(Lines("Room1.kvx2")[3], "2.50");
    EXPECT_EQ(Lines("Room1.kvx2")[2], "14.0");
}

TEST_F(DeviceDialogTest, SaveWritesTheFileTellsAndListsItInTheMainWindow) {
    QWidget* dialog = OpenDialog();
    FillExample();
    ClickOk();
    ClickSave();
    EXPECT_TRUE(std::filesystem::exists(folder_.path() / "Room1.kvx2"));
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_EQ(messages_.Texts()[0], " 基本データを Room1.kvx2 に保存しました ");
    EXPECT_EQ(messages_.Events()[0].icon, MessageIcon::None);
    EXPECT_EQ(messages_.Events()[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(messages_.BeepCount(), 0);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(Find<FileList>(window_.get(), "File1")->Names().contains("Room1.kvx2"));

    // The new device can be chosen and calculated with.
    auto* devices = Find<FileList>(window_.get(), "File1");
    ASSERT_TRUE(devices->SelectName("Room1.kvx2"));
    ProcessEvents();
    EXPECT_EQ(Find<QLabel>(window_.get(), "Label64")->text(), "100.0");
    EXPECT_EQ(Find<QLineEdit>(window_.get(), "Text5")->text(), "80");
}

TEST_F(DeviceDialogTest, SavingTwiceUnderOneNameReplacesTheFirstFile) {
    OpenDialog();
    FillExample();
    ClickOk();
    ClickSave();
    ASSERT_EQ(Lines("Room1.kvx2")[10], "0.850");

    OpenDialog();
    FillExample();
    Type("Text15", "1.600");
    ClickOk();
    ClickSave();
    EXPECT_EQ(Lines("Room1.kvx2")[10], "0.800");
    ASSERT_EQ(messages_.Texts().size(), 2u);  // no question before replacing
    EXPECT_EQ(messages_.Texts()[1], " 基本データを Room1.kvx2 に保存しました ");
}

TEST_F(DeviceDialogTest, AnEditAfterOkClosesSaveUntilOkAgain) {
    OpenDialog();
    FillExample();
    ClickOk();
    ASSERT_TRUE(Get("Command3")->isEnabled());
    Type("Text2", "3.0");
    EXPECT_FALSE(Get("Command3")->isEnabled());
    ClickOk();
    EXPECT_TRUE(Get("Command3")->isEnabled());
    ClickSave();
    // The file pairs the new filtration with the thickness computed from it.
    const std::vector<std::string> lines = Lines("Room1.kvx2");
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[3], "3.00");
    EXPECT_EQ(lines[11], FormatNumber(state_->calc.CouchEquivalentThickness, "#0.000"));
    EXPECT_DOUBLE_EQ(state_->calc.InherentFiltration, 0.3);

    // Every box counts, the name too.
    OpenDialog();
    FillExample();
    ClickOk();
    for (const char* box : {"Text13", "Text8", "Text5", "Text1", "Text2", "Text3", "Text4",
                            "Text23", "Text14", "Text15", "Text16"}) {
        ClickOk();
        ASSERT_TRUE(Get("Command3")->isEnabled()) << box;
        QTest::keyClicks(Box(box), "1");
        EXPECT_FALSE(Get("Command3")->isEnabled()) << box;
        QTest::keyClick(Box(box), Qt::Key_Backspace);
    }
}

TEST_F(DeviceDialogTest, InputsTheCalibrationCannotTakeAreRefusedAndStoreNothing) {
    OpenDialog();
    FillExample();
    Type("Text15", "2.500");  // more with the couch than without
    Type("Text2", "4.0");
    const CalculationCase before = state_->calc;
    ClickOk();
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_TRUE(messages_.Texts()[0].contains("天板透過率")) << messages_.Texts()[0].toStdString();
    EXPECT_EQ(messages_.Events().back().icon, MessageIcon::Exclamation);
    EXPECT_EQ(Text("Label21"), "");
    EXPECT_FALSE(Get("Command3")->isEnabled());
    EXPECT_EQ(state_->calc.FocusIsocentreDistance, before.FocusIsocentreDistance);
    EXPECT_EQ(state_->calc.CouchTransmission, before.CouchTransmission);

    messages_.Forget();
    Type("Text15", "1.700");
    Type("Text5", "15");
    ClickOk();
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_TRUE(messages_.Texts()[0].contains("15 cm")) << messages_.Texts()[0].toStdString();
    EXPECT_EQ(state_->calc.FocusIsocentreDistance, before.FocusIsocentreDistance);
}

// A factor below 0.0005 was once saved as "0.000" without a word, and every dose of the
// device was then 0.
TEST_F(DeviceDialogTest, AFactorTheFileWouldStoreAsZeroIsRefusedAndNothingSaved) {
    OpenDialog();
    FillExample();
    Type("Text16", "1000000");
    const double factor = 2.0 / 1000000 * (100.0 / 85) * (100.0 / 85);
    ExpectOkRefusedAndNothingSaved(StoredAsZeroMessage(kStoredKermaCorrection, factor));
    EXPECT_NE(messages_.Texts()[0].toStdString().find("校正定数 0.000003"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / "Room1.kvx2"));
}

TEST_F(DeviceDialogTest, ARoomWithoutCouchIsSavedWithNoThickness) {
    OpenDialog();
    FillExample();
    Type("Text15", "2.000");  // as much with the couch as without
    ClickOk();
    EXPECT_TRUE(messages_.Texts().empty());
    ClickSave();
    const std::vector<std::string> lines = Lines("Room1.kvx2");
    ASSERT_GE(lines.size(), 12u);
    EXPECT_EQ(lines[10], "1.000");  // transmission
    EXPECT_EQ(lines[11], "0.000");  // couch-equivalent thickness
}

TEST_F(DeviceDialogTest, ATextThatIsNoNumberIsRefusedAndNothingSaved) {
    OpenDialog();
    FillExample();
    Box("Text1")->setText("12度");  // OK takes every box's text
    ExpectOkRefusedAndNothingSaved(
        "Ｘ線管ターゲット角度には数値を入力して下さい（「12度」は数値ではありません）。");
    messages_.Forget();
    Type("Text1", "12");
    Box("Text3")->setText("なし");
    ExpectOkRefusedAndNothingSaved(
        NotANumberMessage(DeviceFieldCaption(DeviceField::AddedAluminium), "なし"));
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / "Room1.kvx2"));

    // Mended, the same dialog saves.
    messages_.Forget();
    Type("Text3", "1.0");
    ClickOk();
    ClickSave();
    EXPECT_TRUE(std::filesystem::exists(folder_.path() / "Room1.kvx2"));
}

TEST_F(DeviceDialogTest, AFileThatCannotBeCreatedIsReportedAndTheDialogStaysOpen) {
    QWidget* dialog = OpenDialog();
    FillExample("x/y");
    ClickOk();
    ClickSave();
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_TRUE(messages_.Texts()[0].contains("x/y")) << messages_.Texts()[0].toStdString();
    EXPECT_EQ(messages_.Events().back().icon, MessageIcon::Exclamation);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(Box("Text13")->text(), "x/y");
    EXPECT_EQ(Text("Label21"), "0.850");

    // The folder refuses the file (as root a read-only folder does not, so a folder of the
    // file's name stands in the way).
    messages_.Forget();
    std::filesystem::create_directory(folder_.path() / "Room2.kvx2");
    Type("Text13", "Room2");
    ClickOk();
    ClickSave();
    ASSERT_EQ(messages_.Texts().size(), 1u);
    EXPECT_TRUE(messages_.Texts()[0].contains("Room2.kvx2")) << messages_.Texts()[0].toStdString();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(Get("Command3")->isEnabled());

    // Once the way is free, Save works.
    std::filesystem::remove(folder_.path() / "Room2.kvx2");
    messages_.Forget();
    ClickSave();
    EXPECT_EQ(messages_.Texts().back(), " 基本データを Room2.kvx2 に保存しました ");
    EXPECT_FALSE(dialog->isVisible());
}

// The couch model is chosen beside the device's values: the mattress box opens for the table
// top only, the note says how the couch transmission is measured for the model chosen, and
// the file keeps the choice.
TEST_F(DeviceDialogTest, TheCouchChoiceOpensTheMattressBoxAndSaysHowToMeasure) {
    OpenDialog();
    auto* couch = Get<QComboBox>("CouchModelCombo");
    QLineEdit* mattress = Box("MattressEdit");
    ASSERT_EQ(couch->count(), 2);
    EXPECT_EQ(couch->itemText(0), "組織等価層（天板に密着）");
    EXPECT_EQ(couch->itemText(1), "天板＋マット");
    EXPECT_EQ(couch->currentIndex(), 0);
    EXPECT_EQ(mattress->text(), "4.0");
    EXPECT_FALSE(mattress->isEnabled());
    const QString layer_note = Text("CouchModelNote");
    EXPECT_TRUE(layer_note.contains("天板の上面")) << layer_note.toStdString();

    couch->setCurrentIndex(1);
    ProcessEvents();
    EXPECT_TRUE(mattress->isEnabled());
    const QString table_note = Text("CouchModelNote");
    EXPECT_TRUE(table_note.contains("マットの上に線量計")) << table_note.toStdString();
    EXPECT_TRUE(table_note.contains("マットの厚さ")) << table_note.toStdString();

    FillExample("Table");
    Type("MattressEdit", "12");
    ExpectOkRefusedAndNothingSaved(MattressThicknessRefusal(12));
    messages_.Forget();
    Type("MattressEdit", "3.5");
    ClickOk();
    ASSERT_TRUE(messages_.Texts().empty()) << messages_.Texts()[0].toStdString();
    ASSERT_TRUE(Get("Command3")->isEnabled());
    // A change of the choice or the mattress after OK closes Save, as a box's does.
    couch->setCurrentIndex(0);
    ProcessEvents();
    EXPECT_FALSE(Get("Command3")->isEnabled());
    EXPECT_FALSE(mattress->isEnabled());
    EXPECT_EQ(Text("CouchModelNote"), layer_note);
    couch->setCurrentIndex(1);
    ClickOk();
    Type("MattressEdit", "3.6");
    EXPECT_FALSE(Get("Command3")->isEnabled());
    Type("MattressEdit", "3.5");
    ClickOk();
    ClickSave();
    std::vector<std::string> lines = Lines("Table.kvx2");
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_EQ(lines[13], "1");
    EXPECT_EQ(lines[14], "3.5");

    // The same device from the command line is the same file.
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(
        cli::RunCommandLine(
            {"device",  "create",    "--name",     "Cli",   "--frd",      "120",
             "--fid",   "100",       "--angle",    "12",    "--inherent", "2.5",
             "--al",    "1.0",       "--cu",       "0.1",   "--kv",       "80",
             "--k0",    "2.000",     "--k1",       "1.700", "--kd",       "1.000",
             "--couch", "table-top", "--mattress", "3.5",   "--workdir",  folder_.path().string()},
            "korvex2-cli", out, err),
        0)
        << err.str();
    EXPECT_EQ(Lines("Cli.kvx2"), lines);

    // A new device starts again from the layer.
    OpenDialog();
    EXPECT_EQ(Get<QComboBox>("CouchModelCombo")->currentIndex(), 0);
    EXPECT_EQ(Box("MattressEdit")->text(), "4.0");
    EXPECT_FALSE(Box("MattressEdit")->isEnabled());
}

// One set of rules for both ways of making a device: the device made in the dialog and the
// same device made by `korvex2-cli device create` give the same file and, through
// `korvex2-cli calc`, the same skin dose.
TEST_F(DeviceDialogTest, TheDialogsDeviceCalculatesAsTheCommandLinesDevice) {
    OpenDialog();
    FillExample("Dialog");
    Type("Text2", "2.8");
    ClickOk();
    ClickSave();
    ASSERT_TRUE(std::filesystem::exists(folder_.path() / "Dialog.kvx2"));

    const std::string workdir = folder_.path().string();
    const auto run = [&](const std::vector<std::string>& args) {
        std::ostringstream out;
        std::ostringstream err;
        std::vector<std::string> with_folder = args;
        with_folder.insert(with_folder.end(), {"--workdir", workdir});
        const int code = cli::RunCommandLine(with_folder, "korvex2-cli", out, err);
        EXPECT_EQ(code, 0) << err.str();
        return out.str();
    };
    run({"device",  "create", "--name",     "Cli",   "--frd", "120",   "--fid", "100",
         "--angle", "12",     "--inherent", "2.8",   "--al",  "1.0",   "--cu",  "0.1",
         "--kv",    "80",     "--k0",       "2.000", "--k1",  "1.700", "--kd",  "1.000"});
    EXPECT_EQ(Lines("Dialog.kvx2"), Lines("Cli.kvx2"));

    const auto dose = [&](const std::string& device) {
        return cli::Json::parse(run(
            {"calc", "--device", device, "--kar", "250", "--pka", "35.2", "--shape", "square"}));
    };
    const cli::Json from_dialog = dose("Dialog.kvx2");
    const cli::Json from_cli = dose("Cli.kvx2");
    EXPECT_GT(from_dialog["SkinDose"].get<double>(), 0);
    EXPECT_EQ(from_dialog["SkinDose"], from_cli["SkinDose"]);
    EXPECT_EQ(from_dialog["Display"], from_cli["Display"]);
}

// A new user commissions a room without the command line: the program on a fresh working
// folder (made from the bundled data on first start), a device made in the dialog, chosen
// in the list and calculated with.
TEST(NewUser, CommissionsARoomOnAFreshWorkingFolderAndCalculates) {
    fixtures::TempFolder home;
    const std::string saved_workdir =
        std::getenv("KORVEX2_WORKDIR") ? std::getenv("KORVEX2_WORKDIR") : "";
    unsetenv("KORVEX2_WORKDIR");
    setenv("XDG_DATA_HOME", home.path().c_str(), 1);
    const std::filesystem::path folder = ResolveWorkingFolder(KORVEX_BUNDLED_DATA_DIR);
    if (!saved_workdir.empty()) {
        setenv("KORVEX2_WORKDIR", saved_workdir.c_str(), 1);
    }
    ASSERT_EQ(folder, home.path() / "Korvex-2");

    // The program as it starts: the main window (welcoming the user, as the bundled data
    // hold no user name) and the results window.
    testing::FakeMessageService messages;
    testing::FakePrinterService printer;
    ProgramState program(EngineState(LoadReferenceTables(folder), folder));
    ProgramWindows windows(program, messages, printer);
    windows.Show();
    ProcessEvents();
    MainWindow& window = windows.Main();
    Find<QPushButton>(&window, "Command7")->click();
    ProcessEvents();
    QWidget* dialog = window.DeviceDialogWindow();
    ASSERT_NE(dialog, nullptr);
    for (const auto& [box, text] :
         {std::pair{"Text13", "IVR室2"}, std::pair{"Text8", "120"}, std::pair{"Text5", "80"},
          std::pair{"Text3", "1.0"}, std::pair{"Text4", "0.1"}, std::pair{"Text23", "80"},
          std::pair{"Text14", "10.00"}, std::pair{"Text15", "8.20"},
          std::pair{"Text16", "14.50"}}) {
        Find<QLineEdit>(dialog, box)->setText(QString::fromUtf8(text));
    }
    Find<QPushButton>(dialog, "Command1")->click();
    Find<QPushButton>(dialog, "Command3")->click();
    ProcessEvents();
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(messages.Texts()[0], " 基本データを IVR室2.kvx2 に保存しました ");

    auto* devices = Find<FileList>(&window, "File1");
    ASSERT_TRUE(devices->SelectName("IVR室2.kvx2"));
    ProcessEvents();
    EXPECT_EQ(Find<QLineEdit>(&window, "Text9")->text(), "65");
    Find<QComboBox>(&window, "Combo1")->setEditText("胸部背面");
    for (const auto& [box, text] : {std::pair{"Text14", "250"}, std::pair{"Text15", "35.2"}}) {
        auto* edit = Find<QLineEdit>(&window, box);
        edit->setFocus();
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);  // stores the reading
    }
    Find<QRadioButton>(&window, "Option2")->click();
    Find<QPushButton>(&window, "Command2")->click();
    ProcessEvents();
    ASSERT_EQ(messages.Texts().size(), 1u) << messages.Texts().back().toStdString();

    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(cli::RunCommandLine({"calc", "--device", "IVR室2.kvx2", "--kar", "250", "--pka",
                                   "35.2", "--shape", "square", "--workdir", folder.string()},
                                  "korvex2-cli", out, err),
              0)
        << err.str();
    const cli::Json printed = cli::Json::parse(out.str());
    EXPECT_EQ(Find<QLabel>(&window, "Label74")->text().toStdString(),
              printed["Display"]["SkinDose"].get<std::string>());
    EXPECT_FALSE(Find<QLabel>(&window, "Label74")->text().isEmpty());
}

}  // namespace
}  // namespace korvex
