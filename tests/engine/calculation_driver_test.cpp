#include "engine/calculation_driver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "engine/depth_dose.h"
#include "engine/engine_state.h"
#include "engine/reference_tables.h"
#include "engine/text_rules.h"
#include "tests/engine/engine_test_support.h"
#include "tests/fixtures/synthetic_workdir.h"

namespace korvex {
namespace {

using Result = CalculationOutcome::Result;

// One complete synthetic working folder for the whole program, kernels included.
class CalculationDriver : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = std::make_unique<fixtures::TempFolder>();
        fixtures::WriteSyntheticWorkdir(folder_->path());
    }
    static void TearDownTestSuite() { folder_.reset(); }

    // A device as a loaded device file leaves it, and the inputs typed for it.
    static std::unique_ptr<EngineState> State(const std::filesystem::path& folder) {
        return testing::DeviceState(folder);
    }
    static std::unique_ptr<EngineState> State() { return State(folder_->path()); }

    static CalculationInputs Inputs() {
        return {.BodySiteText = "胸部背面",
                .TubeVoltageText = "80",
                .KarText = "100",
                .PkaText = "20",
                .FocusSkinDistanceText = "70",
                .FieldSizeText = "14.14",
                .Model = DoseModel::Legacy};
    }

    static std::unique_ptr<fixtures::TempFolder> folder_;
};

std::unique_ptr<fixtures::TempFolder> CalculationDriver::folder_;

TEST_F(CalculationDriver, MissingInputChangesNothingButTheBodySite) {
    for (std::string CalculationInputs::*field :
         {&CalculationInputs::TubeVoltageText, &CalculationInputs::KarText,
          &CalculationInputs::PkaText, &CalculationInputs::FocusSkinDistanceText}) {
        for (const char* text : {"", "0", "abc", " 0.0 ", "kV80"}) {
            auto state = State();
            state->calc.TubeVoltage = 55;
            state->calc.SkinDose = 7;
            CalculationInputs inputs = Inputs();
            inputs.BodySiteText = "頭部";
            inputs.*field = text;
            const CalculationOutcome outcome = RunCalculation(*state, inputs);
            EXPECT_EQ(outcome.result, Result::MissingInput) << text;
            ASSERT_TRUE(outcome.message.has_value());
            EXPECT_EQ(outcome.message->text, " 未入力の項目があります ");
            EXPECT_EQ(outcome.message->icon, MessageIcon::Exclamation);
            EXPECT_FALSE(outcome.message->beep);
            EXPECT_FALSE(outcome.enable_add_and_clear);
            for (const auto& display : outcome.displays) {
                EXPECT_FALSE(display.has_value());
            }
            EXPECT_EQ(state->calc.BodySite, "頭部");
            EXPECT_EQ(state->calc.TubeVoltage, 55);
            EXPECT_EQ(state->calc.SkinDose, 7);
        }
    }
}

