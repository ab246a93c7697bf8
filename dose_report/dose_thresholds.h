#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace korvex {

// The dose levels that raise a flag on a report. Defaults: the substantial radiation dose
// levels for patient follow-up of the SIR guidelines (2009) and NCRP Report No. 168 (2010),
// and the threshold of transient erythema of ICRP Publication 85 (2000).
struct DoseThresholds {
    double peak_skin_dose_follow_up_gy = 3;
    double total_kar_follow_up_gy = 5;
    double total_pka_follow_up_gycm2 = 500;
    double peak_skin_dose_erythema_gy = 2;

    bool operator==(const DoseThresholds&) const = default;
};

// The settings file in the working folder (code page 932, CR LF): comment lines start with
// '#', every other line is "name,value".
inline constexpr const char* kDoseThresholdsFile = "DoseReportThresholds.txt";

struct LoadedThresholds {
    DoseThresholds thresholds;
    // A message for the user when the file could not be read or made; the defaults are
    // then used and a broken file is left as it is.
    std::string problem;
};

// Reads the thresholds; a missing file is made with the defaults.
LoadedThresholds LoadDoseThresholds(const std::filesystem::path& working_folder);

// The file's lines for the thresholds.
std::vector<std::string> DoseThresholdLines(const DoseThresholds& thresholds);

// Writes the file atomically. Throws FileError with the user's message.
void WriteDoseThresholds(const std::filesystem::path& working_folder,
                         const DoseThresholds& thresholds);

}  // namespace korvex
