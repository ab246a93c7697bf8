#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace korvex::refdata {

inline constexpr std::uint64_t kDefaultSeed = 20261208;

struct GeneratorOptions {
    std::filesystem::path output = "data";
    std::string phantom = "tissue";  // "tissue" (the bundled data) or "water" (validation)
    // Empty: the whole reference part of a working folder. Otherwise only a backscatter
    // kernel table for these energies (keV), written as "backscatter-kernel.dat".
    std::vector<double> energies;
    std::int64_t histories = 0;  // per energy; 0 = the generation plan (PlannedHistories)
    int batches = 100;
    int threads = 0;  // 0 = every hardware thread
    std::uint64_t seed = kDefaultSeed;
    bool tables_only = false;      // cross-section files only, no Monte Carlo
    std::filesystem::path report;  // statistics report; empty = none
    std::string command_line;      // shown in the report
};

// Histories per energy of the full generation: enough for a relative standard
// uncertainty below 0.3 % of the 30 x 30 cm2 backscatter factor and of the layer-1
// scatter total from 20 keV up (see data/README.md for what was reached).
std::int64_t PlannedHistories(double energy_kev);

// Energies of the backscatter kernel columns: 1, 5, 10, ..., 150 keV.
std::vector<double> BackscatterKernelEnergies();
// Energies of the scatter-kernel files: 10, 15, ..., 150 keV.
std::vector<double> ScatterKernelEnergies();

// Makes the files into options.output (which is created) and writes progress and the
// statistics to `log` (and to options.report). Throws on any failure; files already
// written stay, each of them complete (every file is written atomically).
void RunGenerator(const GeneratorOptions& options, std::ostream& log);

// Loads a working folder as the program does and prints what the engine makes of it for
// an 80 kV beam with 2.5 mm Al (dose-to-kerma ratio, backscatter factor of a 20 x 20 cm2
// field at 100 cm) and the depth factor at 1 cm that its kernels imply.
void RunEngineCheck(const std::filesystem::path& folder, std::ostream& log);

}  // namespace korvex::refdata
