// Reading and calculating the 100-event biplane report on a synthetic working folder:
// cold (kernel files not yet read, no spectrum computed) and warm (a second report in the
// same program run).
#include <benchmark/benchmark.h>

#include "dose_report/dose_report_reader.h"
#include "dose_report/report_calculation.h"
#include "engine/engine_state.h"
#include "engine/reference_tables.h"
#include "tests/fixtures/dose_report_fixtures.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"

namespace {

using namespace korvex;

struct Workdir {
    Workdir() {
        fixtures::WriteSyntheticWorkdir(folder.path());
        fixtures::WriteTypicalDevice(folder.path());
        fixtures::WriteDoseReportFile(report, fixtures::HundredEventBiplaneReport());
    }
    fixtures::TempFolder folder;
    std::filesystem::path report = folder.path() / "hundred.dcm";
};

const Workdir& Folder() {
    static const Workdir workdir;
    return workdir;
}

void ReadAndCalculate(benchmark::State& bench, EngineState& state) {
    const std::vector<DoseReport> reports{ReadDoseReport(Folder().report)};
    const ReportCalculation result =
        CalculateDoseReports(state, reports, {"room1.kvx2", ""}, DoseThresholds{});
    if (result.summary.calculated != 100) {
        bench.SkipWithError("not every event was calculated");
    }
    benchmark::DoNotOptimize(result.summary.peak_skin_dose_mgy);
}

void BM_ReadDoseReport(benchmark::State& bench) {
    for (auto _ : bench) {
        benchmark::DoNotOptimize(ReadDoseReport(Folder().report));
    }
}
BENCHMARK(BM_ReadDoseReport)->Unit(benchmark::kMillisecond);

// A fresh state each time: the 29 kernel files are read and every spectrum is computed.
void BM_HundredEventsCold(benchmark::State& bench) {
    const ReferenceTables tables = LoadReferenceTables(Folder().folder.path());
    for (auto _ : bench) {
        EngineState state(tables, Folder().folder.path());
        ReadAndCalculate(bench, state);
    }
}
BENCHMARK(BM_HundredEventsCold)->Unit(benchmark::kMillisecond);

// The same state again: kernels and spectra already known.
void BM_HundredEventsWarm(benchmark::State& bench) {
    EngineState state(LoadReferenceTables(Folder().folder.path()), Folder().folder.path());
    ReadAndCalculate(bench, state);
    for (auto _ : bench) {
        ReadAndCalculate(bench, state);
    }
}
BENCHMARK(BM_HundredEventsWarm)->Unit(benchmark::kMillisecond);

// Kernels kept, spectra forgotten: each of the 18 distinct spectra is computed once again
// (a second report of other tube voltages in the same session).
void BM_HundredEventsWarmKernelsOnly(benchmark::State& bench) {
    EngineState state(LoadReferenceTables(Folder().folder.path()), Folder().folder.path());
    ReadAndCalculate(bench, state);
    for (auto _ : bench) {
        state.spectrum_cache.Clear();
        ReadAndCalculate(bench, state);
    }
}
BENCHMARK(BM_HundredEventsWarmKernelsOnly)->Unit(benchmark::kMillisecond);

// The skin-dose map of a 500-event procedure with its whole geometry: the events placed
// and calculated once, then only the map (cells ready, 500 fields added, the summary).
const ReportCalculation& FiveHundredEvents() {
    static const ReportCalculation result = [] {
        const std::filesystem::path file = Folder().folder.path() / "five_hundred.dcm";
        fixtures::WriteDoseReportFile(file, fixtures::MappedProcedureReport(500));
        EngineState state(LoadReferenceTables(Folder().folder.path()), Folder().folder.path());
        return CalculateDoseReports(state, {ReadDoseReport(file)}, {"room1.kvx2", ""},
                                    DoseThresholds{});
    }();
    return result;
}

void BM_FiveHundredEventMapOnly(benchmark::State& bench) {
    const ReportCalculation& result = FiveHundredEvents();
    if (result.skin_map.events_on_map != 500) {
        bench.SkipWithError("not every event is on the map");
        return;
    }
    for (auto _ : bench) {
        SkinDoseMap map = EmptySkinDoseMap(result.skin_map.map.patient);
        const SkinMapper mapper(map);
        for (const MapBeam& beam : result.skin_map.beams) {
            mapper.Add(beam, map);
        }
        SummariseSkinDoseMap(map);
        benchmark::DoNotOptimize(map.peak.dose_mgy);
    }
}
BENCHMARK(BM_FiveHundredEventMapOnly)->Unit(benchmark::kMillisecond);

// The whole report of 500 events with its map, on a warm state: reading, every event's
// dose (and a second one where a field spans the table's edge), the map.
void BM_FiveHundredEventReportWithMap(benchmark::State& bench) {
    const std::filesystem::path file = Folder().folder.path() / "five_hundred.dcm";
    FiveHundredEvents();
    EngineState state(LoadReferenceTables(Folder().folder.path()), Folder().folder.path());
    for (auto _ : bench) {
        const ReportCalculation result = CalculateDoseReports(state, {ReadDoseReport(file)},
                                                              {"room1.kvx2", ""}, DoseThresholds{});
        benchmark::DoNotOptimize(result.skin_map.map.peak.dose_mgy);
    }
}
BENCHMARK(BM_FiveHundredEventReportWithMap)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
