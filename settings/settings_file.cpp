#include "settings/settings_file.h"

#include <utility>
#include <vector>

#include "engine/errors.h"
#include "engine/field_stream.h"
#include "engine/text_file.h"

namespace korvex {
namespace {

// A settings file holds a few short lines.
constexpr std::size_t kMaxSettingsBytes = 64 * 1024;

std::vector<std::string> SettingLines(const std::filesystem::path& path) {
    FieldStream stream(ReadTextFile(path, kSettingsFileName, Decoding::Strict, kMaxSettingsBytes),
                       kSettingsFileName);
    std::vector<std::string> lines;
    while (std::optional<std::string> line = stream.ReadLine()) {
        lines.push_back(std::move(*line));
    }
    return lines;
}

bool IsKeyLine(const std::string& line, std::string_view key) {
    return line.size() > key.size() && line.compare(0, key.size(), key) == 0 &&
           line[key.size()] == '=';
}

}  // namespace

std::optional<std::string> ReadSetting(const std::filesystem::path& working_folder,
                                       std::string_view key) {
    const std::filesystem::path path = working_folder / kSettingsFileName;
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, error))) {
        return std::nullopt;
    }
    std::optional<std::string> value;
    for (const std::string& line : SettingLines(path)) {
        if (IsKeyLine(line, key)) {
            value = line.substr(key.size() + 1);
        }
    }
    return value;
}

void WriteSetting(const std::filesystem::path& working_folder, std::string_view key,
                  std::string_view value) {
    const std::filesystem::path path = working_folder / kSettingsFileName;
    std::vector<std::string> lines;
    try {
        lines = SettingLines(path);
    } catch (const FileError&) {
        // Missing or unreadable: written anew with the one setting there is.
        lines.clear();
    }
    const std::string entry = std::string(key) + "=" + std::string(value);
    bool replaced = false;
    std::vector<std::string> kept;
    for (const std::string& line : lines) {
        if (IsKeyLine(line, key)) {
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
