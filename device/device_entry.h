#pragma once

#include <array>
#include <optional>
#include <string>

#include "device/device_file.h"
#include "engine/calculation_case.h"
#include "engine/user_message.h"

namespace korvex {

struct EngineState;

// The input boxes of the device dialog (Form8), in the order the Enter key walks them.
enum class DeviceField : int {
    DeviceName,              // Text13, the file name without ".kvx2"
    FocusReceptorDistance,   // Text8, cm
    FocusIsocentreDistance,  // Text5, cm
    TargetAngle,             // Text1, degrees
    InherentFiltration,      // Text2, mm Al
    AddedAluminium,          // Text3, mm
    AddedCopper,             // Text4, mm
    TypicalTubeVoltage,      // Text23, kV
    KermaNoCouch,            // Text14, mGy measured at the isocentre without the couch
    KermaWithCouch,          // Text15, mGy with the couch in the beam
    DisplayedKar,            // Text16, mGy Ka,r shown by the device for the same exposure
};
inline constexpr int kDeviceFieldCount = 11;

// The box after `field` in the Enter order; nullopt after the last, where the focus goes to
// OK.
std::optional<DeviceField> NextDeviceField(DeviceField field);

// Defaults of a new device, and what the filter displays show before a filter is set.
inline constexpr const char* kNewDeviceTargetAngle = "12";          // degrees
inline constexpr const char* kNewDeviceInherentFiltration = "2.5";  // mm Al
inline constexpr const char* kNoArbitraryFilterMaterial = "---";    // Label29
inline constexpr const char* kNoArbitraryFilterThickness = "0";     // Label26, mm

// OK with a box left empty.
inline constexpr const char* kEmptyBoxMessage =
    KORVEX_TRANSLATE_NOOP("korvex::Core", " 入力されていない箇所があります ");

// The caption of a box as messages name it ("焦点-受像器間距離").
const char* DeviceFieldCaption(DeviceField field);

// A box (or the filter dialog's thickness) whose text is no number, e.g. "Ｘ線管ターゲット角度に
// は数値を入力して下さい（「twelve」は数値ではありません）。".
std::string NotANumberMessage(const char* caption, const std::string& text);

// A calibration value that the device file would keep as zero: "校正定数 0.000003 は、装置データ
// には小数点以下 3 桁で「0.000」と保存されてしまうため、保存できません。測定値を確認して下さい。".
// The decimals and the stored text come from the value's file format (device_file.h).
std::string StoredAsZeroMessage(const StoredCalibrationValue& stored, double value);

// The three calibration values as the dialog shows them, empty until OK.
struct DeviceResultTexts {
    std::string CouchTransmission;         // Label21, "0.000"
    std::string CouchEquivalentThickness;  // Label38, "#0.0" (cm)
    std::string KermaCorrectionFactor;     // Label27, "0.000"
};

// What Save did: the file name and the message to show. A file that could not be written
// leaves `saved` false, with the reason as an exclamation message; the dialog stays open.
struct DeviceSaveOutcome {
    bool saved = false;
    bool refused = false;   // a name or text the user can mend; otherwise the write failed
    std::string file_name;  // "<name>.kvx2" when saved
    UserMessage message;
};

// One device as the device dialog assembles it from its boxes: the conversions (mm to cm,
// texts to numbers), the check for empty boxes, storing into the shared case, the
// calibration, the three displays, when Save is open, and the arbitrary filter's texts.
// Qt-free, so that the dialog and `korvex2-cli device create` make the same file from the
// same texts. Works on the shared engine state; owns only the texts and the Save state.
//
// Departures from the system's description, all so that a saved file is what its texts
// and its calibration say:
// - Any change of a box, or setting or releasing the arbitrary filter, after OK closes
//   Save until OK succeeds again (a saved file never pairs a new filtration with a couch
//   thickness computed with the old one).
// - Inputs that break the conditions of the calibration (a zero kerma or tube voltage, a
//   focus-isocentre distance of 15 cm or less, a couch transmission above 1 or below the
//   10 cm one) are refused with the engine's message; OK then stores nothing.
// - A box other than the name whose text is no number (the description read "12度" as 12
//   and "なし" as 0) is refused, naming the box; so is a couch transmission, couch
//   thickness or correction factor that the device file's decimals would store as zero
//   (every dose of the device would then be 0, or the couch would vanish). OK then
//   stores nothing.
// - The arbitrary-filter flag that OK stores (and Save writes) is the dialog's own: off
//   for a new device until a filter is set in its filter dialog, so a new device never
//   inherits the flag of the device last loaded and is never written with the flag on and
//   no material ("---"), which could not be loaded again.
// - Save writes the case values as OK left them, also when the main window has loaded
//   another device into the case meanwhile (the dialog is modeless).
// - The couch model and, for a table top, the mattress thickness are part of the device:
//   OK stores them into the case (a layer device with mattress 0) and Save writes them.
class DeviceEntry {
  public:
    explicit DeviceEntry(EngineState& state);

