#include "device/device_entry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "device/filter_entry.h"
#include "device/material_file.h"
#include "engine/device_calibration.h"
#include "engine/engine_state.h"
#include "engine/text_rules.h"
#include "tests/engine/engine_test_support.h"
#include "tests/fixtures/synthetic_workdir.h"

namespace korvex {
namespace {

using fixtures::MaterialBreakage;

// The device of the calibration example of the system's description: 2.000 mGy without
// and 1.700 mGy with the couch, 1.000 mGy displayed, the isocentre 100 cm from the focus.
void FillExample(DeviceEntry& entry, const std::string& name = "Room1") {
    entry.SetText(DeviceField::DeviceName, name);
    entry.SetText(DeviceField::FocusReceptorDistance, "120");
    entry.SetText(DeviceField::FocusIsocentreDistance, "100");
    entry.SetText(DeviceField::AddedAluminium, "1.0");
    entry.SetText(DeviceField::AddedCopper, "0.1");
    entry.SetText(DeviceField::TypicalTubeVoltage, "80");
    entry.SetText(DeviceField::KermaNoCouch, "2.000");
    entry.SetText(DeviceField::KermaWithCouch, "1.700");
    entry.SetText(DeviceField::DisplayedKar, "1.000");
}

class DeviceEntryTest : public ::testing::Test {
  protected:
    std::vector<std::string> Lines(const std::string& name) const {
        std::ifstream in(folder_.path() / name, std::ios::binary);
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            lines.push_back(line);
        }
        return lines;
    }

    fixtures::TempFolder folder_;
    EngineState state_{testing::SyntheticTables(), folder_.path()};
    DeviceEntry entry_{state_};
    FilterEntry filter_{state_, entry_};
};

TEST_F(DeviceEntryTest, NewDeviceHasTheDefaults) {
    FillExample(entry_);
    ASSERT_TRUE(entry_.Ok());
    entry_.NewDevice();
    EXPECT_EQ(entry_.Text(DeviceField::TargetAngle), "12");
    EXPECT_EQ(entry_.Text(DeviceField::InherentFiltration), "2.5");
    for (DeviceField field :
         {DeviceField::DeviceName, DeviceField::FocusReceptorDistance,
          DeviceField::FocusIsocentreDistance, DeviceField::AddedAluminium,
          DeviceField::AddedCopper, DeviceField::TypicalTubeVoltage, DeviceField::KermaNoCouch,
          DeviceField::KermaWithCouch, DeviceField::DisplayedKar}) {
        EXPECT_EQ(entry_.Text(field), "") << static_cast<int>(field);
    }
    EXPECT_EQ(entry_.FilterMaterialText(), "---");
    EXPECT_EQ(entry_.FilterThicknessText(), "0");
    EXPECT_EQ(entry_.Results().CouchTransmission, "");
    EXPECT_EQ(entry_.Results().CouchEquivalentThickness, "");
    EXPECT_EQ(entry_.Results().KermaCorrectionFactor, "");
    EXPECT_FALSE(entry_.SaveEnabled());
}

TEST_F(DeviceEntryTest, EnterOrderEndsAfterTheDisplayedKar) {
    std::vector<int> order{static_cast<int>(DeviceField::DeviceName)};
    for (auto next = NextDeviceField(DeviceField::DeviceName); next;
         next = NextDeviceField(*next)) {
        order.push_back(static_cast<int>(*next));
    }
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(NextDeviceField(DeviceField::TargetAngle), DeviceField::InherentFiltration);
    EXPECT_EQ(NextDeviceField(DeviceField::TypicalTubeVoltage), DeviceField::KermaNoCouch);
    EXPECT_FALSE(NextDeviceField(DeviceField::DisplayedKar));
}

TEST_F(DeviceEntryTest, AnEmptyBoxIsRefusedAndNothingIsStored) {
    FillExample(entry_);
    entry_.SetText(DeviceField::TypicalTubeVoltage, "");
    state_.calc.CouchTransmission = 0.5;
    state_.calc.FocusIsocentreDistance = 77;
    const CalculationCase before = state_.calc;

    const RuleOutcome refused = entry_.Ok();
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.refusal.text, " 入力されていない箇所があります ");
    EXPECT_EQ(refused.refusal.icon, MessageIcon::Exclamation);
    EXPECT_EQ(state_.calc.CouchTransmission, before.CouchTransmission);
    EXPECT_EQ(state_.calc.FocusIsocentreDistance, 77);
    EXPECT_EQ(state_.calc.TargetAngle, before.TargetAngle);
    EXPECT_EQ(entry_.Results().CouchTransmission, "");
    EXPECT_FALSE(entry_.SaveEnabled());

