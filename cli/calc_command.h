#pragma once

#include <iosfwd>

#include "cli/command_options.h"
#include "cli/exposure.h"

namespace korvex::cli {

// `korvex2-cli calc --device DEV --kar MGY --pka GYCM2 --shape square|circle|none [--kv KV]
// [--fsd CM] [--site TEXT] [--model M]`.
struct CalcOptions {
    Exposure exposure;
};

void AddCalcCommand(CLI::App& app, const Help& help, CalcOptions& options);

// Calculates the exposure and writes CalculationJson to `out`. A device that cannot be
// loaded is an input file failure, an input the window would ask for a usage error, a
// calculation the engine refuses a calculation failure (all CommandFailure).
int RunCalc(const CalcOptions& options, const CommonOptions& common, std::ostream& out);

}  // namespace korvex::cli
