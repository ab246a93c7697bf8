#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

namespace korvex::cli {

// Objects keep their members in the order they were added, as a reader expects them.
using Json = nlohmann::ordered_json;

// A number for the output: JSON has no NaN or infinity, so a non-finite value is refused
// (std::invalid_argument) rather than written as null.
double JsonNumber(double value);

// One JSON document on its own line. Text that is not valid UTF-8 (an argument typed in
// another encoding) is written with U+FFFD in its place, so the output always parses.
void WriteJson(std::ostream& out, const Json& json);

}  // namespace korvex::cli
