#include "device/device_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "device/material_file.h"
#include "engine/engine_state.h"
#include "engine/errors.h"
#include "engine/text_rules.h"
#include "tests/engine/engine_test_support.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"

namespace korvex {
namespace {

class DeviceFiles : public ::testing::Test {
  protected:
    EngineState State() { return EngineState(testing::SyntheticTables(), folder_.path()); }

    void Write(const std::string& name, const std::vector<std::string>& lines) {
        fixtures::WriteCp932Lines(folder_.path() / name, lines);
    }

    std::string Bytes(const std::string& name) const {
        std::ifstream in(folder_.path() / name, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    // A newer-version file with a lead filter, as the device dialog writes it.
    static std::vector<std::string> NewerLines() {
        return {"120.0", "100.0", "12.0", "2.50",  "1.00",  "0.10", " 1 ",
                "lead",  "0.5",   "85",   "0.800", "1.234", "1.050"};
    }

    // An older-version file: lines 1 to 9, then couch transmission, couch-equivalent
    // thickness and correction factor at 60, 70, 80, 90 and 100 kV.
    static std::vector<std::string> OlderLines() {
        return {"110.0",
                "95.0",
                "10.0",
                "3.00",
                "0.00",
                "0.20",
                " 0 ",
                "---",
                "0",
                "0.70,0.75,0.80,0.85,0.90",
                "1.1,1.2,1.3,1.4,1.5",
                "1.01,1.02,1.03,1.04,1.05"};
    }

    fixtures::TempFolder folder_;
};

// The device list shows "*.kvx2" in any case; such a file must load as what it is.
TEST_F(DeviceFiles, AnUpperCaseExtensionIsTheNewerVersionToo) {
    fixtures::WriteSyntheticMaterial(folder_.path() / "lead.ele");
    Write("ROOM2.KVX2", NewerLines());
    EngineState state = State();
    EXPECT_EQ(LoadDeviceFile(state, "ROOM2.KVX2").TypicalTubeVoltage, "85");
}

TEST_F(DeviceFiles, NewerVersionFillsTheDeviceFields) {
    fixtures::WriteSyntheticMaterial(folder_.path() / "lead.ele");
    Write("Room1.kvx2", NewerLines());
    EngineState state = State();
    state.calc.DisplayedKar = 33;
    state.calc.FieldShape = FieldShapeKind::Circle;
    state.calc.SkinDose = 44;

    const LoadedDevice device = LoadDeviceFile(state, "Room1.kvx2");
    EXPECT_EQ(device.TypicalTubeVoltage, "85");
    EXPECT_EQ(device.InherentFiltrationMm, 2.5);
    EXPECT_EQ(device.AddedAluminiumMm, 1.0);
    EXPECT_EQ(device.AddedCopperMm, 0.1);
    EXPECT_EQ(device.ArbitraryFilterThicknessMm, 0.5);

    const CalculationCase& c = state.calc;
    EXPECT_EQ(c.FocusReceptorDistance, 120);
    EXPECT_EQ(c.FocusIsocentreDistance, 100);
    EXPECT_EQ(c.TargetAngle, 12);
    EXPECT_NEAR(c.InherentFiltration, 0.25, 1e-15);
    EXPECT_NEAR(c.AddedAluminium, 0.1, 1e-15);
    EXPECT_NEAR(c.AddedCopper, 0.01, 1e-15);
    EXPECT_EQ(c.ArbitraryFilterOn, 1);
    EXPECT_EQ(c.ArbitraryFilterMaterial, "lead");
    EXPECT_NEAR(c.ArbitraryFilterThickness, 0.05, 1e-15);
    EXPECT_EQ(c.CouchTransmission, 0.8);
    EXPECT_EQ(c.CouchEquivalentThickness, 1.234);
    EXPECT_EQ(c.KermaCorrectionFactor, 1.05);
    // The filter's attenuation comes with the device.
    EXPECT_NEAR(state.work.ArbitraryFilterMu[20] / (fixtures::kSyntheticMaterialDensity *
                                                    fixtures::SyntheticMaterialCoefficient(0.010)),
                1, 1e-12);
    // Inputs and results are not the device's.
    EXPECT_EQ(c.DisplayedKar, 33);
    EXPECT_EQ(c.FieldShape, FieldShapeKind::Circle);
    EXPECT_EQ(c.SkinDose, 44);
}

TEST_F(DeviceFiles, OlderVersionTakesTheEightyKilovoltValues) {
    Write("Old room.kvx", OlderLines());
    EngineState state = State();
    state.work.ArbitraryFilterMu[40] = 3.5;
    const LoadedDevice device = LoadDeviceFile(state, "Old room.kvx");
    EXPECT_EQ(device.TypicalTubeVoltage, "80");
    EXPECT_EQ(state.calc.FocusReceptorDistance, 110);
    EXPECT_NEAR(state.calc.InherentFiltration, 0.3, 1e-15);
    EXPECT_NEAR(state.calc.AddedCopper, 0.02, 1e-15);
    EXPECT_EQ(state.calc.CouchTransmission, 0.8);
    EXPECT_EQ(state.calc.CouchEquivalentThickness, 1.3);
    EXPECT_EQ(state.calc.KermaCorrectionFactor, 1.03);
    // Flag 0: the material and thickness are loaded all the same, the table is not built.
    EXPECT_EQ(state.calc.ArbitraryFilterOn, 0);
    EXPECT_EQ(state.calc.ArbitraryFilterMaterial, "---");
    EXPECT_EQ(state.calc.ArbitraryFilterThickness, 0);
    EXPECT_EQ(state.work.ArbitraryFilterMu[40], 3.5);
}

TEST_F(DeviceFiles, TheNameAloneDecidesTheVersion) {
    // Older content named as newer: lines 10 to 13 are read from the value groups.
    Write("mixed.kvx2", OlderLines());
    EngineState state = State();
    EXPECT_EQ(LoadDeviceFile(state, "mixed.kvx2").TypicalTubeVoltage, "0.70");
    EXPECT_EQ(state.calc.CouchTransmission, 0.75);
    EXPECT_EQ(state.calc.KermaCorrectionFactor, 0.85);
    // Newer content named as older has too few fields.
    fixtures::WriteSyntheticMaterial(folder_.path() / "lead.ele");
    Write("mixed.kvx", NewerLines());
    EXPECT_THROW(LoadDeviceFile(state, "mixed.kvx"), FileError);
}

TEST_F(DeviceFiles, ThicknessTextAndEmptyTubeVoltage) {
    std::vector<std::string> lines = NewerLines();
    lines[6] = " 0 ";
    lines[7] = "---";
    lines[8] = "0.5mm";  // as typed in the filter dialog: its leading number counts
    lines[9] = "";
    Write("Room2.kvx2", lines);
    EngineState state = State();
    const LoadedDevice device = LoadDeviceFile(state, "Room2.kvx2");
    EXPECT_EQ(device.TypicalTubeVoltage, "");
    EXPECT_EQ(device.ArbitraryFilterThicknessMm, 0.5);
    EXPECT_NEAR(state.calc.ArbitraryFilterThickness, 0.05, 1e-15);
    EXPECT_EQ(state.calc.CouchTransmission, 0.8);
    EXPECT_EQ(state.calc.KermaCorrectionFactor, 1.05);
}

TEST_F(DeviceFiles, RefusedLoadLeavesTheStateAsItWas) {
    fixtures::WriteSyntheticMaterial(folder_.path() / "lead.ele");
    fixtures::WriteSyntheticMaterial(folder_.path() / "broken.ele",
                                     fixtures::MaterialBreakage::TextInRow);
    Write("Room1.kvx2", NewerLines());
    EngineState state = State();
    LoadDeviceFile(state, "Room1.kvx2");
    state.calc.ArbitraryFilterOn = 0;  // as after a release in the filter dialog
    const CalculationCase before = state.calc;
    const FineArray mu_before = state.work.ArbitraryFilterMu;

    struct Broken {
        int line;  // 0-based; -1: drop the last line
        const char* text;
    };
    const Broken variants[] = {
        {-1, ""},   {0, "abc"}, {2, ""},       {5, "0.1O"},     {6, " 2 "},
        {6, "yes"}, {7, "tin"}, {7, "broken"}, {10, "0.8 0.9"}, {12, "1.05x"},
    };
    for (const Broken& variant : variants) {
        std::vector<std::string> lines = NewerLines();
        if (variant.line < 0) {
            lines.pop_back();
        } else {
            lines[static_cast<size_t>(variant.line)] = variant.text;
        }
        Write("bad.kvx2", lines);
        const std::string what = std::to_string(variant.line) + " " + variant.text;
        try {
            LoadDeviceFile(state, "bad.kvx2");
            ADD_FAILURE() << "loaded: " << what;
        } catch (const FileError& error) {
            EXPECT_NE(std::string(error.what()).find("bad.kvx2"), std::string::npos)
                << error.what();
        }
        EXPECT_EQ(state.calc.ArbitraryFilterOn, before.ArbitraryFilterOn) << what;
        EXPECT_EQ(state.calc.ArbitraryFilterMaterial, before.ArbitraryFilterMaterial) << what;
        EXPECT_EQ(state.calc.FocusReceptorDistance, before.FocusReceptorDistance) << what;
        EXPECT_EQ(state.calc.InherentFiltration, before.InherentFiltration) << what;
        EXPECT_EQ(state.calc.AddedCopper, before.AddedCopper) << what;
        EXPECT_EQ(state.calc.CouchTransmission, before.CouchTransmission) << what;
        EXPECT_EQ(state.calc.KermaCorrectionFactor, before.KermaCorrectionFactor) << what;
        for (int n = 0; n <= 300; ++n) {
            ASSERT_EQ(state.work.ArbitraryFilterMu[n], mu_before[n]) << what;
        }
    }
    EXPECT_THROW(LoadDeviceFile(state, "gone.kvx2"), FileError);
    EXPECT_EQ(state.calc.ArbitraryFilterOn, 0);
}

TEST_F(DeviceFiles, SavedFileHasThirteenLinesInTheirPatterns) {
    CalculationCase c;
    c.FocusReceptorDistance = 120;
    c.FocusIsocentreDistance = 65.25;
    c.TargetAngle = 12;
    c.ArbitraryFilterOn = 1;
    c.CouchTransmission = 0.85;
    c.CouchEquivalentThickness = 0.5;
    c.KermaCorrectionFactor = 2.7681660899653977;
    const DeviceDialogTexts texts{.DeviceName = "Room1",
                                  .InherentFiltration = "2.5",
                                  .AddedAluminium = "1mm",
                                  .AddedCopper = "abc",
                                  .ArbitraryFilterMaterial = "lead",
                                  .ArbitraryFilterThickness = "0.5",
                                  .TypicalTubeVoltage = "80"};
    EXPECT_EQ(SaveDeviceFile(folder_.path(), texts, c), "Room1.kvx2");
    EXPECT_EQ(Bytes("Room1.kvx2"),
              "120.0\r\n65.3\r\n12.0\r\n2.50\r\n1.00\r\n0.00\r\n 1 \r\nlead\r\n0.5\r\n80\r\n"
              "0.850\r\n0.500\r\n2.768\r\n");
    EXPECT_EQ(DeviceSavedMessage("Room1.kvx2"), " 基本データを Room1.kvx2 に保存しました ");

    // Saving again replaces the file without a question.
    c.CouchEquivalentThickness = 12;
    c.ArbitraryFilterOn = 0;
    SaveDeviceFile(folder_.path(), texts, c);
    const std::string again = Bytes("Room1.kvx2");
    EXPECT_NE(again.find("\r\n 0 \r\n"), std::string::npos);
    EXPECT_NE(again.find("\r\n12.000\r\n"), std::string::npos);
}

TEST_F(DeviceFiles, SaveAndLoadAgree) {
    fixtures::WriteSyntheticMaterial(folder_.path() / "鉛.ele");
    CalculationCase c;
    c.FocusReceptorDistance = 105.5;
    c.FocusIsocentreDistance = 80;
    c.TargetAngle = 10;
    c.ArbitraryFilterOn = 1;
    c.CouchTransmission = 0.7712;
    c.CouchEquivalentThickness = 1.23456;
    c.KermaCorrectionFactor = 1.1;
    const DeviceDialogTexts texts{.DeviceName = "第2検査室",
                                  .InherentFiltration = "2.8",
                                  .AddedAluminium = "0",
                                  .AddedCopper = "0.3",
                                  .ArbitraryFilterMaterial = "鉛",
                                  .ArbitraryFilterThickness = "0.25",
                                  .TypicalTubeVoltage = "75"};
    const std::string file = SaveDeviceFile(folder_.path(), texts, c);
    EXPECT_EQ(file, "第2検査室.kvx2");
    // Code page 932 on disk: 鉛 is 0x89 0x94.
    EXPECT_NE(Bytes(file).find("\x89\x94\r\n"), std::string::npos);

    EngineState state = State();
    const LoadedDevice device = LoadDeviceFile(state, file);
    EXPECT_EQ(device.TypicalTubeVoltage, "75");
    EXPECT_EQ(device.InherentFiltrationMm, 2.8);
    EXPECT_EQ(device.AddedCopperMm, 0.3);
    EXPECT_EQ(state.calc.FocusReceptorDistance, 105.5);
    EXPECT_EQ(state.calc.FocusIsocentreDistance, 80);
    EXPECT_EQ(state.calc.TargetAngle, 10);
    EXPECT_EQ(state.calc.ArbitraryFilterOn, 1);
    EXPECT_EQ(state.calc.ArbitraryFilterMaterial, "鉛");
    EXPECT_NEAR(state.calc.ArbitraryFilterThickness, 0.025, 1e-15);
    EXPECT_EQ(state.calc.CouchTransmission, 0.771);
    EXPECT_EQ(state.calc.CouchEquivalentThickness, 1.235);
    EXPECT_EQ(state.calc.KermaCorrectionFactor, 1.1);
    EXPECT_GT(state.work.ArbitraryFilterMu[100], 0.0);
}

TEST_F(DeviceFiles, SaveRefusesWhatWouldNotComeBack) {
    CalculationCase c;
    c.FocusReceptorDistance = 120;
    c.FocusIsocentreDistance = 100;
    const DeviceDialogTexts good{.DeviceName = "Room1",
                                 .InherentFiltration = "2.5",
                                 .AddedAluminium = "0",
                                 .AddedCopper = "0",
                                 .ArbitraryFilterMaterial = "---",
                                 .ArbitraryFilterThickness = "0",
                                 .TypicalTubeVoltage = "80"};
    SaveDeviceFile(folder_.path(), good, c);
    const std::string saved = Bytes("Room1.kvx2");

    std::vector<DeviceDialogTexts> refused;
    for (const std::string& name : std::vector<std::string>{"", "a/b", "..", "a\\b", ".hidden",
                                                            "tab\tname", std::string(251, 'x')}) {
        refused.push_back(good);
        refused.back().DeviceName = name;
    }
    refused.push_back(good);
    refused.back().ArbitraryFilterMaterial = "le,ad";
    refused.push_back(good);
    refused.back().ArbitraryFilterThickness = "\"0.5\"";
    refused.push_back(good);
    refused.back().TypicalTubeVoltage = "80\r\n90";
    for (const DeviceDialogTexts& texts : refused) {
        EXPECT_THROW(SaveDeviceFile(folder_.path(), texts, c), FileError) << texts.DeviceName;
    }

    CalculationCase not_finite = c;
    not_finite.KermaCorrectionFactor = std::nan("");
    EXPECT_THROW(SaveDeviceFile(folder_.path(), good, not_finite), FileError);
    // The longest name the file system takes (255 bytes with ".kvx2") is written.
    DeviceDialogTexts longest = good;
    longest.DeviceName = std::string(250, 'x');
    EXPECT_EQ(SaveDeviceFile(folder_.path(), longest, c), longest.DeviceName + ".kvx2");
    // A folder that cannot be written to is reported as well.
    EXPECT_THROW(SaveDeviceFile(folder_.path() / "no such folder", good, c), FileError);

    EXPECT_EQ(Bytes("Room1.kvx2"), saved);
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
        ++files;
    }
    EXPECT_EQ(files, 2u);  // Room1 and the longest name; nothing of the refused saves
}

TEST_F(DeviceFiles, AFocusReceptorDistanceThatIsNoPlausibleDistanceIsRefused) {
    // Each of these once loaded, and a circular field then had no backscatter at all.
    for (const char* frd : {"-5.0", "0.0", "1e308", "1000.1"}) {
        std::vector<std::string> lines = NewerLines();
        lines[0] = frd;
        lines[6] = " 0 ";
        Write("bad.kvx2", lines);
        EngineState state = State();
        try {
            LoadDeviceFile(state, "bad.kvx2");
            ADD_FAILURE() << frd << " was loaded";
        } catch (const FileError& error) {
            EXPECT_NE(std::string(error.what()).find("焦点-受像器間距離"), std::string::npos);
        }
    }
    CalculationCase c;
    c.FocusIsocentreDistance = 100;
    const DeviceDialogTexts texts{.DeviceName = "Room1",
                                  .InherentFiltration = "2.5",
                                  .AddedAluminium = "0",
                                  .AddedCopper = "0",
                                  .ArbitraryFilterMaterial = "---",
                                  .ArbitraryFilterThickness = "0",
                                  .TypicalTubeVoltage = "80"};
    for (const double frd : {-5.0, 0.0, 1e308}) {
        c.FocusReceptorDistance = frd;
        EXPECT_THROW(SaveDeviceFile(folder_.path(), texts, c), FileError) << frd;
    }
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / "Room1.kvx2"));
    c.FocusReceptorDistance = 1000;
    EXPECT_EQ(SaveDeviceFile(folder_.path(), texts, c), "Room1.kvx2");
}

TEST_F(DeviceFiles, TextsWithLeadingBlanksComeBackAsSaved) {
    CalculationCase c;
    c.FocusReceptorDistance = 120;
    c.FocusIsocentreDistance = 100;
    DeviceDialogTexts texts{.DeviceName = "Room1",
                            .InherentFiltration = "2.5",
                            .AddedAluminium = "0",
                            .AddedCopper = "0",
                            .ArbitraryFilterMaterial = "---",
                            .ArbitraryFilterThickness = "  0",
                            .TypicalTubeVoltage = " 80"};
    SaveDeviceFile(folder_.path(), texts, c);
    EngineState state = State();
    EXPECT_EQ(LoadDeviceFile(state, "Room1.kvx2").TypicalTubeVoltage, "80");
    EXPECT_NE(Bytes("Room1.kvx2").find("\r\n0\r\n80\r\n"), std::string::npos);
    texts.ArbitraryFilterMaterial = " lead";
    EXPECT_THROW(SaveDeviceFile(folder_.path(), texts, c), FileError);
}

TEST_F(DeviceFiles, NamesAndMaterialsStayInsideTheWorkingFolder) {
    fixtures::TempFolder outside;
    fixtures::WriteCp932Lines(outside.path() / "x.kvx2", NewerLines());
    fixtures::WriteSyntheticMaterial(outside.path() / "lead.ele");
    EngineState state = State();
    const CalculationCase before = state.calc;
    for (const std::string& name :
         {(outside.path() / "x.kvx2").string(), std::string("../x.kvx2")}) {
        EXPECT_THROW(LoadDeviceFile(state, name), FileError) << name;
    }
    // A material name that climbs out of the folder is refused too.
    std::vector<std::string> lines = NewerLines();
    const std::string climb =
        (std::filesystem::path("..") / outside.path().filename() / "lead").string();
    lines[7] = climb;
    Write("climb.kvx2", lines);
    EXPECT_THROW(LoadDeviceFile(state, "climb.kvx2"), FileError);
    std::filesystem::create_symlink(outside.path() / "x.kvx2", folder_.path() / "link.kvx2");
    EXPECT_THROW(LoadDeviceFile(state, "link.kvx2"), FileError);
    EXPECT_EQ(state.calc.FocusReceptorDistance, before.FocusReceptorDistance);
}

// What a saved device's texts were, from the device as loaded: the texts the dialog would
// hand to Save for the same device.
DeviceDialogTexts TextsOf(const std::string& name, const LoadedDevice& device,
                          const CalculationCase& calc) {
    return {.DeviceName = name,
            .InherentFiltration = ShortestNumberText(device.InherentFiltrationMm),
            .AddedAluminium = ShortestNumberText(device.AddedAluminiumMm),
            .AddedCopper = ShortestNumberText(device.AddedCopperMm),
            .ArbitraryFilterMaterial = calc.ArbitraryFilterMaterial,
            .ArbitraryFilterThickness = ShortestNumberText(device.ArbitraryFilterThicknessMm),
            .TypicalTubeVoltage = device.TypicalTubeVoltage};
}

// Files of earlier programs hold no couch model: they are the layer, whatever device was
// loaded before, and a layer device is saved as those programs save it, byte for byte.
TEST_F(DeviceFiles, FilesOfEarlierProgramsAreTheLayerModelAndSaveByteForByte) {
    fixtures::WriteSyntheticMaterial(folder_.path() / "lead.ele");
    const std::string bundled = "サンプル_IVR室1.kvx2";
    std::filesystem::copy_file(std::filesystem::path(KORVEX_BUNDLED_DATA_DIR) / bundled,
                               folder_.path() / bundled);
    Write("Room1.kvx2", NewerLines());
    Write("Old room.kvx", OlderLines());
    EngineState state = State();
    for (const std::string& name : {bundled, std::string("Room1.kvx2")}) {
        state.calc.Couch = CouchModel::TableTop;  // as after a table-top device
        state.calc.MattressThickness = 7;
        const std::string before = Bytes(name);
        const LoadedDevice device = LoadDeviceFile(state, name);
        EXPECT_EQ(state.calc.Couch, CouchModel::Layer) << name;
        EXPECT_EQ(state.calc.MattressThickness, 0) << name;

        std::filesystem::remove(folder_.path() / name);
        const std::string stem = name.substr(0, name.size() - 5);
        EXPECT_EQ(SaveDeviceFile(folder_.path(), TextsOf(stem, device, state.calc), state.calc),
                  name);
        EXPECT_EQ(Bytes(name), before) << name;
    }
    state.calc.Couch = CouchModel::TableTop;
    LoadDeviceFile(state, "Old room.kvx");
    EXPECT_EQ(state.calc.Couch, CouchModel::Layer);
    EXPECT_EQ(state.calc.MattressThickness, 0);

    // Empty lines after line 13 loaded before lines 14 and 15 existed, and still do; so does
    // an explicit "0" on line 14, with nothing read after it.
    for (const std::vector<std::string>& after :
         {std::vector<std::string>{""}, std::vector<std::string>{"", " \t", ""},
          std::vector<std::string>{"0"}, std::vector<std::string>{" 0 ", "4.0"}}) {
        std::vector<std::string> lines = NewerLines();
        lines.insert(lines.end(), after.begin(), after.end());
        Write("more.kvx2", lines);
        state.calc.Couch = CouchModel::TableTop;
        LoadDeviceFile(state, "more.kvx2");
        EXPECT_EQ(state.calc.Couch, CouchModel::Layer) << after.size();
        EXPECT_EQ(state.calc.MattressThickness, 0) << after.size();
        EXPECT_EQ(state.calc.KermaCorrectionFactor, 1.05);
    }
}

// Lines 14 and 15 follow the 13 lines earlier programs read, which stay as they were: those
// programs load the file as the same device on a tissue layer.
TEST_F(DeviceFiles, ATableTopDeviceKeepsItsMattressOnLinesFourteenAndFifteen) {
    CalculationCase c;
    c.FocusReceptorDistance = 120;
    c.FocusIsocentreDistance = 100;
    c.TargetAngle = 12;
    c.CouchTransmission = 0.85;
    c.CouchEquivalentThickness = 1.234;
    c.KermaCorrectionFactor = 1.05;
    c.Couch = CouchModel::TableTop;
    c.MattressThickness = 4;
    const DeviceDialogTexts texts{.DeviceName = "Table",
                                  .InherentFiltration = "2.5",
                                  .AddedAluminium = "1",
                                  .AddedCopper = "0.1",
                                  .ArbitraryFilterMaterial = "---",
                                  .ArbitraryFilterThickness = "0",
                                  .TypicalTubeVoltage = "80"};
    SaveDeviceFile(folder_.path(), texts, c);
    EXPECT_EQ(Bytes("Table.kvx2"),
              "120.0\r\n100.0\r\n12.0\r\n2.50\r\n1.00\r\n0.10\r\n 0 \r\n---\r\n0\r\n80\r\n"
              "0.850\r\n1.234\r\n1.050\r\n1\r\n4.0\r\n");
    c.Couch = CouchModel::Layer;
    DeviceDialogTexts layer = texts;
    layer.DeviceName = "Layer";
    SaveDeviceFile(folder_.path(), layer, c);
    EXPECT_EQ(Bytes("Table.kvx2").substr(0, Bytes("Layer.kvx2").size()), Bytes("Layer.kvx2"));

    // The mattress keeps one decimal; the ends of the table's range are mattresses too.
    EngineState state = State();
    c.Couch = CouchModel::TableTop;
    for (const auto& [saved, read] :
         {std::pair{4.0, 4.0}, std::pair{7.25, 7.3}, std::pair{0.0, 0.0}, std::pair{10.0, 10.0}}) {
        c.MattressThickness = saved;
        SaveDeviceFile(folder_.path(), texts, c);
        state.calc.Couch = CouchModel::Layer;
        const LoadedDevice device = LoadDeviceFile(state, "Table.kvx2");
        EXPECT_EQ(state.calc.Couch, CouchModel::TableTop) << saved;
        EXPECT_EQ(state.calc.MattressThickness, read) << saved;
        EXPECT_EQ(state.calc.CouchTransmission, 0.85);
        EXPECT_EQ(state.calc.KermaCorrectionFactor, 1.05);
        EXPECT_EQ(device.TypicalTubeVoltage, "80");
    }
    // A layer device keeps no mattress, whatever the case holds.
    c.Couch = CouchModel::Layer;
    c.MattressThickness = std::nan("");
    SaveDeviceFile(folder_.path(), texts, c);
    EXPECT_EQ(Bytes("Table.kvx2"), Bytes("Layer.kvx2"));
}

TEST_F(DeviceFiles, CouchLinesThatAreNoModelOrMattressAreRefusedNamingTheLine) {
    Write("Room1.kvx2", fixtures::TypicalTableTopDeviceLines("5.5"));
    EngineState state = State();
    LoadDeviceFile(state, "Room1.kvx2");
    ASSERT_EQ(state.calc.Couch, CouchModel::TableTop);
    ASSERT_EQ(state.calc.MattressThickness, 5.5);

    const std::pair<std::vector<std::string>, const char*> variants[] = {
        {{"2"}, "14 行目"},         {{"yes"}, "14 行目"},        {{"-1"}, "14 行目"},
        {{"0.5"}, "14 行目"},       {{"", "1"}, "14 行目"},      {{"1"}, "15 行目"},
        {{"1", ""}, "15 行目"},     {{"1", "thin"}, "15 行目"},  {{"1", "-0.1"}, "15 行目"},
        {{"1", "10.1"}, "15 行目"}, {{"1", "1e308"}, "15 行目"}, {{"1", "4cm"}, "15 行目"},
    };
    for (const auto& [after, line] : variants) {
        std::vector<std::string> lines = fixtures::TypicalDeviceLines();
        lines.insert(lines.end(), after.begin(), after.end());
        Write("bad.kvx2", lines);
        const std::string what = after.front() + (after.size() > 1 ? " / " + after[1] : "");
        try {
            LoadDeviceFile(state, "bad.kvx2");
            ADD_FAILURE() << "loaded: " << what;
        } catch (const FileError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find("bad.kvx2"), std::string::npos) << message;
            EXPECT_NE(message.find(line), std::string::npos) << what << ": " << message;
        }
        EXPECT_EQ(state.calc.Couch, CouchModel::TableTop) << what;
        EXPECT_EQ(state.calc.MattressThickness, 5.5) << what;
    }
    // The messages say what the line should hold.
    std::vector<std::string> lines = fixtures::TypicalTableTopDeviceLines("12");
    Write("bad.kvx2", lines);
    try {
        LoadDeviceFile(state, "bad.kvx2");
        ADD_FAILURE() << "a mattress of 12 cm was loaded";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "ファイル「bad.kvx2」を読み込めません：15 行目のマットの厚さ 12 cm は 0 cm "
                  "以上 10 cm 以下でなければなりません。");
    }
    lines[13] = "2";
    Write("bad.kvx2", lines);
    try {
        LoadDeviceFile(state, "bad.kvx2");
        ADD_FAILURE() << "line 14 \"2\" was loaded";
    } catch (const FileError& error) {
        EXPECT_EQ(
            std::string(error.what()),
            "ファイル「bad.kvx2」を読み込めません：14 行目の天板モデル（0：組織等価層、1：天板"
            "＋マット）「2」は 0 か 1 でなければなりません。");
    }
}

