#pragma once

#include <filesystem>
#include <string>

namespace korvex {

struct EngineState;
struct CalculationCase;

inline constexpr const char* kDeviceFileExtension = ".kvx2";
inline constexpr const char* kOldDeviceFileExtension = ".kvx";
// The typical tube voltage of an older-version device file, which holds none.
inline constexpr const char* kOldDeviceTubeVoltage = "80";

// Filter thicknesses are mm in files and on screen, cm in the case. Every conversion uses
// this one factor, so that the same thickness always gives the same case.
inline constexpr double kMmToCm = 0.1;

// What the main window shows of a loaded device besides the case.
struct LoadedDevice {
    std::string TypicalTubeVoltage;  // text for Text5: line 10 as written, "80" for ".kvx"
    // Filter thicknesses in mm as read, for the window's labels (the case holds cm).
    double InherentFiltrationMm = 0, AddedAluminiumMm = 0, AddedCopperMm = 0,
           ArbitraryFilterThicknessMm = 0;
};

// Loads `file_name` (bare name) from the working folder into the device fields of the
// case (thicknesses converted to cm) and, when the flag is 1, builds ArbitraryFilterMu
// from the material file "<material>.ele". A name ending in "kvx2" is the newer version
// (13 lines), any other the older one (24 fields, the 80 kV values taken). Throws
// FileError with a Japanese message naming the file; the state is then unchanged.
LoadedDevice LoadDeviceFile(EngineState& state, const std::string& file_name);

// The texts the device dialog hands over; the numbers come from the case.
struct DeviceDialogTexts {
    std::string DeviceName, InherentFiltration, AddedAluminium, AddedCopper,
        ArbitraryFilterMaterial, ArbitraryFilterThickness, TypicalTubeVoltage;
};

// Writes "<DeviceName>.kvx2" atomically in the working folder, replacing a file of that
// name; returns the file name. Refuses, with a FileError, a device name that is empty,
// holds "/", "\" or a control character, starts with "." or is too long for a file name,
// texts for lines 8 to 10 that would not read back as one field (comma, quote, line
// break), and case values that are not finite. A failed write leaves the old file intact.
std::string SaveDeviceFile(const std::filesystem::path& working_folder,
                           const DeviceDialogTexts& texts, const CalculationCase& calc);

// The message shown after a save: " 基本データを " + file name + " に保存しました ".
std::string DeviceSavedMessage(const std::string& file_name);

}  // namespace korvex