    // "0" is no empty box.
    entry_.SetText(DeviceField::TypicalTubeVoltage, "80");
    entry_.SetText(DeviceField::AddedCopper, "0");
    EXPECT_TRUE(entry_.Ok());
    EXPECT_EQ(state_.calc.AddedCopper, 0);
}

TEST_F(DeviceEntryTest, OkStoresCalibratesAndShowsTheThreeValues) {
    FillExample(entry_);
    const RuleOutcome accepted = entry_.Ok();
    ASSERT_TRUE(accepted) << accepted.refusal.text;
    EXPECT_TRUE(accepted.refusal.text.empty());
    const CalculationCase& c = state_.calc;
    EXPECT_EQ(c.TargetAngle, 12);
    EXPECT_DOUBLE_EQ(c.InherentFiltration, 0.25);
    EXPECT_DOUBLE_EQ(c.AddedAluminium, 0.1);
    EXPECT_DOUBLE_EQ(c.AddedCopper, 0.01);
    EXPECT_EQ(c.ArbitraryFilterThickness, 0);
    EXPECT_EQ(c.FocusReceptorDistance, 120);
    EXPECT_EQ(c.FocusIsocentreDistance, 100);
    EXPECT_DOUBLE_EQ(c.CouchTransmission, 0.85);
    EXPECT_NEAR(c.KermaCorrectionFactor, 2.768166, 5e-7);
    EXPECT_GT(c.CouchEquivalentThickness, 0.1);

    EXPECT_EQ(entry_.Results().CouchTransmission, "0.850");
    EXPECT_EQ(entry_.Results().KermaCorrectionFactor, "2.768");
    EXPECT_EQ(entry_.Results().CouchEquivalentThickness,
              FormatNumber(c.CouchEquivalentThickness, "#0.0"));
    EXPECT_TRUE(entry_.SaveEnabled());

    // The same calibration as the engine's on the same case.
    EngineState direct(testing::SyntheticTables(), folder_.path());
    direct.calc = c;
    ComputeDeviceCalibration(direct, 2, 1.7, 1, 100, 80);
    EXPECT_EQ(direct.calc.CouchEquivalentThickness, c.CouchEquivalentThickness);
}

TEST_F(DeviceEntryTest, LeavingABoxStoresTheAngleAndTheFiltersInCentimetres) {
    entry_.SetText(DeviceField::TargetAngle, "14");
    entry_.SetText(DeviceField::InherentFiltration, "2.5");
    entry_.SetText(DeviceField::AddedAluminium, "1.5mm");
    entry_.SetText(DeviceField::AddedCopper, "0.2");
    entry_.SetText(DeviceField::FocusIsocentreDistance, "90");
    for (DeviceField field :
         {DeviceField::TargetAngle, DeviceField::InherentFiltration, DeviceField::AddedAluminium,
          DeviceField::AddedCopper, DeviceField::FocusIsocentreDistance}) {
        entry_.Leave(field);
    }
    EXPECT_EQ(state_.calc.TargetAngle, 14);
    EXPECT_EQ(state_.calc.InherentFiltration, 0.25);
    EXPECT_DOUBLE_EQ(state_.calc.AddedAluminium, 0.15);
    EXPECT_DOUBLE_EQ(state_.calc.AddedCopper, 0.02);
    EXPECT_EQ(state_.calc.FocusIsocentreDistance, 0);  // waits for OK
}

