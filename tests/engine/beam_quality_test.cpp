#include "engine/beam_quality.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/errors.h"
#include "engine/spectrum.h"
#include "tests/engine/engine_test_support.h"

namespace korvex {
namespace {

using testing::TypicalState;

void OnlyBin(EngineState& state, long bin) {
    for (long i = 1; i <= kFineGridSize; ++i) {
        state.work.AirKermaSpectrum[i] = i == bin ? 1 : 0;
        state.work.PhotonSpectrum[i] = i == bin ? 1 : 0;
    }
}

TEST(BeamQuality, AMonoenergeticBeamHasTheHalfValueLayerOfItsAttenuationCoefficient) {
    // All the beam at 40 keV (bin 80): the air kerma halves at ln 2 / mu_Al.
    EngineState state = TypicalState();
    OnlyBin(state, 80);
    const BeamQuality quality = ComputeBeamQuality(state, 80);
    EXPECT_NEAR(quality.half_value_layer_mm, 10 * std::log(2.0) / state.tables.MuAluminium[80],
                1e-9);
    EXPECT_DOUBLE_EQ(quality.mean_energy_kev, 40);
}

TEST(BeamQuality, TheModelledBeamHalvesItsAirKermaAtItsHalfValueLayer) {
    EngineState state = TypicalState();
    ComputeSpectrum(state, 80);
    const BeamQuality quality = ComputeBeamQuality(state, 80);
    // The defining sums written out: the transmission is one half at the HVL.
    const auto transmission = [&](double mm) {
        double all = 0, through = 0;
        for (long i = 2; i <= 160; ++i) {
            all += state.work.AirKermaSpectrum[i];
            through +=
                state.work.AirKermaSpectrum[i] * std::exp(-state.tables.MuAluminium[i] * mm / 10);
        }
        return through / all;
    };
    EXPECT_NEAR(transmission(quality.half_value_layer_mm), 0.5, 1e-9);
    double photons = 0, energy = 0;
    for (long i = 2; i <= 160; ++i) {
        photons += state.work.PhotonSpectrum[i];
        energy += 0.5 * static_cast<double>(i) * state.work.PhotonSpectrum[i];
    }
    EXPECT_NEAR(quality.mean_energy_kev, energy / photons, 1e-9);

    // A harder beam: more copper, or a higher voltage, raises both.
    state.calc.AddedCopper = 0.03;
    ComputeSpectrum(state, 80);
    const BeamQuality filtered = ComputeBeamQuality(state, 80);
    EXPECT_GT(filtered.half_value_layer_mm, quality.half_value_layer_mm);
    EXPECT_GT(filtered.mean_energy_kev, quality.mean_energy_kev);
    ComputeSpectrum(state, 100);
    EXPECT_GT(ComputeBeamQuality(state, 100).half_value_layer_mm, filtered.half_value_layer_mm);
}

TEST(BeamQuality, AnEmptySpectrumHasNoQuality) {
    EngineState state = TypicalState();
    OnlyBin(state, 0);
    EXPECT_THROW(ComputeBeamQuality(state, 80), CalculationError);
}

}  // namespace
}  // namespace korvex
