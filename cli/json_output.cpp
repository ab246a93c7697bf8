#include "cli/json_output.h"

#include <cmath>
#include <stdexcept>

namespace korvex::cli {

double JsonNumber(double value) {
    if (!std::isfinite(value)) {
        throw std::invalid_argument("a result is not a finite number");
    }
    return value;
}

void WriteJson(std::ostream& out, const Json& json) {
    out << json.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
}

}  // namespace korvex::cli