TEST_F(DeviceEntryTest, SaveWritesTheFileAndSavingAgainReplacesIt) {
    FillExample(entry_);
    EXPECT_FALSE(entry_.Save().saved);  // closed before OK
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / "Room1.kvx2"));
    ASSERT_TRUE(entry_.Ok());
    const DeviceSaveOutcome outcome = entry_.Save();
    ASSERT_TRUE(outcome.saved) << outcome.message.text;
    EXPECT_EQ(outcome.file_name, "Room1.kvx2");
    EXPECT_EQ(outcome.message.text, " 基本データを Room1.kvx2 に保存しました ");
    EXPECT_EQ(outcome.message.icon, MessageIcon::None);
    const std::vector<std::string> lines = Lines("Room1.kvx2");
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[0], "120.0");
    EXPECT_EQ(lines[1], "100.0");
    EXPECT_EQ(lines[2], "12.0");
    EXPECT_EQ(lines[3], "2.50");
    EXPECT_EQ(lines[4], "1.00");
    EXPECT_EQ(lines[5], "0.10");
    EXPECT_EQ(lines[6], " 0 ");
    EXPECT_EQ(lines[7], "---");
    EXPECT_EQ(lines[8], "0");
    EXPECT_EQ(lines[9], "80");
    EXPECT_EQ(lines[10], "0.850");
    EXPECT_EQ(lines[11], FormatNumber(state_.calc.CouchEquivalentThickness, "#0.000"));
    EXPECT_EQ(lines[12], "2.768");

    entry_.SetText(DeviceField::KermaWithCouch, "1.600");
    ASSERT_TRUE(entry_.Ok());
    ASSERT_TRUE(entry_.Save().saved);
    EXPECT_EQ(Lines("Room1.kvx2")[10], "0.800");
}

TEST_F(DeviceEntryTest, AnyChangeAfterOkClosesSaveUntilOkAgain) {
    FillExample(entry_);
    ASSERT_TRUE(entry_.Ok());
    entry_.SetText(DeviceField::AddedCopper, "0.1");  // the same text: no change
    EXPECT_TRUE(entry_.SaveEnabled());
    entry_.SetText(DeviceField::InherentFiltration, "3.0");
    EXPECT_FALSE(entry_.SaveEnabled());
    entry_.SetText(DeviceField::InherentFiltration, "2.5");  // back again: still closed
    EXPECT_FALSE(entry_.SaveEnabled());
    EXPECT_FALSE(entry_.Save().saved);
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / "Room1.kvx2"));
    ASSERT_TRUE(entry_.Ok());
    EXPECT_TRUE(entry_.SaveEnabled());

    // The name counts as a box too.
    entry_.SetText(DeviceField::DeviceName, "Room2");
    EXPECT_FALSE(entry_.SaveEnabled());
}

TEST_F(DeviceEntryTest, InputsTheCalibrationCannotTakeAreRefusedWithTheEnginesMessage) {
    FillExample(entry_);
    ASSERT_TRUE(entry_.Ok());
    const CalculationCase calibrated = state_.calc;

    struct Case {
        DeviceField field;
        const char* text;
    };
    for (const Case& bad :
         {Case{DeviceField::KermaWithCouch, "2.5"},  // couch amplifies
          Case{DeviceField::KermaNoCouch, "0"}, Case{DeviceField::DisplayedKar, "0"},
          Case{DeviceField::FocusIsocentreDistance, "15"},
          Case{DeviceField::TypicalTubeVoltage, "0"}}) {
        FillExample(entry_);
        entry_.SetText(DeviceField::InherentFiltration, "4.0");
        entry_.SetText(bad.field, bad.text);
        const RuleOutcome refused = entry_.Ok();
        ASSERT_FALSE(refused) << bad.text;
        EXPECT_EQ(refused.refusal.icon, MessageIcon::Exclamation);
        EXPECT_FALSE(refused.refusal.text.empty());
        // Nothing stored: not even the beam quality that OK writes before it calibrates.
        EXPECT_EQ(state_.calc.InherentFiltration, calibrated.InherentFiltration) << bad.text;
        EXPECT_EQ(state_.calc.CouchTransmission, calibrated.CouchTransmission) << bad.text;
        EXPECT_EQ(state_.calc.FocusIsocentreDistance, 100) << bad.text;
        EXPECT_FALSE(entry_.SaveEnabled());
    }

    // The engine's own text, e.g. for a couch that would amplify the beam.
    FillExample(entry_);
    entry_.SetText(DeviceField::KermaWithCouch, "2.5");
    try {
        EngineState direct(testing::SyntheticTables(), folder_.path());
        direct.calc = state_.calc;
        ComputeDeviceCalibration(direct, 2, 2.5, 1, 100, 80);
        FAIL() << "the engine took a couch transmission above 1";
    } catch (const CalibrationInputError& error) {
        const RuleOutcome refused = entry_.Ok();
        ASSERT_FALSE(refused);
        EXPECT_EQ(refused.refusal.text, error.what());
        // The English interface shows the engine's English.
        EXPECT_EQ(refused.refusal.english, error.english());
        EXPECT_EQ(error.english().rfind("The air kerma with couch is larger than without", 0), 0u)
            << error.english();
    }
}

