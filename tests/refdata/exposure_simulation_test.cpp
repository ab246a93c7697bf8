// The full-exposure Monte Carlo: its angular densities against its own samplers, energy
// bookkeeping, the free-in-air kerma against the analytic value, the next-event estimator
// against plain track-length scoring, and reproducibility.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/field_stream.h"
#include "engine/text_file.h"
#include "tools/refdata/cross_sections.h"
#include "tools/refdata/exposure_comparison.h"
#include "tools/refdata/exposure_simulation.h"
#include "tools/refdata/materials.h"

namespace korvex::refdata {
namespace {

const ExposureMedium& Tissue() {
    static const ExposureMedium tissue(IcruSoftTissue(), 1.0, 150.0);
    return tissue;
}

const ExposureMedium& Carbon() {
    static const ExposureMedium carbon(CarbonFibreComposite(), 1.0, 150.0);
    return carbon;
}

// A 60 kV-like spectrum: a few lines from 20 to 60 keV.
ExposureBeam SmallBeam(ApertureShape shape, double size_cm) {
    ExposureBeam beam;
    beam.shape = shape;
    beam.field_size_cm = size_cm;
    beam.reference_distance_cm = 60;
    beam.energy_kev = {20, 30, 40, 50, 60};
    beam.weight = {0.1, 0.3, 0.3, 0.2, 0.1};
    return beam;
}

// 1 cm of carbon fibre in contact with a 30 x 40 x 20 cm tissue slab at 60 cm.
ExposureModel SmallModel(ApertureShape shape, double size_cm) {
    ExposureModel model;
    model.beam = SmallBeam(shape, size_cm);
    model.disc.skin_distance_cm = 60;
    model.dose_medium = &Tissue();
    model.blocks = {{{-15, 15, -20, 20, 60, 80}, &Tissue()},
                    {{-25, 25, -100, 100, 59, 60}, &Carbon()}};
    return model;
}

ExposureResult Simulate(const ExposureModel& model, std::int64_t per_batch, int threads,
                        std::uint64_t seed = 7) {
    return ExposureSimulation(model).Run({per_batch, 10, seed, threads});
}

// Integral of a density over [a, b] by the midpoint rule on 2000 points: fine enough for
// the coherent peak at 140 keV (1 - mu of order 0.004) in a bin 0.1 wide.
template <typename Density>
double Integral(Density density, double a, double b) {
    double sum = 0;
    for (int i = 0; i < 2000; ++i) {
        sum += density(a + (b - a) * (i + 0.5) / 2000);
    }
    return sum * (b - a) / 2000;
}

TEST(ScatterDensities, AreNormalisedAndMatchTheSamplers) {
    // The next-event estimator is unbiased only if its densities are those the transport
    // samples. 200000 draws in 20 bins of the cosine; each bin within 4 binomial standard
    // deviations (plus 1e-4 for the quadrature) of the density's integral.
    const PhotonTables& tables = Tissue().Tables();
    const ScatterDensities& densities = Tissue().Densities();
    constexpr int kDraws = 200000;
    constexpr int kBins = 20;
    for (double e : {15.0, 60.0, 140.0}) {
        for (bool coherent : {true, false}) {
            auto density = [&](double mu) {
                return coherent ? densities.Coherent(e, mu) : densities.Incoherent(e, mu);
            };
            std::vector<double> expected(kBins);
            double total = 0;
            for (int b = 0; b < kBins; ++b) {
                expected[b] = Integral(density, -1 + 2.0 * b / kBins, -1 + 2.0 * (b + 1) / kBins);
                total += expected[b];
            }
            EXPECT_NEAR(total, 1.0, 1e-4) << e << " keV";
            std::vector<int> counts(kBins, 0);
            RandomStream random(3, static_cast<std::uint64_t>(e), coherent ? 1 : 2);
            for (int n = 0; n < kDraws; ++n) {
                double mu = 0;
                if (coherent) {
                    mu = tables.SampleCoherentCosine(e, random);
                } else {
                    tables.SampleIncoherent(e, random, mu);
                }
                ++counts[std::min(kBins - 1, static_cast<int>((mu + 1) / 2 * kBins))];
            }
            for (int b = 0; b < kBins; ++b) {
                const double p = expected[b];
                const double observed = static_cast<double>(counts[b]) / kDraws;
                EXPECT_NEAR(observed, p, 4 * std::sqrt(p * (1 - p) / kDraws) + 1e-4)
                    << e << " keV, " << (coherent ? "coherent" : "incoherent") << ", bin " << b;
            }
        }
    }
}

TEST(ExposureSimulation, AccountsForEveryPhotonsEnergy) {
    // Deposited in the blocks plus carried out equals what the focus emitted, to rounding.
    const ExposureResult run = Simulate(SmallModel(ApertureShape::Square, 20), 200, 2);
    const ExposureTally& t = run.total;
    EXPECT_GT(t.deposited_energy[0], 0);
    EXPECT_GT(t.deposited_energy[1], 0);
    EXPECT_GT(t.escaped_energy, 0);
    EXPECT_NEAR(t.DepositedEnergy() + t.escaped_energy, t.incident_energy,
                1e-12 * t.incident_energy);
}

TEST(ExposureSimulation, FreeInAirKermaMatchesTheSpectrum) {
    // Analytic: sum p(E) E (mu_en/rho)_air(E) / (Omega d^2), Omega of the aperture. The
    // point estimator varies only by the energy drawn; the crossing estimator counts the
    // photons that cross a 1 cm disc at the reference point and so also checks the
    // direction sampling and the solid angle. Both within 3 standard errors.
    for (ApertureShape shape : {ApertureShape::Square, ApertureShape::Circle}) {
        const ExposureModel model = SmallModel(shape, 4);
        const ExposureSimulation simulation(model);
        const ExposureResult run = simulation.Run({4000, 10, 11, 2});
        const double d = model.beam.reference_distance_cm;
        double analytic = 0;
        for (std::size_t i = 0; i < model.beam.energy_kev.size(); ++i) {
            const double e = model.beam.energy_kev[i];
            analytic += model.beam.weight[i] * e * MassEnergyAbsorption(DryAir(), e);
        }
        const double a = model.beam.field_size_cm;
        const double omega = shape == ApertureShape::Square
                                 ? 4 * std::asin(a * a / (a * a + 4 * d * d))
                                 : 2 * std::numbers::pi * (1 - d / std::hypot(d, a / 2));
        analytic /= omega * d * d;
        EXPECT_NEAR(simulation.AnalyticAirKerma(), analytic, 1e-12 * analytic);
        EXPECT_NEAR(run.air_kerma.mean, analytic, 3 * run.air_kerma.standard_error);
        EXPECT_NEAR(run.air_kerma_crossing.mean, analytic,
                    3 * run.air_kerma_crossing.standard_error);
        EXPECT_LT(run.air_kerma_crossing.Relative(), 0.03);
    }
}

TEST(ExposureSimulation, NextEventEstimatorAgreesWithTrackLengthScoring) {
    // The same disc scored two ways: next-event estimates with a 0.1 cm exclusion margin,
    // and plain track length of every flight (a margin that holds the whole geometry).
    // The disc is thick and wide so that track length converges in a test's time; the two
    // must agree within 3 combined standard errors (about 3 % here).
    ExposureModel model = SmallModel(ApertureShape::Square, 8);
    model.disc.radius_cm = 2;
    model.disc.thickness_cm = 0.5;
    const ExposureResult next_event = Simulate(model, 10000, 2);
    model.disc.exclusion_margin_cm = 1000;
    const ExposureResult track = Simulate(model, 10000, 2);
    EXPECT_EQ(next_event.total.tissue_primary, track.total.tissue_primary);
    EXPECT_EQ(track.total.tissue_next_event, 0);
    EXPECT_GT(next_event.total.tissue_next_event, next_event.total.tissue_track);
    const double combined =
        std::hypot(next_event.tissue_kerma.standard_error, track.tissue_kerma.standard_error);
    EXPECT_NEAR(next_event.tissue_kerma.mean, track.tissue_kerma.mean, 3 * combined);
    EXPECT_LT(combined, 0.015 * track.tissue_kerma.mean);
}

TEST(ExposureSimulation, ResultDoesNotDependOnTheThreads) {
    const ExposureModel model = SmallModel(ApertureShape::Circle, 15);
    const ExposureResult one = Simulate(model, 100, 1);
    const ExposureResult three = Simulate(model, 100, 3);
    ASSERT_EQ(one.batches.size(), three.batches.size());
    for (std::size_t b = 0; b < one.batches.size(); ++b) {
        EXPECT_EQ(one.batches[b].TissueKerma(), three.batches[b].TissueKerma());
        EXPECT_EQ(one.batches[b].air_crossing, three.batches[b].air_crossing);
        EXPECT_EQ(one.batches[b].collisions, three.batches[b].collisions);
    }
    EXPECT_EQ(one.ratio.mean, three.ratio.mean);
    EXPECT_EQ(one.ratio.standard_error, three.ratio.standard_error);
}

TEST(ExposureSimulation, ScoresTheCouchsScatterApartWithoutChangingTheTransport) {
    // The same histories with the carbon unmarked and marked as couch: the same kerma, bit
    // for bit; marked, a share of it is the couch's scatter, which the carbon's scatter makes
    // (a few per cent to tens of per cent behind 1 cm of carbon in contact).
    ExposureModel plain = SmallModel(ApertureShape::Square, 20);
    const ExposureResult unmarked = Simulate(plain, 400, 2);
    plain.blocks[1].couch = true;
    const ExposureResult marked = Simulate(plain, 400, 2);
    EXPECT_EQ(marked.total.TissueKerma(), unmarked.total.TissueKerma());
    EXPECT_EQ(marked.total.collisions, unmarked.total.collisions);
    EXPECT_EQ(unmarked.total.tissue_couch_scatter, 0);
    EXPECT_EQ(unmarked.couch_scatter_ratio.mean, 0);
    const ExposureTally& t = marked.total;
    EXPECT_GT(t.tissue_couch_scatter, 0);
    EXPECT_LT(t.tissue_couch_scatter, t.tissue_next_event + t.tissue_track);
    EXPECT_NEAR(marked.couch_scatter_ratio.mean,
                t.tissue_couch_scatter / (t.TissueKerma() - t.tissue_couch_scatter), 1e-12);
    EXPECT_GT(marked.couch_scatter_ratio.mean, 0.02);
    EXPECT_LT(marked.couch_scatter_ratio.mean, 0.6);
    EXPECT_GT(marked.couch_scatter_ratio.standard_error, 0);
}

TEST(ExposureSimulation, RefusesAModelThatCannotBeScored) {
    ExposureModel overlapping = SmallModel(ApertureShape::Square, 10);
    overlapping.blocks[1].box.z_max = 60.5;
    EXPECT_THROW(ExposureSimulation{overlapping}, std::invalid_argument);
    ExposureModel outside = SmallModel(ApertureShape::Square, 10);
    outside.disc.skin_distance_cm = 59.5;  // in the carbon, not in the patient
    EXPECT_THROW(ExposureSimulation{outside}, std::invalid_argument);
    ExposureModel narrow = SmallModel(ApertureShape::Circle, 0.4);  // 0.2 cm radius at the skin
    EXPECT_THROW(ExposureSimulation{narrow}, std::invalid_argument);
    ExposureModel high = SmallModel(ApertureShape::Square, 10);
    high.beam.energy_kev.back() = 151;
    EXPECT_THROW(ExposureSimulation{high}, std::invalid_argument);
}

}  // namespace
}  // namespace korvex::refdata
