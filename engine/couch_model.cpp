#include "engine/couch_model.h"

namespace korvex {

std::string_view CouchModelKey(CouchModel model) {
    return model == CouchModel::TableTop ? "table-top" : "layer";
}

std::string_view CouchModelName(CouchModel model, UserLanguage language) {
    if (language == UserLanguage::English) {
        return model == CouchModel::TableTop ? "table top and mattress" : "tissue-equivalent layer";
    }
    return model == CouchModel::TableTop ? "天板＋マット" : "組織等価層";
}

std::optional<CouchModel> CouchModelFromKey(std::string_view key) {
    for (const CouchModel model : kCouchModels) {
        if (key == CouchModelKey(model)) {
            return model;
        }
    }
    return std::nullopt;
}

}  // namespace korvex
