#include "engine/backscatter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "engine/errors.h"
#include "engine/spectrum.h"
#include "tests/engine/engine_test_support.h"

namespace korvex {
namespace {

using testing::TypicalState;

// A state whose spectrum is computed at V and whose field is given at the surface.
EngineState FieldState(double v, FieldShapeKind shape, double size_cm, double distance_cm = 100) {
    EngineState state = TypicalState();
    state.calc.TubeVoltage = v;
    state.calc.FieldShape = shape;
    state.calc.SurfaceFieldSizeA = size_cm;
    state.calc.SurfaceFieldSizeB = size_cm;
    state.calc.EffectiveSurfaceDistance = distance_cm;
    ComputeSpectrum(state, v);
    return state;
}

// Kernel that is 1 in ring `ring` for every energy and 0 elsewhere.
void SingleRingKernel(EngineState& state, int ring) {
    state.tables.BackscatterKernel.Fill(0);
    for (int j = 1; j <= 31; ++j) {
        state.tables.BackscatterKernel(ring, j) = 1;
    }
}

double InverseSquare(double distance, int ring) {
    const double rho = 0.1 * ring - 0.05;
    return distance * distance / (distance * distance + rho * rho);
}

// Fraction of a circle of radius rho centred in a square of half side a that lies inside
// the square (a < rho < a * sqrt 2), from plain geometry with the exact pi.
double CircleInsideSquare(double rho, double a) {
    return 1 - 4 * std::acos(a / rho) / std::numbers::pi;
}

TEST(BackscatterFactor, ZeroCircularFieldGivesOne) {
    EngineState state = FieldState(80, FieldShapeKind::Unset, 0);
    ComputeBackscatterFactor(state);
    for (int j = 1; j <= 17; ++j) {
        EXPECT_EQ(state.work.FieldBackscatter[j], 1.0) << j;
    }
    EXPECT_NEAR(state.calc.MeanBackscatterFactor, 1.0, 1e-12);
    EXPECT_EQ(state.calc.FieldHalfLong, 0.0);
}

TEST(BackscatterFactor, DoseSpectrumIsNormalisedTissueDoseOfThePhotons) {
    EngineState state = FieldState(80, FieldShapeKind::Square, 10);
    ComputeBackscatterFactor(state);
    double sum = 0;
    for (int i = 2; i <= 160; ++i) {
        sum += 0.5 * i * state.work.PhotonSpectrum[i] * state.tables.MuEnTissue[i];
    }
    for (int i : {40, 100, 119, 160}) {
        const double expected =
            0.5 * i * state.work.PhotonSpectrum[i] * state.tables.MuEnTissue[i] / sum;
        EXPECT_NEAR(state.work.DoseSpectrum[i], expected, 1e-15) << i;
    }
}

TEST(BackscatterFactor, SquareSidesAreClampedBeforeHalving) {
    // A square of size 0 is a 1 cm square: half side 0.5, five whole rings.
    EngineState zero = FieldState(80, FieldShapeKind::Square, 0);
    EngineState half = FieldState(80, FieldShapeKind::Square, 0.5);
    EngineState one = FieldState(80, FieldShapeKind::Square, 1);
    for (EngineState* s : {&zero, &half, &one}) {
        ComputeBackscatterFactor(*s);
        EXPECT_EQ(s->calc.FieldHalfLong, 0.5);
        EXPECT_EQ(s->calc.FieldHalfShort, 0.5);
    }
    EXPECT_EQ(zero.calc.MeanBackscatterFactor, one.calc.MeanBackscatterFactor);
    EXPECT_GT(one.calc.MeanBackscatterFactor, 1.0);

    EngineState huge = FieldState(80, FieldShapeKind::Square, 55);
    EngineState forty = FieldState(80, FieldShapeKind::Square, 40);
    ComputeBackscatterFactor(huge);
    ComputeBackscatterFactor(forty);
    EXPECT_EQ(huge.calc.FieldHalfLong, 20.0);
    EXPECT_EQ(huge.calc.MeanBackscatterFactor, forty.calc.MeanBackscatterFactor);
}

TEST(BackscatterFactor, SquareRingsCountWholeInsideAndByArcInTheCorners) {
    // Half side 5 cm: rings 1..50 lie inside, rings 51..70 reach into the corners.
    for (int ring : {1, 50, 51, 60, 70, 71}) {
        EngineState state = FieldState(80, FieldShapeKind::Square, 10);
        SingleRingKernel(state, ring);
        ComputeBackscatterFactor(state);
        const double rho = 0.1 * ring - 0.05;
        double fraction = 1;
        if (ring > 70) {
            fraction = 0;
        } else if (ring > 50) {
            fraction = CircleInsideSquare(rho, 5);
        }
        const double expected = 1 + InverseSquare(100, ring) * fraction;
        EXPECT_NEAR(state.work.FieldBackscatter[5], expected, 2e-5) << "ring " << ring;
        EXPECT_NEAR(state.calc.MeanBackscatterFactor, expected, 2e-5) << "ring " << ring;
    }
}

TEST(BackscatterFactor, RectangleRingsBetweenTheLongSides) {
    // 10 x 20 cm: b = 5, a = 10. A ring of radius 7 cm crosses only the long sides.
    EngineState state = FieldState(80, FieldShapeKind::Square, 0);
    state.calc.SurfaceFieldSizeA = 10;
    state.calc.SurfaceFieldSizeB = 20;
    SingleRingKernel(state, 70);
    ComputeBackscatterFactor(state);
    EXPECT_EQ(state.calc.FieldHalfLong, 10);
    EXPECT_EQ(state.calc.FieldHalfShort, 5);
    const double rho = 6.95;
    const double inside = 1 - 2 * std::acos(5 / rho) / std::numbers::pi;
    EXPECT_NEAR(state.work.FieldBackscatter[3], 1 + InverseSquare(100, 70) * inside, 2e-5);
}

TEST(BackscatterFactor, CircleRadiusFollowsTheReceptorDistance) {
    // L equal to half the focus-receptor distance: the radius is half the field size.
    EngineState state = FieldState(80, FieldShapeKind::Circle, 10, 60);
    state.calc.FocusReceptorDistance = 120;
    SingleRingKernel(state, 50);
    ComputeBackscatterFactor(state);
    EXPECT_EQ(state.calc.FieldHalfLong, 5);
    EXPECT_NEAR(state.work.FieldBackscatter[1], 1 + InverseSquare(60, 50), 1e-15);
    SingleRingKernel(state, 51);
    ComputeBackscatterFactor(state);
    EXPECT_EQ(state.work.FieldBackscatter[1], 1.0);
}

TEST(BackscatterFactor, HighestKernelColumnFollowsTheVoltage) {
    // 80 kV needs columns up to 17 (80 keV); 82 kV up to 18 (85 keV).
    EngineState at80 = FieldState(80, FieldShapeKind::Square, 10);
    at80.work.FieldBackscatter[18] = -5;
    ComputeBackscatterFactor(at80);
    EXPECT_GT(at80.work.FieldBackscatter[17], 1.0);
    EXPECT_EQ(at80.work.FieldBackscatter[18], -5);

    EngineState at82 = FieldState(82, FieldShapeKind::Square, 10);
    at82.work.FieldBackscatter[18] = -5;
    at82.work.FieldBackscatter[19] = -5;
    ComputeBackscatterFactor(at82);
    EXPECT_GT(at82.work.FieldBackscatter[18], 1.0);
    EXPECT_EQ(at82.work.FieldBackscatter[19], -5);
}

TEST(BackscatterFactor, MeanInterpolatesBetweenKernelEnergies) {
    EngineState state = FieldState(80, FieldShapeKind::Square, 20);
    // Only the top bin (80 keV) carries weight: the factor is column 17 itself.
    for (long i = 1; i <= 300; ++i) {
        state.work.PhotonSpectrum[i] = 0;
    }
    state.work.PhotonSpectrum[160] = 1;
    ComputeBackscatterFactor(state);
    EXPECT_DOUBLE_EQ(state.calc.MeanBackscatterFactor, state.work.FieldBackscatter[17]);

    // 3 keV lies halfway between the 1 keV and the 5 keV column.
    state.work.PhotonSpectrum[160] = 0;
    state.work.PhotonSpectrum[6] = 1;
    ComputeBackscatterFactor(state);
    const double expected = 0.5 * (state.work.FieldBackscatter[1] + state.work.FieldBackscatter[2]);
    EXPECT_NEAR(state.calc.MeanBackscatterFactor, expected, 1e-15);

    // 62.5 keV: halfway between 60 and 65 keV.
    state.work.PhotonSpectrum[6] = 0;
    state.work.PhotonSpectrum[125] = 1;
    ComputeBackscatterFactor(state);
    EXPECT_NEAR(state.calc.MeanBackscatterFactor,
                0.5 * (state.work.FieldBackscatter[13] + state.work.FieldBackscatter[14]), 1e-15);
}

TEST(BackscatterFactor, FactorGrowsWithTheFieldAndStaysPlausible) {
    double previous = 1.0;
    for (double size : {2.0, 5.0, 10.0, 20.0, 30.0}) {
        EngineState state = FieldState(80, FieldShapeKind::Square, size);
        ComputeBackscatterFactor(state);
        EXPECT_GT(state.calc.MeanBackscatterFactor, previous) << size;
        previous = state.calc.MeanBackscatterFactor;
    }
    EXPECT_LT(previous, 2.0);
}

TEST(BackscatterFactor, FailuresOfTheStep) {
    // A circle of 301 rings runs beyond the kernel; 300 rings still fit.
    EngineState fits = FieldState(80, FieldShapeKind::Circle, 30.05);
    fits.calc.FocusReceptorDistance = 100;
    EXPECT_NO_THROW(ComputeBackscatterFactor(fits));
    EngineState too_big = FieldState(80, FieldShapeKind::Circle, 30.15);
    too_big.calc.FocusReceptorDistance = 100;
    EXPECT_THROW(ComputeBackscatterFactor(too_big), CalculationError);
    // The 40 cm radius limit does not keep a circle inside the kernel.
    EngineState limited = FieldState(80, FieldShapeKind::Circle, 80);
    limited.calc.FocusReceptorDistance = 100;
    EXPECT_THROW(ComputeBackscatterFactor(limited), CalculationError);
    // A square never fails this way: its clamped half diagonal is 28.3 cm.
    EngineState square = FieldState(80, FieldShapeKind::Square, 100);
    EXPECT_NO_THROW(ComputeBackscatterFactor(square));

    // 150 kV: the top bin finds no kernel energy above it.
    EngineState at150 = FieldState(150, FieldShapeKind::Square, 10);
    EXPECT_THROW(ComputeBackscatterFactor(at150), CalculationError);
    EngineState at149 = FieldState(149.5, FieldShapeKind::Square, 10);
    EXPECT_NO_THROW(ComputeBackscatterFactor(at149));

    // An all-zero spectrum.
    EngineState empty = FieldState(80, FieldShapeKind::Square, 10);
    for (long i = 1; i <= 300; ++i) {
        empty.work.PhotonSpectrum[i] = 0;
    }
    EXPECT_THROW(ComputeBackscatterFactor(empty), CalculationError);
    // A circle with no receptor distance.
    EngineState no_receptor = FieldState(80, FieldShapeKind::Circle, 10);
    no_receptor.calc.FocusReceptorDistance = 0;
    EXPECT_THROW(ComputeBackscatterFactor(no_receptor), CalculationError);
}

}  // namespace
}  // namespace korvex
