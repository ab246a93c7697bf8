#include "cli/command_options.h"

#include <CLI/CLI.hpp>
#include <map>

#include "cli/failure.h"
#include "engine/errors.h"
#include "engine/reference_tables.h"
#include "engine/working_folder.h"

namespace korvex::cli {

EngineState LoadState(const CommonOptions& options) {
    std::filesystem::path folder;
    if (!options.workdir.empty()) {
        folder = options.workdir;
        RemoveStaleWorkingFiles(folder);
    } else {
        folder = ResolveWorkingFolder(
            FindBundledDataFolder(options.executable, ConfiguredBundledDataPlaces()));
    }
    try {
        return EngineState(LoadReferenceTables(folder), folder);
    } catch (const FileError& error) {
        throw InputFileFailure(error.what(), folder.string());
    }
}

void AddWorkdirOption(CLI::App* command, const Help& help, std::string& workdir) {
    command->add_option("--workdir", workdir,
                        help({"作業フォルダー", "working folder (reference data, devices)"}));
}

void AddModelOption(CLI::App* command, const Help& help, DoseModel& model) {
    std::map<std::string, DoseModel> keys;
    for (const DoseModel m : kDoseModels) {
        keys.emplace(std::string(DoseModelKey(m)), m);
    }
    command
        ->add_option("--model", model,
                     help({"線量の計算モデル: validated (検証済みモデル、既定) または legacy "
                           "(従来式: 以前のプログラムの結果を再現します)",
                           "dose model: validated (the default) or legacy (the formula of "
                           "earlier programs, to reproduce their results)"}))
        ->transform(CLI::CheckedTransformer(keys));
}

}  // namespace korvex::cli
