#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "engine/user_message.h"

namespace korvex {

// The formula that turns the spectrum, the backscatter and the depth dose into the skin
// dose. Every result carries the model that made it.
enum class DoseModel {
    // The default. The corrected Ka,r belongs to the reference point and is carried to the
    // surface of the couch-equivalent layer by the inverse square; the couch acts once,
    // through that layer; the depth factor is a fraction of the surface dose.
    Validated,
    // The formula of earlier programs, kept to reproduce their results bit for bit: the
    // corrected Ka,r taken at the skin and the couch counted twice (its transmission and
    // the depth factor through the layer that stands for it).
    Legacy,
};

inline constexpr DoseModel kDefaultDoseModel = DoseModel::Validated;
inline constexpr std::array<DoseModel, 2> kDoseModels = {DoseModel::Validated, DoseModel::Legacy};

// "validated" / "legacy": the command line, JSON and the settings file.
std::string_view DoseModelKey(DoseModel model);
// "検証済みモデル" / "従来式": windows, results files and printouts ("Validated model" /
// "Legacy formula" in English; results files keep the Japanese, which they are read by).
std::string_view DoseModelName(DoseModel model, UserLanguage language = UserLanguage::Japanese);
// "検証" / "従来" ("Val." / "Leg."): the mark of a row and the label of a total in drawn and
// printed tables, as narrow as the Japanese.
std::string_view DoseModelShortName(DoseModel model,
                                    UserLanguage language = UserLanguage::Japanese);

std::optional<DoseModel> DoseModelFromKey(std::string_view key);
std::optional<DoseModel> DoseModelFromName(std::string_view name);

}  // namespace korvex
