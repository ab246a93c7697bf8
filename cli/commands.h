#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace korvex::cli {

// Runs korvex2-cli with its arguments (without the program name), writing results to
// `out` and messages to `err`; returns the exit code: 0 done, 1 the calculation failed,
// 2 missing or wrong input, an unreadable device or data file.
int RunCommandLine(const std::vector<std::string>& args, const std::string& executable,
                   std::ostream& out, std::ostream& err);

}  // namespace korvex::cli
