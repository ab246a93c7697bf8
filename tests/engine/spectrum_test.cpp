#include "engine/spectrum.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/errors.h"
#include "tests/engine/engine_test_support.h"

namespace korvex {
namespace {

using testing::TypicalState;

// The bremsstrahlung of one bin written out on its own: n + 1 electron energies
// T = E, E + 0.5, ..., up to V.
double IndependentBremsstrahlung(const ReferenceTables& t, double v, double angle_deg, int i) {
    const double pi = 3.14159;
    const double e = 0.5 * i;
    const double angle = pi * angle_deg / 180;
    const double cot = std::cos(angle) / std::sin(angle);
    const double c = (((-0.000970158 * v + 0.552536) * v - 111.046) * v + 12157) * v + 141766;
    const int steps = static_cast<int>(std::floor((v - e) / 0.5));
    double sum = 0;
    for (int n = 0; n <= steps; ++n) {
        const double tk = e + 0.5 * n;
        const double x = e / tk;
        const double shape = 1 + x * (-5.049 + x * (10.847 + x * (-10.516 + x * 3.842)));
        const double yield = (0.03658 + 2.9e-5 * e) * shape;
        const double stopping = 1036.1 * std::exp(-0.04695 * tk) + 202.41;
        const double path = cot * (v - tk) * (v + tk) / (19.3 * c);
        sum += std::exp(-t.MuTarget[i] * path) * yield * (1 + 511 / tk) / stopping;
    }
    return sum;
}

TEST(SpectrumModel, ConstantsOfTheModel) {
    EXPECT_NEAR(ThomsonWhiddingtonConstant(80), 646792.36032, 1e-6);
    EXPECT_NEAR(ThomsonWhiddingtonConstant(100), 702526.2, 1e-6);
    EXPECT_EQ(KLineRatio(70), 0.0);
    EXPECT_EQ(KLineRatio(50), 0.0);
    EXPECT_NEAR(KLineRatio(70.5), 0.1045, 5e-4);
    EXPECT_NEAR(KLineRatio(80), 1.335, 5e-4);
    EXPECT_NEAR(KLineRatio(100), 2.800, 5e-4);
}

TEST(SpectrumModel, TopBinHoldsTheSingleUnattenuatedTerm) {
    // At T = V the path out of the anode is 0, so the bin E = V is q(1) (1 + 511/V) / S(V)
    // with the shape polynomial at x = 1 equal to 0.124.
    EngineState state = TypicalState();
    ComputeSpectrum(state, 80);
    const double expected = (0.03658 + 2.9e-5 * 80) * 0.124 * (1 + 511.0 / 80) /
                            (1036.1 * std::exp(-0.04695 * 80) + 202.41);
    EXPECT_NEAR(state.work.RawSpectrum[160] / expected, 1.0, 1e-12);
}

TEST(SpectrumModel, FillsBinsUpToTwiceTheVoltageOnly) {
    for (double v : {80.0, 80.3}) {
        EngineState state = TypicalState();
        for (long i = 0; i <= 300; ++i) {
            state.work.RawSpectrum[i] = -7;
            state.work.PhotonSpectrum[i] = -7;
            state.work.AirKermaSpectrum[i] = -7;
        }
        ComputeSpectrum(state, v);
        for (long i = 2; i <= 160; ++i) {
            ASSERT_GE(state.work.RawSpectrum[i], 0.0) << i;
            ASSERT_GE(state.work.PhotonSpectrum[i], 0.0) << i;
        }
        for (long i = 161; i <= 300; ++i) {
            ASSERT_EQ(state.work.RawSpectrum[i], -7) << i;
            ASSERT_EQ(state.work.AirKermaSpectrum[i], -7) << i;
            ASSERT_EQ(state.work.PhotonSpectrum[i], 0.0) << i;
        }
        EXPECT_GT(state.work.PhotonSpectrum[160], 0.0);
    }
}

TEST(SpectrumModel, BremsstrahlungAndKLinesMatchAnIndependentComputation) {
    EngineState state = TypicalState();
    ComputeSpectrum(state, 80);
    const ReferenceTables& t = state.tables;
    double bremsstrahlung = 0;
    for (int i = 2; i <= 160; ++i) {
        bremsstrahlung += IndependentBremsstrahlung(t, 80, 12, i);
    }
    const double k_total = 0.01 * KLineRatio(80) * bremsstrahlung;
    const struct {
        int bin;
        double weight;
    } lines[] = {{116, 0.2908}, {119, 0.5048}, {134, 0.162}, {138, 0.0424}};
    for (int i = 2; i <= 160; ++i) {
        double expected = IndependentBremsstrahlung(t, 80, 12, i);
        for (const auto& line : lines) {
            if (line.bin == i) {
                expected += line.weight * k_total;
            }
        }
        ASSERT_NEAR(state.work.RawSpectrum[i], expected, 1e-12 * std::abs(expected) + 1e-300)
            << "bin " << i;
    }
    // The K lines stand out above their neighbours.
    EXPECT_GT(state.work.RawSpectrum[119], 2 * state.work.RawSpectrum[118]);
}

TEST(SpectrumModel, NoKLinesUpTo70kV) {
    EngineState state = TypicalState();
    ComputeSpectrum(state, 70);
    for (int i = 2; i <= 140; ++i) {
        const double expected = IndependentBremsstrahlung(state.tables, 70, 12, i);
        ASSERT_NEAR(state.work.RawSpectrum[i], expected, 1e-12 * expected + 1e-300) << i;
    }
}

TEST(SpectrumModel, UnfilteredPhotonSpectrumIsRawOverEnergyNormalised) {
    EngineState state = TypicalState();
    state.calc.InherentFiltration = 0;
    ComputeSpectrum(state, 90);
    double sum = 0;
    for (int i = 2; i <= 180; ++i) {
        sum += state.work.RawSpectrum[i] / (0.5 * i);
    }
    for (int i = 2; i <= 180; ++i) {
        double expected = state.work.RawSpectrum[i] / (0.5 * i) / sum;
        if (expected < 1e-10) {
            expected = 0;
        }
        ASSERT_NEAR(state.work.PhotonSpectrum[i], expected, 1e-13) << i;
    }
}

TEST(SpectrumModel, FiltrationAttenuatesEachBinByItsTransmission) {
    EngineState open = TypicalState();
    open.calc.InherentFiltration = 0;
    ComputeSpectrum(open, 100);
    EngineState filtered = TypicalState();
    filtered.calc.InherentFiltration = 0.25;
    filtered.calc.AddedCopper = 0.01;
    ComputeSpectrum(filtered, 100);
    const ReferenceTables& t = open.tables;
    const auto transmission = [&](int i) {
        return std::exp(-0.25 * t.MuAluminium[i] - 0.01 * t.MuCopper[i]);
    };
    for (int i : {100, 119, 150, 200}) {
        const double ratio = filtered.work.PhotonSpectrum[i] / filtered.work.PhotonSpectrum[60];
        const double expected = open.work.PhotonSpectrum[i] / open.work.PhotonSpectrum[60] *
                                transmission(i) / transmission(60);
        EXPECT_NEAR(ratio / expected, 1.0, 1e-12) << i;
    }
}

TEST(SpectrumModel, ArbitraryFilterOfZeroThicknessChangesNothing) {
    EngineState without = TypicalState();
    ComputeSpectrum(without, 80);
    EngineState with = TypicalState();
    with.calc.ArbitraryFilterOn = 1;
    with.calc.ArbitraryFilterThickness = 0;
    for (long i = 1; i <= 300; ++i) {
        with.work.ArbitraryFilterMu[i] = 50.0;
    }
    ComputeSpectrum(with, 80);
    EXPECT_EQ(with.calc.DoseToKermaRatio, without.calc.DoseToKermaRatio);
    for (long i = 2; i <= 160; ++i) {
        ASSERT_EQ(with.work.PhotonSpectrum[i], without.work.PhotonSpectrum[i]) << i;
        ASSERT_EQ(with.work.AirKermaSpectrum[i], without.work.AirKermaSpectrum[i]) << i;
    }
}

TEST(SpectrumModel, ArbitraryFilterActsLikeTheSameMaterialAsAddedFilter) {
    EngineState copper = TypicalState();
    copper.calc.AddedCopper = 0.02;
    ComputeSpectrum(copper, 90);
    EngineState arbitrary = TypicalState();
    arbitrary.calc.ArbitraryFilterOn = 1;
    arbitrary.calc.ArbitraryFilterThickness = 0.02;
    for (long i = 1; i <= 300; ++i) {
        arbitrary.work.ArbitraryFilterMu[i] = arbitrary.tables.MuCopper[i];
    }
    ComputeSpectrum(arbitrary, 90);
    EXPECT_NEAR(arbitrary.calc.DoseToKermaRatio, copper.calc.DoseToKermaRatio, 1e-12);
    for (long i = 20; i <= 180; i += 20) {
        EXPECT_NEAR(arbitrary.work.PhotonSpectrum[i], copper.work.PhotonSpectrum[i], 1e-14) << i;
    }
}

TEST(SpectrumModel, NormalisedSpectraAndTheDoseToKermaRatio) {
    EngineState state = TypicalState();
    ComputeSpectrum(state, 80);
    const ReferenceTables& t = state.tables;
    double photon = 0;
    double air = 0;
    double tissue_dose = 0;
    double air_kerma = 0;
    for (int i = 2; i <= 160; ++i) {
        photon += state.work.PhotonSpectrum[i];
        air += state.work.AirKermaSpectrum[i];
        const double f = std::exp(-0.25 * t.MuAluminium[i]);
        tissue_dose += t.MuEnTissue[i] * f * state.work.RawSpectrum[i];
        air_kerma += t.MuEnAir[i] * f * state.work.RawSpectrum[i];
    }
    EXPECT_LE(photon, 1.0 + 1e-12);
    EXPECT_GT(photon, 1.0 - 1e-6);
    EXPECT_NEAR(air, 1.0, 1e-12);
    EXPECT_NEAR(state.calc.DoseToKermaRatio, tissue_dose / air_kerma, 1e-12);
    // The tissue-dose spectrum is left unnormalised.
    double tissue_sum = 0;
    for (int i = 2; i <= 160; ++i) {
        tissue_sum += state.work.TissueDoseSpectrum[i];
    }
    EXPECT_NEAR(tissue_sum / tissue_dose, 1.0, 1e-12);
}

TEST(SpectrumModel, ShapeAtAnotherVoltageLeavesTheCaseAlone) {
    EngineState state = TypicalState();
    state.calc.TubeVoltage = 80;
    state.calc.DoseToKermaRatio = 1.234;
    const SpectrumSums sums = ComputeSpectrumShape(state, 100);
    EXPECT_EQ(state.calc.TubeVoltage, 80);
    EXPECT_EQ(state.calc.DoseToKermaRatio, 1.234);
    EXPECT_GT(sums.AirKerma, 0);
    EXPECT_GT(state.work.PhotonSpectrum[200], 0);
}

TEST(SpectrumModel, VoltagesOutsideTheGridAndAZeroAngleFail) {
    EngineState state = TypicalState();
    EXPECT_THROW(ComputeSpectrum(state, 150.5), CalculationError);
    EXPECT_THROW(ComputeSpectrum(state, 151), CalculationError);
    EXPECT_NO_THROW(ComputeSpectrum(state, 150.4));
    EXPECT_THROW(ComputeSpectrum(state, 0.9), CalculationError);
    EXPECT_THROW(ComputeSpectrum(state, 0), CalculationError);
    EXPECT_THROW(ComputeSpectrum(state, -80), CalculationError);
    EXPECT_THROW(ComputeSpectrum(state, std::nan("")), CalculationError);
    // At 1 kV the single bin survives only without filtration.
    state.calc.InherentFiltration = 0;
    EXPECT_NO_THROW(ComputeSpectrum(state, 1.0));
    state.calc.TargetAngle = 0;
    EXPECT_THROW(ComputeSpectrum(state, 80), CalculationError);
}

// A spectrum served from the cache leaves the work arrays and the sums exactly as the
// model would, whatever earlier calculations left in the bins above 2V.
TEST(SpectrumCache, RepeatedInputsGiveTheModelsResultBitForBit) {
    EngineState fresh = TypicalState();
    fresh.calc.AddedCopper = 0.02;
    const SpectrumSums expected = ComputeSpectrumShape(fresh, 80);

    EngineState reused = TypicalState();
    reused.calc.AddedCopper = 0.02;
    ComputeSpectrumShape(reused, 80);
    ComputeSpectrumShape(reused, 120);  // fills bins 161..240 that 80 kV does not write
    // What the model at 80 kV would leave after 120 kV: the bins above 160 untouched.
    for (long i = 161; i <= 300; ++i) {
        fresh.work.RawSpectrum[i] = reused.work.RawSpectrum[i];
        fresh.work.AirKermaSpectrum[i] = reused.work.AirKermaSpectrum[i];
        fresh.work.TissueDoseSpectrum[i] = reused.work.TissueDoseSpectrum[i];
    }
    const SpectrumSums cached = ComputeSpectrumShape(reused, 80);
    EXPECT_EQ(cached.AirKerma, expected.AirKerma);
    EXPECT_EQ(cached.TissueDose, expected.TissueDose);
    EXPECT_TRUE(reused.work.RawSpectrum == fresh.work.RawSpectrum);
    EXPECT_TRUE(reused.work.PhotonSpectrum == fresh.work.PhotonSpectrum);
    EXPECT_TRUE(reused.work.AirKermaSpectrum == fresh.work.AirKermaSpectrum);
    EXPECT_TRUE(reused.work.TissueDoseSpectrum == fresh.work.TissueDoseSpectrum);
}

TEST(SpectrumCache, AnyChangedInputIsComputedAgain) {
    EngineState state = TypicalState();
    const auto ratio = [&state] {
        ComputeSpectrum(state, 80);
        return state.calc.DoseToKermaRatio;
    };
    const double plain = ratio();
    state.calc.AddedCopper = 0.01;
    const double copper = ratio();
    EXPECT_NE(copper, plain);
    state.calc.AddedCopper = 0;
    EXPECT_EQ(ratio(), plain);
    state.calc.AddedAluminium = 0.1;
    EXPECT_NE(ratio(), plain);
    state.calc.AddedAluminium = 0;
    state.calc.TargetAngle = 16;
    EXPECT_NE(ratio(), plain);
    state.calc.TargetAngle = 12;
    state.calc.ArbitraryFilterOn = 1;
    state.calc.ArbitraryFilterThickness = 0.01;
    state.work.ArbitraryFilterMu.Fill(5.0);
    const double filtered = ratio();
    EXPECT_NE(filtered, plain);
    state.work.ArbitraryFilterMu.Fill(50.0);  // another material at the same thickness
    EXPECT_NE(ratio(), filtered);
    state.calc.ArbitraryFilterOn = 0;
    EXPECT_EQ(ratio(), plain);
    // Tables changed in place (only tests do this) are not mistaken for the old ones.
    for (long i = 1; i <= 300; ++i) {
        state.tables.MuEnTissue[i] *= 1.5;
    }
    EXPECT_NE(ratio(), plain);
}

}  // namespace
}  // namespace korvex
