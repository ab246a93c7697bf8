// The two dose models side by side: each difference of the validated model from the legacy
// formula on its own (inverse square to the skin, the couch once, the surface-normalised
// depth factor, a circle's radius), where they must agree, and the uncertainty budget.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "engine/backscatter.h"
#include "engine/calculation_driver.h"
#include "engine/depth_dose.h"
#include "engine/dose_uncertainty.h"
#include "engine/engine_state.h"
#include "engine/reference_tables.h"
#include "engine/spectrum.h"
#include "engine/text_rules.h"
#include "tests/engine/engine_test_support.h"
#include "tests/fixtures/synthetic_workdir.h"

namespace korvex {
namespace {

using Result = CalculationOutcome::Result;

class DoseModels : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = std::make_unique<fixtures::TempFolder>();
        fixtures::WriteSyntheticWorkdir(folder_->path());
    }
    static void TearDownTestSuite() { folder_.reset(); }

    // Reference point at 100 - 15 = 85 cm; a couch of 1 cm tissue equivalent, T = 0.8.
    static std::unique_ptr<EngineState> State() { return testing::DeviceState(folder_->path()); }

    static CalculationInputs Inputs(DoseModel model, const char* fsd = "70") {
        return {.BodySiteText = "胸部背面",
                .TubeVoltageText = "80",
                .KarText = "100",
                .PkaText = "20",
                .FocusSkinDistanceText = fsd,
                .FieldSizeText = "14.14",
                .Model = model};
    }

    // The case after a successful calculation.
    static CalculationCase Calculated(EngineState& state, const CalculationInputs& inputs) {
        const CalculationOutcome outcome = RunCalculation(state, inputs);
        EXPECT_EQ(outcome.result, Result::Succeeded) << outcome.reason;
        return state.calc;
    }

    static std::unique_ptr<fixtures::TempFolder> folder_;
};

std::unique_ptr<fixtures::TempFolder> DoseModels::folder_;

TEST_F(DoseModels, AgreeWithoutCouchAtTheReferencePoint) {
    // No couch, the skin at the reference point, a square: nothing tells the models apart.
    auto state = State();
    state->calc.CouchEquivalentThickness = 0;
    state->calc.CouchTransmission = 1;
    const CalculationCase legacy = Calculated(*state, Inputs(DoseModel::Legacy, "85"));
    const CalculationCase validated = Calculated(*state, Inputs(DoseModel::Validated, "85"));
    EXPECT_EQ(legacy.Model, DoseModel::Legacy);
    EXPECT_EQ(validated.Model, DoseModel::Validated);
    EXPECT_NEAR(validated.SkinDose / legacy.SkinDose, 1, 1e-12);
    EXPECT_NEAR(validated.PrimaryAirKerma / legacy.PrimaryAirKerma, 1, 1e-12);
    EXPECT_NEAR(validated.ForwardBackscatterFactor / legacy.ForwardBackscatterFactor, 1, 1e-12);
    EXPECT_NEAR(validated.DepthFactor, 1, 1e-12);
}

TEST_F(DoseModels, ACircleDiffersOnlyByItsBackscatterRadius) {
    auto state = State();
    state->calc.CouchEquivalentThickness = 0;
    state->calc.CouchTransmission = 1;
    state->calc.FieldShape = FieldShapeKind::Circle;
    const CalculationCase validated = Calculated(*state, Inputs(DoseModel::Validated, "85"));
    const CalculationCase legacy = Calculated(*state, Inputs(DoseModel::Legacy, "85"));
    // The validated radius is half the diameter; the legacy one the diameter times L over
    // the focus-receptor distance: 85 / 120 of it here, a larger field.
    EXPECT_NEAR(validated.FieldHalfLong, 0.5 * validated.SurfaceFieldSizeA, 1e-12);
    EXPECT_GT(legacy.SkinDose, validated.SkinDose);
    // With the receptor at twice the distance both radii are the same, and so the doses.
    state->calc.FocusReceptorDistance = 170;
    const CalculationCase same_radius = Calculated(*state, Inputs(DoseModel::Legacy, "85"));
    EXPECT_NEAR(same_radius.SkinDose / validated.SkinDose, 1, 1e-12);
}

