#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "tools/refdata/kernel_simulation.h"
#include "tools/refdata/materials.h"
#include "tools/refdata/photon_tables.h"
#include "tools/refdata/random_stream.h"
#include "tools/refdata/scatter_densities.h"

namespace korvex::refdata {

// Full-exposure Monte Carlo: a point focus at the origin, the central axis along +z, a
// collimated beam, homogeneous blocks (couch, mattress, patient) in vacuum, and the tissue
// kerma in a thin disc on the axis at the patient's entrance face together with the air
// kerma free in air at the reference point. Photon physics as in the kernels (PhotonTables):
// photoabsorption, incoherent scattering with S(x), coherent scattering with F(x)^2, kerma
// approximation, photons absorbed below the tables' lowest energy.

// An axis-aligned box, cm.
struct Box {
    double x_min = 0, x_max = 0, y_min = 0, y_max = 0, z_min = 0, z_max = 0;
};

// A medium of the geometry: its photon tables and the densities of its scattering angles.
// Not copyable: the densities refer to the tables.
class ExposureMedium {
  public:
    ExposureMedium(const Material& material, double lowest_kev, double highest_kev);
    ExposureMedium(const ExposureMedium&) = delete;
    ExposureMedium& operator=(const ExposureMedium&) = delete;

    const PhotonTables& Tables() const { return tables_; }
    const ScatterDensities& Densities() const { return densities_; }

  private:
    PhotonTables tables_;
    ScatterDensities densities_;
};

// One homogeneous block; blocks must not overlap.
struct Block {
    Box box;
    const ExposureMedium* medium = nullptr;
    // Part of the couch (table top, mattress, or the tissue layer standing for them): a
    // photon scattered here scores as couch scatter from then on.
    bool couch = false;
};

enum class ApertureShape { Square, Circle };
enum class BeamDivergence {
    Divergent,  // rays from the focus, uniform in solid angle within the aperture
    Parallel,   // rays along +z, uniform over the field as it is at the skin plane
};

struct ExposureBeam {
    ApertureShape shape = ApertureShape::Square;
    double field_size_cm = 0;          // side or diameter at the reference point
    double reference_distance_cm = 0;  // focus to reference point
    BeamDivergence divergence = BeamDivergence::Divergent;
    // Photon spectrum: discrete energies (keV) and relative numbers of photons.
    std::vector<double> energy_kev;
    std::vector<double> weight;
};

// The scoring disc: on the axis, from the skin plane into the patient. Collisions within
// `exclusion_margin_cm` of it send their next flight to the track-length estimator; all
// others (and the focus) contribute by the next-event estimator to a point drawn uniformly
// in the disc, whose variance the margin keeps finite.
struct ScoringDisc {
    double skin_distance_cm = 0;  // focus to the patient's entrance face
    // Small enough that halving it changes no result by more than its uncertainty (the
    // scatter falls towards the edges of a 5 cm field).
    double radius_cm = 0.25;
    double thickness_cm = 0.01;
    double exclusion_margin_cm = 0.1;
};

struct ExposureModel {
    ExposureBeam beam;
    std::vector<Block> blocks;
    ScoringDisc disc;
    const ExposureMedium* dose_medium = nullptr;  // the disc's medium: kerma factor scored
    // Radius of the disc at the reference plane through which the free-in-air check
    // estimator counts crossings, cm.
    double air_disc_radius_cm = 1.0;
};

inline constexpr int kMaxBlocks = 8;

// What the histories scored, summed. Kerma in keV/g per source photon once divided by
// `histories`; energies in keV.
struct ExposureTally {
    double tissue_primary = 0;     // next-event from the focus: unscattered photons
    double tissue_next_event = 0;  // next-event from collisions outside the exclusion zone
    double tissue_track = 0;       // track length of flights from inside the exclusion zone
    // The part of the three above scored by photons that have scattered in the couch.
    double tissue_couch_scatter = 0;
    double air_point = 0;     // point estimator at the reference point (used)
    double air_crossing = 0;  // crossings of the air disc (independent check)
    double incident_energy = 0;
    double escaped_energy = 0;
    std::array<double, kMaxBlocks> deposited_energy{};
    std::int64_t histories = 0;
    std::int64_t collisions = 0;