TEST_F(DeviceEntryTest, AFileThatCannotBeCreatedIsReportedAndSaveStaysOpen) {
    FillExample(entry_, "a/b");
    ASSERT_TRUE(entry_.Ok());
    DeviceSaveOutcome outcome = entry_.Save();
    EXPECT_FALSE(outcome.saved);
    EXPECT_EQ(outcome.message.icon, MessageIcon::Exclamation);
    EXPECT_NE(outcome.message.text.find("a/b"), std::string::npos) << outcome.message.text;
    EXPECT_TRUE(entry_.SaveEnabled());

    // A folder of that name stands in the way (as root, a read-only folder is no obstacle).
    FillExample(entry_, "Room1");
    std::filesystem::create_directory(folder_.path() / "Room1.kvx2");
    ASSERT_TRUE(entry_.Ok());
    outcome = entry_.Save();
    EXPECT_FALSE(outcome.saved);
    EXPECT_NE(outcome.message.text.find("Room1.kvx2"), std::string::npos) << outcome.message.text;
    EXPECT_TRUE(entry_.SaveEnabled());
    EXPECT_TRUE(std::filesystem::is_directory(folder_.path() / "Room1.kvx2"));
}

// A new device has no filter of a chosen material until one is set in its filter dialog,
// whatever the device loaded before had: a file with the flag on and material "---"
// could not be loaded again.
TEST_F(DeviceEntryTest, ANewDeviceDoesNotInheritTheLoadedFilterFlag) {
    state_.calc.ArbitraryFilterOn = 1;
    state_.calc.ArbitraryFilterThickness = 0.05;
    entry_.NewDevice();
    EXPECT_EQ(state_.calc.ArbitraryFilterOn, 1);  // opening changes nothing
    FillExample(entry_);
    ASSERT_TRUE(entry_.Ok());
    EXPECT_EQ(state_.calc.ArbitraryFilterOn, 0);
    EXPECT_EQ(state_.calc.ArbitraryFilterThickness, 0);
    ASSERT_TRUE(entry_.Save().saved);
    EXPECT_EQ(Lines("Room1.kvx2")[6], " 0 ");
}

// The dialog is modeless: the main window may load another device between OK and Save.
TEST_F(DeviceEntryTest, SaveWritesTheValuesOfTheLastOk) {
    FillExample(entry_);
    ASSERT_TRUE(entry_.Ok());
    const CalculationCase calibrated = state_.calc;
    state_.calc.FocusIsocentreDistance = 65.2;
    state_.calc.CouchTransmission = 0.5;
    ASSERT_TRUE(entry_.Save().saved);
    const std::vector<std::string> lines = Lines("Room1.kvx2");
    EXPECT_EQ(lines[1], "100.0");
    EXPECT_EQ(lines[10], "0.850");
    EXPECT_EQ(lines[11], FormatNumber(calibrated.CouchEquivalentThickness, "#0.000"));
}

