#include "cli/calc_command.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "cli/failure.h"
#include "engine/errors.h"

namespace korvex::cli {

void AddCalcCommand(CLI::App& app, const Help& help, CalcOptions& options) {
    CLI::App* calc = app.add_subcommand(
        "calc", help({"1 回の照射の皮膚線量を計算し、JSON で出力します",
                      "calculate one exposure's skin dose and print it as JSON"}));
    Exposure& e = options.exposure;
    calc->add_option("--device", e.device,
                     help({"作業フォルダーの装置データファイル名 (.kvx2 または .kvx)",
                           "device data file in the working folder (.kvx2 or .kvx)"}))
        ->required();
    calc->add_option("--kar", e.kar,
                     help({"装置表示の患者照射基準点線量 Ka,r (mGy)",
                           "displayed reference air kerma Ka,r (mGy)"}))
        ->required();
    calc->add_option("--pka", e.pka,
                     help({"装置表示の面積空気カーマ積算値 P_KA (Gy·cm²)",
                           "displayed kerma-area product P_KA (Gy·cm²)"}))
        ->required();
    calc->add_option("--shape", e.shape,
                     help({"照射野形状: square (正方形)、circle (円形)、none (指定なし)",
                           "field shape: square, circle or none"}))
        ->required();
    calc->add_option("--kv", e.kv,
                     help({"管電圧 (kV)。省略時は装置データの通常使用する管電圧",
                           "tube voltage (kV); default: the device's typical voltage"}));
    calc->add_option("--fsd", e.fsd,
                     help({"焦点-入射表面間距離 (cm)。省略時は 焦点-アイソセンター間距離 - 15",
                           "focus-skin distance (cm); default: focus-isocentre distance - 15"}));
    calc->add_option("--site", e.site,
                     help({"対象部位。省略時は \"---\"", "body site; default \"---\""}));
    AddModelOption(calc, help, e.model);
}

int RunCalc(const CalcOptions& options, const CommonOptions& common, std::ostream& out) {
    EngineState state = LoadState(common);
    ExposureResult result;
    try {
        result = RunExposure(state, options.exposure);
    } catch (const FileError& error) {
        throw InputFileFailure(error.what(), options.exposure.device);
    }
    const CalculationOutcome& outcome = result.outcome;
    switch (outcome.result) {
        case CalculationOutcome::Result::Succeeded:
            WriteJson(out, CalculationJson(state.calc, result));
            return ExitStatus(ExitCode::Success);
        case CalculationOutcome::Result::MissingInput:
            throw UsageError(outcome.message->text);
        default:
            throw CommandFailure(CalculationFailure(outcome, options.exposure.model));
    }
}

}  // namespace korvex::cli
