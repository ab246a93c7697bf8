#include "exposure/exposure_form.h"

#include <gtest/gtest.h>

#include "engine/engine_state.h"
#include "engine/errors.h"
#include "engine/reference_tables.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"

namespace korvex {
namespace {

class ExposureFormTest : public ::testing::Test {
  protected:
    static const std::filesystem::path& Prepared(const fixtures::TempFolder& folder) {
        fixtures::WriteSyntheticWorkdir(folder.path());
        fixtures::WriteTypicalDevice(folder.path());
        fixtures::WriteTypicalDevice(folder.path(), "near.kvx2", "65.2");
        return folder.path();
    }

    fixtures::TempFolder folder_;
    EngineState state_{LoadReferenceTables(Prepared(folder_)), folder_.path()};
    ExposureForm form_{state_};
};

TEST_F(ExposureFormTest, TypicalExposureGivesTheEngineDisplays) {
    form_.ChooseDevice("room1.kvx2");
    EXPECT_TRUE(form_.HasDevice());
    EXPECT_EQ(form_.Text(ExposureField::TubeVoltage), "80");
    EXPECT_EQ(form_.Text(ExposureField::FocusSkinDistance), "85");
    EXPECT_EQ(form_.Display().TargetAngle, "12.0");
    EXPECT_EQ(form_.Display().AddedCopper, "0.10");
    EXPECT_EQ(form_.Display().FilterMaterial, "-");
    EXPECT_EQ(form_.Display().FocusIsocentreDistance, "100.0");

    form_.Enter(ExposureField::BodySite, "胸部背面");
    form_.Enter(ExposureField::Kar, "10");
    form_.Enter(ExposureField::Pka, "1");
    ASSERT_TRUE(form_.ChooseShape(FieldShapeKind::Circle));
    EXPECT_EQ(form_.FieldSizeText(), "11.28");
    EXPECT_EQ(form_.FieldSizeName(), "直 径");
    ASSERT_TRUE(form_.ChooseShape(FieldShapeKind::Square));
    EXPECT_EQ(form_.FieldSizeText(), "10.00");
    EXPECT_EQ(form_.FieldSizeName(), "正方形 一辺長");

    const CalculationOutcome outcome = form_.Calculate();
    const fixtures::DirectCalculation direct = fixtures::CalculateTypicalExposure(folder_.path());
    ASSERT_EQ(outcome.result, CalculationOutcome::Result::Succeeded) << outcome.reason;
    EXPECT_EQ(outcome.displays, direct.outcome.displays);
    EXPECT_EQ(state_.calc.SkinDose, direct.calc.SkinDose);
    EXPECT_EQ(state_.calc.BodySite, "胸部背面");
}

// A text handed over without Enter or leaving the field still counts: the calculation
// never uses the reading stored before it.
TEST_F(ExposureFormTest, CalculationTakesEveryTextAsItIsNow) {
    form_.ChooseDevice("room1.kvx2");
    form_.Enter(ExposureField::Kar, "10");
    form_.Enter(ExposureField::Pka, "1");
    ASSERT_TRUE(form_.ChooseShape(FieldShapeKind::Square));
    form_.SetText(ExposureField::Kar, "20");
    form_.SetText(ExposureField::Pka, "2");
    form_.SetText(ExposureField::TubeVoltage, "90");
    ASSERT_EQ(form_.Calculate().result, CalculationOutcome::Result::Succeeded);
    EXPECT_DOUBLE_EQ(state_.calc.DisplayedKar, 20);
    EXPECT_DOUBLE_EQ(state_.calc.CorrectedKar, 1.05 * 20);
    EXPECT_DOUBLE_EQ(state_.calc.CorrectedPka, 1.05 * 2);
    EXPECT_DOUBLE_EQ(state_.calc.TubeVoltage, 90);

    form_.SetText(ExposureField::Kar, "");
    const CalculationOutcome refused = form_.Calculate();
    EXPECT_EQ(refused.result, CalculationOutcome::Result::MissingInput);
    EXPECT_DOUBLE_EQ(state_.calc.DisplayedKar, 0);
}

TEST_F(ExposureFormTest, ShapeNeedsBothReadingsAndARefusalKeepsThePreviousChoice) {
    form_.ChooseDevice("room1.kvx2");
    form_.Enter(ExposureField::Kar, "10");
    EXPECT_FALSE(form_.ChooseShape(FieldShapeKind::Square));
    EXPECT_EQ(form_.Shape(), FieldShapeKind::Unset);
    EXPECT_EQ(form_.FieldSizeName(), "正 方 形");
    EXPECT_EQ(form_.FieldSizeText(), "");

    form_.Enter(ExposureField::Pka, "1");
    ASSERT_TRUE(form_.ChooseShape(FieldShapeKind::Square));
    // A zero reading gives no size (no division by zero): the square stays chosen.
    form_.Enter(ExposureField::Kar, "0");
    EXPECT_FALSE(form_.ChooseShape(FieldShapeKind::Circle));
    EXPECT_EQ(form_.Shape(), FieldShapeKind::Square);
    EXPECT_EQ(state_.calc.FieldShape, FieldShapeKind::Square);
    EXPECT_EQ(form_.FieldSizeText(), "10.00");
    // The size is not recomputed when a reading changes, only when a shape is chosen.
    form_.Enter(ExposureField::Kar, "40");
    EXPECT_EQ(form_.FieldSizeText(), "10.00");
    ASSERT_TRUE(form_.ChooseShape(FieldShapeKind::Square));
    EXPECT_EQ(form_.FieldSizeText(), "5.00");
}

TEST_F(ExposureFormTest, DeviceDefaultsAndAFailedLoadChangeNothing) {
    form_.ChooseDevice("near.kvx2");
    EXPECT_EQ(form_.Text(ExposureField::FocusSkinDistance), "50");
    EXPECT_EQ(form_.Display().FocusIsocentreDistance, "65.2");
    EXPECT_EQ(DefaultFocusSkinDistanceText(state_.calc), "50");

    form_.Enter(ExposureField::FocusSkinDistance, "70");
    EXPECT_THROW(form_.ChooseDevice("missing.kvx2"), FileError);
    EXPECT_EQ(form_.Text(ExposureField::FocusSkinDistance), "70");
    EXPECT_DOUBLE_EQ(state_.calc.FocusIsocentreDistance, 65.2);

    form_.ForgetDeviceDisplay();
    EXPECT_EQ(form_.Display().FocusIsocentreDistance, "");
    EXPECT_EQ(form_.Display().FilterMaterial, "-");
    EXPECT_DOUBLE_EQ(state_.calc.FocusIsocentreDistance, 65.2);

    form_.UseAddedFilters(2.5, 0.9);
    EXPECT_DOUBLE_EQ(state_.calc.AddedAluminium, 0.25);
    EXPECT_DOUBLE_EQ(state_.calc.AddedCopper, 0.09);

    form_.Reset();
    EXPECT_FALSE(form_.HasDevice());
    EXPECT_EQ(form_.Display().FilterMaterial, "―");
    EXPECT_EQ(form_.Text(ExposureField::FocusSkinDistance), "");
}

}  // namespace
}  // namespace korvex
