// The spectrum and depth-dose curves of a calculation: that they are the engine's own
// arrays (the spectrum cache's entry, the recorded mean energy, the depth factor the dose
// was computed with), and that no calculation, a failed one or a later spectrum gives none.
#include "engine/beam_curves.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "engine/calculation_driver.h"
#include "engine/couch_scatter_table.h"
#include "engine/engine_state.h"
#include "engine/spectrum.h"
#include "engine/spectrum_cache.h"
#include "tests/engine/engine_test_support.h"
#include "tests/fixtures/synthetic_workdir.h"

namespace korvex {
namespace {

using Result = CalculationOutcome::Result;

CalculationInputs Inputs(const std::string& kv, DoseModel model = DoseModel::Validated) {
    return {.BodySiteText = "",
            .TubeVoltageText = kv,
            .KarText = "100",
            .PkaText = "20",
            .FocusSkinDistanceText = "70",
            .FieldSizeText = "14.14",
            .Model = model};
}

double Sum(const std::vector<double>& values) {
    double sum = 0;
    for (double v : values) {
        sum += v;
    }
    return sum;
}

double MeanEnergy(const std::vector<double>& energy, const std::vector<double>& photons) {
    double weighted = 0;
    for (size_t i = 0; i < energy.size(); ++i) {
        weighted += energy[i] * photons[i];
    }
    return weighted / Sum(photons);
}

// Index of the bin at `kev` in a curve's energies.
size_t BinAt(const SpectrumCurve& curve, double kev) {
    for (size_t i = 0; i < curve.energy_kev.size(); ++i) {
        if (curve.energy_kev[i] == kev) {
            return i;
        }
    }
    ADD_FAILURE() << "no bin at " << kev << " keV";
    return 0;
}

// The test device of engine_test_support (reference point at 85 cm, a square field) with
// its couch-equivalent layer `couch_cm` thick.
class BeamCurvesTest : public ::testing::Test {
  protected:
    void SetUp() override { fixtures::WriteSyntheticWorkdir(folder_.path()); }

    std::unique_ptr<EngineState> State(double couch_cm) const {
        auto state = testing::DeviceState(folder_.path());
        state->calc.CouchEquivalentThickness = couch_cm;
        return state;
    }

    static void Calculate(EngineState& state, const std::string& kv,
                          DoseModel model = DoseModel::Validated) {
        const CalculationOutcome outcome = RunCalculation(state, Inputs(kv, model));
        ASSERT_EQ(outcome.result, Result::Succeeded) << outcome.reason;
    }

