#pragma once

#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>

#include "cli/exit_codes.h"
#include "cli/json_output.h"
#include "engine/dose_model.h"

namespace korvex::cli {

// Where a command writes its result: JSON (every command) or CSV (`report --format csv`).
enum class OutputFormat { Json, Csv };

// A failure of a command: its kind and what its error object says (docs/cli.md).
struct Failure {
    ExitCode code = ExitCode::Internal;
    std::string message;             // "Error": the user's message, as the window says it
    std::string reason;              // "Reason": the engine's own words, where it failed
    std::string file;                // "File": the file the failure concerns
    std::optional<int> line;         // "Line": the line of the exposure list
    std::optional<DoseModel> model;  // "Model": the model of a calculation that failed
};

// Thrown by the commands; RunCommandLine reports it once, in one way for every command.
class CommandFailure : public std::runtime_error {
  public:
    explicit CommandFailure(Failure failure)
        : std::runtime_error(failure.message), failure_(std::move(failure)) {}
    const Failure& failure() const { return failure_; }

  private:
    Failure failure_;
};

// A wrong, missing or refused argument (ExitCode::Usage): the message alone, on stderr.
class UsageError : public CommandFailure {
  public:
    explicit UsageError(const std::string& message)
        : CommandFailure(Failure{ExitCode::Usage, message, {}, {}, {}, {}}) {}
};

// A file the command reads that is missing, unreadable or not in its format.
CommandFailure InputFileFailure(const std::string& message, const std::string& file);

// The error object: Error, then Reason, File, Line and Model where the failure has them.
Json FailureJson(const Failure& failure);

// Reports a failure and returns its exit status. The message (after "FILE の N 行目: "
// for a line of the exposure list, and followed by the engine's reason in parentheses) goes
// to `err`, always. In JSON format every failure but a usage error also writes its error
// object to `out`, so that a script reading the data stream sees why there are no data;
// in CSV format nothing but data is ever written to `out`.
int ReportFailure(const Failure& failure, OutputFormat format, std::ostream& out,
                  std::ostream& err);

}  // namespace korvex::cli