// The couch model is a choice of the device: a new device is the layer with the mattress
// box at its default; the box counts only for the table top, and OK stores the model with
// the mattress into the case, which Save writes.
TEST_F(DeviceEntryTest, TheMattressCountsForTheTableTopOnlyAndSaveWritesIt) {
    entry_.SetCouchModel(CouchModel::TableTop);
    entry_.SetMattressText("7");
    entry_.NewDevice();
    EXPECT_EQ(entry_.Couch(), CouchModel::Layer);
    EXPECT_EQ(entry_.MattressText(), "4.0");
    EXPECT_EQ(ParseDecimal(entry_.MattressText()), kDefaultMattressThicknessCm);

    // The layer has no mattress: whatever the box holds, none is checked, stored or written.
    state_.calc.Couch = CouchModel::TableTop;
    state_.calc.MattressThickness = 6;
    FillExample(entry_);
    entry_.SetMattressText("soft");
    ASSERT_TRUE(entry_.Ok());
    EXPECT_EQ(state_.calc.Couch, CouchModel::Layer);
    EXPECT_EQ(state_.calc.MattressThickness, 0);
    ASSERT_TRUE(entry_.Save().saved);
    EXPECT_EQ(Lines("Room1.kvx2").size(), 13u);

    // For the table top the box is checked like the others, and OK then stores nothing.
    entry_.SetCouchModel(CouchModel::TableTop);
    const CalculationCase before = state_.calc;
    const std::pair<const char*, std::string> refusals[] = {
        {"", kEmptyBoxMessage},
        {"soft", NotANumberMessage("マットの厚さ", "soft")},
        {"4cm", NotANumberMessage("マットの厚さ", "4cm")},
        {"-0.5", MattressThicknessRefusal(-0.5)},
        {"10.5", MattressThicknessRefusal(10.5)},
    };
    for (const auto& [text, message] : refusals) {
        entry_.SetMattressText(text);
        const RuleOutcome refused = entry_.Ok();
        ASSERT_FALSE(refused) << text;
        EXPECT_EQ(refused.refusal.text, message) << text;
        EXPECT_EQ(refused.refusal.icon, MessageIcon::Exclamation);
        EXPECT_EQ(state_.calc.Couch, before.Couch) << text;
        EXPECT_EQ(state_.calc.MattressThickness, before.MattressThickness) << text;
        EXPECT_EQ(state_.calc.CouchTransmission, before.CouchTransmission) << text;
        EXPECT_FALSE(entry_.SaveEnabled()) << text;
    }
    EXPECT_NE(MattressThicknessRefusal(10.5).find("マットの厚さ 10.5 cm"), std::string::npos);

    entry_.SetMattressText(" 3.5 ");
    ASSERT_TRUE(entry_.Ok());
    EXPECT_EQ(state_.calc.Couch, CouchModel::TableTop);
    EXPECT_EQ(state_.calc.MattressThickness, 3.5);
    // The calibration does not depend on the couch model.
    EXPECT_EQ(state_.calc.CouchTransmission, before.CouchTransmission);
    EXPECT_EQ(state_.calc.CouchEquivalentThickness, before.CouchEquivalentThickness);
    ASSERT_TRUE(entry_.Save().saved);
    std::vector<std::string> lines = Lines("Room1.kvx2");
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_EQ(lines[13], "1");
    EXPECT_EQ(lines[14], "3.5");

    // The ends of the table's range, and a typed "-0" that is 0.
    for (const auto& [text, stored] :
         {std::pair{"0", "0.0"}, std::pair{"10", "10.0"}, std::pair{"-0", "0.0"}}) {
        entry_.SetMattressText(text);
        ASSERT_TRUE(entry_.Ok()) << text;
        EXPECT_FALSE(std::signbit(state_.calc.MattressThickness)) << text;
        ASSERT_TRUE(entry_.Save().saved);
        EXPECT_EQ(Lines("Room1.kvx2")[14], stored) << text;
    }

    // Save writes the model of the last OK, whatever the case holds meanwhile.
    entry_.SetMattressText("4.0");
    ASSERT_TRUE(entry_.Ok());
    state_.calc.Couch = CouchModel::Layer;
    state_.calc.MattressThickness = 0;
    ASSERT_TRUE(entry_.Save().saved);
    lines = Lines("Room1.kvx2");
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_EQ(lines[14], "4.0");
}

TEST_F(DeviceEntryTest, ACouchModelOrMattressChangedAfterOkClosesSave) {
    FillExample(entry_);
    ASSERT_TRUE(entry_.Ok());
    entry_.SetCouchModel(CouchModel::Layer);  // the same choice: no change
    entry_.SetMattressText("4.0");
    EXPECT_TRUE(entry_.SaveEnabled());
    entry_.SetCouchModel(CouchModel::TableTop);
    EXPECT_FALSE(entry_.SaveEnabled());
    ASSERT_TRUE(entry_.Ok());
    EXPECT_TRUE(entry_.SaveEnabled());
    entry_.SetMattressText("5.0");
    EXPECT_FALSE(entry_.SaveEnabled());
    EXPECT_FALSE(entry_.Save().saved);
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / "Room1.kvx2"));
    ASSERT_TRUE(entry_.Ok());
    entry_.SetCouchModel(CouchModel::Layer);
    EXPECT_FALSE(entry_.SaveEnabled());
}

