#include "settings/dose_model_setting.h"

#include <optional>
#include <utility>
#include <vector>

#include "engine/errors.h"
#include "engine/field_stream.h"
#include "engine/text_file.h"
#include "engine/text_rules.h"

namespace korvex {
namespace {

// A settings file holds a few short lines.
constexpr std::size_t kMaxSettingsBytes = 64 * 1024;

std::vector<std::string> SettingLines(std::string text) {
    FieldStream stream(std::move(text), kSettingsFileName);
    std::vector<std::string> lines;
    while (std::optional<std::string> line = stream.ReadLine()) {
        lines.push_back(std::move(*line));
    }
    return lines;
}

bool IsModelLine(const std::string& line) {
    return line.rfind(std::string(kDoseModelSettingKey) + "=", 0) == 0;
}

}  // namespace

DoseModelSetting ReadDoseModelSetting(const std::filesystem::path& working_folder) {
    const std::filesystem::path path = working_folder / kSettingsFileName;
    DoseModelSetting setting;
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, error))) {
        return setting;
    }
    const std::string default_name = std::string(DoseModelName(kDefaultDoseModel));
    std::vector<std::string> lines;
    try {
        lines = SettingLines(
            ReadTextFile(path, kSettingsFileName, Decoding::Strict, kMaxSettingsBytes));
    } catch (const FileError& failure) {
        setting.problem = std::string(failure.what()) + " 計算モデルは" + default_name + "です。";
        return setting;
    }
    for (const std::string& line : lines) {
        if (!IsModelLine(line)) {
            continue;
        }
        const std::string value = line.substr(std::string(kDoseModelSettingKey).size() + 1);
        if (const std::optional<DoseModel> model = DoseModelFromKey(value)) {
            setting.model = *model;
            setting.problem.clear();
        } else {
            setting.problem = std::string("設定ファイル「") + kSettingsFileName +
                              "」の計算モデル「" + MessageQuote(value) + "」は分からないため、" +
                              default_name + "で計算します。";
        }
    }
    return setting;
}

void WriteDoseModelSetting(const std::filesystem::path& working_folder, DoseModel model) {
    const std::filesystem::path path = working_folder / kSettingsFileName;
    std::vector<std::string> lines;
    try {
        lines = SettingLines(
            ReadTextFile(path, kSettingsFileName, Decoding::Strict, kMaxSettingsBytes));
    } catch (const FileError&) {
        // Missing or unreadable: written anew with the one setting there is.
        lines.clear();
    }
    const std::string entry =
        std::string(kDoseModelSettingKey) + "=" + std::string(DoseModelKey(model));
    bool replaced = false;
    std::vector<std::string> kept;
    for (const std::string& line : lines) {
        if (IsModelLine(line)) {
            if (!replaced) {
                kept.push_back(entry);
                replaced = true;
            }
        } else {
            kept.push_back(line);
        }
    }
    if (!replaced) {
        kept.push_back(entry);
    }
    RemoveStaleTemporaryFiles(working_folder);
    WriteTextLines(path, kept, kSettingsFileName);
}

}  // namespace korvex
