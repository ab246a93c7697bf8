#include "engine/device_calibration.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/engine_state.h"
#include "tests/engine/engine_test_support.h"

namespace korvex {
namespace {

using testing::TypicalState;

// Air-kerma transmission of the spectrum left in AirKermaSpectrum (normalised, bins
// 2..2V) through x cm of phantom material.
double Transmission(const EngineState& state, double kv, double x_cm) {
    double weighted = 0;
    double total = 0;
    for (int e = 2; e <= static_cast<int>(2 * kv); ++e) {
        const double w = state.work.AirKermaSpectrum[e];
        weighted += w * std::exp(-state.tables.MuPhantom[e] * x_cm);
        total += w;
    }
    return weighted / total;
}

// Thickness with the given transmission, by bisection on the exact transmission curve.
double ThicknessFor(const EngineState& state, double kv, double transmission) {
    double low = 0;
    double high = 10;
    for (int i = 0; i < 100; ++i) {
        const double mid = 0.5 * (low + high);
        (Transmission(state, kv, mid) > transmission ? low : high) = mid;
    }
    return 0.5 * (low + high);
}

TEST(DeviceCalibration, ValuesFromOneSetOfMeasurements) {
    EngineState state = TypicalState();
    state.calc.TubeVoltage = 95;
    state.calc.DoseToKermaRatio = 1.234;
    ComputeDeviceCalibration(state, 2.000, 1.700, 1.000, 100, 80);

    EXPECT_DOUBLE_EQ(state.calc.CouchTransmission, 0.85);
    // 2 x (100 / 85)^2
    EXPECT_NEAR(state.calc.KermaCorrectionFactor, 2.768166, 5e-7);

    // The thickness lies between the 0.1 cm steps that bracket 0.85, and linear
    // interpolation of the slightly convex curve lands within a few micrometres of the
    // exact solution.
    const double thickness = state.calc.CouchEquivalentThickness;
    const double steps_below = std::floor(thickness / 0.1);
    EXPECT_GE(Transmission(state, 80, 0.1 * steps_below), 0.85);
    EXPECT_LT(Transmission(state, 80, 0.1 * (steps_below + 1)), 0.85);
    EXPECT_NEAR(thickness, ThicknessFor(state, 80, 0.85), 2e-3);
    EXPECT_GT(thickness, 0.1);

    // The spectrum was computed for the room's beam, not for the case.
    EXPECT_EQ(state.calc.TubeVoltage, 95);
    EXPECT_EQ(state.calc.DoseToKermaRatio, 1.234);
    EXPECT_GT(state.work.PhotonSpectrum[160], 0.0);
    EXPECT_EQ(state.work.PhotonSpectrum[161], 0.0);
}

TEST(DeviceCalibration, CouchWithoutAttenuationHasNoThickness) {
    EngineState state = TypicalState();
    ComputeDeviceCalibration(state, 1.5, 1.5, 1.2, 80, 70);
    EXPECT_EQ(state.calc.CouchTransmission, 1.0);
    EXPECT_EQ(state.calc.CouchEquivalentThickness, 0.0);
    EXPECT_EQ(state.work.TissueTransmission[0], 1.0);
    EXPECT_LT(state.work.TissueTransmission[1], 1.0);
}

TEST(DeviceCalibration, TransmissionEqualToAStepGoesOneStepFurther) {
    EngineState state = TypicalState();
    state.calc.CouchTransmission = 0.7;
    ComputeCouchEquivalentThickness(state, 80);
    const double at_three_steps = state.work.TissueTransmission[3];
    ASSERT_GT(at_three_steps, 0.7);

    state.calc.CouchTransmission = at_three_steps;
    state.work.TissueTransmission[4] = -1;
    state.work.TissueTransmission[5] = -1;
    ComputeCouchEquivalentThickness(state, 80);
    EXPECT_NEAR(state.calc.CouchEquivalentThickness, 0.3, 1e-12);
    // T(3) >= Tc keeps the search going: step 4 is computed, step 5 is not.
    EXPECT_GT(state.work.TissueTransmission[4], 0.0);
    EXPECT_LT(state.work.TissueTransmission[4], at_three_steps);
    EXPECT_EQ(state.work.TissueTransmission[5], -1);
}

TEST(DeviceCalibration, TransmissionNearTheTenCentimetreLimit) {
    EngineState state = TypicalState();
    ComputeDeviceCalibration(state, 1, 0.5, 1, 100, 80);  // leaves the 80 kV spectrum
    const double at_ten_cm = Transmission(state, 80, 10);

    ComputeDeviceCalibration(state, 1, at_ten_cm * 1.001, 1, 100, 80);
    EXPECT_GT(state.calc.CouchEquivalentThickness, 9.9);
    EXPECT_LE(state.calc.CouchEquivalentThickness, 10.0);

    EXPECT_THROW(ComputeDeviceCalibration(state, 1, at_ten_cm * 0.999, 1, 100, 80),
                 CalibrationInputError);
}

TEST(DeviceCalibration, RefusedInputsChangeNothing) {
    struct Inputs {
        double k0, k1, kd, fid, kv;
        const char* what;
    };
    const Inputs refused[] = {
        {0, 1.7, 1, 100, 80, "no kerma without the couch"},
        {-2, 1.7, 1, 100, 80, "negative kerma without the couch"},
        {2, 0, 1, 100, 80, "no kerma with the couch"},
        {2, 1.7, 0, 100, 80, "no displayed kerma"},
        {2, 1.7, 1, 15, 80, "reference point at the focus"},
        {2, 1.7, 1, 10, 80, "reference point behind the focus"},
        {2, 1.7, 1, 100, 0, "no tube voltage"},
        {2, 1.7, 1, 100, 0.4, "tube voltage without a spectrum"},
        {2, 1.7, 1, 100, 200, "tube voltage beyond the energy grid"},
        {2, 2.1, 1, 100, 80, "couch transmission above 1"},
        {2, 1e-9, 1, 100, 80, "couch transmission at or below 10 cm of phantom"},
        {std::nan(""), 1.7, 1, 100, 80, "not a number"},
    };
    for (const Inputs& in : refused) {
        EngineState state = TypicalState();
        state.calc.CouchTransmission = 0.9;
        state.calc.KermaCorrectionFactor = 1.05;
        state.calc.CouchEquivalentThickness = 0.42;
        state.work.PhotonSpectrum[50] = 0.25;
        state.work.TissueTransmission[1] = 0.5;
        try {
            ComputeDeviceCalibration(state, in.k0, in.k1, in.kd, in.fid, in.kv);
            ADD_FAILURE() << "accepted: " << in.what;
        } catch (const CalibrationInputError& error) {
            EXPECT_GT(std::string(error.what()).size(), 10u) << in.what;
        }
        EXPECT_EQ(state.calc.CouchTransmission, 0.9) << in.what;
        EXPECT_EQ(state.calc.KermaCorrectionFactor, 1.05) << in.what;
        EXPECT_EQ(state.calc.CouchEquivalentThickness, 0.42) << in.what;
        EXPECT_EQ(state.work.PhotonSpectrum[50], 0.25) << in.what;
        EXPECT_EQ(state.work.TissueTransmission[1], 0.5) << in.what;
    }

    // A target angle of 0 gives no spectrum either.
    EngineState state = TypicalState();
    state.calc.TargetAngle = 0;
    EXPECT_THROW(ComputeDeviceCalibration(state, 2, 1.7, 1, 100, 80), CalibrationInputError);
    EXPECT_EQ(state.calc.CouchTransmission, 0.0);
}

}  // namespace
}  // namespace korvex