TEST_F(DeviceFiles, SaveRefusesAMattressTheTableTopModelCannotTake) {
    CalculationCase c;
    c.FocusReceptorDistance = 120;
    c.FocusIsocentreDistance = 100;
    c.Couch = CouchModel::TableTop;
    const DeviceDialogTexts texts{.DeviceName = "Table",
                                  .InherentFiltration = "2.5",
                                  .AddedAluminium = "0",
                                  .AddedCopper = "0",
                                  .ArbitraryFilterMaterial = "---",
                                  .ArbitraryFilterThickness = "0",
                                  .TypicalTubeVoltage = "80"};
    for (const double mattress : {-0.1, 10.01, 1e308, std::nan(""), HUGE_VAL}) {
        c.MattressThickness = mattress;
        try {
            SaveDeviceFile(folder_.path(), texts, c);
            ADD_FAILURE() << mattress << " was saved";
        } catch (const DeviceDataRefused& error) {
            EXPECT_NE(std::string(error.what()).find("マットの厚さ"), std::string::npos)
                << error.what();
        }
    }
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / "Table.kvx2"));
    EXPECT_FALSE(IsMattressThickness(-0.001));
    EXPECT_TRUE(IsMattressThickness(kMaxMattressThicknessCm));
    EXPECT_EQ(MattressThicknessRefusal(std::nan("")), "マットの厚さが数値ではありません。");
}

