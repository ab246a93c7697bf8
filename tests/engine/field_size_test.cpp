#include "engine/field_size.h"

#include <gtest/gtest.h>

#include <limits>

#include "engine/text_rules.h"

namespace korvex {
namespace {

TEST(ReferenceFieldSize, SquareSideAndCircleDiameterOfTheArea) {
    // 10 mGy and 1 Gy cm2 cover 100 cm2: a 10 cm square or a circle of 11.28 cm.
    EXPECT_DOUBLE_EQ(*ComputeReferenceFieldSize(FieldShapeKind::Square, 10, 1), 10.0);
    const double diameter = *ComputeReferenceFieldSize(FieldShapeKind::Circle, 10, 1);
    EXPECT_NEAR(diameter, 11.2838, 1e-4);
    EXPECT_EQ(FormatNumber(diameter, "#0.00"), "11.28");
    // 250 mGy and 35.2 Gy cm2: 140.8 cm2.
    EXPECT_NEAR(*ComputeReferenceFieldSize(FieldShapeKind::Square, 250, 35.2), 11.8659, 1e-4);
}

TEST(ReferenceFieldSize, NoSizeWithoutPositiveReadingsOrShape) {
    EXPECT_FALSE(ComputeReferenceFieldSize(FieldShapeKind::Square, 0, 1));
    EXPECT_FALSE(ComputeReferenceFieldSize(FieldShapeKind::Circle, 10, 0));
    EXPECT_FALSE(ComputeReferenceFieldSize(FieldShapeKind::Square, -10, 1));
    EXPECT_FALSE(ComputeReferenceFieldSize(FieldShapeKind::Unset, 10, 1));
    EXPECT_FALSE(ComputeReferenceFieldSize(FieldShapeKind::Square, 1e-300, 1e300));
    EXPECT_FALSE(ComputeReferenceFieldSize(FieldShapeKind::Square,
                                           std::numeric_limits<double>::quiet_NaN(), 1));
}

}  // namespace
}  // namespace korvex
