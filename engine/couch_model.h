#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "engine/user_message.h"

namespace korvex {

// What the device's couch is, for the validated model (the legacy formula knows only the
// layer). A device file without a couch model means the layer.
enum class CouchModel {
    // Tissue of the couch-equivalent thickness in contact with the skin; T measured on the
    // couch top.
    Layer,
    // A table top under a mattress: T measured with the mattress in the beam, the table
    // top's scatter reaching the skin from the mattress's thickness away.
    TableTop,
};

inline constexpr CouchModel kDefaultCouchModel = CouchModel::Layer;
inline constexpr std::array<CouchModel, 2> kCouchModels = {CouchModel::Layer, CouchModel::TableTop};

// The mattress a table-top device is made with unless another is entered, cm.
inline constexpr double kDefaultMattressThicknessCm = 4;
// Mattresses the couch-scatter table covers, cm.
inline constexpr double kMaxMattressThicknessCm = 10;

// "layer" / "table-top": the command line and JSON.
std::string_view CouchModelKey(CouchModel model);
// "組織等価層" / "天板＋マット": windows and printouts; in English for the English interface.
std::string_view CouchModelName(CouchModel model, UserLanguage language = UserLanguage::Japanese);
std::optional<CouchModel> CouchModelFromKey(std::string_view key);

}  // namespace korvex
