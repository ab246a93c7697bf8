#include "exposure/exposure_form.h"

#include <optional>
#include <utility>

#include "engine/engine_state.h"
#include "engine/field_size.h"
#include "engine/text_rules.h"

namespace korvex {
namespace {

const char* const kSquareSizeName = KORVEX_TRANSLATE_NOOP("korvex::Core", "正方形 一辺長");
const char* const kCircleSizeName = KORVEX_TRANSLATE_NOOP("korvex::Core", "直 径");
const char* const kStartSizeName = KORVEX_TRANSLATE_NOOP("korvex::Core", "正 方 形");

size_t Index(ExposureField field) {
    return static_cast<size_t>(field);
}

UserText CouchModelText(const CalculationCase& c) {
    const std::string mattress =
        c.Couch == CouchModel::TableTop
            ? " " + FormatNumber(c.MattressThickness, kStoredMattressThickness.format) + " cm"
            : "";
    return {
        "天板モデル：" + std::string(CouchModelName(c.Couch)) + mattress,
        "Couch model: " + std::string(CouchModelName(c.Couch, UserLanguage::English)) + mattress};
}

DeviceDisplay DisplayOf(const CalculationCase& c, const LoadedDevice& device) {
    const bool with_filter = c.ArbitraryFilterOn == 1;
    DeviceDisplay shown;
    shown.TargetAngle = FormatNumber(c.TargetAngle, "#0.0");
    shown.InherentFiltration = FormatNumber(device.InherentFiltrationMm, "0.00");
    shown.AddedAluminium = FormatNumber(device.AddedAluminiumMm, "0.00");
    shown.AddedCopper = FormatNumber(device.AddedCopperMm, "0.00");
    shown.FilterMaterial = with_filter ? c.ArbitraryFilterMaterial : "-";
    shown.FilterThickness =
        with_filter ? FormatNumber(device.ArbitraryFilterThicknessMm, "0.00") : "-";
    shown.FocusReceptorDistance = FormatNumber(c.FocusReceptorDistance, "#00.0");
    shown.FocusIsocentreDistance = FormatNumber(c.FocusIsocentreDistance, "#00.0");
    shown.CouchModel = CouchModelText(c);
    return shown;
}

}  // namespace

std::string DefaultFocusSkinDistanceText(const CalculationCase& calc) {
    return FormatNumber(calc.FocusIsocentreDistance - kReferencePointOffset, "#00");
}

ExposureForm::ExposureForm(EngineState& state) : state_(state) {
    Reset();
}

void ExposureForm::Reset() {
    texts_ = {};
    has_device_ = false;
    device_ = {};
    display_ = {};
    display_.FilterMaterial = kNoFilterMaterialShown;
    shape_ = FieldShapeKind::Unset;
    field_size_name_ = kStartSizeName;
    field_size_text_.clear();
    state_.calc.FieldShape = FieldShapeKind::Unset;
    state_.calc.ArbitraryFilterOn = 0;
}

const LoadedDevice& ExposureForm::ChooseDevice(const std::string& file_name) {
    device_ = LoadDeviceFile(state_, file_name);
    has_device_ = true;
    const CalculationCase& c = state_.calc;
    device_couch_ = {c.CouchTransmission, c.CouchEquivalentThickness, c.Couch, c.MattressThickness};
    display_ = DisplayOf(state_.calc, device_);
    texts_[Index(ExposureField::TubeVoltage)] = device_.TypicalTubeVoltage;
    texts_[Index(ExposureField::FocusSkinDistance)] = DefaultFocusSkinDistanceText(state_.calc);
    return device_;
}

void ExposureForm::ForgetDeviceDisplay() {
    const std::string material = display_.FilterMaterial;
    display_ = {};
    display_.FilterMaterial = material;
}

void ExposureForm::ForgetFilterDisplay() {
    display_.FilterMaterial.clear();
    display_.FilterThickness.clear();
}

void ExposureForm::UseAddedFilters(double aluminium_mm, double copper_mm) {
    state_.calc.AddedAluminium = aluminium_mm * kMmToCm;
    state_.calc.AddedCopper = copper_mm * kMmToCm;
}

void ExposureForm::UseCouch(bool through_couch) {
    CalculationCase& c = state_.calc;
    const CouchValues none{1, 0, CouchModel::Layer, 0};
    const CouchValues& use = through_couch ? device_couch_ : none;
    c.CouchTransmission = use.transmission;
    c.CouchEquivalentThickness = use.equivalent_thickness;
    c.Couch = use.model;
    c.MattressThickness = use.mattress;
}

void ExposureForm::SetText(ExposureField field, std::string text) {
    texts_[Index(field)] = std::move(text);
}

const std::string& ExposureForm::Text(ExposureField field) const {
    return texts_[Index(field)];
}

void ExposureForm::Confirm(ExposureField field) {
    CalculationCase& c = state_.calc;
    const double value = LeadingNumber(Text(field));
    switch (field) {
        case ExposureField::BodySite:
            break;
        case ExposureField::TubeVoltage:
            c.TubeVoltage = value;
            break;
        case ExposureField::Kar:
            c.DisplayedKar = value;
            break;
        case ExposureField::Pka:
            c.DisplayedPka = value;
            break;
        case ExposureField::FocusSkinDistance:
            c.FocusSkinDistance = value;
            break;
    }
}

bool ExposureForm::ChooseShape(FieldShapeKind shape) {
    const CalculationCase& c = state_.calc;
    // A zero or negative stored reading counts as none (no division by zero).
    const std::optional<double> size =
        ComputeReferenceFieldSize(shape, c.DisplayedKar, c.DisplayedPka);
    if (Text(ExposureField::Kar).empty() || Text(ExposureField::Pka).empty() || !size) {
        return false;
    }
    shape_ = shape;
    state_.calc.FieldShape = shape;
    field_size_name_ = shape == FieldShapeKind::Square ? kSquareSizeName : kCircleSizeName;
    field_size_text_ = FormatNumber(*size, "#0.00");
    return true;
}

CalculationOutcome ExposureForm::Calculate() {
    for (ExposureField field : {ExposureField::TubeVoltage, ExposureField::Kar, ExposureField::Pka,
                                ExposureField::FocusSkinDistance}) {
        Confirm(field);
    }
    return RunCalculation(state_,
                          {Text(ExposureField::BodySite), Text(ExposureField::TubeVoltage),
                           Text(ExposureField::Kar), Text(ExposureField::Pka),
                           Text(ExposureField::FocusSkinDistance), field_size_text_, model_});
}

}  // namespace korvex
