#pragma once

#include <iosfwd>
#include <string>

#include "cli/command_options.h"

namespace CLI {
class Option;
}

namespace korvex::cli {

// `korvex2-cli table --input CSV [--output CSV --comment TEXT] [--pdf PDF [--user NAME]]
// [--model M]`.
struct TableOptions {
    std::string input, comment, output, pdf, user;
    DoseModel model = kDefaultDoseModel;
    CLI::Option* comment_given = nullptr;
    CLI::Option* user_given = nullptr;
    bool japanese = true;  // the PDF's language: the help's
};

void AddTableCommand(CLI::App& app, const Help& help, TableOptions& options);

// Calculates every exposure of the list into a results table and writes the files asked
// for; prints what was written, the row count and the dose total. Nothing is written when
// an exposure is refused or cannot be calculated (CommandFailure naming the line).
int RunTable(const TableOptions& options, const CommonOptions& common, std::ostream& out);

}  // namespace korvex::cli
