#include "device/device_entry.h"

#include <utility>

#include "engine/device_calibration.h"
#include "engine/engine_state.h"
#include "engine/errors.h"
#include "engine/text_rules.h"

namespace korvex {
namespace {

size_t Index(DeviceField field) {
    return static_cast<size_t>(field);
}

}  // namespace

std::optional<DeviceField> NextDeviceField(DeviceField field) {
    const int next = static_cast<int>(field) + 1;
    if (next >= kDeviceFieldCount) {
        return std::nullopt;
    }
    return static_cast<DeviceField>(next);
}

DeviceEntry::DeviceEntry(EngineState& state) : state_(state) {
    NewDevice();
}

void DeviceEntry::NewDevice() {
    texts_ = {};
    texts_[Index(DeviceField::TargetAngle)] = kNewDeviceTargetAngle;
    texts_[Index(DeviceField::InherentFiltration)] = kNewDeviceInherentFiltration;
    filter_material_ = kNoArbitraryFilterMaterial;
    filter_thickness_ = kNoArbitraryFilterThickness;
    filter_on_ = false;
    results_ = {};
    save_enabled_ = false;
}

void DeviceEntry::SetText(DeviceField field, std::string text) {
    std::string& current = texts_[Index(field)];
    if (current != text) {
        current = std::move(text);
        Changed();
    }
}

const std::string& DeviceEntry::Text(DeviceField field) const {
    return texts_[Index(field)];
}

void DeviceEntry::Leave(DeviceField field) {
    CalculationCase& c = state_.calc;
    const double value = LeadingNumber(Text(field));
    switch (field) {
        case DeviceField::TargetAngle:
            c.TargetAngle = value;
            break;
        case DeviceField::InherentFiltration:
            c.InherentFiltration = value * kMmToCm;
            break;
        case DeviceField::AddedAluminium:
            c.AddedAluminium = value * kMmToCm;
            break;
        case DeviceField::AddedCopper:
            c.AddedCopper = value * kMmToCm;
            break;
        default:
            break;  // stored by OK
    }
}

void DeviceEntry::FilterSet(std::string material, std::string thickness_text) {
    filter_material_ = std::move(material);
    filter_thickness_ = std::move(thickness_text);
    filter_on_ = true;
    Changed();
}

void DeviceEntry::FilterReleased() {
    filter_on_ = false;
    Changed();
}

void DeviceEntry::Changed() {
    save_enabled_ = false;
}

std::optional<UserMessage> DeviceEntry::Ok() {
    for (const std::string& text : texts_) {
        if (text.empty()) {
            return UserMessage{kEmptyBoxMessage, MessageIcon::Exclamation, false};
        }
    }
    const auto number = [this](DeviceField field) { return LeadingNumber(Text(field)); };

    // The beam quality and the distances go into the case first: the calibration reads
    // them there. A refused calibration takes them back out.
    const CalculationCase before = state_.calc;
    CalculationCase& c = state_.calc;
    c.TargetAngle = number(DeviceField::TargetAngle);
    c.InherentFiltration = number(DeviceField::InherentFiltration) * kMmToCm;
    c.AddedAluminium = number(DeviceField::AddedAluminium) * kMmToCm;
    c.AddedCopper = number(DeviceField::AddedCopper) * kMmToCm;
    c.ArbitraryFilterThickness = LeadingNumber(filter_thickness_) * kMmToCm;
    c.ArbitraryFilterOn = filter_on_ ? 1 : 0;
    c.FocusReceptorDistance = number(DeviceField::FocusReceptorDistance);
    c.FocusIsocentreDistance = number(DeviceField::FocusIsocentreDistance);
    try {
        ComputeDeviceCalibration(state_, number(DeviceField::KermaNoCouch),
                                 number(DeviceField::KermaWithCouch),
                                 number(DeviceField::DisplayedKar), c.FocusIsocentreDistance,
                                 number(DeviceField::TypicalTubeVoltage));
    } catch (const CalibrationInputError& error) {
        state_.calc = before;
        return UserMessage{error.what(), MessageIcon::Exclamation, true};
    }
    calibrated_ = c;
    results_.CouchTransmission = FormatNumber(c.CouchTransmission, "0.000");
    results_.CouchEquivalentThickness = FormatNumber(c.CouchEquivalentThickness, "#0.0");
    results_.KermaCorrectionFactor = FormatNumber(c.KermaCorrectionFactor, "0.000");
    save_enabled_ = true;
    return std::nullopt;
}

DeviceDialogTexts DeviceEntry::SaveTexts() const {
    DeviceDialogTexts texts;
    texts.DeviceName = Text(DeviceField::DeviceName);
    texts.InherentFiltration = Text(DeviceField::InherentFiltration);
    texts.AddedAluminium = Text(DeviceField::AddedAluminium);
    texts.AddedCopper = Text(DeviceField::AddedCopper);
    texts.ArbitraryFilterMaterial = filter_material_;
    texts.ArbitraryFilterThickness = filter_thickness_;
    texts.TypicalTubeVoltage = Text(DeviceField::TypicalTubeVoltage);
    return texts;
}

DeviceSaveOutcome DeviceEntry::Save() {
    DeviceSaveOutcome outcome;
    if (!save_enabled_) {
        return outcome;
    }
    try {
        outcome.file_name = SaveDeviceFile(state_.WorkingFolder, SaveTexts(), calibrated_);
    } catch (const FileError& error) {
        outcome.message = {error.what(), MessageIcon::Exclamation, true};
        return outcome;
    }
    outcome.saved = true;
    outcome.message = {DeviceSavedMessage(outcome.file_name), MessageIcon::None, false};
    return outcome;
}

}  // namespace korvex