    // NewDevice: target angle "12", inherent filtration "2.5", the layer model with the
    // mattress box at kDefaultMattressThicknessCm as the file writes it ("4.0"), every other
    // box empty, the filter displays "---" and "0", the results empty, Save closed. The
    // case is not touched (its arbitrary-filter flag neither).
    void NewDevice();

    // Typing changes the text only; a changed text after OK closes Save.
    void SetText(DeviceField field, std::string text);
    const std::string& Text(DeviceField field) const;

    // The couch model and the mattress box (cm, used by the table-top model only); a change
    // after OK closes Save, as a box's does.
    void SetCouchModel(CouchModel model);
    CouchModel Couch() const { return couch_; }
    void SetMattressText(std::string text);
    const std::string& MattressText() const { return mattress_; }

    // Leaving a box: the target angle and the three filter thicknesses (mm, stored in cm)
    // go into the case at once; the other boxes wait for OK.
    void Leave(DeviceField field);

    // The arbitrary filter displays (Label29, Label26: the material name and the thickness
    // in mm as typed in the filter dialog), written by the filter dialog.
    const std::string& FilterMaterialText() const { return filter_material_; }
    const std::string& FilterThicknessText() const { return filter_thickness_; }
    // The filter dialog set a filter (flag on) or released it (flag off; the texts stay).
    void FilterSet(std::string material, std::string thickness_text);
    void FilterReleased();
    bool FilterOn() const { return filter_on_; }

    // OK: refuses an empty box (kEmptyBoxMessage), a text that is no number
    // (NotANumberMessage), for the table-top model a mattress outside 0 to 10 cm
    // (MattressThicknessRefusal), inputs the calibration cannot take (the engine's message)
    // and calibration values the file would store as zero (StoredAsZeroMessage), and then
    // changes nothing; otherwise stores the device fields into the case, runs
    // ComputeDeviceCalibration, fills the result texts and opens Save. These are the rules
    // of both the dialog and `korvex2-cli device create`.
    [[nodiscard]] RuleOutcome Ok();
    const DeviceResultTexts& Results() const { return results_; }
    bool SaveEnabled() const { return save_enabled_; }

    // The texts Save hands to SaveDeviceFile.
    DeviceDialogTexts SaveTexts() const;
    // Save: writes "<name>.kvx2" in the working folder (replacing one of that name) from
    // the texts and the case values of the last OK. Only while Save is open; otherwise
    // nothing is written and nothing is said. Save stays open after a failed write.
    DeviceSaveOutcome Save();

  private:
    void Changed();
    std::optional<UserMessage> TextRefused() const;
    std::optional<UserMessage> MattressRefused() const;
    std::optional<UserMessage> Calibrate();

    EngineState& state_;
    std::array<std::string, kDeviceFieldCount> texts_;
    std::string filter_material_;
    std::string filter_thickness_;
    bool filter_on_ = false;
    CouchModel couch_ = kDefaultCouchModel;
    std::string mattress_;
    DeviceResultTexts results_;
    bool save_enabled_ = false;
    CalculationCase calibrated_;  // the case as OK left it: what Save writes
};

}  // namespace korvex