    void Add(const ExposureTally& other);
    double TissueKerma() const { return tissue_primary + tissue_next_event + tissue_track; }
    double DepositedEnergy() const;
};

struct ExposureRunSettings {
    std::int64_t histories_per_batch = 0;
    int batches = 100;
    std::uint64_t seed = 0;
    int threads = 1;
};

struct ExposureResult {
    std::vector<ExposureTally> batches;  // in batch order
    ExposureTally total;                 // their sum in batch order
    Estimate tissue_kerma;               // keV/g per source photon
    Estimate air_kerma;
    Estimate air_kerma_crossing;
    Estimate ratio;  // tissue kerma / air kerma (point estimator), batch covariance included
    // Couch-scatter-to-primary ratio at the disc: the kerma of photons scattered in the couch
    // over the kerma of all others (those that crossed the couch unscattered, with the
    // patient's scatter of them), batch covariance included.
    Estimate couch_scatter_ratio;
};

class ExposureSimulation {
  public:
    // Checks the model (std::invalid_argument): positive sizes, at most kMaxBlocks blocks,
    // energies within every medium's tables, the disc inside a block of the dose medium.
    explicit ExposureSimulation(ExposureModel model);

    // One source photon and all its descendants.
    void RunHistory(RandomStream& random, ExposureTally& tally) const;
    // Batch b holds histories b * n .. (b + 1) * n - 1, each seeded from (seed, history
    // index): the result is the same bit for bit whatever the number of threads.
    ExposureResult Run(const ExposureRunSettings& settings) const;

    // Air kerma at the reference point per source photon from the spectrum and mu_en/rho of
    // dry air alone (keV/g): sum p(E) E mu_en(E) / (Omega d^2), or / area for a parallel beam.
    double AnalyticAirKerma() const;
    // Solid angle of the aperture (sr), or the beam's area at the skin plane (cm^2) for a
    // parallel beam: what one source photon's fluence is divided by.
    double BeamSpread() const { return spread_; }
    const ExposureModel& Model() const { return model_; }

  private:
    struct Vec {
        double x, y, z;
    };
    struct Interval {
        int block;
        double t_in, t_out;
    };
    struct Path {
        std::array<Interval, kMaxBlocks> parts;
        int count = 0;
    };

    std::size_t SampleEnergy(RandomStream& random) const;
    void SampleSource(RandomStream& random, Vec& position, Vec& direction) const;
    bool InsideAperture(const Vec& direction) const;
    Vec SampleDiscPoint(RandomStream& random) const;
    bool InsideExclusion(const Vec& p) const;
    Path Trace(const Vec& p, const Vec& w) const;
    double OpticalDepth(const Path& path, double length, double energy_kev) const;
    double DiscChord(const Vec& p, const Vec& w, double length) const;
    void ScoreSource(std::size_t bin, const Vec& p, const Vec& w, RandomStream& random,
                     ExposureTally& tally) const;
    double NextEvent(const Vec& p, const Vec& w, double energy_kev, const ExposureMedium& medium,
                     RandomStream& random) const;

    ExposureModel model_;
    std::vector<double> cumulative_;        // of the spectrum weights
    std::vector<double> air_kerma_factor_;  // E mu_en/rho of dry air per spectrum line
    double spread_ = 0;
    double disc_volume_ = 0;
    double cutoff_kev_ = 0;
};

// Stream number of the exposure simulation's random numbers (kernel runs use energies in eV).
inline constexpr std::uint64_t kExposureStream = 0x45585030ULL;

}  // namespace korvex::refdata
