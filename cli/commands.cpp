#include "cli/commands.h"

#include <fstream>
#include <map>
#include <ostream>
#include <set>
#include <sstream>

#include "cli/exposure.h"
#include "device/device_file.h"
#include "device/material_file.h"
#include "engine/device_calibration.h"
#include "engine/errors.h"
#include "engine/field_stream.h"
#include "engine/reference_tables.h"
#include "engine/text_file.h"
#include "engine/text_rules.h"
#include "engine/working_folder.h"
#include "results/add_result_row.h"
#include "results/results_csv.h"

namespace korvex::cli {
namespace {

const char* const kMainHelp = R"(korvex2-cli: Korvex-2 の計算をウィンドウなしで行います。

  korvex2-cli calc ...            1 回の照射の皮膚線量を計算し、JSON で出力します
  korvex2-cli device create ...   測定値から装置データファイル (.kvx2) を作成します
  korvex2-cli table ...           一連の照射を計算し、結果表の CSV ファイルを作成します

各コマンドの説明は --help で表示されます (例: korvex2-cli calc --help)。
作業フォルダーは --workdir DIR、なければ KORVEX2_WORKDIR、なければユーザーのデータフォルダーです。
終了コード: 0 正常、1 計算できなかった、2 入力の不足・誤り、ファイルを読めない。
)";

const char* const kCalcHelp =
    R"(korvex2-cli calc --device FILE --kar MGY --pka GYCM2 --shape square|circle|none
                 [--kv KV] [--fsd CM] [--site TEXT] [--workdir DIR]

  --device  作業フォルダーの装置データファイル名 (.kvx2 または .kvx)
  --kar     装置表示の患者照射基準点線量 Ka,r (mGy)
  --pka     装置表示の面積空気カーマ積算値 P_KA (Gy·cm²)
  --shape   照射野形状: square (正方形)、circle (円形)、none (指定なし)
  --kv      管電圧 (kV)。省略時は装置データの通常使用する管電圧
  --fsd     焦点-入射表面間距離 (cm)。省略時は 焦点-アイソセンター間距離 - 15
  --site    対象部位。省略時は "---"

結果は JSON で標準出力に出ます。計算できないときは {"error": ..., "reason": ...} を出力し、終了コード 1。
)";

const char* const kDeviceHelp =
    R"(korvex2-cli device create --name NAME --frd CM --fid CM --angle DEG --inherent MM
                 --al MM --cu MM [--filter MATERIAL:MM] --kv KV --k0 MGY --k1 MGY --kd MGY
                 [--workdir DIR]

  --name      Ｘ線室または装置の名称 (ファイル名 NAME.kvx2)
  --frd       焦点-受像器間距離 (cm)       --fid  焦点-アイソセンター間距離 (cm)
  --angle     Ｘ線管ターゲット角度 (度)     --inherent  固有フィルタ Al 当量 (mm)
  --al        付加フィルタ アルミ (mm)      --cu   付加フィルタ 銅 (mm)
  --filter    任意フィルター: 材質ファイル名 (.ele なし) と厚さ (mm)、例 lead:0.1
  --kv        通常使用する管電圧 (kV)
  --k0, --k1  アイソセンターの実測空気カーマ 天板なし / 天板あり (mGy)
  --kd        同じ照射で装置に表示された Ka,r (mGy)

天板透過率、校正定数、天板の軟部組織等価厚を JSON で出力します。
)";

const char* const kTableHelp =
    R"(korvex2-cli table --input EXPOSURES.csv --comment TEXT --output RESULTS.csv
                  [--workdir DIR]

  --input    照射の一覧 (UTF-8 の CSV)。1 行目は見出し device,site,kv,kar,pka,shape,fsd
             kv と fsd は空欄なら装置データの値を使います (calc と同じ)
  --comment  結果ファイルの 1 行目に書くコメント
  --output   結果表の CSV ファイル (結果ウィンドウで読み込めます)

15 件を超える照射、または計算できない照射があると、その行を示して中止し、ファイルは作りません。
)";

using Options = std::map<std::string, std::string>;

// "--name value" pairs after the command words; "--help" alone.
Options ParseOptions(const std::vector<std::string>& args, size_t first,
                     const std::set<std::string>& allowed) {
    Options options;
    for (size_t i = first; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options["help"] = "";
            continue;
        }
        if (arg.rfind("--", 0) != 0 || !allowed.count(arg.substr(2))) {
            throw UsageError("不明な引数です: " + MessageQuote(arg));
        }
        if (i + 1 >= args.size()) {
            throw UsageError(MessageQuote(arg) + " の値がありません。");
        }
        options[arg.substr(2)] = args[++i];
    }
    return options;
}

