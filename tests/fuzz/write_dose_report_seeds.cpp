// Writes the synthetic dose reports of the tests as the dose-report fuzzer's seeds:
//   write_dose_report_seeds FOLDER
// Small reports only: a seed's size bounds what the fuzzer mutates per run.
#include <cstdio>
#include <exception>
#include <filesystem>

#include "tests/fixtures/dose_report_fixtures.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_dose_report_seeds FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    try {
        std::filesystem::create_directories(folder);
        for (const korvex::fixtures::NamedFixture& fixture :
             korvex::fixtures::AllDoseReportFixtures()) {
            if (fixture.report.events.size() <= 20) {
                korvex::fixtures::WriteDoseReportFile(folder / (fixture.name + ".dcm"),
                                                      fixture.report);
            }
        }
        // The smallest whole report: one event with every item.
        korvex::fixtures::FixtureReport single = korvex::fixtures::StandardReport();
        single.events.resize(1);
        korvex::fixtures::WriteDoseReportFile(folder / "single_event.dcm", single);
        korvex::fixtures::WriteDoseReportFile(folder / "not_dose_report.dcm",
                                              korvex::fixtures::NotDoseReport());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
