#pragma once

#include <filesystem>
#include <string>

#include "engine/grid_array.h"

namespace korvex {

// The program's value of pi. The model's constants were fitted with it, so it is used
// wherever pi occurs, not the full-precision constant.
inline constexpr double Pi = 3.14159;

inline constexpr int kFineGridSize = 300;
inline constexpr int kKernelEnergyCount = 31;
inline constexpr int kBackscatterRingCount = 300;

// Physical reference data, read once at start-up and read-only afterwards.
struct ReferenceTables {
    // [ring r = 1..300][energy column j = 1..31]: scatter contribution to the surface
    // soft-tissue dose on the axis per unit primary dose from ring r (0.1 cm rings);
    // dimensionless.
    GridTable<kBackscatterRingCount + 1, kKernelEnergyCount + 1> BackscatterKernel;
    KernelArray KernelEnergy;   // keV: 1, 5, 10, ..., 150
    FineArray MuTarget;         // anode (tungsten), linear attenuation, 1/cm
    FineArray MuAluminium;      // 1/cm
    FineArray MuCopper;         // 1/cm
    FineArray MuEnAir;          // air energy absorption, cm^2/g (only ratios are used)
    FineArray MuEnTissue;       // soft tissue energy absorption, same unit as MuEnAir
    FineArray MuPhantom;        // soft-tissue phantom, linear attenuation, 1/cm
    CoarseArray PrimaryCoarse;  // k = 2..30 (10..150 keV), primary coefficient, > 0
    FineArray PrimaryFine;      // i = 21..300, PrimaryCoarse interpolated log-linearly
};

inline constexpr const char* kBackscatterKernelFile = "dBSF-SoftDose-SoftPhantom.dat";
inline constexpr const char* kAttenuationFile = "Att_coeff2021.dat";
inline constexpr const char* kPrimaryFile = "Primary.dat";

// Reads the three reference files of the working folder and derives KernelEnergy and
// PrimaryFine. Throws FileError with a message naming the file and what was wrong (a
// missing file, too few values, a value that is not a number, a non-positive primary
// value); no partially filled tables are ever returned.
ReferenceTables LoadReferenceTables(const std::filesystem::path& working_folder);

// The three readers on a file's decoded text, each filling its members of `tables`.
// Every row must hold its count of values and its own grid point in the first column:
// backscatter rows the ring's mid radius 0.1 r - 0.05 cm, attenuation rows 0.5 i keV,
// primary rows 5 (n + 1) keV. A further number after the last row is refused. Throw
// FileError naming the file and the line.
void ParseBackscatterKernel(std::string text, ReferenceTables& tables);
void ParseAttenuation(std::string text, ReferenceTables& tables);
void ParsePrimary(std::string text, ReferenceTables& tables);

// PrimaryFine from PrimaryCoarse: log-linear between the 5 keV grid points.
void InterpolatePrimaryFine(ReferenceTables& tables);

}  // namespace korvex