TEST_F(DeviceEntryTest, FilterChecksTheChoiceAndTheThickness) {
    const std::string description = fixtures::WriteSyntheticMaterial(folder_.path() / "lead.ele");
    state_.work.ArbitraryFilterMu[10] = 3;
    const CalculationCase before = state_.calc;

    RuleOutcome refused = filter_.Set("");
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.refusal.text, "　フィルター材質が未選択です　");
    EXPECT_EQ(refused.refusal.icon, MessageIcon::Exclamation);
    EXPECT_TRUE(refused.refusal.beep);
    for (const char* thickness : {"", "0", "-1", " "}) {
        filter_.SetThicknessText(thickness);
        refused = filter_.Set("lead.ele");
        ASSERT_FALSE(refused) << thickness;
        EXPECT_EQ(refused.refusal.text, "　フィルターの厚さを入力して下さい　") << thickness;
        EXPECT_TRUE(refused.refusal.beep);
    }
    // A text that is no number (or none a double holds), as in the device dialog's boxes:
    // the thickness is written to the device file as typed.
    for (const char* thickness : {"abc", "0.1mm", "1e999"}) {
        filter_.SetThicknessText(thickness);
        refused = filter_.Set("lead.ele");
        ASSERT_FALSE(refused) << thickness;
        EXPECT_EQ(refused.refusal.text, NotANumberMessage("フィルターの厚さ", thickness));
        EXPECT_EQ(refused.refusal.text,
                  std::string("フィルターの厚さには数値を入力して下さい（「") + thickness +
                      "」は数値ではありません）。");
        EXPECT_TRUE(refused.refusal.beep);
    }
    EXPECT_EQ(state_.work.ArbitraryFilterMu[10], 3);
    EXPECT_EQ(state_.calc.ArbitraryFilterOn, before.ArbitraryFilterOn);
    EXPECT_EQ(entry_.FilterMaterialText(), "---");

    filter_.SetThicknessText("0.5");
    ASSERT_TRUE(filter_.Set("lead.ele"));
    EXPECT_DOUBLE_EQ(state_.calc.ArbitraryFilterThickness, 0.05);
    EXPECT_EQ(filter_.Description(), description);
}

TEST_F(DeviceEntryTest, SettingLeadWritesTheNameAndTheTypedThicknessIntoTheDevice) {
    fixtures::WriteSyntheticMaterial(folder_.path() / "lead.ele");
    EXPECT_FALSE(filter_.ShowDescription("lead.ele"));
    filter_.SetThicknessText("0.1");
    ASSERT_TRUE(filter_.Set("lead.ele"));
    EXPECT_EQ(entry_.FilterMaterialText(), "lead");
    EXPECT_EQ(entry_.FilterThicknessText(), "0.1");
    EXPECT_TRUE(entry_.FilterOn());
    EXPECT_EQ(state_.calc.ArbitraryFilterOn, 1);
    EXPECT_DOUBLE_EQ(state_.calc.ArbitraryFilterThickness, 0.01);
    EXPECT_EQ(state_.calc.ArbitraryFilterMaterial, "");  // only loading a device sets it
    EngineState direct(testing::SyntheticTables(), folder_.path());
    BuildFilterAttenuation(direct, "lead.ele");
    for (int n : {1, 2, 3, 100, 300}) {
        EXPECT_EQ(state_.work.ArbitraryFilterMu[n], direct.work.ArbitraryFilterMu[n]) << n;
    }

    // OK uses the filter; the saved device names it and loads again with it.
    FillExample(entry_);
    ASSERT_TRUE(entry_.Ok());
    EXPECT_DOUBLE_EQ(state_.calc.ArbitraryFilterThickness, 0.01);
    ASSERT_TRUE(entry_.Save().saved);
    const std::vector<std::string> lines = Lines("Room1.kvx2");
    EXPECT_EQ(lines[6], " 1 ");
    EXPECT_EQ(lines[7], "lead");
    EXPECT_EQ(lines[8], "0.1");
    EngineState loaded(testing::SyntheticTables(), folder_.path());
    LoadDeviceFile(loaded, "Room1.kvx2");
    EXPECT_EQ(loaded.calc.ArbitraryFilterOn, 1);
    EXPECT_EQ(loaded.calc.CouchEquivalentThickness,
              std::stod(FormatNumber(state_.calc.CouchEquivalentThickness, "#0.000")));

    // A filter set after OK closes Save, as an edited box does.
    filter_.SetThicknessText("0.2");
    ASSERT_TRUE(filter_.Set("lead.ele"));
    EXPECT_FALSE(entry_.SaveEnabled());
}