    fixtures::TempFolder folder_;
};

TEST_F(BeamCurvesTest, NoCalculationGivesEmptyCurves) {
    const auto state = State(1.0);
    const BeamCurves curves = BeamCurvesOf(*state);
    EXPECT_TRUE(curves.spectrum.Empty());
    EXPECT_TRUE(curves.spectrum.photons_per_kev.empty());
    EXPECT_TRUE(curves.depth_dose.Empty());
    EXPECT_FALSE(curves.depth_dose.table_top);
    EXPECT_FALSE(RelativeDoseAt(curves.depth_dose, 0).has_value());
}

TEST_F(BeamCurvesTest, SpectrumIsTheCachedModelResultWithItsKLinesAndMeanEnergy) {
    const auto state = State(1.0);
    Calculate(*state, "80");
    const SpectrumCurve curve = SpectrumCurveOf(*state);
    ASSERT_FALSE(curve.Empty());
    ASSERT_EQ(curve.energy_kev.size(), 159u);  // 1.0 .. 80.0 keV in 0.5 keV bins
    EXPECT_EQ(curve.energy_kev.front(), 1.0);
    EXPECT_EQ(curve.energy_kev.back(), 80.0);
    EXPECT_EQ(curve.beam.tube_voltage_kv, 80);
    EXPECT_EQ(curve.beam.quality.half_value_layer_mm, state->calc.HalfValueLayer);
    EXPECT_EQ(curve.beam.quality.mean_energy_kev, state->calc.MeanEnergy);

    // The model's own result for this beam, as the cache keeps it.
    SpectrumKey key;
    key.TubeVoltage = 80;
    key.TargetAngle = state->calc.TargetAngle;
    key.InherentFiltration = state->calc.InherentFiltration;
    key.AddedAluminium = state->calc.AddedAluminium;
    key.AddedCopper = state->calc.AddedCopper;
    const SpectrumResult* cached = state->spectrum_cache.Find(key, state->tables);
    ASSERT_NE(cached, nullptr);
    for (size_t k = 0; k < curve.energy_kev.size(); ++k) {
        EXPECT_EQ(curve.photons_per_kev[k] * 0.5, cached->PhotonSpectrum[static_cast<long>(k) + 2])
            << curve.energy_kev[k] << " keV";
    }
    // Photons per keV integrate to 1, short of the bins below 1e-10 the model cuts without
    // renormalising (at most 159 of them), and give the mean energy the calculation recorded.
    EXPECT_NEAR(Sum(curve.photons_per_kev) * 0.5, 1.0, 159 * 1e-10);
    EXPECT_NEAR(MeanEnergy(curve.energy_kev, curve.photons_per_kev), state->calc.MeanEnergy,
                1e-9 * state->calc.MeanEnergy);

    // Above 70 kV the tungsten K lines stand out of the smooth bremsstrahlung: Kalpha1 in
    // the 59.5 keV bin, Kbeta1 in the 67 keV bin, each well above both neighbours.
    for (double line_kev : {59.5, 67.0}) {
        const size_t i = BinAt(curve, line_kev);
        const double neighbours =
            0.5 * (curve.photons_per_kev[i - 1] + curve.photons_per_kev[i + 1]);
        EXPECT_GT(curve.photons_per_kev[i], 1.2 * neighbours) << line_kev << " keV";
    }

    // At 65 kV the model adds no K lines and the bin is no spike.
    Calculate(*state, "65");
    const SpectrumCurve low = SpectrumCurveOf(*state);
    const size_t i = BinAt(low, 59.5);
    EXPECT_LT(low.photons_per_kev[i],
              1.05 * 0.5 * (low.photons_per_kev[i - 1] + low.photons_per_kev[i + 1]));
}

TEST_F(BeamCurvesTest, BehindTheCouchFewerPhotonsRemainAndTheBeamIsHarder) {
    const auto state = State(1.0);
    Calculate(*state, "80");
    const SpectrumCurve curve = SpectrumCurveOf(*state);
    ASSERT_EQ(curve.behind_couch_per_kev.size(), curve.photons_per_kev.size());
    EXPECT_EQ(curve.couch_depth_cm, 1.0);
    for (size_t k = 0; k < curve.energy_kev.size(); ++k) {
        EXPECT_LE(curve.behind_couch_per_kev[k], curve.photons_per_kev[k]);
    }
    const double transmitted = Sum(curve.behind_couch_per_kev) * 0.5;
    EXPECT_GT(transmitted, 0.1);
    EXPECT_LT(transmitted, 1.0);
    // Soft photons are absorbed first: the mean energy rises behind the layer.
    EXPECT_GT(MeanEnergy(curve.energy_kev, curve.behind_couch_per_kev),
              MeanEnergy(curve.energy_kev, curve.photons_per_kev) + 0.5);

    const auto no_couch = State(0);
    Calculate(*no_couch, "80");
    EXPECT_TRUE(SpectrumCurveOf(*no_couch).behind_couch_per_kev.empty());
}

// At a layer centre the depth step takes the tables' values themselves, so the curve meets
// the depth factor to rounding. Between centres the curve runs the primary linearly where
// the step takes it at the point: the chord of a falling exponential over a 0.5 cm layer
// lies above it by at most (0.5 cm)^2 mu^2 / 8 of the primary; the synthetic phantom's mu is
// below 0.6 /cm above 25 keV, where nearly all of the filtered 80 kV beam's primary dose
// lies, so by under 1.2 % of a primary that is itself below the surface dose: 1 %.
TEST_F(BeamCurvesTest, DepthDoseCurveMeetsTheDepthFactorTheDoseWasComputedWith) {
    const auto centre = State(0.75);
    Calculate(*centre, "80");
    const DepthDoseCurve curve = DepthDoseCurveOf(*centre);
    ASSERT_EQ(curve.depth_cm.size(), 41u);
    EXPECT_EQ(curve.depth_cm.front(), 0);
    EXPECT_EQ(curve.relative_dose.front(), 1);
    EXPECT_EQ(curve.depth_cm[1], 0.25);
    EXPECT_EQ(curve.depth_cm.back(), 19.75);
    EXPECT_EQ(curve.skin_depth_cm, 0.75);
    for (size_t k = 1; k < curve.relative_dose.size(); ++k) {
        EXPECT_TRUE(std::isfinite(curve.relative_dose[k]));
        EXPECT_LT(curve.relative_dose[k], curve.relative_dose[k - 1]) << curve.depth_cm[k];
    }
    EXPECT_NEAR(*RelativeDoseAt(curve, 0.75), centre->calc.DepthFactor, 1e-12);

    const auto between = State(1.0);
    Calculate(*between, "80");
    const DepthDoseCurve read_between = DepthDoseCurveOf(*between);
    EXPECT_EQ(read_between.skin_depth_cm, 1.0);
    EXPECT_NEAR(*RelativeDoseAt(read_between, 1.0), between->calc.DepthFactor, 0.01);
    EXPECT_GE(*RelativeDoseAt(read_between, 1.0), between->calc.DepthFactor);  // the chord

    // The legacy formula's factor is the same dose relative to the first layer.
    const auto legacy = State(0.75);
    Calculate(*legacy, "80", DoseModel::Legacy);
    const DepthDoseCurve legacy_curve = DepthDoseCurveOf(*legacy);
    EXPECT_NEAR(*RelativeDoseAt(legacy_curve, 0.75) / *RelativeDoseAt(legacy_curve, 0.25),
                legacy->calc.DepthFactor, 1e-12);
    EXPECT_FALSE(RelativeDoseAt(legacy_curve, 20.0).has_value());
    EXPECT_FALSE(RelativeDoseAt(legacy_curve, -0.1).has_value());

    // Points at one depth or a value that is not finite give no NaN.
    DepthDoseCurve odd;
    odd.depth_cm = {0, 0, 1, 2};
    odd.relative_dose = {1, 0.9, 0.8, std::numeric_limits<double>::quiet_NaN()};
    EXPECT_EQ(RelativeDoseAt(odd, 0), 0.9);
    EXPECT_NEAR(*RelativeDoseAt(odd, 0.5), 0.85, 1e-15);
    EXPECT_FALSE(RelativeDoseAt(odd, 1.5).has_value());
}

TEST_F(BeamCurvesTest, ATableTopDeviceHasItsSpectrumButNoDepthCurve) {
    CouchScatterTable table;
    table.axes = {std::vector<double>{40, 149}, {0, 1}, {1, 2, 5, 10, 20, 40}, {0.1, 1}, {0, 10}};
    table.half_value_layers = {0.1, 50, 0.1, 50};
    table.values.assign(table.Count(), 0.02);
    table.uncertainties.assign(table.Count(), 0);
    fixtures::WriteCp932Lines(folder_.path() / kCouchScatterFileName,
                              FormatCouchScatterTable(table));
    const auto state = State(0.8);
    state->calc.Couch = CouchModel::TableTop;
    state->calc.MattressThickness = 4;
    Calculate(*state, "80");
    const BeamCurves curves = BeamCurvesOf(*state);
    EXPECT_FALSE(curves.spectrum.Empty());
    EXPECT_EQ(curves.spectrum.behind_couch_per_kev.size(), curves.spectrum.energy_kev.size());
    EXPECT_TRUE(curves.depth_dose.Empty());
    EXPECT_TRUE(curves.depth_dose.table_top);
    EXPECT_EQ(curves.depth_dose.beam.tube_voltage_kv, 80);
}

TEST_F(BeamCurvesTest, FailedCalculationsAndALaterSpectrumLeaveNoCurve) {
    // A depth step that stops at a missing kernel: the beam was modelled, its dose was not.
    std::filesystem::remove(folder_.path() / fixtures::ScatterKernelFileName(45));
    const auto broken = State(1.0);
    ASSERT_EQ(RunCalculation(*broken, Inputs("80")).result, Result::DepthStepFailed);
    EXPECT_FALSE(SpectrumCurveOf(*broken).Empty());
    EXPECT_TRUE(DepthDoseCurveOf(*broken).Empty());
    fixtures::WriteSyntheticWorkdir(folder_.path());

    // A voltage beyond the grid fails after a success: nothing of the earlier beam remains.
    const auto state = State(1.0);
    Calculate(*state, "80");
    ASSERT_EQ(RunCalculation(*state, Inputs("200")).result, Result::Failed);
    EXPECT_TRUE(SpectrumCurveOf(*state).Empty());
    EXPECT_TRUE(DepthDoseCurveOf(*state).Empty());

    // A spectrum modelled afterwards at another voltage, as a device calibration does,
    // is not the calculation's.
    Calculate(*state, "80");
    ComputeSpectrumShape(*state, 100);
    EXPECT_TRUE(SpectrumCurveOf(*state).Empty());
    EXPECT_TRUE(DepthDoseCurveOf(*state).Empty());
}

}  // namespace
}  // namespace korvex
