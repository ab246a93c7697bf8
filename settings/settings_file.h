#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace korvex {

// The program's settings in the working folder: one "key=value" line each, code page 932,
// CR LF. Every setting (the dose model, the interface language) is one key of this file, so
// that writing one keeps the others.
inline constexpr const char* kSettingsFileName = "Korvex2Settings.txt";

// The value of the last `key` line, nullopt when the file is missing or has no such line.
// Throws FileError when the file exists but cannot be read (not code page 932, too large,
// a folder in its place).
std::optional<std::string> ReadSetting(const std::filesystem::path& working_folder,
                                       std::string_view key);

// Stores `key=value`, replacing the first line of that key and dropping any later ones,
// keeping every other line; a file without the key gets it at its end. A file that cannot
// be read is written anew with this one line. Throws FileError when it cannot be written
// (the old file stays as it was).
void WriteSetting(const std::filesystem::path& working_folder, std::string_view key,
                  std::string_view value);

}  // namespace korvex