TEST_F(DeviceEntryTest, ReleaseClearsTheFlagAndKeepsTheDevicesTexts) {
    fixtures::WriteSyntheticMaterial(folder_.path() / "lead.ele");
    filter_.SetThicknessText("0.1");
    ASSERT_TRUE(filter_.Set("lead.ele"));
    const double mu = state_.work.ArbitraryFilterMu[100];
    FillExample(entry_);
    ASSERT_TRUE(entry_.Ok());

    filter_.Release();
    EXPECT_EQ(filter_.Description(), "");
    EXPECT_EQ(state_.calc.ArbitraryFilterOn, 0);
    EXPECT_EQ(state_.calc.ArbitraryFilterThickness, 0);
    EXPECT_EQ(state_.work.ArbitraryFilterMu[100], mu);
    EXPECT_EQ(entry_.FilterMaterialText(), "lead");
    EXPECT_EQ(entry_.FilterThicknessText(), "0.1");
    EXPECT_FALSE(entry_.FilterOn());
    EXPECT_FALSE(entry_.SaveEnabled());
}

TEST_F(DeviceEntryTest, AMaterialFileThatCannotBeReadIsReportedAndTheTableKept) {
    fixtures::WriteSyntheticMaterial(folder_.path() / "lead.ele");
    fixtures::WriteSyntheticMaterial(folder_.path() / "broken.ele", MaterialBreakage::TextInRow);
    filter_.SetThicknessText("0.1");
    ASSERT_TRUE(filter_.Set("lead.ele"));
    const FineArray lead = state_.work.ArbitraryFilterMu;
    const CalculationCase before = state_.calc;

    EXPECT_FALSE(filter_.ShowDescription("broken.ele"));  // line 1 is fine
    filter_.SetThicknessText("0.3");
    const RuleOutcome refused = filter_.Set("broken.ele");
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.refusal.text.find("broken.ele"), std::string::npos) << refused.refusal.text;
    EXPECT_EQ(refused.refusal.icon, MessageIcon::Exclamation);
    for (int n = 1; n <= kFineGridSize; ++n) {
        ASSERT_EQ(state_.work.ArbitraryFilterMu[n], lead[n]) << n;
    }
    EXPECT_EQ(state_.calc.ArbitraryFilterThickness, before.ArbitraryFilterThickness);
    EXPECT_EQ(entry_.FilterMaterialText(), "lead");
    EXPECT_EQ(entry_.FilterThicknessText(), "0.1");

    // A file that vanished after it was listed.
    const auto gone = filter_.ShowDescription("gone.ele");
    ASSERT_TRUE(gone);
    EXPECT_NE(gone->text.find("gone.ele"), std::string::npos);
    EXPECT_EQ(filter_.Description(), "");
}

// A text that is no number was once read by its leading digits ("12度" as 12, "なし" as 0)
// and saved as typed; every box but the name now refuses it, naming the box.
TEST_F(DeviceEntryTest, ATextThatIsNoNumberIsRefusedNamingItsBox) {
    FillExample(entry_);
    ASSERT_TRUE(entry_.Ok());
    const CalculationCase calibrated = state_.calc;
    for (int i = 1; i < kDeviceFieldCount; ++i) {
        const auto field = static_cast<DeviceField>(i);
        for (const char* text : {"12度", "なし", "1,5"}) {
            FillExample(entry_);
            entry_.SetText(DeviceField::TargetAngle, "12");
            entry_.SetText(DeviceField::InherentFiltration, "4.0");
            entry_.SetText(field, text);
            const RuleOutcome refused = entry_.Ok();
            ASSERT_FALSE(refused) << i << " " << text;
            EXPECT_EQ(refused.refusal.text, NotANumberMessage(DeviceFieldCaption(field), text));
            EXPECT_EQ(refused.refusal.icon, MessageIcon::Exclamation);
            EXPECT_FALSE(entry_.SaveEnabled());
            EXPECT_EQ(state_.calc.InherentFiltration, calibrated.InherentFiltration);
            EXPECT_EQ(entry_.Save().file_name, "");
        }
    }
    entry_.SetText(DeviceField::TargetAngle, "12度");
    EXPECT_EQ(entry_.Ok().refusal.text,
              "Ｘ線管ターゲット角度には数値を入力して下さい（「12度」は数値ではありません）。");
    // Blanks around a number are no part of it; the name is no number.
    FillExample(entry_, "12度");
    entry_.SetText(DeviceField::TargetAngle, "12");
    entry_.SetText(DeviceField::TypicalTubeVoltage, " 80 ");
    EXPECT_TRUE(entry_.Ok());
    EXPECT_TRUE(std::filesystem::is_empty(folder_.path()));
}

