#pragma once

#include <filesystem>
#include <string>

#include "engine/grid_array.h"

namespace korvex {

struct EngineState;

// Rows of a material file that are read at most, the last one at or above this energy.
inline constexpr int kMaxMaterialRows = 100;
inline constexpr double kMaterialLastEnergyMev = 10;
inline constexpr double kMaterialFirstEnergyMaxMev = 0.001;

// A material file (".ele") turned into linear attenuation coefficients on the fine grid.
struct MaterialAttenuation {
    std::string FilterDescription;  // line 1 of the file, shown by the filter dialog
    double Density = 0;             // g/cm^3
    FineArray Mu;                   // 1/cm at 0.5 i keV, i = 1..300 (index 0 unused)
};

// Reads a material file: line 1 the description, then the density, an unused number, and
// rows of six numbers (energy in MeV; coherent, incoherent and photoelectric mass
// coefficients in cm^2/g; two unused numbers) up to the first row at or above 10 MeV.
// The coefficient sum is interpolated log-log at every whole keV, times the density, and
// the half-keV points between are the means of their neighbours. Throws FileError naming
// `file_label` for a missing or short file, text where a number belongs, no 10 MeV row
// within 100 rows, a first energy above 0.001 MeV, a non-positive energy, density or
// coefficient, or falling energies.
MaterialAttenuation ReadMaterialFile(const std::filesystem::path& path,
                                     const std::string& file_label);

// Line 1 of a material file, its description (the filter dialog shows it when the file is
// clicked). Throws FileError naming `file_label` for a missing or empty file.
std::string ReadMaterialDescription(const std::filesystem::path& path,
                                    const std::string& file_label);

// Builds ArbitraryFilterMu from the material file `file_name` of the working folder and
// returns its description line. On FileError the previous table is kept.
std::string BuildFilterAttenuation(EngineState& state, const std::string& file_name);

// File name of a material: "lead" -> "lead.ele"; and back: the name without its last
// four characters.
std::string MaterialFileName(const std::string& material);
std::string MaterialNameOf(const std::string& file_name);

}  // namespace korvex
