#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace korvex::refdata {

// The value rounded to `digits` significant decimal digits, as the nearest double.
double RoundToSignificant(double value, int digits);
// Text of a data value: rounded to `digits` significant digits, shortest form
// ("0.0123457", "1.5e-07"). Throws std::invalid_argument for NaN or infinity.
std::string DataNumber(double value, int digits = 6);

// One row of the attenuation file, at E = 0.5 * i keV.
struct AttenuationRow {
    double energy_kev = 0;
    double mu_target = 0;     // tungsten, 1/cm
    double mu_aluminium = 0;  // 1/cm
    double mu_copper = 0;     // 1/cm
    double muen_air = 0;      // cm^2/g
    double muen_tissue = 0;   // cm^2/g
    double mu_phantom = 0;    // soft tissue, 1/cm
};

// "Att_coeff2021.dat": 300 rows of energy and six coefficients, comma separated.
void WriteAttenuationFile(const std::filesystem::path& path,
                          const std::vector<AttenuationRow>& rows);

// "Primary.dat": 29 lines "E, P0" for 10, 15, ..., 150 keV and two provenance lines;
// no user name.
void WritePrimaryFile(const std::filesystem::path& path, const std::vector<double>& energies_kev,
                      const std::vector<double>& primary, const std::array<std::string, 2>& notes);

// Backscatter kernel table: a header line, then one row per 0.1 cm ring (midpoint radius
// and one value per energy column). `columns[j][r]` is the value of ring r + 1 in column j.
void WriteBackscatterKernelFile(const std::filesystem::path& path, const std::string& header,
                                const std::vector<std::vector<double>>& columns);

// Scatter kernel file: for layer z = 1..80, four lines of 20 values (rings 1..80).
// `kernel` is indexed (z - 1) * 80 + (k - 1).
void WriteScatterKernelFile(const std::filesystem::path& path, const std::vector<double>& kernel);

// Lines of text written as the program writes every file (code page 932, CR LF, atomic).
void WriteLines(const std::filesystem::path& path, const std::vector<std::string>& lines);

}  // namespace korvex::refdata
