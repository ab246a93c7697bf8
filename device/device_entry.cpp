#include "device/device_entry.h"

#include <cmath>
#include <string>
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

UserMessage Refusal(std::string text, std::string english = {}) {
    return UserMessage{std::move(text), MessageIcon::Exclamation, true, std::move(english)};
}

}  // namespace

const char* DeviceFieldCaption(DeviceField field) {
    switch (field) {
        case DeviceField::DeviceName:
            return KORVEX_TRANSLATE_NOOP("korvex::Core", "Ｘ線室または装置の名称");
        case DeviceField::FocusReceptorDistance:
            return KORVEX_TRANSLATE_NOOP("korvex::Core", "焦点-受像器間距離");
        case DeviceField::FocusIsocentreDistance:
            return KORVEX_TRANSLATE_NOOP("korvex::Core", "焦点-アイソセンター間距離");
        case DeviceField::TargetAngle:
            return KORVEX_TRANSLATE_NOOP("korvex::Core", "Ｘ線管ターゲット角度");
        case DeviceField::InherentFiltration:
            return KORVEX_TRANSLATE_NOOP("korvex::Core", "固有フィルタ（Al 当量）");
        case DeviceField::AddedAluminium:
            return KORVEX_TRANSLATE_NOOP("korvex::Core", "付加フィルタ（アルミ）");
        case DeviceField::AddedCopper:
            return KORVEX_TRANSLATE_NOOP("korvex::Core", "付加フィルタ（銅）");
        case DeviceField::TypicalTubeVoltage:
            return KORVEX_TRANSLATE_NOOP("korvex::Core", "通常使用する管電圧");
        case DeviceField::KermaNoCouch:
            return KORVEX_TRANSLATE_NOOP("korvex::Core", "実測空気カーマ（天板なし）");
        case DeviceField::KermaWithCouch:
            return KORVEX_TRANSLATE_NOOP("korvex::Core", "実測空気カーマ（天板あり）");
        case DeviceField::DisplayedKar:
            break;
    }
    return KORVEX_TRANSLATE_NOOP("korvex::Core", "装置表示値 Ka,r");
}

std::string NotANumberMessage(const char* caption, const std::string& text) {
    return std::string(caption) + "には数値を入力して下さい（「" + MessageQuote(text) +
           "」は数値ではありません）。";
}

std::string StoredAsZeroMessage(const StoredCalibrationValue& stored, double value) {
    // Three decimals more than the file keeps show how small the value is.
    const std::string shown =
        std::isfinite(value) ? FormatNumber(value, std::string(stored.format) + "###") : "---";
    return std::string(stored.name) + " " + shown + " は、装置データには小数点以下 " +
           std::to_string(StoredDecimals(stored.format)) + " 桁で「" +
           FormatNumber(0, stored.format) +
           "」と保存されてしまうため、保存できません。測定値を確認して下さい。";
}

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
    couch_ = kDefaultCouchModel;
    mattress_ = FormatNumber(kDefaultMattressThicknessCm, kStoredMattressThickness.format);
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

void DeviceEntry::SetCouchModel(CouchModel model) {
    if (couch_ != model) {
        couch_ = model;
        Changed();
    }
}

