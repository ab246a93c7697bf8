#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "tools/refdata/photon_tables.h"

namespace korvex::refdata {

// Scoring grids of the kernels.
inline constexpr int kScatterRings = 80;              // 0.5 cm rings around the beam axis
inline constexpr int kScatterLayers = 80;             // 0.5 cm layers below the surface
inline constexpr double kScatterVoxelSize = 0.5;      // cm
inline constexpr int kBackscatterRings = 300;         // 0.1 cm rings on the entrance plane
inline constexpr double kBackscatterRingWidth = 0.1;  // cm
// A photon leaving the surface at a direction cosine below this counts with 2 / 0.01
// in place of 1 / |cos|: the mean of 1 / |cos| over an outgoing intensity that is flat
// near grazing. It keeps the fluence estimator's variance finite.
inline constexpr double kGrazingCosine = 0.01;

// What the photons of a pencil beam deposit and carry out, summed over histories.
// Energies in keV.
struct KernelTally {
    KernelTally();

    // Energy deposited by photons scattered at least once, per annular voxel:
    // index (layer - 1) * kScatterRings + (ring - 1).
    std::vector<double> scatter_energy;
    // Kerma estimator on the entrance plane: for every photon that leaves through it in
    // ring r (index r - 1), E * mu_en/rho(E) / |cos| (keV cm^2/g).
    std::vector<double> backscatter_kerma;
    double primary_energy = 0;            // deposited at the first interaction
    double scatter_energy_elsewhere = 0;  // deposited by scattered photons outside the voxels
    double escaped_energy = 0;            // carried out through the entrance plane
    std::int64_t histories = 0;

    void Add(const KernelTally& other);
    // Energy of the histories that is accounted for: deposited plus escaped.
    double AccountedEnergy() const;
};

// Follows one photon of energy e0 that enters the semi-infinite phantom on the axis at
// right angles, until it is absorbed, falls below the tables' lowest energy (then
// absorbed on the spot, kerma approximation) or leaves through the entrance plane.
// The first interaction of the primary photon is the primary dose and is tallied apart.
void TransportHistory(const PhotonTables& tables, double e0, RandomStream& random,
                      KernelTally& tally);

struct SimulationSettings {
    double energy_kev = 0;
    std::int64_t histories_per_batch = 0;
    int batches = 0;
    std::uint64_t seed = 0;
    int threads = 1;
};

// Batch tallies in batch order; `total` is their sum in that order. Batch b holds the
// histories b * n .. (b + 1) * n - 1, each seeded from (seed, energy, history index), so
// the result is the same bit for bit whatever the number of threads.
struct SimulationResult {
    double energy_kev = 0;
    std::vector<KernelTally> batches;
    KernelTally total;
};

// Runs the batches on `threads` std::threads. Throws what a history throws.
SimulationResult SimulateKernels(const PhotonTables& tables, const SimulationSettings& settings);

// Stream number of an energy: the energy in eV, so that every kernel energy has its own
// random numbers.
std::uint64_t EnergyStream(double energy_kev);

// Scatter kernel K(k, z) in keV cm^2/g: energy per history in the voxel divided by
// density * layer thickness, i.e. the on-axis dose per unit fluence on ring k (reciprocity).
// Index (z - 1) * kScatterRings + (k - 1).
std::vector<double> ScatterKernel(const KernelTally& tally, double density);

// Differential backscatter kernel per 0.1 cm ring: backscatter kerma per history divided
// by the primary kerma factor E0 * mu_en/rho(E0).
std::vector<double> BackscatterKernel(const KernelTally& tally, double primary_kerma_factor);

// 1 + the kernel summed over a circle of diameter d at focus-surface distance L, each
// ring weighted by L^2 / (L^2 + rho^2) at its midpoint radius rho.
double CircleBackscatterFactor(const std::vector<double>& kernel, double diameter_cm,
                               double distance_cm);
// The same for a square of side a, rings weighted by the fraction inside the square.
double SquareBackscatterFactor(const std::vector<double>& kernel, double side_cm,
                               double distance_cm);

struct Estimate {
    double mean = 0;
    double standard_error = 0;
    double Relative() const { return mean != 0 ? standard_error / mean : 0; }
};

// Mean and standard error over the batches of a quantity computed from each batch alone.
Estimate BatchEstimate(const SimulationResult& result,
                       const std::function<double(const KernelTally&)>& quantity);

}  // namespace korvex::refdata