// The device file keeps three decimals of the correction factor: one below 0.0005 was
// saved as 0.000, and every dose of the device was then 0.
TEST_F(DeviceEntryTest, ACorrectionFactorTheFileWouldStoreAsZeroIsRefused) {
    FillExample(entry_);
    entry_.SetText(DeviceField::DisplayedKar, "1000000");  // factor 2.8e-6
    const CalculationCase before = state_.calc;
    const RuleOutcome refused = entry_.Ok();
    ASSERT_FALSE(refused);
    const double factor = 2.0 / 1000000 * (100.0 / 85) * (100.0 / 85);
    EXPECT_EQ(refused.refusal.text, StoredAsZeroMessage(kStoredKermaCorrection, factor));
    EXPECT_EQ(
        refused.refusal.text,
        "校正定数 0.000003 は、装置データには小数点以下 3 桁で「0.000」と保存されてしまうため、"
        "保存できません。測定値を確認して下さい。");
    EXPECT_EQ(refused.refusal.icon, MessageIcon::Exclamation);
    EXPECT_EQ(state_.calc.KermaCorrectionFactor, before.KermaCorrectionFactor);
    EXPECT_EQ(state_.calc.FocusIsocentreDistance, before.FocusIsocentreDistance);
    EXPECT_EQ(entry_.Results().KermaCorrectionFactor, "");
    EXPECT_FALSE(entry_.SaveEnabled());
    EXPECT_FALSE(entry_.Save().saved);
    EXPECT_TRUE(std::filesystem::is_empty(folder_.path()));

    // The smallest factor the file keeps as 0.001 is taken.
    entry_.SetText(DeviceField::DisplayedKar, "2700");  // factor 0.001025
    ASSERT_TRUE(entry_.Ok());
    EXPECT_EQ(entry_.Results().KermaCorrectionFactor, "0.001");
}

// A couch that lets everything through has no thickness: "0.000" in the file, a room
// both dose models calculate. A transmission the file would store as 0.000 is refused.
TEST_F(DeviceEntryTest, NoCouchIsARoomButATransmissionStoredAsZeroIsRefused) {
    FillExample(entry_);
    entry_.SetText(DeviceField::KermaWithCouch, "2.000");  // transmission 1
    ASSERT_TRUE(entry_.Ok());
    EXPECT_EQ(entry_.Results().CouchTransmission, "1.000");
    EXPECT_EQ(state_.calc.CouchEquivalentThickness, 0);
    EXPECT_TRUE(entry_.SaveEnabled());

    // A transmission of 0.0004 is refused too: by the calibration's own bound (at or below
    // the 10 cm transmission) or else by the file's decimals.
    entry_.SetText(DeviceField::KermaWithCouch, "0.0008");
    const CalculationCase before = state_.calc;
    RuleOutcome refused = entry_.Ok();
    ASSERT_FALSE(refused);
    EXPECT_FALSE(refused.refusal.text.empty());
    EXPECT_EQ(state_.calc.CouchTransmission, before.CouchTransmission);
    EXPECT_EQ(state_.calc.CouchEquivalentThickness, before.CouchEquivalentThickness);
    EXPECT_FALSE(entry_.SaveEnabled());
    EXPECT_TRUE(std::filesystem::is_empty(folder_.path()));
    // The message the file's decimals would give.
    EXPECT_EQ(
        StoredAsZeroMessage(kStoredCouchTransmission, 0.0004),
        "天板透過率 0.0004 は、装置データには小数点以下 3 桁で「0.000」と保存されてしまうため、"
        "保存できません。測定値を確認して下さい。");
}

}  // namespace
}  // namespace korvex
