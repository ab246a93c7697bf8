#pragma once

#include <string>

#include "cli/help_text.h"
#include "engine/dose_model.h"
#include "engine/engine_state.h"

namespace CLI {
class App;
}

namespace korvex::cli {

// What every command shares: the working folder asked for and the program's own path,
// which finds the bundled data beside an installed program.
struct CommonOptions {
    std::string workdir;  // --workdir; empty: KORVEX2_WORKDIR, else the user's data folder
    std::string executable;
};

// The engine on the working folder. Reference data that cannot be read are an input file
// failure (CommandFailure, ExitCode::InputFile) naming the folder.
EngineState LoadState(const CommonOptions& options);

// --workdir of a command.
void AddWorkdirOption(CLI::App* command, const Help& help, std::string& workdir);

// --model of the commands that calculate: the validated model unless the legacy formula is
// asked for.
void AddModelOption(CLI::App* command, const Help& help, DoseModel& model);

}  // namespace korvex::cli
