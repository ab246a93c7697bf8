#pragma once

#include <filesystem>
#include <string>

#include "engine/dose_model.h"

namespace korvex {

// The program's settings in the working folder: one "key=value" line each, code page 932,
// CR LF. The dose model is kept there so that the next start calculates as the user chose.
inline constexpr const char* kSettingsFileName = "Korvex2Settings.txt";
inline constexpr const char* kDoseModelSettingKey = "DoseModel";

struct DoseModelSetting {
    DoseModel model = kDefaultDoseModel;
    // Why the stored choice could not be used (a broken file, an unknown model): the
    // default then holds and the user is told. Empty when the file is missing or fine.
    std::string problem;
};

// The model stored in the working folder; the default when none is stored.
DoseModelSetting ReadDoseModelSetting(const std::filesystem::path& working_folder);

// Stores the model, keeping the file's other lines. Throws FileError when the file cannot
// be written (the old one stays as it was).
void WriteDoseModelSetting(const std::filesystem::path& working_folder, DoseModel model);

}  // namespace korvex
