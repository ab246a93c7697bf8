#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace korvex::cli {

// Runs korvex2-cli with its arguments (without the program name), writing results to
// `out` and messages to `err`; returns the exit status, an ExitCode (cli/exit_codes.h).
// docs/cli.md is the contract: the commands, their output and where errors go.
int RunCommandLine(const std::vector<std::string>& args, const std::string& executable,
                   std::ostream& out, std::ostream& err);

}  // namespace korvex::cli