const std::string& Require(const Options& options, const std::string& name) {
    const auto found = options.find(name);
    if (found == options.end()) {
        throw UsageError("--" + name + " を指定して下さい。");
    }
    return found->second;
}

std::string Optional(const Options& options, const std::string& name) {
    const auto found = options.find(name);
    return found == options.end() ? std::string() : found->second;
}

EngineState LoadState(const Options& options, const std::string& executable) {
    std::filesystem::path folder;
    if (const std::string chosen = Optional(options, "workdir"); !chosen.empty()) {
        folder = chosen;
        RemoveStaleWorkingFiles(folder);
    } else {
        folder = ResolveWorkingFolder(FindBundledDataFolder(executable, KORVEX_BUNDLED_DATA_DIR));
    }
    return EngineState(LoadReferenceTables(folder), folder);
}

// The calculation's failure as the window would report it.
std::string FailureJson(const CalculationOutcome& outcome) {
    JsonObject json;
    json.Text("error", outcome.message ? outcome.message->text : std::string())
        .Text("reason", outcome.reason);
    return json.Serialise();
}

int Calc(const Options& options, const std::string& executable, std::ostream& out,
         std::ostream& err) {
    Exposure exposure;
    exposure.device = Require(options, "device");
    exposure.kar = Require(options, "kar");
    exposure.pka = Require(options, "pka");
    exposure.shape = Require(options, "shape");
    exposure.kv = Optional(options, "kv");
    exposure.fsd = Optional(options, "fsd");
    exposure.site = Optional(options, "site");
    EngineState state = LoadState(options, executable);
    const ExposureResult result = RunExposure(state, exposure);
    switch (result.outcome.result) {
        case CalculationOutcome::Result::Succeeded:
            out << CalculationJson(state.calc, result).Serialise() << '\n';
            return 0;
        case CalculationOutcome::Result::MissingInput:
            err << result.outcome.message->text << '\n';
            return 2;
        default:
            out << FailureJson(result.outcome) << '\n';
            return 1;
    }
}

int DeviceCreate(const Options& options, const std::string& executable, std::ostream& out) {
    DeviceDialogTexts texts;
    texts.DeviceName = Require(options, "name");
    const std::string receptor = Require(options, "frd");
    const std::string isocentre = Require(options, "fid");
    const std::string angle = Require(options, "angle");
    texts.InherentFiltration = Require(options, "inherent");
    texts.AddedAluminium = Require(options, "al");
    texts.AddedCopper = Require(options, "cu");
    texts.TypicalTubeVoltage = Require(options, "kv");
    const double k0 = LeadingNumber(Require(options, "k0"));
    const double k1 = LeadingNumber(Require(options, "k1"));
    const double kd = LeadingNumber(Require(options, "kd"));

    EngineState state = LoadState(options, executable);
    CalculationCase& calc = state.calc;
    texts.ArbitraryFilterMaterial = "---";
    texts.ArbitraryFilterThickness = "0";
    calc.ArbitraryFilterOn = 0;
    if (const std::string filter = Optional(options, "filter"); !filter.empty()) {
        const size_t colon = filter.rfind(':');
        if (colon == std::string::npos || colon == 0) {
            throw UsageError("--filter は 材質:厚さ(mm) の形で指定して下さい (例 lead:0.1)。");
        }
        const std::string material = filter.substr(0, colon);
        const std::string thickness = filter.substr(colon + 1);
        if (!(LeadingNumber(thickness) > 0)) {
            throw UsageError("　フィルターの厚さを入力して下さい　");
        }
        BuildFilterAttenuation(state, MaterialFileName(material));
        calc.ArbitraryFilterThickness = LeadingNumber(thickness) * 0.1;
        calc.ArbitraryFilterOn = 1;
        texts.ArbitraryFilterMaterial = material;
        texts.ArbitraryFilterThickness = thickness;
    }
    // What the dialog's OK stores before it calibrates.
    calc.TargetAngle = LeadingNumber(angle);
    calc.InherentFiltration = LeadingNumber(texts.InherentFiltration) * 0.1;
    calc.AddedAluminium = LeadingNumber(texts.AddedAluminium) * 0.1;
    calc.AddedCopper = LeadingNumber(texts.AddedCopper) * 0.1;
    calc.FocusReceptorDistance = LeadingNumber(receptor);
    calc.FocusIsocentreDistance = LeadingNumber(isocentre);
    ComputeDeviceCalibration(state, k0, k1, kd, calc.FocusIsocentreDistance,
                             LeadingNumber(texts.TypicalTubeVoltage));
    const std::string file = SaveDeviceFile(state.WorkingFolder, texts, calc);

    JsonObject json;
    json.Number("CouchTransmission", calc.CouchTransmission)
        .Number("KermaCorrectionFactor", calc.KermaCorrectionFactor)
        .Number("CouchEquivalentThickness", calc.CouchEquivalentThickness)
        .Text("file", file);
    out << json.Serialise() << '\n';
    return 0;
}