TEST_F(DoseModels, TheValidatedKermaFollowsTheInverseSquareToTheSkin) {
    // Focus-isocentre 80 cm, so the reference point lies at 65 cm; no couch; the skin at
    // 55, 65 and 80 cm. The legacy formula takes the reference point's kerma at the skin,
    // so the two differ by (65 / FSD)^2 alone, whatever the field does with the distance:
    // 1.397 at 55 cm, 0.660 at 80 cm.
    for (const char* fsd : {"55", "65", "80"}) {
        auto state = State();
        state->calc.FocusIsocentreDistance = 80;
        state->calc.CouchEquivalentThickness = 0;
        state->calc.CouchTransmission = 1;
        const CalculationCase legacy = Calculated(*state, Inputs(DoseModel::Legacy, fsd));
        const CalculationCase validated = Calculated(*state, Inputs(DoseModel::Validated, fsd));
        const double to_skin = 65 / LeadingNumber(fsd);
        EXPECT_NEAR(validated.SkinDose / legacy.SkinDose, to_skin * to_skin, 1e-12) << fsd;
        EXPECT_NEAR(validated.PrimaryAirKerma, 110 * to_skin * to_skin, 1e-9) << fsd;
    }
}

TEST_F(DoseModels, TheReferenceDistanceComesFromTheDeviceNotTheRoundedText) {
    // Focus-isocentre 100.4 cm: the reference point lies at 85.4 cm, not at the 85 cm the
    // distance field shows by default.
    auto state = State();
    state->calc.CouchEquivalentThickness = 0;
    state->calc.FocusIsocentreDistance = 100.4;
    const CalculationCase c = Calculated(*state, Inputs(DoseModel::Validated, "85"));
    EXPECT_NEAR(c.PrimaryAirKerma, 110 * (85.4 / 85) * (85.4 / 85), 1e-9);
}

TEST_F(DoseModels, TheValidatedModelCountsTheCouchOnce) {
    // Two couches of the same equivalent thickness but transmissions 0.6 and 0.9: the
    // legacy dose scales with T, the validated one does not see it.
    auto state = State();
    state->calc.CouchTransmission = 0.6;
    const CalculationCase thick_legacy = Calculated(*state, Inputs(DoseModel::Legacy));
    const CalculationCase thick = Calculated(*state, Inputs(DoseModel::Validated));
    state->calc.CouchTransmission = 0.9;
    const CalculationCase thin_legacy = Calculated(*state, Inputs(DoseModel::Legacy));
    const CalculationOutcome outcome = RunCalculation(*state, Inputs(DoseModel::Validated));
    ASSERT_EQ(outcome.result, Result::Succeeded) << outcome.reason;
    const CalculationCase& thin = state->calc;
    EXPECT_NEAR(thin_legacy.SkinDose / thick_legacy.SkinDose, 0.9 / 0.6, 1e-12);
    EXPECT_EQ(thin.SkinDose, thick.SkinDose);
    // T is still shown.
    EXPECT_EQ(outcome.displays[kCouchTransmissionDisplay], "0.900");
    // The primary kerma at the skin is attenuated through the layer by the beam's own
    // transmission, and the factor shown is the skin dose over the primary dose there.
    const double to_skin = 85.0 / 70;
    const double transmission = PhantomTransmission(*state, 80, 1.0);
    EXPECT_LT(transmission, 1);
    EXPECT_NEAR(thin.PrimaryAirKerma, 110 * to_skin * to_skin * transmission, 1e-9);
    EXPECT_NEAR(thin.PrimarySurfaceDose, thin.DoseToKermaRatio * thin.PrimaryAirKerma, 1e-9);
    EXPECT_NEAR(thin.ForwardBackscatterFactor * thin.PrimarySurfaceDose / thin.SkinDose, 1, 1e-13);
    // The dose is carried to the layer's surface at 69 cm and through it by G.
    const double to_layer = 85.0 / 69;
    EXPECT_NEAR(thin.SkinDose / (thin.DepthFactor * thin.MeanBackscatterFactor *
                                 thin.DoseToKermaRatio * 110 * to_layer * to_layer),
                1, 1e-13);
    EXPECT_EQ(outcome.displays[kPrimaryAirKermaDisplay],
              FormatNumber(thin.PrimaryAirKerma, "###0.0"));
}

