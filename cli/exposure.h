#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/json_output.h"
#include "engine/calculation_driver.h"
#include "engine/engine_state.h"

namespace korvex::cli {

// A wrong or missing argument: the tool prints the message and exits with 2.
class UsageError : public std::runtime_error {
  public:
    explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

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
// first line that is not blank), each with its line number. Throws UsageError naming the
// line for a wrong header or a line without seven values, and for a list without header.
std::vector<std::pair<int, Exposure>> ParseExposures(std::string_view text,
                                                     const std::string& file_label);

// Does what the window does: loads the device (FileError when it cannot), fills the
// fields and stores them, chooses the field shape (a shape that cannot be sized stays
// unchosen, as the window's option would), then calculates.
ExposureResult RunExposure(EngineState& state, const Exposure& exposure);

// The calculation's model, its numbers (with the skin dose's relative expanded uncertainty
// and its budget, null under the legacy formula), the field size text, the seven displays
// (keyed by the names of the values they show) and the 16 cells the results table would
// store.
Json CalculationJson(const CalculationCase& calc, const ExposureResult& result);

}  // namespace korvex::cli