void DeviceEntry::SetMattressText(std::string text) {
    if (mattress_ != text) {
        mattress_ = std::move(text);
        Changed();
    }
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

RuleOutcome DeviceEntry::Ok() {
    std::optional<UserMessage> refused = TextRefused();
    if (!refused) {
        refused = Calibrate();
    }
    if (refused) {
        return {false, *refused};
    }
    const CalculationCase& c = state_.calc;
    results_.CouchTransmission = FormatNumber(c.CouchTransmission, "0.000");
    results_.CouchEquivalentThickness = FormatNumber(c.CouchEquivalentThickness, "#0.0");
    results_.KermaCorrectionFactor = FormatNumber(c.KermaCorrectionFactor, "0.000");
    save_enabled_ = true;
    return {true, {}};
}

// Every box filled, and every box but the name a number.
std::optional<UserMessage> DeviceEntry::TextRefused() const {
    for (const std::string& text : texts_) {
        if (text.empty()) {
            return UserMessage{kEmptyBoxMessage, MessageIcon::Exclamation, false};
        }
    }
    for (int i = 0; i < kDeviceFieldCount; ++i) {
        const auto field = static_cast<DeviceField>(i);
        if (field != DeviceField::DeviceName && !ParseDecimal(Text(field))) {
            return Refusal(NotANumberMessage(DeviceFieldCaption(field), Text(field)));
        }
    }
    return MattressRefused();
}

// The mattress box counts for the table-top model only; the layer has none.
std::optional<UserMessage> DeviceEntry::MattressRefused() const {
    if (couch_ != CouchModel::TableTop) {
        return std::nullopt;
    }
    if (mattress_.empty()) {
        return UserMessage{kEmptyBoxMessage, MessageIcon::Exclamation, false};
    }
    const std::optional<double> cm = ParseDecimal(mattress_);
    if (!cm) {
        return Refusal(NotANumberMessage(kStoredMattressThickness.name, mattress_));
    }
    if (!IsMattressThickness(*cm)) {
        return Refusal(MattressThicknessRefusal(*cm));
    }
    return std::nullopt;
}

// Stores the device fields and calibrates; a refusal restores the case, the spectra and
// the transmission table as they were.
std::optional<UserMessage> DeviceEntry::Calibrate() {
    const auto number = [this](DeviceField field) { return LeadingNumber(Text(field)); };

    // The beam quality and the distances go into the case first: the calibration reads
    // them there.
    const CalculationCase before = state_.calc;
    const WorkArrays work_before = state_.work;
    const TransmissionTable transmission_before = state_.work.TissueTransmission;
    const auto refuse = [&](std::string text, std::string english = {}) {
        state_.calc = before;
        state_.work = work_before;
        state_.work.TissueTransmission = transmission_before;
        return Refusal(std::move(text), std::move(english));
    };
    CalculationCase& c = state_.calc;
    c.TargetAngle = number(DeviceField::TargetAngle);
    c.InherentFiltration = number(DeviceField::InherentFiltration) * kMmToCm;
    c.AddedAluminium = number(DeviceField::AddedAluminium) * kMmToCm;
    c.AddedCopper = number(DeviceField::AddedCopper) * kMmToCm;
    c.ArbitraryFilterThickness = LeadingNumber(filter_thickness_) * kMmToCm;
    c.ArbitraryFilterOn = filter_on_ ? 1 : 0;
    c.FocusReceptorDistance = number(DeviceField::FocusReceptorDistance);
    c.FocusIsocentreDistance = number(DeviceField::FocusIsocentreDistance);
    c.Couch = couch_;
    // TextRefused has checked the number; adding 0 turns a typed "-0" into 0.
    c.MattressThickness =
        couch_ == CouchModel::TableTop ? ParseDecimal(mattress_).value_or(0) + 0.0 : 0;
    try {
        ComputeDeviceCalibration(state_, number(DeviceField::KermaNoCouch),
                                 number(DeviceField::KermaWithCouch),
                                 number(DeviceField::DisplayedKar), c.FocusIsocentreDistance,
                                 number(DeviceField::TypicalTubeVoltage));
    } catch (const CalibrationInputError& error) {
        return refuse(error.what(), error.english());
    }
    // The file keeps few decimals: a factor or transmission they turn into zero would make
    // every dose zero. A thickness of 0.000 is a couch that lets everything through (the
    // transmission stores as 1.000), which both dose models calculate: it stays allowed.
    const std::pair<const StoredCalibrationValue&, double> stored[] = {
        {kStoredCouchTransmission, c.CouchTransmission},
        {kStoredKermaCorrection, c.KermaCorrectionFactor},
    };
    for (const auto& [format, value] : stored) {
        if (StoredAsZero(value, format.format)) {
            return refuse(StoredAsZeroMessage(format, value));
        }
    }
    calibrated_ = c;
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
        outcome.file_name = SaveDeviceFile(state_.working_folder, SaveTexts(), calibrated_);
    } catch (const DeviceDataRefused& error) {
        outcome.refused = true;
        outcome.message = {error.what(), MessageIcon::Exclamation, true};
        return outcome;
    } catch (const FileError& error) {
        outcome.message = {error.what(), MessageIcon::Exclamation, true};
        return outcome;
    }
    outcome.saved = true;
    outcome.message = {DeviceSavedMessage(outcome.file_name), MessageIcon::None, false};
    return outcome;
}

}  // namespace korvex