TEST_F(CalculationDriver, SuccessfulCalculationShowsEveryValue) {
    auto state = State();
    CalculationInputs inputs = Inputs();
    inputs.TubeVoltageText = "80kV";
    const CalculationOutcome outcome = RunCalculation(*state, inputs);
    ASSERT_EQ(outcome.result, Result::Succeeded) << outcome.reason;
    EXPECT_FALSE(outcome.message.has_value());
    EXPECT_TRUE(outcome.enable_add_and_clear);

    const CalculationCase& c = state->calc;
    EXPECT_EQ(c.BodySite, "胸部背面");
    EXPECT_EQ(c.TubeVoltage, 80);
    EXPECT_EQ(c.FocusSkinDistance, 70);
    EXPECT_EQ(c.CouchDepth, 1.0);
    EXPECT_EQ(c.EffectiveSurfaceDistance, 69);
    EXPECT_EQ(c.ReferenceFieldSize, 14.14);
    // The field at the reference point (85 cm from the focus) scaled to 69 cm.
    EXPECT_NEAR(c.SurfaceFieldSizeA, 14.14 * 69 / 85, 1e-12);
    EXPECT_EQ(c.SurfaceFieldSizeB, c.SurfaceFieldSizeA);
    EXPECT_NEAR(c.CorrectedKar, 110, 1e-12);
    EXPECT_NEAR(c.CorrectedPka, 22, 1e-12);
    EXPECT_NEAR(c.PrimaryAirKerma, 88, 1e-12);

    // Every factor is a plausible number, and the dose follows from them.
    EXPECT_GT(c.DoseToKermaRatio, 0.9);
    EXPECT_LT(c.DoseToKermaRatio, 1.2);
    EXPECT_GT(c.MeanBackscatterFactor, 1.0);
    EXPECT_GT(c.DepthFactor, 0.5);
    EXPECT_LT(c.DepthFactor, 1.0);
    const double inverse_square = (70.0 / 69) * (70.0 / 69);
    const double expected_dose = c.DepthFactor * c.MeanBackscatterFactor * c.DoseToKermaRatio *
                                 inverse_square * 0.8 * 1.1 * 100;
    EXPECT_NEAR(c.SkinDose / expected_dose, 1, 1e-13);
    EXPECT_NEAR(c.PrimarySurfaceDose / (c.DoseToKermaRatio * 88), 1, 1e-13);
    EXPECT_NEAR(c.LayerSurfaceDose * c.DepthFactor / c.SkinDose, 1, 1e-13);

    // Each value in its own display and pattern.
    EXPECT_EQ(outcome.displays[0], "110.0");
    EXPECT_EQ(outcome.displays[1], "22.0");
    EXPECT_EQ(outcome.displays[2], "0.800");
    EXPECT_EQ(outcome.displays[3], "88.0");
    EXPECT_EQ(outcome.displays[4], FormatNumber(c.DoseToKermaRatio, "0.000"));
    EXPECT_EQ(outcome.displays[5], FormatNumber(c.ForwardBackscatterFactor, "0.000"));
    EXPECT_EQ(outcome.displays[6], FormatNumber(c.SkinDose, "0.0"));
}

TEST_F(CalculationDriver, ForwardBackscatterFactorDoesNotDependOnTheReading) {
    auto low = State();
    auto high = State();
    high->calc.DisplayedKar = 250;
    ASSERT_EQ(RunCalculation(*low, Inputs()).result, Result::Succeeded);
    ASSERT_EQ(RunCalculation(*high, Inputs()).result, Result::Succeeded);
    const CalculationCase& c = low->calc;
    const double expected = c.DepthFactor * c.MeanBackscatterFactor * (70.0 / 69) * (70.0 / 69);
    EXPECT_NEAR(c.ForwardBackscatterFactor / expected, 1, 1e-13);
    EXPECT_NEAR(high->calc.ForwardBackscatterFactor / expected, 1, 1e-13);
    EXPECT_NEAR(high->calc.SkinDose / c.SkinDose, 2.5, 1e-13);
}

TEST_F(CalculationDriver, EmptyBodySiteAndNoCouch) {
    auto state = State();
    state->calc.CouchEquivalentThickness = 0;
    CalculationInputs inputs = Inputs();
    inputs.BodySiteText = "";
    const CalculationOutcome outcome = RunCalculation(*state, inputs);
    ASSERT_EQ(outcome.result, Result::Succeeded) << outcome.reason;
    const CalculationCase& c = state->calc;
    EXPECT_EQ(c.BodySite, "---");
    EXPECT_EQ(c.EffectiveSurfaceDistance, 70);
    EXPECT_NEAR(c.DepthFactor, 1, 1e-15);
    EXPECT_NEAR(c.SkinDose / (c.MeanBackscatterFactor * c.DoseToKermaRatio * 0.8 * 1.1 * 100), 1,
                1e-13);
    EXPECT_NEAR(c.ForwardBackscatterFactor / c.MeanBackscatterFactor, 1, 1e-13);
}