// Exposures of the input file with their line numbers.
std::vector<std::pair<int, Exposure>> ReadExposures(const std::filesystem::path& path) {
    std::string text;
    try {
        text = ReadFileBytes(path, path.filename().string(), kMaxExposureFileBytes);
    } catch (const FileError& error) {
        throw UsageError(std::string("照射の一覧を読み込めません: ") + error.what());
    }
    return ParseExposures(text, path.filename().string());
}

int Table(const Options& options, const std::string& executable, std::ostream& out,
          std::ostream& err) {
    const std::filesystem::path input = Require(options, "input");
    const std::string comment = Require(options, "comment");
    const std::filesystem::path output = Require(options, "output");
    const auto exposures = ReadExposures(input);
    if (exposures.size() > static_cast<size_t>(kResultSlotCount)) {
        throw UsageError("照射が " + std::to_string(exposures.size()) +
                         " 件あります。結果表に入るのは 15 件までです (" +
                         input.filename().string() + " の " +
                         std::to_string(exposures[kResultSlotCount].first) + " 行目から先)。");
    }
    EngineState state = LoadState(options, executable);
    ResultsTable table;
    for (const auto& [line, exposure] : exposures) {
        const std::string where =
            input.filename().string() + " の " + std::to_string(line) + " 行目: ";
        ExposureResult result;
        try {
            result = RunExposure(state, exposure);
        } catch (const std::exception& error) {
            throw UsageError(where + error.what());
        }
        if (result.outcome.result == CalculationOutcome::Result::MissingInput) {
            throw UsageError(where + result.outcome.message->text);
        }
        if (result.outcome.result != CalculationOutcome::Result::Succeeded) {
            err << where << (result.outcome.message ? result.outcome.message->text : "") << " ("
                << result.outcome.reason << ")\n";
            return 1;
        }
        AddResultRow(table, state.calc);
    }
    WriteResultsCsv(output, comment, table);
    JsonObject json;
    json.Text("file", output.string())
        .Number("rows", table.RowCount())
        .Number("DoseTotal", table.DoseTotal());
    out << json.Serialise() << '\n';
    return 0;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, const std::string& executable,
                   std::ostream& out, std::ostream& err) {
    try {
        const std::string command = args.empty() ? std::string() : args[0];
        if (command.empty() || command == "--help" || command == "-h" || command == "help") {
            (command.empty() ? err : out) << kMainHelp;
            return command.empty() ? 2 : 0;
        }
        if (command == "calc") {
            const Options options = ParseOptions(
                args, 1, {"device", "kar", "pka", "shape", "kv", "fsd", "site", "workdir"});
            if (options.count("help")) {
                out << kCalcHelp;
                return 0;
            }
            return Calc(options, executable, out, err);
        }
        if (command == "device") {
            if (args.size() < 2 || (args[1] != "create" && args[1] != "--help")) {
                throw UsageError("device の後には create を指定して下さい。");
            }
            if (args[1] == "--help") {
                out << kDeviceHelp;
                return 0;
            }
            const Options options =
                ParseOptions(args, 2,
                             {"name", "frd", "fid", "angle", "inherent", "al", "cu", "filter", "kv",
                              "k0", "k1", "kd", "workdir"});
            if (options.count("help")) {
                out << kDeviceHelp;
                return 0;
            }
            return DeviceCreate(options, executable, out);
        }
        if (command == "table") {
            const Options options =
                ParseOptions(args, 1, {"input", "comment", "output", "workdir"});
            if (options.count("help")) {
                out << kTableHelp;
                return 0;
            }
            return Table(options, executable, out, err);
        }
        throw UsageError("不明なコマンドです: " + MessageQuote(command) +
                         " (korvex2-cli --help を参照)");
    } catch (const UsageError& error) {
        err << error.what() << '\n';
        return 2;
    } catch (const CalibrationInputError& error) {
        err << error.what() << '\n';
        return 2;
    } catch (const FileError& error) {
        err << error.what() << '\n';
        return 2;
    } catch (const CalculationError& error) {
        JsonObject json;
        json.Text("error", kCalculationFailureMessage).Text("reason", error.what());
        out << json.Serialise() << '\n';
        return 1;
    } catch (const std::exception& error) {
        // Nothing may end the tool without a message (a file-system failure, no memory).
        err << "korvex2-cli: 処理を続けられません (" << MessageQuote(error.what()) << ")\n";
        return 1;
    }
}

}  // namespace korvex::cli
