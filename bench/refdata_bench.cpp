// Speed of the reference-data Monte Carlo: photon histories per second in soft tissue,
// from which the time of a full regeneration follows (histories per energy x energies).
#include <benchmark/benchmark.h>

#include <cstdint>

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

}  // namespace

BENCHMARK_MAIN();
