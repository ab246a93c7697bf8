#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

namespace korvex::cli {

// Objects keep their members in the order they were added, as a reader expects them.
using Json = nlohmann::ordered_json;

// A number for the output: JSON has no NaN or infinity, so a non-finite value is refused
// (std::invalid_argument) rather than written as null.
double JsonNumber(double value);

// One JSON document on its own line. Text that is not valid UTF-8 (an argument typed in
// another encoding) is written with U+FFFD in its place, so the output always parses.
void WriteJson(std::ostream& out, const Json& json);

// A CSV field (RFC 4180): quoted where it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);
// The fields of one such line; quotes doubled inside a quoted field.
std::vector<std::string> SplitCsvLine(const std::string& line);

}  // namespace korvex::cli
