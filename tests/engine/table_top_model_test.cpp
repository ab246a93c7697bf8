// The validated model behind a table top under a mattress: what it reduces to without a
// couch, how the table top's transmission and scatter enter, where the field is taken, and
// that the legacy formula and layer devices are untouched by it.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "engine/backscatter.h"
#include "engine/calculation_driver.h"
#include "engine/couch_scatter_table.h"
#include "engine/dose_uncertainty.h"
#include "engine/engine_state.h"
#include "engine/spectrum.h"
#include "tests/engine/engine_test_support.h"
#include "tests/fixtures/synthetic_workdir.h"

namespace korvex {
namespace {

using Result = CalculationOutcome::Result;

// A table over the synthetic data's range whose S_c is `value(field side)` at every node.
void WriteTable(const std::filesystem::path& folder, const std::function<double(double)>& value) {
    CouchScatterTable table;
    table.axes = {std::vector<double>{40, 149}, {0, 1}, {1, 2, 5, 10, 20, 40}, {0.1, 1}, {0, 10}};
    table.half_value_layers = {0.1, 50, 0.1, 50};
    for (std::size_t i = 0; i < table.Count(); ++i) {
        const std::size_t field = (i / (2 * 2)) % 6;
        table.values.push_back(value(table.axes[kFieldAxis][field]));
        table.uncertainties.push_back(0);
    }
    fixtures::WriteCp932Lines(folder / kCouchScatterFileName, FormatCouchScatterTable(table));
}

class TableTopModel : public ::testing::Test {
  protected:
    void SetUp() override { fixtures::WriteSyntheticWorkdir(folder_.path()); }

    // The test device (reference point at 85 cm, k = 1.1) as a table top under 4 cm of
    // mattress with the given couch-equivalent thickness and transmission.
    std::unique_ptr<EngineState> State(double couch_cm, double transmission,
                                       CouchModel couch = CouchModel::TableTop) const {
        auto state = testing::DeviceState(folder_.path());
        state->calc.CouchEquivalentThickness = couch_cm;
        state->calc.CouchTransmission = transmission;
        state->calc.Couch = couch;
        state->calc.MattressThickness = 4;
        return state;
    }

    static CalculationInputs Inputs(DoseModel model = DoseModel::Validated) {
        return {.BodySiteText = "",
                .TubeVoltageText = "80",
                .KarText = "100",
                .PkaText = "20",
                .FocusSkinDistanceText = "70",
                .FieldSizeText = "14.14",
                .Model = model};
    }

    static CalculationCase Calculated(EngineState& state, DoseModel model = DoseModel::Validated) {
        const CalculationOutcome outcome = RunCalculation(state, Inputs(model));
        EXPECT_EQ(outcome.result, Result::Succeeded) << outcome.reason;
        return state.calc;
    }

