#pragma once

#include <filesystem>
#include <optional>
#include <utility>

#include "engine/calculation_case.h"
#include "engine/couch_scatter_table.h"
#include "engine/depth_dose.h"
#include "engine/grid_array.h"
#include "engine/reference_tables.h"
#include "engine/spectrum_cache.h"

namespace korvex {

// Spectra and factors on the program's grids. They keep their contents between
// calculations; a calculation overwrites only the indices it uses.
// Air-kerma transmission of the room's beam through i = 0..100 steps of 0.1 cm of phantom
// material (device calibration); entry 0 is 1.
using TransmissionTable = GridArray<101>;

struct WorkArrays {
    FineArray RawSpectrum;         // unfiltered energy spectrum per 0.5 keV bin, arbitrary units
    FineArray PhotonSpectrum;      // filtered photon spectrum, normalised to sum 1
    FineArray AirKermaSpectrum;    // filtered spectrum x MuEnAir, normalised to sum 1
    FineArray TissueDoseSpectrum;  // filtered spectrum x MuEnTissue, not normalised
    FineArray DoseSpectrum;        // tissue-dose spectrum of the photon spectrum, normalised
    KernelArray FieldBackscatter;  // backscatter factor of the field per kernel energy
    FineArray ArbitraryFilterMu;   // filter of a chosen material, 1/cm on the fine grid
    TransmissionTable TissueTransmission;
};

// The state the calculation steps work on. It can only be made from loaded reference
// tables, so nothing calculates before start-up has succeeded.
struct EngineState {
    explicit EngineState(ReferenceTables loaded, std::filesystem::path working_folder = {})
        : tables(std::move(loaded)), working_folder(std::move(working_folder)) {}

    ReferenceTables tables;  // read-only after loading
    // Folder of the reference data, "PDS-data", the material files and the device files.
    std::filesystem::path working_folder;
    CalculationCase calc;
    WorkArrays work;
    DepthTables depth;
    ScatterKernelCache kernel_cache;  // kernel files of working_folder, checked on every use
    SpectrumCache spectrum_cache;     // spectra by tube voltage, filtration and tables
    // "CouchScatter.dat" of working_folder, read by the first table-top calculation.
    std::optional<CouchScatterTable> couch_scatter;
};

}  // namespace korvex
