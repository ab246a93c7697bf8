#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/help_text.h"
#include "cli/json_output.h"
#include "dose_report/dose_report.h"
#include "dose_report/report_calculation.h"
#include "engine/engine_state.h"

namespace CLI {
class App;
}

namespace korvex::cli {

// `korvex2-cli report FILE... --device DEV [--fsd CM] [--model M] [--format json|csv]
// [--with-patient] [--map FILE.png] [--pdf FILE.pdf]`.
struct ReportRequest {
    std::vector<std::string> files;
    std::string device;
    std::string fsd;              // empty: the device's default
    std::string format = "json";  // "json" or "csv"
    bool with_patient = false;    // patient name and ID only when asked for
    std::string map_png;          // the skin-dose map's picture; empty: none
    std::string pdf;              // the printed dose report; empty: none
    DoseModel model = kDefaultDoseModel;
    bool japanese = true;  // reasons and notes in Japanese, else in English
};

void AddReportCommand(CLI::App& app, const Help& help, ReportRequest& request);

// Reads every file, calculates every event and writes the result to `out` (JSON or CSV);
// returns 0 when every file was read, events that could not be calculated included. A file
// that is no dose report, or a device that cannot be loaded, is an input file failure
// naming it, a distance that is no positive number a usage error (CommandFailure). A
// problem with the dose thresholds file is noted on `err` and the defaults are used.
int RunReport(EngineState& state, const ReportRequest& request, std::ostream& out,
              std::ostream& err);

// The whole result as JSON: Model, Device, FocusSkinDistance, Files, Events, Groups, Summary.
// Each event's reason and its Notes ({Code, Text, Value}) are in Japanese or English; the
// engine's own words, where it failed, are NotCalculatedDetail.
Json ReportJson(const std::vector<DoseReport>& reports, const ReportCalculation& result,
                bool with_patient, bool japanese = true);

// One line per event with a header, UTF-8, fields quoted where they hold a comma, a quote
// or a line break (RFC 4180); the event's notes in one field, "code: text [value]" each,
// separated by " | ".
void WriteReportCsv(std::ostream& out, const std::vector<DoseReport>& reports,
                    const ReportCalculation& result, bool japanese = true);

}  // namespace korvex::cli
