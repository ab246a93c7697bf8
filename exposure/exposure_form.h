#pragma once

#include <array>
#include <string>

#include "device/device_file.h"
#include "engine/calculation_case.h"
#include "engine/calculation_driver.h"

namespace korvex {

struct EngineState;

// The typed fields of one exposure, in the main window's Enter order.
enum class ExposureField : int { BodySite, TubeVoltage, Kar, Pka, FocusSkinDistance };

// The device values as the main window shows them beside the list (thicknesses in mm).
struct DeviceDisplay {
    std::string TargetAngle;             // Label23, "#0.0"
    std::string InherentFiltration;      // Label25, "0.00"
    std::string AddedAluminium;          // Label50, "0.00"
    std::string AddedCopper;             // Label51, "0.00"
    std::string FilterMaterial;          // Label29: material, "-" without a filter
    std::string FilterThickness;         // Label26, "0.00", "-" without a filter
    std::string FocusReceptorDistance;   // Label62, "#00.0"
    std::string FocusIsocentreDistance;  // Label64, "#00.0"
    // CouchModelLabel: "天板モデル：組織等価層", "天板モデル：天板＋マット 4.0 cm", and the
    // English.
    UserText CouchModel;
};

// Label29 before any device has been chosen.
inline constexpr const char* kNoFilterMaterialShown = "―";

// The default focus-skin distance text of a device: the distance to the reference point,
// focus-isocentre distance minus 15 cm, as a whole number of cm ("#00").
std::string DefaultFocusSkinDistanceText(const CalculationCase& calc);

// One exposure as the main window assembles it: the chosen device, the typed texts, the
// field shape with its size, and the calculation. Every rule of one exposure lives here, so
// the window, the command line and the dose-report reader compute alike. Works on the
// shared engine state; owns only the texts.
class ExposureForm {
  public:
    explicit ExposureForm(EngineState& state);

    // The start-up state: every text empty, no shape, no device shown; the case's shape
    // and arbitrary-filter flag cleared.
    void Reset();

    // Loads the device file (bare name in the working folder) and pre-fills the tube
    // voltage with the device's typical voltage and the focus-skin distance with
    // DefaultFocusSkinDistanceText. Throws FileError with the user's message; the form
    // and the case are then unchanged.
    const LoadedDevice& ChooseDevice(const std::string& file_name);
    bool HasDevice() const { return has_device_; }
    const LoadedDevice& Device() const { return device_; }
    const DeviceDisplay& Display() const { return display_; }
    // After the device file was deleted: the values are no longer shown (the material
    // label keeps its text), while the case keeps them for the next calculation.
    void ForgetDeviceDisplay();
    // After the arbitrary filter was released in the filter dialog: the material and its
    // thickness are no longer shown (both empty).
    void ForgetFilterDisplay();

    // Replaces the device's added filtration for the next calculations (a dose report
    // gives each irradiation event its own), thicknesses in mm.
    void UseAddedFilters(double aluminium_mm, double copper_mm);
    // Whether the next calculations' beam crosses the device's couch (the default) or
    // passes beside it: no table top, no mattress, transmission 1.
    void UseCouch(bool through_couch);

    // Typing changes only the text; Confirm (Enter or leaving the field) stores its
    // numeric value in the case, changed or not. The body site is only a text.
    void SetText(ExposureField field, std::string text);
    const std::string& Text(ExposureField field) const;
    void Confirm(ExposureField field);
    void Enter(ExposureField field, std::string text) {
        SetText(field, std::move(text));
        Confirm(field);
    }

    // The shape options: chosen only when both readings are typed and give a size (the
    // stored, confirmed readings are used); returns whether the shape is now chosen. A
    // refused choice leaves the previous shape and size as they were. The size is not
    // recomputed when a reading changes later, only when a shape is chosen again.
    bool ChooseShape(FieldShapeKind shape);
    FieldShapeKind Shape() const { return shape_; }
    const std::string& FieldSizeName() const { return field_size_name_; }  // Label22
    const std::string& FieldSizeText() const { return field_size_text_; }  // Label65

    // The dose model the calculations use; Reset keeps it, as it is the user's setting.
    void SetModel(DoseModel model) { model_ = model; }
    DoseModel Model() const { return model_; }

    // The calculate button: every text is confirmed first, so the calculation never uses
    // a reading that was typed but not yet stored; then the driver runs.
    CalculationOutcome Calculate();

  private:
    EngineState& state_;
    std::array<std::string, 5> texts_;
    bool has_device_ = false;
    LoadedDevice device_;
    DeviceDisplay display_;
    struct CouchValues {
        double transmission = 0;
        double equivalent_thickness = 0;
        CouchModel model = kDefaultCouchModel;
        double mattress = 0;
    } device_couch_;
    FieldShapeKind shape_ = FieldShapeKind::Unset;
    std::string field_size_name_;
    std::string field_size_text_;
    DoseModel model_ = kDefaultDoseModel;
};

}  // namespace korvex
