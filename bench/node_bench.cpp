// The dose-report node's two speeds: the archive computing a year's worth of synthetic
// reports (events per second, all outputs written: JSON, PDF, map, records, index) and the
// node receiving objects over DICOM on loopback (objects per second, each flushed to the
// spool before its acknowledgement). Sizes: KORVEX_ARCHIVE_EVENTS (default 100000, in
// studies of 200 events) and KORVEX_NODE_OBJECTS (default 400).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <future>
#include <sstream>
#include <thread>

#include "cli/commands.h"
#include "cli/dicom_node.h"
#include "cli/node_spool.h"
#include "tests/fixtures/dose_report_fixtures.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"

namespace {

using namespace korvex;
namespace fs = std::filesystem;

constexpr int kEventsPerStudy = 200;

int Setting(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && std::atoi(value) > 0 ? std::atoi(value) : fallback;
}

std::string Uid(int study, int object) {
    return "1.2.826.0.1.3680043.10.1417.8." + std::to_string(study) + "." + std::to_string(object);
}

struct Corpus {
    explicit Corpus(int studies, int events_per_study) {
        fixtures::WriteSyntheticWorkdir(work.path());
        fixtures::WriteTypicalDevice(work.path());
        fixtures::FixtureReport report = fixtures::MappedProcedureReport(events_per_study);
        for (int s = 0; s < studies; ++s) {
            report.study_instance_uid = Uid(s + 1, 0);
            report.sop_instance_uid = Uid(s + 1, 1);
            fixtures::WriteDoseReportFile(reports.path() / (std::to_string(s) + ".dcm"), report);
        }
    }
    fixtures::TempFolder work;
    fixtures::TempFolder reports;
};

void BM_ArchiveEvents(benchmark::State& bench) {
    const int studies = Setting("KORVEX_ARCHIVE_EVENTS", 100000) / kEventsPerStudy;
    const Corpus corpus(studies, kEventsPerStudy);
    for (auto _ : bench) {
        fixtures::TempFolder out;
        std::ostringstream stdout_text;
        std::ostringstream log;
        const int status = cli::RunCommandLine(
            {"archive", corpus.reports.path().string(), "--out", out.path().string(), "--device",
             "room1.kvx2", "--jobs", "2", "--workdir", corpus.work.path().string()},
            "/nowhere/korvex2-cli", stdout_text, log);
        if (status != 0) {
            bench.SkipWithError(log.str().c_str());
        }
    }
    bench.counters["events"] = static_cast<double>(studies) * kEventsPerStudy;
    bench.counters["events_per_s"] = benchmark::Counter(
        static_cast<double>(studies) * kEventsPerStudy * static_cast<double>(bench.iterations()),
        benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ArchiveEvents)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// storescu, 4 senders at once, each with its share of the objects.
void BM_NodeObjects(benchmark::State& bench) {
    const int objects = Setting("KORVEX_NODE_OBJECTS", 400);
    fixtures::TempFolder files;
    std::vector<std::string> commands(4);
    for (int o = 0; o < objects; ++o) {
        fixtures::FixtureReport report = fixtures::MappedProcedureReport(20);
        report.study_instance_uid = Uid(o / 10 + 1, 0);
        report.sop_instance_uid = Uid(o / 10 + 1, o % 10 + 1);
        const fs::path path = files.path() / (std::to_string(o) + ".dcm");
        fixtures::WriteDoseReportFile(path, report);
        commands[static_cast<size_t>(o % 4)] += " '" + path.string() + "'";
    }
    for (auto _ : bench) {
        bench.PauseTiming();
        fixtures::TempFolder out;
        const cli::Spool spool(out.path() / "spool");
        std::ostringstream log_text;
        cli::NodeLog log(log_text);
        std::atomic<bool> stop{false};
        std::promise<int> port;
        cli::NetworkOptions options;
        options.port = 0;
        std::thread node([&] {
            cli::RunStorageNode(
                options, spool, log, [](const std::string&) {}, [&](int p) { port.set_value(p); },
                stop);
        });
        const std::string where = " 127.0.0.1 " + std::to_string(port.get_future().get());
        bench.ResumeTiming();
        std::vector<std::future<int>> senders;
        for (const std::string& files_of_one : commands) {
            senders.push_back(std::async(std::launch::async, [&] {
                return std::system(("storescu -R -aec KORVEX2" + where + files_of_one).c_str());
            }));
        }
        for (std::future<int>& sender : senders) {
            if (sender.get() != 0) {
                bench.SkipWithError("storescu failed");
            }
        }
        bench.PauseTiming();
        stop = true;
        node.join();
        bench.ResumeTiming();
    }
    bench.counters["objects_per_s"] =
        benchmark::Counter(static_cast<double>(objects) * static_cast<double>(bench.iterations()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_NodeObjects)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
