#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "dose_report/dose_report.h"

namespace korvex::cli {

// The settings of the dose-report node and of the archive in the working folder: which
// device file belongs to which sending unit, and the command run when a study raises a
// follow-up flag.
inline constexpr const char* kNodeSettingsFile = "DoseNode.txt";

struct UnitDevice {
    std::string unit;    // a calling AE title or a station name, compared exactly
    std::string device;  // a device data file in the working folder
};

struct NodeSettings {
    std::vector<UnitDevice> units;
    std::string hook;  // empty: none; else run with the study's folder as its argument
};

// Parses the file's text (UTF-8): "unit,NAME,DEVICE" and "hook,COMMAND" lines, comments
// ('#') and blank lines. Throws FileError naming the line for anything else, a second hook
// or a unit named twice: a node must never guess which device a unit has.
NodeSettings ParseNodeSettings(const std::string& text);

// Reads the file, writing an explanatory one with no units when it is missing. Throws
// FileError when it cannot be read or parsed.
NodeSettings LoadNodeSettings(const std::filesystem::path& working_folder);

// The device for a report: the unit named by the sending AE title, else by the station
// name, else `fallback` (empty when there is none). `matched` says by what.
std::string DeviceFor(const NodeSettings& settings, const DoseReport& report,
                      const std::string& fallback, std::string& matched);

}  // namespace korvex::cli
