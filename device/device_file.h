#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "engine/errors.h"
#include "engine/user_message.h"

namespace korvex {

struct EngineState;
struct CalculationCase;

inline constexpr const char* kDeviceFileExtension = ".kvx2";
inline constexpr const char* kOldDeviceFileExtension = ".kvx";
// A device file is 13 to 15 short lines; anything near this size is no device file.
inline constexpr std::size_t kMaxDeviceFileBytes = 1024 * 1024;
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
// (13 lines, and for a table-top device line 14 "1" and line 15 the mattress in cm), any
// other the older one (24 fields, the 80 kV values taken; the layer model). Throws
// FileError with a Japanese message naming the file; the state is then unchanged.
LoadedDevice LoadDeviceFile(EngineState& state, const std::string& file_name);

// The reading part of LoadDeviceFile on the file's decoded text: fills the device fields
// of `loaded` (thicknesses in cm) and checks the values; builds no filter table.
LoadedDevice ParseDeviceFile(std::string text, const std::string& file_name,
                             CalculationCase& loaded);

// A device name or text that SaveDeviceFile refuses before writing anything (the user can
// mend it), as opposed to a file that could not be written.
class DeviceDataRefused : public FileError {
  public:
    using FileError::FileError;
};

// The texts the device dialog hands over; the numbers come from the case.
struct DeviceDialogTexts {
    std::string DeviceName, InherentFiltration, AddedAluminium, AddedCopper,
        ArbitraryFilterMaterial, ArbitraryFilterThickness, TypicalTubeVoltage;
};

// Writes "<DeviceName>.kvx2" atomically in the working folder, replacing a file of that
// name; returns the file name. A layer device is the 13 lines earlier programs write; a
// table-top device (calc.Couch) adds line 14 "1" and line 15 calc.MattressThickness.
// Refuses, with a FileError, a device name that is empty, holds "/", "\" or a control
// character, starts with "." or is too long for a file name, texts for lines 8 to 10 that
// would not read back as one field (comma, quote, line break), case values that are not
// finite and a mattress outside IsMattressThickness. A failed write leaves the old file
// intact.
std::string SaveDeviceFile(const std::filesystem::path& working_folder,
                           const DeviceDialogTexts& texts, const CalculationCase& calc);

// A value as a ".kvx2" file holds it (the calibration on lines 11 to 13, the mattress on
// line 15): its name in messages and the format it is written with. The one place that
// says how many decimals the file keeps.
struct StoredCalibrationValue {
    const char* name;
    const char* format;
};
inline constexpr StoredCalibrationValue kStoredCouchTransmission{"天板透過率", "0.000"};
inline constexpr StoredCalibrationValue kStoredCouchThickness{"天板の軟部組織等価厚", "#0.000"};
inline constexpr StoredCalibrationValue kStoredKermaCorrection{"校正定数", "0.000"};
// A millimetre is finer than any mattress is known or the couch-scatter table resolves.
inline constexpr StoredCalibrationValue kStoredMattressThickness{
    KORVEX_TRANSLATE_NOOP("korvex::Core", "マットの厚さ"), "#0.0"};

// Line 14 of a table-top device; a layer device has none (or "0").
inline constexpr const char* kTableTopFlag = "1";

// A mattress the table-top model takes: 0 to kMaxMattressThicknessCm, the range of the
// couch-scatter table.
bool IsMattressThickness(double cm);
// Why a mattress is refused: "マットの厚さ 12 cm は 0 cm 以上 10 cm 以下でなければなりません。"
std::string MattressThicknessRefusal(double cm);

// Whether `value`, written with `format`, reads back as zero ("0.000" for 0.0004 with
// "0.000"). A value that is not finite is never zero.
bool StoredAsZero(double value, const char* format);

// The decimals `format` writes: 3 for "0.000" and "#0.000".
int StoredDecimals(const char* format);

// The message shown after a save: " 基本データを " + file name + " に保存しました ".
std::string DeviceSavedMessage(const std::string& file_name);

}  // namespace korvex
