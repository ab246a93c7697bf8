// Speed of the reference-data Monte Carlo: photon histories per second in soft tissue,
// from which the time of a full regeneration follows (histories per energy x energies).
#include <benchmark/benchmark.h>

#include <cstdint>

#include "tools/refdata/exposure_simulation.h"
#include "tools/refdata/kernel_simulation.h"
#include "tools/refdata/materials.h"
#include "tools/refdata/photon_tables.h"

namespace {

const korvex::refdata::PhotonTables& Tables() {
    static const korvex::refdata::PhotonTables tables(korvex::refdata::IcruSoftTissue(), 1.0,
                                                      150.0);
    return tables;
}

void BM_TissueHistories(benchmark::State& state) {
    const double energy = static_cast<double>(state.range(0));
    korvex::refdata::KernelTally tally;
    std::uint64_t history = 0;
    for (auto _ : state) {
        korvex::refdata::RandomStream random(1, 0, history++);
        korvex::refdata::TransportHistory(Tables(), energy, random, tally);
    }
    benchmark::DoNotOptimize(tally.escaped_energy);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TissueHistories)->Arg(30)->Arg(80)->Arg(150);

void BM_TissueTables(benchmark::State& state) {
    for (auto _ : state) {
        korvex::refdata::PhotonTables tables(korvex::refdata::IcruSoftTissue(), 1.0, 150.0);
        benchmark::DoNotOptimize(tables.KermaFactor(60));
    }
}
BENCHMARK(BM_TissueTables)->Unit(benchmark::kMillisecond);

// Histories per second of the full-exposure simulation: a square field of the given side
// at 65 cm, 0.7 cm of tissue on a 30 x 40 x 20 cm tissue slab, a spectrum of lines from 20
// to 80 keV; the validation matrix's run time follows (histories x exposures).
void BM_ExposureHistories(benchmark::State& state) {
    static const korvex::refdata::ExposureMedium tissue(korvex::refdata::IcruSoftTissue(), 1.0,
                                                        150.0);
    korvex::refdata::ExposureModel model;
    model.beam.field_size_cm = static_cast<double>(state.range(0));
    model.beam.reference_distance_cm = 65;
    model.beam.energy_kev = {20, 30, 40, 50, 60, 70, 80};
    model.beam.weight = {0.05, 0.2, 0.25, 0.2, 0.15, 0.1, 0.05};
    model.disc.skin_distance_cm = 65;
    model.dose_medium = &tissue;
    model.blocks = {{{-15, 15, -20, 20, 65, 85}, &tissue},
                    {{-25, 25, -100, 100, 64.3, 65}, &tissue}};
    const korvex::refdata::ExposureSimulation simulation(model);
    korvex::refdata::ExposureTally tally;
    std::uint64_t history = 0;
    for (auto _ : state) {
        korvex::refdata::RandomStream random(1, korvex::refdata::kExposureStream, history++);
        simulation.RunHistory(random, tally);
    }
    benchmark::DoNotOptimize(tally.tissue_next_event);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ExposureHistories)->Arg(10)->Arg(25);

}  // namespace

BENCHMARK_MAIN();