// How small a calibration value the file keeps, derived from the format it is written with.
TEST(StoredCalibrationValues, ZeroAndTheDecimalsComeFromTheFormat) {
    EXPECT_EQ(StoredDecimals(kStoredCouchTransmission.format), 3);
    EXPECT_EQ(StoredDecimals(kStoredCouchThickness.format), 3);
    EXPECT_EQ(StoredDecimals(kStoredKermaCorrection.format), 3);
    EXPECT_EQ(StoredDecimals("#00.0"), 1);
    EXPECT_EQ(StoredDecimals("#0"), 0);
    for (const StoredCalibrationValue& stored :
         {kStoredCouchTransmission, kStoredCouchThickness, kStoredKermaCorrection}) {
        EXPECT_TRUE(StoredAsZero(0, stored.format));
        EXPECT_TRUE(StoredAsZero(0.0004999, stored.format));
        EXPECT_TRUE(StoredAsZero(-0.0004, stored.format));
        EXPECT_FALSE(StoredAsZero(0.0005, stored.format));
        EXPECT_FALSE(StoredAsZero(2.768, stored.format));
        EXPECT_FALSE(StoredAsZero(std::nan(""), stored.format));
    }
    EXPECT_TRUE(StoredAsZero(0.04, "#0.0"));
}

}  // namespace
}  // namespace korvex
