#include "settings/dose_model_setting.h"

#include <optional>

#include "engine/errors.h"
#include "engine/text_rules.h"
#include "settings/settings_file.h"

namespace korvex {

DoseModelSetting ReadDoseModelSetting(const std::filesystem::path& working_folder) {
    DoseModelSetting setting;
    const std::string default_name = std::string(DoseModelName(kDefaultDoseModel));
    std::optional<std::string> value;
    try {
        value = ReadSetting(working_folder, kDoseModelSettingKey);
    } catch (const FileError& failure) {
        setting.problem = std::string(failure.what()) + " 計算モデルは" + default_name + "です。";
        return setting;
    }
    if (!value) {
        return setting;
    }
    if (const std::optional<DoseModel> model = DoseModelFromKey(*value)) {
        setting.model = *model;
    } else {
        setting.problem = std::string("設定ファイル「") + kSettingsFileName + "」の計算モデル「" +
                          MessageQuote(*value) + "」は分からないため、" + default_name +
                          "で計算します。";
    }
    return setting;
}

void WriteDoseModelSetting(const std::filesystem::path& working_folder, DoseModel model) {
    WriteSetting(working_folder, kDoseModelSettingKey, DoseModelKey(model));
}

}  // namespace korvex
