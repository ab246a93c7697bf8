#include "cli/failure.h"

#include <filesystem>
#include <ostream>

#include "engine/text_rules.h"

namespace korvex::cli {

CommandFailure InputFileFailure(const std::string& message, const std::string& file) {
    return CommandFailure(Failure{ExitCode::InputFile, message, {}, file, {}, {}});
}

Json FailureJson(const Failure& failure) {
    Json json;
    json["Error"] = failure.message;
    if (!failure.reason.empty()) {
        json["Reason"] = failure.reason;
    }
    if (!failure.file.empty()) {
        json["File"] = failure.file;
    }
    if (failure.line) {
        json["Line"] = *failure.line;
    }
    if (failure.model) {
        json["Model"] = DoseModelKey(*failure.model);
    }
    return json;
}

int ReportFailure(const Failure& failure, OutputFormat format, std::ostream& out,
                  std::ostream& err) {
    if (failure.line) {
        err << MessageQuote(std::filesystem::path(failure.file).filename().string()) << " の "
            << *failure.line << " 行目: ";
    }
    err << failure.message;
    if (!failure.reason.empty()) {
        err << " (" << failure.reason << ")";
    }
    err << '\n';
    if (format == OutputFormat::Json && failure.code != ExitCode::Usage) {
        WriteJson(out, FailureJson(failure));
    }
    return ExitStatus(failure.code);
}

}  // namespace korvex::cli
