// End-to-end checks of the bundled working folder (data/) through the engine, and the
// physical shape of its kernels.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "device/device_file.h"
#include "engine/backscatter.h"
#include "engine/beam_quality.h"
#include "engine/calculation_driver.h"
#include "engine/depth_dose.h"
#include "engine/engine_state.h"
#include "engine/field_stream.h"
#include "engine/reference_tables.h"
#include "engine/spectrum.h"
#include "engine/text_file.h"
#include "tests/fixtures/synthetic_workdir.h"

namespace korvex {
namespace {

const std::filesystem::path kBundled = KORVEX_BUNDLED_DATA_DIR;

const ReferenceTables& Bundled() {
    static const ReferenceTables tables = LoadReferenceTables(kBundled);
    return tables;
}

// A typical interventional beam: 12 degree tungsten anode, aluminium filtration only.
EngineState Beam(double kv, double aluminium_mm) {
    EngineState state(Bundled());
    state.calc.TargetAngle = 12;
    state.calc.InherentFiltration = 0.1 * aluminium_mm;
    state.calc.FocusReceptorDistance = 120;
    state.calc.TubeVoltage = kv;
    ComputeSpectrum(state, kv);
    return state;
}

double SquareFieldFactor(EngineState& state, double side_cm, double distance_cm) {
    state.calc.FieldShape = FieldShapeKind::Square;
    state.calc.SurfaceFieldSizeA = side_cm;
    state.calc.SurfaceFieldSizeB = side_cm;
    state.calc.EffectiveSurfaceDistance = distance_cm;
    ComputeBackscatterFactor(state);
    return state.calc.MeanBackscatterFactor;
}

TEST(BundledData, HalfValueLayersOfTheStandardQualities) {
    // IEC 61267 (2005) states the first HVL of its radiation qualities RQR 5 and 6 as 2.58
    // and 3.01 mm Al at 70 and 80 kV, which a tube with a total filtration near 3 mm Al
    // reaches. 2 %: the spread of the filtration real tubes need for the same quality is
    // larger. Above 80 kV the qualities need more filtration (docs/validation.md).
    const std::pair<double, double> qualities[] = {{70, 2.58}, {80, 3.01}};
    for (const auto& [kv, hvl] : qualities) {
        EngineState state = Beam(kv, 3.0);
        const BeamQuality quality = ComputeBeamQuality(state, kv);
        EXPECT_NEAR(quality.half_value_layer_mm / hvl, 1, 0.02) << kv << " kV";
    }
}

TEST(BundledData, DoseToKermaRatioOf80kVWith25mmAl) {
    EngineState state = Beam(80, 2.5);
    EXPECT_GE(state.calc.DoseToKermaRatio, 1.03);
    EXPECT_LE(state.calc.DoseToKermaRatio, 1.09);
}

TEST(BundledData, BackscatterFactorOf20cmSquareAt100cm) {
    EngineState state = Beam(80, 2.5);
    const double factor = SquareFieldFactor(state, 20, 100);
    EXPECT_GE(factor, 1.30);
    EXPECT_LE(factor, 1.50);
}

TEST(BundledData, BackscatterFactorRisesWithFieldSizeAndSaturates) {
    EngineState state = Beam(80, 2.5);
    std::vector<double> factors;
    for (double side : {2.0, 5.0, 10.0, 20.0, 30.0, 40.0}) {
        factors.push_back(SquareFieldFactor(state, side, 100));
    }
    for (std::size_t i = 1; i < factors.size(); ++i) {
        EXPECT_GT(factors[i], factors[i - 1]) << i;
    }
    // From 30 to 40 cm the factor gains far less than from 10 to 20 cm.
    EXPECT_LT(factors[5] - factors[4], 0.25 * (factors[3] - factors[2]));
    // Per energy column: the outermost 5 cm of the kernel add little to the total.
    for (int j = 2; j <= kKernelEnergyCount; ++j) {
        double total = 0;
        double outer = 0;
        for (int r = 1; r <= kBackscatterRingCount; ++r) {
            total += Bundled().BackscatterKernel(r, j);
            if (r > 250) {
                outer += Bundled().BackscatterKernel(r, j);
            }
        }
        EXPECT_LT(outer, 0.02 * total) << "column " << j;
    }
}

TEST(BundledData, OneKevColumnIsNearlyZero) {
    double total = 0;
    for (int r = 1; r <= kBackscatterRingCount; ++r) {
        total += Bundled().BackscatterKernel(r, 1);
    }
    EXPECT_LT(total, 1e-3);
    EXPECT_GE(total, 0.0);
}

std::vector<double> LayerTotals(int energy_kev) {
    const std::string name = fixtures::ScatterKernelFileName(energy_kev);
    FieldStream stream(ReadTextFile(kBundled / name, name), name);
    std::vector<double> totals(80, 0.0);
    for (int z = 0; z < 80; ++z) {
        for (int k = 0; k < 80; ++k) {
            totals[static_cast<std::size_t>(z)] += stream.RequireNumber();
        }
    }
    return totals;
}

TEST(BundledData, ScatterFallsWithDepthBeyondAFewCentimetres) {
    for (int e = 20; e <= 150; e += 5) {
        const std::vector<double> totals = LayerTotals(e);
        const auto peak = std::max_element(totals.begin(), totals.end());
        // The build-up of scatter ends within the first 8 cm (16 layers) ...
        EXPECT_LT(peak - totals.begin(), 16) << e << " keV";
        // ... and beyond, every 1 cm deeper holds less, down to 20 cm, wherever the
        // scatter is not already negligible.
        for (std::size_t z = 16; z + 2 < 40; z += 2) {
            if (totals[z] > 1e-3 * *peak) {
                EXPECT_LT(totals[z + 2], totals[z]) << e << " keV, layer " << z + 1;
            }
        }
    }
}

TEST(BundledData, DepthFactorAtOneCentimetre) {
    // 80 kV with 2.5 mm Al, a 20 cm square at 100 cm, the skin 1 cm deep behind the couch.
    EngineState state(Bundled(), kBundled);
    state.calc.TargetAngle = 12;
    state.calc.InherentFiltration = 0.25;
    state.calc.TubeVoltage = 80;
    ComputeSpectrum(state, 80);
    SquareFieldFactor(state, 20, 100);
    state.calc.CouchDepth = 1.0;
    const DepthStepResult result = ComputeDepthFactor(state);
    ASSERT_TRUE(result.succeeded) << result.reason;
    EXPECT_GE(state.calc.DepthFactor, 0.85);
    EXPECT_LE(state.calc.DepthFactor, 1.0);
}

TEST(BundledData, TheExampleDeviceCalculatesAtOnce) {
    // What a new user does first: pick the example device, enter the readings, calculate.
    EngineState state(Bundled(), kBundled);
    const LoadedDevice device = LoadDeviceFile(state, "サンプル_IVR室1.kvx2");
    EXPECT_EQ(device.TypicalTubeVoltage, "80");
    state.calc.DisplayedKar = 250;
    state.calc.DisplayedPka = 35.2;
    state.calc.FieldShape = FieldShapeKind::Square;
    CalculationInputs inputs{"胸部背面", "80", "250", "35.2", "65", "11.87"};
    inputs.Model = DoseModel::Legacy;
    const CalculationOutcome legacy = RunCalculation(state, inputs);
    ASSERT_EQ(legacy.result, CalculationOutcome::Result::Succeeded) << legacy.reason;
    // Published forward-plus-backscatter factors of such fields lie between 1.3 and 1.5;
    // the legacy factor is G B at the reference point.
    EXPECT_GT(state.calc.ForwardBackscatterFactor, 1.3);
    EXPECT_LT(state.calc.ForwardBackscatterFactor, 1.5);
    EXPECT_GT(state.calc.SkinDose, state.calc.PrimarySurfaceDose);
    const double legacy_dose = state.calc.SkinDose;

    inputs.Model = DoseModel::Validated;
    const CalculationOutcome validated = RunCalculation(state, inputs);
    ASSERT_EQ(validated.result, CalculationOutcome::Result::Succeeded) << validated.reason;
    // The skin lies at the reference point, so only the couch, now counted once, and the
    // depth factor's surface normalisation (within 6 %, docs/validation.md) tell the two
    // apart.
    EXPECT_NEAR(state.calc.SkinDose * state.calc.CouchTransmission / legacy_dose, 1, 0.06);
    // Behind a tissue-equivalent couch the skin lies 0.68 cm deep: its scatter is more than
    // a bare surface's, its primary less.
    EXPECT_GT(state.calc.ForwardBackscatterFactor, 1.5);
    EXPECT_LT(state.calc.ForwardBackscatterFactor, 2.0);
}

TEST(BundledData, HoldsTheFilterMaterials) {
    for (const char* name : {"tantalum.ele", "niobium.ele", "molybdenum.ele", "tin.ele",
                             "erbium.ele", "lead.ele", "pmma.ele"}) {
        EXPECT_TRUE(std::filesystem::is_regular_file(kBundled / name)) << name;
    }
}

}  // namespace
}  // namespace korvex