TEST_F(DoseModels, TheValidatedDepthFactorIsRelativeToTheSurface) {
    auto state = State();
    // At depth 0 the factor is 1 by construction; the legacy one is the first layer's.
    state->calc.CouchEquivalentThickness = 0;
    EXPECT_NEAR(Calculated(*state, Inputs(DoseModel::Validated)).DepthFactor, 1, 1e-12);
    // Thin couches are defined from the surface on and attenuate: the legacy formula gives
    // every depth down to the first layer centre the same factor.
    double previous = 1;
    for (double depth : {0.05, 0.1, 0.2, 0.25, 0.3}) {
        state->calc.CouchEquivalentThickness = depth;
        const double validated = Calculated(*state, Inputs(DoseModel::Validated)).DepthFactor;
        EXPECT_LT(validated, previous) << depth;
        previous = validated;
    }
    state->calc.CouchEquivalentThickness = 0.1;
    const double legacy_thin = Calculated(*state, Inputs(DoseModel::Legacy)).DepthFactor;
    state->calc.CouchEquivalentThickness = 0.2;
    EXPECT_EQ(Calculated(*state, Inputs(DoseModel::Legacy)).DepthFactor, legacy_thin);
    // Below the 40th layer centre nothing has been computed, in either model; a negative
    // thickness is no couch the validated model can place.
    for (double depth : {19.8, -0.1}) {
        state->calc.CouchEquivalentThickness = depth;
        const CalculationOutcome outcome = RunCalculation(*state, Inputs(DoseModel::Validated));
        EXPECT_EQ(outcome.result, Result::DepthStepFailed) << depth;
        EXPECT_EQ(outcome.displays[kSkinDoseDisplay], "---");
    }
}

TEST_F(DoseModels, TheValidatedDepthFactorIsContinuousAtTheFirstLayerCentre) {
    auto state = State();
    state->calc.CouchEquivalentThickness = 0.25;
    const double at_centre = Calculated(*state, Inputs(DoseModel::Validated)).DepthFactor;
    for (double depth : {0.25 - 1e-9, 0.25 + 1e-9}) {
        state->calc.CouchEquivalentThickness = depth;
        EXPECT_NEAR(Calculated(*state, Inputs(DoseModel::Validated)).DepthFactor, at_centre, 1e-8);
    }
}

TEST_F(DoseModels, OnlyTheValidatedModelStatesItsUncertainty) {
    auto state = State();
    const CalculationOutcome legacy = RunCalculation(*state, Inputs(DoseModel::Legacy));
    ASSERT_EQ(legacy.result, Result::Succeeded);
    EXPECT_EQ(state->calc.SkinDoseUncertainty, 0);
    EXPECT_EQ(legacy.uncertainty_display, "");

    const CalculationOutcome validated = RunCalculation(*state, Inputs(DoseModel::Validated));
    ASSERT_EQ(validated.result, Result::Succeeded);
    const CalculationCase& c = state->calc;
    EXPECT_EQ(c.SkinDoseUncertainty, c.UncertaintyBudget.Expanded());
    EXPECT_EQ(validated.uncertainty_display,
              "± " + FormatNumber(100 * c.SkinDoseUncertainty, "#0") + " %");
    // At 70 cm the distance's ±2 cm dominate the budget.
    EXPECT_NEAR(c.UncertaintyBudget.FocusSkinDistance, 2 * (2 / std::sqrt(3.0)) / 70, 1e-15);
    EXPECT_GT(c.UncertaintyBudget.FocusSkinDistance, c.UncertaintyBudget.FieldSize);
    EXPECT_GT(c.UncertaintyBudget.FieldSize, 0);
    EXPECT_GT(c.SkinDoseUncertainty, 0.05);
    EXPECT_LT(c.SkinDoseUncertainty, 0.15);
}

TEST_F(DoseModels, TheFieldSizePartDoesNotDisturbTheNominalResult) {
    // The budget's runs with the field scaled come first; the tables and factors left behind
    // are the nominal field's, the same as a calculation by the legacy route gives.
    auto state = State();
    const CalculationCase validated = Calculated(*state, Inputs(DoseModel::Validated));
    const double first_layer_scatter = state->depth.ScatterDepthDose[1];
    state->calc.Model = DoseModel::Validated;
    ComputeBackscatterFactor(*state);
    ASSERT_TRUE(ComputeDepthFactor(*state).succeeded);
    EXPECT_EQ(state->calc.MeanBackscatterFactor, validated.MeanBackscatterFactor);
    EXPECT_EQ(state->calc.DepthFactor, validated.DepthFactor);
    EXPECT_EQ(state->depth.ScatterDepthDose[1], first_layer_scatter);
}

