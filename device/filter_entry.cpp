#include "device/filter_entry.h"

#include <cmath>

#include "device/device_entry.h"
#include "device/material_file.h"
#include "engine/engine_state.h"
#include "engine/errors.h"
#include "engine/text_rules.h"

namespace korvex {
namespace {

UserMessage Refusal(const std::string& text) {
    return UserMessage{text, MessageIcon::Exclamation, true};
}

RuleOutcome Refused(const std::string& text) {
    return {false, Refusal(text)};
}

}  // namespace

FilterEntry::FilterEntry(EngineState& state, DeviceEntry& device)
    : state_(state), device_(device) {}

void FilterEntry::Open() {
    description_.clear();
    thickness_text_.clear();
}

std::optional<UserMessage> FilterEntry::ShowDescription(const std::string& file_name) {
    try {
        description_ = ReadMaterialDescription(state_.working_folder / file_name, file_name);
    } catch (const FileError& error) {
        description_.clear();
        return Refusal(error.what());
    }
    return std::nullopt;
}

RuleOutcome FilterEntry::Set(const std::string& file_name) {
    if (file_name.empty()) {
        return Refused(kNoMaterialChosenMessage);
    }
    if (Trimmed(thickness_text_).empty()) {
        return Refused(kNoThicknessMessage);
    }
    const std::optional<double> thickness = ParseDecimal(thickness_text_);
    if (!thickness) {
        return Refused(NotANumberMessage(kFilterThicknessCaption, thickness_text_));
    }
    const double thickness_mm = *thickness;
    if (!(thickness_mm > 0) || !std::isfinite(thickness_mm)) {
        return Refused(kNoThicknessMessage);
    }
    try {
        description_ = BuildFilterAttenuation(state_, file_name);
    } catch (const FileError& error) {
        return Refused(error.what());  // the previous table is kept
    }
    state_.calc.ArbitraryFilterThickness = thickness_mm * kMmToCm;
    state_.calc.ArbitraryFilterOn = 1;
    device_.FilterSet(MaterialNameOf(file_name), thickness_text_);
    return {true, {}};
}

void FilterEntry::Release() {
    description_.clear();
    state_.calc.ArbitraryFilterThickness = 0;
    state_.calc.ArbitraryFilterOn = 0;
    device_.FilterReleased();
}

}  // namespace korvex
