#pragma once

#include <filesystem>
#include <string>

#include "engine/dose_model.h"
#include "settings/settings_file.h"

namespace korvex {

// The dose model is kept in the settings file so that the next start calculates as the user
// chose.
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
