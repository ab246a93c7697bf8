#pragma once

#include <cstddef>
#include <deque>
#include <utility>

#include "engine/grid_array.h"

namespace korvex {

struct ReferenceTables;

// Everything besides the reference tables that the spectrum model reads.
struct SpectrumKey {
    double TubeVoltage = 0;         // kV
    double TargetAngle = 0;         // degrees
    double InherentFiltration = 0;  // cm
    double AddedAluminium = 0;      // cm
    double AddedCopper = 0;         // cm
    int ArbitraryFilterOn = 0;
    double ArbitraryFilterThickness = 0;  // cm
    FineArray ArbitraryFilterMu;          // 1/cm; all 0 when the filter is off

    bool operator==(const SpectrumKey&) const = default;
};

// What one run of the model wrote: the four spectra and the two sums.
struct SpectrumResult {
    FineArray RawSpectrum;
    FineArray PhotonSpectrum;
    FineArray AirKermaSpectrum;
    FineArray TissueDoseSpectrum;
    double AirKermaSum = 0;
    double TissueDoseSum = 0;
};

// Spectra computed before, so that a series of exposures at a few tube voltages and
// filtrations (a dose report's events, the device calibration) computes each only once.
// Results are kept for the tables they were computed from; other tables empty the cache.
class SpectrumCache {
  public:
    static constexpr std::size_t kCapacity = 32;

    const SpectrumResult* Find(const SpectrumKey& key, const ReferenceTables& tables);
    // Keeps the result for the tables of the last Find; the oldest goes when full.
    void Store(const SpectrumKey& key, const SpectrumResult& result);
    void Clear();

  private:
    struct TableSnapshot {
        FineArray MuTarget, MuAluminium, MuCopper, MuEnAir, MuEnTissue;
        bool operator==(const TableSnapshot&) const = default;
    };
    static TableSnapshot SnapshotOf(const ReferenceTables& tables);

    bool has_tables_ = false;
    TableSnapshot tables_;
    std::deque<std::pair<SpectrumKey, SpectrumResult>> entries_;
};

}  // namespace korvex
