#include "engine/dose_model.h"

namespace korvex {

std::string_view DoseModelKey(DoseModel model) {
    return model == DoseModel::Legacy ? "legacy" : "validated";
}

std::string_view DoseModelName(DoseModel model, UserLanguage language) {
    if (language == UserLanguage::English) {
        return model == DoseModel::Legacy ? "Legacy formula" : "Validated model";
    }
    return model == DoseModel::Legacy ? "従来式" : "検証済みモデル";
}

std::string_view DoseModelShortName(DoseModel model, UserLanguage language) {
    if (language == UserLanguage::English) {
        return model == DoseModel::Legacy ? "Leg." : "Val.";
    }
    return model == DoseModel::Legacy ? "従来" : "検証";
}

std::optional<DoseModel> DoseModelFromKey(std::string_view key) {
    for (const DoseModel model : kDoseModels) {
        if (key == DoseModelKey(model)) {
            return model;
        }
    }
    return std::nullopt;
}

std::optional<DoseModel> DoseModelFromName(std::string_view name) {
    for (const DoseModel model : kDoseModels) {
        if (name == DoseModelName(model)) {
            return model;
        }
    }
    return std::nullopt;
}

}  // namespace korvex
