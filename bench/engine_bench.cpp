// Times of the engine's steps on a synthetic working folder, in one run so that their
// ratios can be compared.
#include <benchmark/benchmark.h>

#include "engine/backscatter.h"
#include "engine/calculation_driver.h"
#include "engine/depth_dose.h"
#include "engine/engine_state.h"
#include "engine/reference_tables.h"
#include "engine/spectrum.h"
#include "tests/fixtures/synthetic_workdir.h"

namespace {

using namespace korvex;

const fixtures::TempFolder& Workdir() {
    static const fixtures::TempFolder folder;
    static const bool written = (fixtures::WriteSyntheticWorkdir(folder.path()), true);
    (void)written;
    return folder;
}

EngineState MakeState() {
    EngineState state(LoadReferenceTables(Workdir().path()));
    state.calc.TargetAngle = 12;
    state.calc.InherentFiltration = 0.25;
    state.calc.FocusReceptorDistance = 120;
    state.calc.EffectiveSurfaceDistance = 84;
    return state;
}

void BM_LoadReferenceTables(benchmark::State& bench) {
    for (auto _ : bench) {
        benchmark::DoNotOptimize(LoadReferenceTables(Workdir().path()));
    }
}
BENCHMARK(BM_LoadReferenceTables)->Unit(benchmark::kMillisecond);

void BM_ComputeSpectrum(benchmark::State& bench) {
    EngineState state = MakeState();
    const double voltage = static_cast<double>(bench.range(0));
    for (auto _ : bench) {
        ComputeSpectrum(state, voltage);
        benchmark::DoNotOptimize(state.calc.DoseToKermaRatio);
    }
}
BENCHMARK(BM_ComputeSpectrum)->Arg(80)->Arg(120)->Unit(benchmark::kMicrosecond);

void BM_ComputeBackscatterFactor(benchmark::State& bench, FieldShapeKind shape) {
    EngineState state = MakeState();
    state.calc.TubeVoltage = 80;
    state.calc.FieldShape = shape;
    state.calc.SurfaceFieldSizeA = 20;
    state.calc.SurfaceFieldSizeB = 20;
    ComputeSpectrum(state, 80);
    for (auto _ : bench) {
        ComputeBackscatterFactor(state);
        benchmark::DoNotOptimize(state.calc.MeanBackscatterFactor);
    }
}
BENCHMARK_CAPTURE(BM_ComputeBackscatterFactor, square_20cm, FieldShapeKind::Square)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ComputeBackscatterFactor, circle_20cm, FieldShapeKind::Circle)
    ->Unit(benchmark::kMicrosecond);

// The calculate button for a typical case: 80 kV, a 20 cm square at the reference point,
// a couch equivalent to 1 cm of phantom material.
EngineState CalculationState() {
    EngineState state(LoadReferenceTables(Workdir().path()), Workdir().path());
    CalculationCase& c = state.calc;
    c.TargetAngle = 12;
    c.InherentFiltration = 0.25;
    c.FocusReceptorDistance = 120;
    c.FocusIsocentreDistance = 100;
    c.CouchTransmission = 0.8;
    c.KermaCorrectionFactor = 1.05;
    c.CouchEquivalentThickness = 1.0;
    c.DisplayedKar = 100;
    c.DisplayedPka = 40;
    c.FieldShape = FieldShapeKind::Square;
    return state;
}

const CalculationInputs kTypicalInputs{.BodySiteText = "胸部背面",
                                       .TubeVoltageText = "80",
                                       .KarText = "100",
                                       .PkaText = "40",
                                       .FocusSkinDistanceText = "85",
                                       .FieldSizeText = "20.00"};

void RunOrFail(benchmark::State& bench, EngineState& state, DoseModel model = kDefaultDoseModel) {
    CalculationInputs inputs = kTypicalInputs;
    inputs.Model = model;
    const CalculationOutcome outcome = RunCalculation(state, inputs);
    if (outcome.result != CalculationOutcome::Result::Succeeded) {
        bench.SkipWithError(outcome.reason.c_str());
    }
    benchmark::DoNotOptimize(state.calc.SkinDose);
}

// Reading and parsing the 29 kernel files, nothing else.
void BM_ParseKernelFiles(benchmark::State& bench) {
    for (auto _ : bench) {
        for (int energy = 10; energy <= 150; energy += 5) {
            const std::string name = ScatterKernelFileName(energy);
            benchmark::DoNotOptimize(ReadScatterKernelFile(Workdir().path() / name, name));
        }
    }
}
BENCHMARK(BM_ParseKernelFiles)->Unit(benchmark::kMillisecond);

// A whole calculation with every kernel file read again.
void BM_CalculationColdKernels(benchmark::State& bench) {
    EngineState state = CalculationState();
    for (auto _ : bench) {
        state.kernel_cache.Clear();
        RunOrFail(bench, state);
    }
}
BENCHMARK(BM_CalculationColdKernels)->Unit(benchmark::kMillisecond);

// A whole calculation with the kernels cached (each file still checked on disk), by each
// model: the validated one runs the backscatter and depth steps three times, twice for the
// field-size part of its uncertainty.
void BM_CalculationWarmKernels(benchmark::State& bench, DoseModel model) {
    EngineState state = CalculationState();
    RunOrFail(bench, state, model);
    for (auto _ : bench) {
        RunOrFail(bench, state, model);
    }
}
BENCHMARK_CAPTURE(BM_CalculationWarmKernels, validated, DoseModel::Validated)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CalculationWarmKernels, legacy, DoseModel::Legacy)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