    fixtures::TempFolder folder_;
};

TEST_F(TableTopModel, WithoutCouchOrScatterItIsTheBareFormula) {
    WriteTable(folder_.path(), [](double) { return 0.0; });
    auto state = State(0, 1);
    const CalculationCase c = Calculated(*state);
    // B D k Ka,r (d_ref / FSD)^2, the field's backscatter at the skin.
    const double to_skin = 85.0 / 70.0;
    EXPECT_NEAR(
        c.SkinDose / (c.MeanBackscatterFactor * c.DoseToKermaRatio * 1.1 * 100 * to_skin * to_skin),
        1, 1e-12);
    EXPECT_EQ(c.EffectiveSurfaceDistance, 70);
    EXPECT_NEAR(c.SurfaceFieldSizeA, 14.14 * 70 / 85, 1e-12);
    EXPECT_EQ(c.TableTopTransmission, 1);
    EXPECT_EQ(c.CouchScatterRatio, 0);
    // The same as the layer model without a couch.
    auto layer = State(0, 1, CouchModel::Layer);
    EXPECT_NEAR(Calculated(*layer).SkinDose / c.SkinDose, 1, 1e-12);
}

TEST_F(TableTopModel, TheTableTopTransmitsTheHardenedBeamAndAddsItsScatter) {
    WriteTable(folder_.path(), [](double) { return 0.0; });
    auto bare = State(1.0, 0.8);
    const CalculationCase without = Calculated(*bare);
    WriteTable(folder_.path(), [](double) { return 0.25; });
    auto state = State(1.0, 0.8);
    const CalculationCase c = Calculated(*state);
    EXPECT_NEAR(c.SkinDose / without.SkinDose, 1.25, 1e-12);
    EXPECT_DOUBLE_EQ(c.CouchScatterRatio, 0.25);
    // T_n of this beam through the couch-equivalent thickness, as the calibration defines T.
    EXPECT_NEAR(c.TableTopTransmission, PhantomTransmission(*state, 80, 1.0), 1e-15);
    EXPECT_LT(c.TableTopTransmission, 1);
    EXPECT_NEAR(c.PrimaryAirKerma, 110 * std::pow(85.0 / 70.0, 2) * c.TableTopTransmission, 1e-9);
    // The primary dose behind the couch is that of the hardened beam, and so is B.
    const double primary_dose = PhantomDoseTransmission(*state, 80, 1.0) * c.DoseToKermaRatio;
    ComputeBackscatterFactor(*state, 1.0);
    const double hardened_b = state->calc.MeanBackscatterFactor;
    EXPECT_NEAR(c.MeanBackscatterFactor, hardened_b, 1e-15);
    EXPECT_NEAR(c.SkinDose, hardened_b * primary_dose * 1.25 * 110 * std::pow(85.0 / 70.0, 2),
                1e-9);
    ComputeBackscatterFactor(*state, 0);
    EXPECT_NE(state->calc.MeanBackscatterFactor, hardened_b);
}

TEST_F(TableTopModel, ScatterIsLookedUpForTheFieldAtTheSkin) {
    WriteTable(folder_.path(), [](double side) { return 0.1 * std::log(side); });
    auto square = State(1.0, 0.8);
    const CalculationCase c = Calculated(*square);
    EXPECT_NEAR(c.CouchScatterRatio, 0.1 * std::log(14.14 * 70 / 85), 1e-12);
    // A circle of diameter d enters as the square of its area, d sqrt(pi) / 2.
    auto circle = State(1.0, 0.8);
    circle->calc.FieldShape = FieldShapeKind::Circle;
    const CalculationCase round = Calculated(*circle);
    EXPECT_NEAR(round.CouchScatterRatio,
                0.1 * std::log(14.14 * 70 / 85 * std::sqrt(std::numbers::pi) / 2), 1e-12);
}

TEST_F(TableTopModel, SaysWhereTheCaseLayBeyondTheTable) {
    WriteTable(folder_.path(), [](double side) { return 0.01 * side; });
    auto inside = State(1.0, 0.8);
    EXPECT_TRUE(Calculated(*inside).CouchScatterBeyondTable.empty());
    // A couch transmission below the table's lowest node takes that node's S_c and says so;
    // the next calculation inside the table forgets it.
    auto beyond = State(1.0, 0.05);
    EXPECT_EQ(Calculated(*beyond).CouchScatterBeyondTable,
              std::vector<std::string>{"couch transmission"});
    beyond->calc.CouchTransmission = 0.8;
    EXPECT_TRUE(Calculated(*beyond).CouchScatterBeyondTable.empty());
    // The legacy formula looks nothing up.
    beyond->calc.CouchTransmission = 0.05;
    EXPECT_TRUE(Calculated(*beyond, DoseModel::Legacy).CouchScatterBeyondTable.empty());
}

TEST_F(TableTopModel, StatesItsOwnMethodUncertainty) {
    WriteTable(folder_.path(), [](double side) { return 0.02 * side; });
    auto state = State(1.0, 0.8);
    const CalculationCase c = Calculated(*state);
    EXPECT_EQ(c.UncertaintyBudget.Model, budget::kTableTopModel);
    EXPECT_GT(c.UncertaintyBudget.FieldSize, 0);
    EXPECT_NEAR(c.SkinDoseUncertainty, c.UncertaintyBudget.Expanded(), 1e-15);
}

TEST_F(TableTopModel, TheLegacyFormulaAndLayerDevicesIgnoreIt) {
    WriteTable(folder_.path(), [](double) { return 0.3; });
    auto table_top = State(1.0, 0.8);
    auto layer = State(1.0, 0.8, CouchModel::Layer);
    const CalculationCase legacy_top = Calculated(*table_top, DoseModel::Legacy);
    const CalculationCase legacy_layer = Calculated(*layer, DoseModel::Legacy);
    EXPECT_EQ(legacy_top.SkinDose, legacy_layer.SkinDose);
    EXPECT_EQ(legacy_top.CouchScatterRatio, 0);
    EXPECT_EQ(legacy_top.TableTopTransmission, 0);
    // A layer device never reads the table: it calculates with the table gone.
    std::filesystem::remove(folder_.path() / kCouchScatterFileName);
    EXPECT_EQ(RunCalculation(*layer, Inputs()).result, Result::Succeeded);
}

TEST_F(TableTopModel, AMissingOrBrokenTableFailsTheCalculationWithItsReason) {
    auto state = State(1.0, 0.8);
    CalculationOutcome outcome = RunCalculation(*state, Inputs());
    EXPECT_EQ(outcome.result, Result::Failed);
    EXPECT_NE(outcome.reason.find("couch-scatter table"), std::string::npos) << outcome.reason;
    fixtures::WriteCp932Lines(folder_.path() / kCouchScatterFileName, {"Korvex couch scatter 1"});
    outcome = RunCalculation(*state, Inputs());
    EXPECT_EQ(outcome.result, Result::Failed);
    EXPECT_NE(outcome.reason.find("CouchScatter.dat"), std::string::npos) << outcome.reason;
    // Once the table is there, the same state calculates.
    WriteTable(folder_.path(), [](double) { return 0.1; });
    EXPECT_EQ(RunCalculation(*state, Inputs()).result, Result::Succeeded);
}

}  // namespace
}  // namespace korvex
