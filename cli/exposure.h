#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/failure.h"
#include "cli/json_output.h"
#include "engine/calculation_driver.h"
#include "engine/engine_state.h"

namespace korvex::cli {

// One exposure as the user would enter it on the main window.
struct Exposure {
    std::string device;  // bare device file name in the working folder
    std::string site;    // body site; empty gives "---"
    std::string kv;      // tube voltage text; empty: the device's typical voltage
    std::string kar;     // displayed Ka,r text, mGy
    std::string pka;     // displayed P_KA text, Gy*cm^2
    std::string shape;   // "square", "circle" or "none"
    std::string fsd;     // focus-skin distance text, cm; empty: isocentre distance - 15
    DoseModel model = kDefaultDoseModel;
};

struct ExposureResult {
    CalculationOutcome outcome;
    std::string field_size_text;  // what the field-size display shows ("#0.00" or empty)
};

// Largest exposure list read: fifteen lines of seven short values take far less.
inline constexpr std::size_t kMaxExposureFileBytes = 1024 * 1024;

// The exposures of a list (UTF-8 CSV; header device,site,kv,kar,pka,shape,fsd on its
// first line that is not blank), each with its line number. A wrong header, a line without
// seven values and a list without header are an input file failure (CommandFailure,
// ExitCode::InputFile, File `file_label`) whose message names the line.
std::vector<std::pair<int, Exposure>> ParseExposures(std::string_view text,
                                                     const std::string& file_label);

// Does what the window does: loads the device (FileError when it cannot), fills the
// fields and stores them, chooses the field shape (a shape that cannot be sized stays
// unchosen, as the window's option would), then calculates. A shape that is none of
// square, circle and none is a UsageError.
ExposureResult RunExposure(EngineState& state, const Exposure& exposure);

// A calculation the engine refused (any result but Succeeded and MissingInput): the
// window's message, the engine's reason and the model.
Failure CalculationFailure(const CalculationOutcome& outcome, DoseModel model);

// The calculation's model, its numbers (with the skin dose's relative expanded uncertainty
// and its budget, null under the legacy formula), the field size text, the seven displays
// ("Display", keyed by the names of the values they show) and the 16 cells the results
// table would store ("Row").
Json CalculationJson(const CalculationCase& calc, const ExposureResult& result);

}  // namespace korvex::cli
