// Times of the engine's steps on a synthetic working folder, in one run so that their
// ratios can be compared.
#include <benchmark/benchmark.h>

#include "engine/backscatter.h"
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

}  // namespace

BENCHMARK_MAIN();
