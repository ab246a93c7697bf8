#include "dose_report/dose_thresholds.h"

#include <cmath>
#include <optional>
#include <system_error>

#include "engine/errors.h"
#include "engine/text_file.h"
#include "engine/text_rules.h"

namespace korvex {
namespace {

struct Entry {
    const char* name;
    double DoseThresholds::*member;
};

constexpr Entry kEntries[] = {
    {"PeakSkinDoseFollowUp_Gy", &DoseThresholds::peak_skin_dose_follow_up_gy},
    {"TotalKarFollowUp_Gy", &DoseThresholds::total_kar_follow_up_gy},
    {"TotalPkaFollowUp_Gycm2", &DoseThresholds::total_pka_follow_up_gycm2},
    {"PeakSkinDoseErythema_Gy", &DoseThresholds::peak_skin_dose_erythema_gy},
};

// Throws FileError naming the line for anything that is not a comment, a blank line or a
// known name with a positive number.
DoseThresholds Parse(const std::string& text) {
    DoseThresholds thresholds;
    for (const SettingLine& setting : SettingEntries(text)) {
        const int number = setting.number;
        const std::string& line = setting.text;
        const auto fail = [&](const std::string& why) {
            return FileError("ファイル「" + std::string(kDoseThresholdsFile) + "」の " +
                             std::to_string(number) + " 行目: " + why);
        };
        const size_t comma = line.find(',');
        if (comma == std::string::npos) {
            throw fail("「名前,値」の形ではありません。");
        }
        const std::string name(Trimmed(line.substr(0, comma)));
        const std::optional<double> value = ParseDecimal(line.substr(comma + 1));
        const Entry* entry = nullptr;
        for (const Entry& candidate : kEntries) {
            entry = name == candidate.name ? &candidate : entry;
        }
        if (entry == nullptr) {
            throw fail("「" + name + "」という設定はありません。");
        }
        if (!value || !std::isfinite(*value) || *value <= 0) {
            throw fail("値は正の数で書いて下さい。");
        }
        thresholds.*(entry->member) = *value;
    }
    return thresholds;
}

}  // namespace

std::vector<std::string> DoseThresholdLines(const DoseThresholds& thresholds) {
    std::vector<std::string> lines = {
        "# 線量レポートの注意レベル。値を変えると次に読み込むレポートから使われます。",
        "# 既定値: 経過観察を要する線量 (SIR ガイドライン 2009 / NCRP Report No. 168)",
        "#   推定最大皮膚線量 3 Gy、総 Ka,r 5 Gy、総 P_KA 500 Gy・cm2",
        "# 一過性紅斑のしきい線量 (ICRP Publication 85): 推定最大皮膚線量 2 Gy",
    };
    for (const Entry& entry : kEntries) {
        lines.push_back(std::string(entry.name) + "," +
                        ShortestNumberText(thresholds.*(entry.member)));
    }
    return lines;
}

void WriteDoseThresholds(const std::filesystem::path& working_folder,
                         const DoseThresholds& thresholds) {
    WriteTextLines(working_folder / kDoseThresholdsFile, DoseThresholdLines(thresholds),
                   kDoseThresholdsFile);
}

LoadedThresholds LoadDoseThresholds(const std::filesystem::path& working_folder) {
    LoadedThresholds loaded;
    const std::filesystem::path path = working_folder / kDoseThresholdsFile;
    std::error_code error;
    if (!std::filesystem::exists(path, error) && !error) {
        try {
            WriteDoseThresholds(working_folder, loaded.thresholds);
        } catch (const FileError& failure) {
            loaded.problem = std::string(failure.what()) + " 既定の注意レベルを使います。";
        }
        return loaded;
    }
    try {
        loaded.thresholds = Parse(ReadTextFile(path, kDoseThresholdsFile));
    } catch (const FileError& failure) {
        loaded.thresholds = DoseThresholds{};
        loaded.problem = std::string(failure.what()) + " 既定の注意レベルを使います。";
    }
    return loaded;
}

}  // namespace korvex