TEST_F(DoseModels, SmallFieldsAreMoreUncertainThanLargeOnes) {
    // The backscatter grows fastest with the side of a small field.
    auto state = State();
    CalculationInputs inputs = Inputs(DoseModel::Validated);
    inputs.FieldSizeText = "3.00";
    const double small = Calculated(*state, inputs).UncertaintyBudget.FieldSize;
    inputs.FieldSizeText = "30.00";
    const double large = Calculated(*state, inputs).UncertaintyBudget.FieldSize;
    EXPECT_GT(small, large);
}

TEST_F(DoseModels, FieldsFromThreeMillimetresCalculateInBothModels) {
    // Fluoroscopy's smallest fields: the depth step's ring fractions stay in 0..1, so the
    // scatter grows with the field and no logarithm meets a negative value.
    for (const DoseModel model : kDoseModels) {
        auto state = State();
        double previous = 0;
        for (const char* size : {"0.30", "0.50", "0.70", "0.90", "1.20", "1.50", "2.20", "3.00"}) {
            CalculationInputs inputs = Inputs(model);
            inputs.FieldSizeText = size;
            const CalculationOutcome outcome = RunCalculation(*state, inputs);
            ASSERT_EQ(outcome.result, Result::Succeeded) << size << ": " << outcome.reason;
            EXPECT_GT(state->calc.SkinDose, previous) << size;
            previous = state->calc.SkinDose;
        }
    }
}

TEST(UncertaintyBudget, PartsAndTheirCombination) {
    // The distance enters twice through the inverse square; rectangular limits over sqrt 3.
    const SkinDoseBudget parts = ValidatedSkinDoseBudget(65, 80, 0.01);
    EXPECT_NEAR(parts.FocusSkinDistance, 2 * 2 / std::sqrt(3.0) / 65, 1e-15);
    const double energy = 0.05 / std::sqrt(3.0);
    const double position = 2 * 0.5 / std::sqrt(3.0) / 80;
    EXPECT_NEAR(parts.Calibration, std::sqrt(0.015 * 0.015 + energy * energy + position * position),
                1e-15);
    EXPECT_EQ(parts.Model, budget::kModel);
    EXPECT_EQ(parts.Data, budget::kData);
    EXPECT_EQ(parts.FieldSize, 0.01);
    const double sum = parts.Model * parts.Model + parts.Data * parts.Data +
                       parts.Calibration * parts.Calibration +
                       parts.FocusSkinDistance * parts.FocusSkinDistance + 0.01 * 0.01;
    EXPECT_NEAR(parts.Expanded(), 2 * std::sqrt(sum), 1e-15);
    EXPECT_EQ(UncertaintyText(0.1049), "± 10 %");
    EXPECT_EQ(UncertaintyText(0.095), "± 10 %");
    EXPECT_THROW(ValidatedSkinDoseBudget(0, 80, 0.01), CalculationError);
    EXPECT_THROW(ValidatedSkinDoseBudget(65, -1, 0.01), CalculationError);
}

TEST(UncertaintyBudget, FieldSizePartFromTheScaledFields) {
    // Half the difference over the mean; one side alone against the nominal value.
    EXPECT_NEAR(*FieldSizePart(1.9, 2.0, 2.1), 0.05, 1e-15);
    EXPECT_NEAR(*FieldSizePart(std::nullopt, 2.0, 2.1), 0.05, 1e-15);
    EXPECT_NEAR(*FieldSizePart(1.8, 2.0, std::nullopt), 0.1, 1e-15);
    EXPECT_FALSE(FieldSizePart(std::nullopt, 2.0, std::nullopt).has_value());
    // The side carries half the relative uncertainty of the area.
    EXPECT_NEAR(FieldSideUncertainty(), 0.5 * 0.25 / std::sqrt(3.0), 1e-15);
}

}  // namespace
}  // namespace korvex