TEST_F(CalculationDriver, TubeVoltageLimit) {
    auto state = State();
    CalculationInputs inputs = Inputs();
    inputs.TubeVoltageText = "149.5";
    EXPECT_EQ(RunCalculation(*state, inputs).result, Result::Succeeded);

    state->calc.SkinDose = 7;
    inputs.TubeVoltageText = "150";
    const CalculationOutcome outcome = RunCalculation(*state, inputs);
    EXPECT_EQ(outcome.result, Result::Failed);
    ASSERT_TRUE(outcome.message.has_value());
    EXPECT_EQ(outcome.message->text, "\u3000???  正しく計算できませんでした  ???   ");
    EXPECT_EQ(outcome.message->icon, MessageIcon::Exclamation);
    EXPECT_TRUE(outcome.message->beep);
    EXPECT_FALSE(outcome.enable_add_and_clear);
    // The spectrum was computed (its ratio shown); the backscatter step found no kernel
    // energy above 150 keV. The dose displays and the dose stay as they were.
    for (int i = 0; i <= 4; ++i) {
        EXPECT_TRUE(outcome.displays[i].has_value()) << i;
    }
    EXPECT_FALSE(outcome.displays[5].has_value());
    EXPECT_FALSE(outcome.displays[6].has_value());
    EXPECT_EQ(state->calc.SkinDose, 7);
    EXPECT_FALSE(outcome.reason.empty());
}

TEST_F(CalculationDriver, ArithmeticFailuresGoToTheFailureMessage) {
    {
        // Focus-isocentre distance 15 cm: the reference point is at the focus.
        auto state = State();
        state->calc.FocusIsocentreDistance = 15;
        const CalculationOutcome outcome = RunCalculation(*state, Inputs());
        EXPECT_EQ(outcome.result, Result::Failed);
        EXPECT_TRUE(outcome.displays[3].has_value());
        EXPECT_FALSE(outcome.displays[4].has_value());
    }
    {
        // No couch transmission: the forward-backscatter factor would be 0 / 0.
        auto state = State();
        state->calc.CouchTransmission = 0;
        state->calc.ForwardBackscatterFactor = 1.5;
        const CalculationOutcome outcome = RunCalculation(*state, Inputs());
        EXPECT_EQ(outcome.result, Result::Failed);
        EXPECT_EQ(outcome.displays[2], "0.000");
        EXPECT_FALSE(outcome.displays[5].has_value());
        EXPECT_EQ(state->calc.ForwardBackscatterFactor, 1.5);
    }
    {
        // A reading so large that the corrected value overflows.
        auto state = State();
        state->calc.DisplayedKar = 1e308;
        state->calc.KermaCorrectionFactor = 10;
        const CalculationOutcome outcome = RunCalculation(*state, Inputs());
        EXPECT_EQ(outcome.result, Result::Failed);
        EXPECT_FALSE(outcome.displays[0].has_value());
    }
}

TEST_F(CalculationDriver, DepthStepFailureShowsItsOwnMessage) {
    {
        // No shape chosen: no field size, a zero rectangle in the depth step.
        auto state = State();
        state->calc.FieldShape = FieldShapeKind::Unset;
        CalculationInputs inputs = Inputs();
        inputs.FieldSizeText = "";
        const CalculationOutcome outcome = RunCalculation(*state, inputs);
        EXPECT_EQ(outcome.result, Result::DepthStepFailed);
        EXPECT_NEAR(state->calc.MeanBackscatterFactor, 1.0, 1e-12);
        ASSERT_TRUE(outcome.message.has_value());
        EXPECT_EQ(outcome.message->text, " 正しく計算できません ");
        EXPECT_EQ(outcome.message->icon, MessageIcon::Exclamation);
        EXPECT_FALSE(outcome.message->beep);
        EXPECT_EQ(outcome.displays[5], "---");
        EXPECT_EQ(outcome.displays[6], "---");
        EXPECT_EQ(outcome.displays[4], FormatNumber(state->calc.DoseToKermaRatio, "0.000"));
        EXPECT_FALSE(outcome.enable_add_and_clear);
    }
    {
        fixtures::TempFolder folder;
        fixtures::WriteSyntheticWorkdir(folder.path());
        std::filesystem::remove(folder.path() / fixtures::ScatterKernelFileName(45));
        auto state = State(folder.path());
        for (int attempt = 0; attempt < 2; ++attempt) {
            const CalculationOutcome outcome = RunCalculation(*state, Inputs());
            EXPECT_EQ(outcome.result, Result::DepthStepFailed);
            EXPECT_EQ(outcome.displays[5], "---");
            EXPECT_EQ(outcome.displays[6], "---");
            EXPECT_NE(outcome.reason.find("PDS-data/45.dat"), std::string::npos) << outcome.reason;
        }
    }
}

}  // namespace
}  // namespace korvex
