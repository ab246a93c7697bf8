#include "cli/node_settings.h"

#include <system_error>

#include "engine/errors.h"
#include "engine/text_file.h"
#include "engine/text_rules.h"

namespace korvex::cli {

NodeSettings ParseNodeSettings(const std::string& text) {
    NodeSettings settings;
    for (const SettingLine& setting : SettingEntries(text)) {
        const auto fail = [&](const std::string& why) {
            return FileError("ファイル「" + std::string(kNodeSettingsFile) + "」の " +
                             std::to_string(setting.number) + " 行目: " + why);
        };
        const std::string& line = setting.text;
        const size_t comma = line.find(',');
        const std::string kind(Trimmed(line.substr(0, comma)));
        const std::string rest = comma == std::string::npos ? "" : line.substr(comma + 1);
        if (kind == "hook") {
            if (!settings.hook.empty()) {
                throw fail("hook は一つだけ書けます。");
            }
            settings.hook = Trimmed(rest);
            if (settings.hook.empty()) {
                throw fail("hook の後にコマンドを書いて下さい。");
            }
            continue;
        }
        if (kind != "unit") {
            throw fail("「unit,装置名,装置データファイル」か「hook,コマンド」の形ではありません。");
        }
        const size_t second = rest.find(',');
        UnitDevice unit{
            std::string(Trimmed(rest.substr(0, second))),
            second == std::string::npos ? "" : std::string(Trimmed(rest.substr(second + 1)))};
        if (unit.unit.empty() || unit.device.empty()) {
            throw fail("「unit,装置名,装置データファイル」の形ではありません。");
        }
        for (const UnitDevice& known : settings.units) {
            if (known.unit == unit.unit) {
                throw fail("「" + unit.unit + "」は二度書かれています。");
            }
        }
        settings.units.push_back(unit);
    }
    return settings;
}

namespace {

const std::vector<std::string> kExplanation = {
    "# Korvex-2 線量レポートノード (korvex2-cli listen / archive) の設定",
    "# unit,装置名,装置データファイル",
    "#   装置名は送信元の AE タイトル、なければレポートのステーション名 (Station Name)",
    "#   例: unit,ANGIO1,Angio1.kvx2",
    "#   どの unit にも当たらないレポートには --device の装置を使います。",
    "# hook,コマンド",
    "#   注意レベルを超えた検査ごとに、その検査の出力フォルダーを引数として実行します。",
    "#   例: hook,/usr/local/bin/notify-physicist",
};

}  // namespace

NodeSettings LoadNodeSettings(const std::filesystem::path& working_folder) {
    const std::filesystem::path path = working_folder / kNodeSettingsFile;
    std::error_code error;
    if (!std::filesystem::exists(path, error) && !error) {
        WriteTextLines(path, kExplanation, kNodeSettingsFile);
        return {};
    }
    return ParseNodeSettings(ReadTextFile(path, kNodeSettingsFile));
}

std::string DeviceFor(const NodeSettings& settings, const DoseReport& report,
                      const std::string& fallback, std::string& matched) {
    for (const std::string* name : {&report.sending_ae_title, &report.station_name}) {
        for (const UnitDevice& unit : settings.units) {
            if (!name->empty() && unit.unit == *name) {
                matched = name == &report.sending_ae_title ? "AE title " + *name
                                                           : "station name " + *name;
                return unit.device;
            }
        }
    }
    matched = fallback.empty() ? "" : "--device";
    return fallback;
}

}  // namespace korvex::cli
