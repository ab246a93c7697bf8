#include "cli/commands.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>
#include <utility>

#include "cli/dose_report_command.h"
#include "cli/exposure.h"
#include "cli/json_output.h"
#include "cli/report_output.h"
#include "device/device_entry.h"
#include "device/device_file.h"
#include "device/filter_entry.h"
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

// A help text in the user's language: Japanese for a ja_* locale, English otherwise.
struct Said {
    const char* japanese;
    const char* english;
};

bool UserReadsJapanese() {
    // The first of these that is set decides, as for every POSIX program's messages.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return std::string(value).rfind("ja", 0) == 0;
        }
    }
    return false;
}

class Help {
  public:
    explicit Help(bool japanese) : japanese_(japanese) {}
    std::string operator()(const Said& said) const {
        return japanese_ ? said.japanese : said.english;
    }
    bool japanese() const { return japanese_; }

  private:
    bool japanese_;
};

const Said kProgramHelp = {"Korvex-2 の計算をウィンドウなしで行います。",
                           "Korvex-2's skin-dose calculation without windows."};
const Said kFooter = {
    "作業フォルダーは --workdir DIR、なければ "
    "KORVEX2_WORKDIR、なければユーザーのデータフォルダーです。\n"
    "終了コード: 0 正常、1 計算できなかった・ファイルを保存できなかった、2 "
    "入力の不足・誤り、ファイルを読めない。",
    "The working folder is --workdir DIR, else KORVEX2_WORKDIR, else the user's data folder.\n"
    "Exit codes: 0 done, 1 the calculation failed or a file could not be written, 2 missing or "
    "wrong input, a file that cannot be read."};
const Said kWorkdirHelp = {"作業フォルダー", "working folder (reference data, devices)"};

// Options shared by the commands that calculate exposures.
struct CommonOptions {
    std::string workdir;
};

struct CalcOptions {
    Exposure exposure;
};

struct DeviceOptions {
    std::string name, receptor, isocentre, angle, inherent, aluminium, copper, filter, kv;
    std::string k0, k1, kd;
};

struct TableOptions {
    std::string input, comment, output, pdf, user;
    DoseModel model = kDefaultDoseModel;
    CLI::Option* comment_given = nullptr;
    CLI::Option* user_given = nullptr;
};

EngineState LoadState(const CommonOptions& options, const std::string& executable) {
    std::filesystem::path folder;
    if (!options.workdir.empty()) {
        folder = options.workdir;
        RemoveStaleWorkingFiles(folder);
    } else {
        folder = ResolveWorkingFolder(FindBundledDataFolder(executable, KORVEX_BUNDLED_DATA_DIR));
    }
    return EngineState(LoadReferenceTables(folder), folder);
}

// --model of the commands that calculate: the validated model unless the legacy formula is
// asked for.
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

// The calculation's failure as the window would report it.
Json FailureJson(const CalculationOutcome& outcome, DoseModel model) {
    Json json;
    json["Model"] = DoseModelKey(model);
    json["error"] = outcome.message ? outcome.message->text : std::string();
    json["reason"] = outcome.reason;
    return json;
}

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

void AddDeviceCommand(CLI::App& app, const Help& help, DeviceOptions& o) {
    CLI::App* device = app.add_subcommand(
        "device", help({"装置データファイルを扱います", "work with device data files"}));
    device->require_subcommand(1);
    CLI::App* create = device->add_subcommand(
        "create", help({"測定値から装置データファイル (.kvx2) を作成し、校正値を JSON で出力します",
                        "make a device data file (.kvx2) from measurements and print the "
                        "calibration values as JSON"}));
    const auto required = [&](const char* name, std::string& value, const Said& said) {
        create->add_option(name, value, help(said))->required();
    };
    required("--name", o.name,
             {"Ｘ線室または装置の名称 (ファイル名 NAME.kvx2)",
              "name of the room or unit (file NAME.kvx2)"});
    required("--frd", o.receptor, {"焦点-受像器間距離 (cm)", "focus-receptor distance (cm)"});
    required("--fid", o.isocentre,
             {"焦点-アイソセンター間距離 (cm)", "focus-isocentre distance (cm)"});
    required("--angle", o.angle, {"Ｘ線管ターゲット角度 (度)", "anode angle (degrees)"});
    required("--inherent", o.inherent,
             {"固有フィルタ Al 当量 (mm)", "inherent filtration, mm Al equivalent"});
    required("--al", o.aluminium, {"付加フィルタ アルミ (mm)", "added aluminium (mm)"});
    required("--cu", o.copper, {"付加フィルタ 銅 (mm)", "added copper (mm)"});
    create->add_option("--filter", o.filter,
                       help({"任意フィルター: 材質ファイル名 (.ele なし) と厚さ (mm)、例 lead:0.1",
                             "filter of a chosen material: material file name (without .ele) "
                             "and thickness (mm), e.g. lead:0.1"}));
    required("--kv", o.kv, {"通常使用する管電圧 (kV)", "typical tube voltage (kV)"});
    required("--k0", o.k0,
             {"アイソセンターの実測空気カーマ 天板なし (mGy)",
              "air kerma measured at the isocentre without the couch (mGy)"});
    required("--k1", o.k1,
             {"アイソセンターの実測空気カーマ 天板あり (mGy)",
              "air kerma measured at the isocentre with the couch (mGy)"});
    required("--kd", o.kd,
             {"同じ照射で装置に表示された Ka,r (mGy)",
              "Ka,r the unit displayed for the same exposure (mGy)"});
}

void AddTableCommand(CLI::App& app, const Help& help, TableOptions& o) {
    CLI::App* table = app.add_subcommand(
        "table", help({"一連の照射を計算し、結果表の CSV ファイルと印刷用の PDF を作成します",
                       "calculate a series of exposures into a results-table CSV file and its "
                       "printed report as PDF"}));
    table
        ->add_option("--input", o.input,
                     help({"照射の一覧 (UTF-8 の CSV)。見出し device,site,kv,kar,pka,shape,fsd。"
                           "kv と fsd は空欄なら装置データの値",
                           "exposures (UTF-8 CSV) with the header "
                           "device,site,kv,kar,pka,shape,fsd; empty kv and fsd take the "
                           "device's values"}))
        ->required();
    o.comment_given = table->add_option(
        "--comment", o.comment,
        help({"結果ファイルの 1 行目に書くコメント (--output のとき必須)",
              "comment for the first line of the results file (needed with --output)"}));
    table->add_option("--output", o.output,
                      help({"結果表の CSV ファイル (結果ウィンドウで読み込めます)",
                            "results-table CSV file (the results window reads it)"}));
    table->add_option("--pdf", o.pdf,
                      help({"結果表の印刷と同じ 1 ページの PDF ファイル",
                            "the printed report of the table as a one-page PDF file"}));
    o.user_given = table->add_option(
        "--user", o.user,
        help({"PDF の表題に入れるユーザー名。省略時は登録されたユーザー名",
              "user name in the PDF's title; default: the registered user name"}));
    AddModelOption(table, help, o.model);
    table->footer(
        help({"--output と --pdf の少なくとも一方を指定して下さい。15 件を超える照射、"
              "または計算できない照射があると、その行を示して中止し、ファイルは作りません。",
              "Give --output, --pdf or both. More than 15 exposures, or one that cannot be "
              "calculated, stops the command with its line; no file is written then."}));
}

void AddReportCommand(CLI::App& app, const Help& help, ReportRequest& r) {
    CLI::App* report = app.add_subcommand(
        "report", help({"線量レポート (RDSR) の全照射イベントの皮膚線量を計算します",
                        "estimate the skin dose of every irradiation event of dose reports "
                        "(RDSR)"}));
    report
        ->add_option("files", r.files,
                     help({"線量レポートのファイル (同じ検査の複数のファイル可)",
                           "dose report files (several of one study allowed)"}))
        ->required();
    report
        ->add_option("--device", r.device,
                     help({"作業フォルダーの装置データファイル名 (.kvx2 または .kvx)",
                           "device data file in the working folder (.kvx2 or .kvx)"}))
        ->required();
    report->add_option("--fsd", r.fsd,
                       help({"全イベント共通の焦点-入射表面間距離 (cm)。省略時は "
                             "焦点-アイソセンター間距離 - 15",
                             "focus-skin distance for every event (cm); default: "
                             "focus-isocentre distance - 15"}));
    report->add_option("--format", r.format, help({"出力形式 json または csv", "json or csv"}))
        ->check(CLI::IsMember({"json", "csv"}));
    AddModelOption(report, help, r.model);
    report->add_flag("--with-patient", r.with_patient,
                     help({"患者氏名と ID も出力します", "include the patient's name and ID"}));
    report->footer(help(
        {"終了コード: 0 全ファイルを読めた (計算できないイベントがあっても)、1 線量レポートとして"
         "読めないファイルがある、2 指定の誤り。",
         "Exit codes: 0 every file was read (even with events not calculated), 1 a file is no "
         "dose report, 2 wrong input."}));
}

int Report(const ReportRequest& request, const CommonOptions& common, const std::string& executable,
           std::ostream& out, std::ostream& err) {
    EngineState state = LoadState(common, executable);
    return RunReport(state, request, out, err);
}

int Calc(const CalcOptions& options, const CommonOptions& common, const std::string& executable,
         std::ostream& out, std::ostream& err) {
    EngineState state = LoadState(common, executable);
    const ExposureResult result = RunExposure(state, options.exposure);
    switch (result.outcome.result) {
        case CalculationOutcome::Result::Succeeded:
            WriteJson(out, CalculationJson(state.calc, result));
            return 0;
        case CalculationOutcome::Result::MissingInput:
            err << result.outcome.message->text << '\n';
            return 2;
        default:
            WriteJson(out, FailureJson(result.outcome, options.exposure.model));
            return 1;
    }
}

// A numeric option: a number and nothing else, as the device file will hold it.
double NumberOption(const std::string& text, const char* option) {
    const auto value = ParseDecimal(text);
    if (!value) {
        throw UsageError(std::string(option) + " の値「" + MessageQuote(text) +
                         "」は数値ではありません。");
    }
    return *value;
}

// The arbitrary filter of `device create`, "material:thickness in mm", set as the filter
// dialog sets it.
void SetFilterFromOption(FilterEntry& filter, const std::string& option) {
    const size_t colon = option.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        throw UsageError("--filter は 材質:厚さ(mm) の形で指定して下さい (例 lead:0.1)。");
    }
    NumberOption(option.substr(colon + 1), "--filter");
    filter.SetThicknessText(option.substr(colon + 1));
    if (const std::optional<UserMessage> refused =
            filter.Set(MaterialFileName(option.substr(0, colon)))) {
        throw UsageError(refused->text);
    }
}

// The device dialog without its window: the same boxes, the same OK and the same Save.
int DeviceCreate(const DeviceOptions& o, const CommonOptions& common, const std::string& executable,
                 std::ostream& out, std::ostream& err) {
    EngineState state = LoadState(common, executable);
    DeviceEntry entry(state);
    const std::pair<DeviceField, const std::string&> typed[] = {
        {DeviceField::DeviceName, o.name},
        {DeviceField::FocusReceptorDistance, o.receptor},
        {DeviceField::FocusIsocentreDistance, o.isocentre},
        {DeviceField::TargetAngle, o.angle},
        {DeviceField::InherentFiltration, o.inherent},
        {DeviceField::AddedAluminium, o.aluminium},
        {DeviceField::AddedCopper, o.copper},
        {DeviceField::TypicalTubeVoltage, o.kv},
        {DeviceField::KermaNoCouch, o.k0},
        {DeviceField::KermaWithCouch, o.k1},
        {DeviceField::DisplayedKar, o.kd},
    };
    const char* const option_names[] = {"--name", "--frd", "--fid", "--angle", "--inherent", "--al",
                                        "--cu",   "--kv",  "--k0",  "--k1",    "--kd"};
    for (size_t i = 0; i < std::size(typed); ++i) {
        // Every value but the name must be a number: a text would be stored as 0 unseen. An
        // empty one is left to the dialog's own check for empty boxes.
        if (i > 0 && !typed[i].second.empty()) {
            NumberOption(typed[i].second, option_names[i]);
        }
        entry.SetText(typed[i].first, typed[i].second);
    }
    if (!o.filter.empty()) {
        FilterEntry filter(state, entry);
        SetFilterFromOption(filter, o.filter);
    }
    if (const std::optional<UserMessage> refused = entry.Ok()) {
        err << refused->text << '\n';
        return 2;
    }
    // A factor that the file's three decimals turn into 0 would make every dose 0.
    for (const auto& [value, option] : {std::pair{state.calc.CouchTransmission, "--k1"},
                                        std::pair{state.calc.KermaCorrectionFactor, "--kd"}}) {
        if (std::isfinite(value) && FormatNumber(value, "0.000") == "0.000") {
            throw UsageError(std::string(option) + " から求めた値 " + ShortestNumberText(value) +
                             " は装置データに 0.000 として保存されてしまうため、作成できません。");
        }
    }
    const DeviceSaveOutcome saved = entry.Save();
    if (saved.refused) {
        err << saved.message.text << '\n';
        return 2;
    }
    if (!saved.saved) {
        Json json;
        json["error"] = saved.message.text;
        json["reason"] = "the device file could not be written";
        WriteJson(out, json);
        return 1;
    }

    const CalculationCase& calc = state.calc;
    Json json;
    json["CouchTransmission"] = JsonNumber(calc.CouchTransmission);
    json["KermaCorrectionFactor"] = JsonNumber(calc.KermaCorrectionFactor);
    json["CouchEquivalentThickness"] = JsonNumber(calc.CouchEquivalentThickness);
    json["file"] = saved.file_name;
    WriteJson(out, json);
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

// The files the table command was asked for; a failed write is reported as JSON.
int WriteTableFiles(const TableOptions& o, const ResultsTable& table,
                    const std::filesystem::path& working_folder, std::ostream& out) {
    Json json;
    try {
        if (!o.output.empty()) {
            WriteResultsCsv(o.output, o.comment, table);
            json["file"] = o.output;
        }
        if (!o.pdf.empty()) {
            const std::string user =
                o.user_given->count() > 0 ? o.user : RegisteredUserName(working_folder);
            WriteTablePdf(o.pdf, table, user);
            json["pdf"] = o.pdf;
        }
    } catch (const FileError& error) {
        Json failure;
        failure["error"] = error.what();
        WriteJson(out, failure);
        return 1;
    }
    json["Model"] = DoseModelKey(o.model);
    json["rows"] = table.RowCount();
    json["DoseTotal"] = JsonNumber(table.DoseTotal());
    WriteJson(out, json);
    return 0;
}

int Table(const TableOptions& o, const CommonOptions& common, const std::string& executable,
          std::ostream& out, std::ostream& err) {
    if (o.output.empty() && o.pdf.empty()) {
        throw UsageError("--output か --pdf を指定して下さい。");
    }
    if (!o.output.empty() && o.comment_given->count() == 0) {
        throw UsageError("--output には --comment を指定して下さい。");
    }
    const std::filesystem::path input = o.input;
    const auto exposures = ReadExposures(input);
    if (exposures.size() > static_cast<size_t>(kResultSlotCount)) {
        throw UsageError("照射が " + std::to_string(exposures.size()) +
                         " 件あります。結果表に入るのは 15 件までです (" +
                         input.filename().string() + " の " +
                         std::to_string(exposures[kResultSlotCount].first) + " 行目から先)。");
    }
    EngineState state = LoadState(common, executable);
    ResultsTable table;
    for (const auto& [line, exposure] : exposures) {
        const std::string where =
            input.filename().string() + " の " + std::to_string(line) + " 行目: ";
        ExposureResult result;
        try {
            Exposure modelled = exposure;
            modelled.model = o.model;
            result = RunExposure(state, modelled);
        } catch (const std::exception& error) {
            throw UsageError(where + error.what());
        }
        if (result.outcome.result == CalculationOutcome::Result::MissingInput) {
            throw UsageError(where + result.outcome.message->text);
        }
        if (result.outcome.result != CalculationOutcome::Result::Succeeded) {
            err << where << (result.outcome.message ? result.outcome.message->text : "") << " ("
                << result.outcome.reason << ")\n";
            Json json = FailureJson(result.outcome, o.model);
            json["line"] = line;
            WriteJson(out, json);
            return 1;
        }
        AddResultRow(table, state.calc);
    }
    return WriteTableFiles(o, table, state.WorkingFolder, out);
}

// Options and commands under Japanese headings.
void TranslateGroups(CLI::App& app) {
    for (CLI::Option* option : app.get_options()) {
        option->group("オプション");
    }
    for (CLI::App* command : app.get_subcommands({})) {
        command->group("コマンド");
        TranslateGroups(*command);
    }
}

void TranslateLabels(CLI::App& app) {
    auto formatter = app.get_formatter();
    formatter->label("Usage", "使い方");
    formatter->label("OPTIONS", "オプション");
    formatter->label("Positionals", "引数");
    formatter->column_width(36);
    formatter->label("SUBCOMMAND", "コマンド");
    formatter->label("Subcommands", "コマンド");
    formatter->label("REQUIRED", "必須");
    formatter->label("TEXT", "値");
}

// Runs the chosen command; the failures every command shares become exit codes here.
int Dispatch(const CLI::App& app, const CalcOptions& calc, const DeviceOptions& device,
             const TableOptions& table, const ReportRequest& report, const CommonOptions& common,
             const std::string& executable, std::ostream& out, std::ostream& err) {
    try {
        if (app.got_subcommand("report")) {
            return Report(report, common, executable, out, err);
        }
        if (app.got_subcommand("calc")) {
            return Calc(calc, common, executable, out, err);
        }
        if (app.got_subcommand("device")) {
            return DeviceCreate(device, common, executable, out, err);
        }
        return Table(table, common, executable, out, err);
    } catch (const UsageError& error) {
        err << error.what() << '\n';
        return 2;
    } catch (const WriteError& error) {
        // The input was fine; the file system refused the result.
        err << error.what() << '\n';
        Json json;
        json["error"] = error.what();
        WriteJson(out, json);
        return 1;
    } catch (const CalibrationInputError& error) {
        err << error.what() << '\n';
        return 2;
    } catch (const FileError& error) {
        err << error.what() << '\n';
        return 2;
    } catch (const CalculationError& error) {
        Json json;
        json["error"] = kCalculationFailureMessage;
        json["reason"] = error.what();
        WriteJson(out, json);
        return 1;
    } catch (const std::exception& error) {
        // Nothing may end the tool without a message (a file-system failure, no memory).
        err << "korvex2-cli: " << MessageQuote(error.what()) << '\n';
        return 1;
    }
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, const std::string& executable,
                   std::ostream& out, std::ostream& err) {
    const Help help(UserReadsJapanese());
    CLI::App app(help(kProgramHelp), "korvex2-cli");
    if (help.japanese()) {
        TranslateLabels(app);
    }
    app.footer(help(kFooter));
    app.set_version_flag("--version", "korvex2-cli " KORVEX_VERSION,
                         help({"版数を表示します", "print the version"}));
    app.require_subcommand(1);
    app.set_help_flag("-h,--help", help({"この説明を表示します", "print this help"}));

    CommonOptions common;
    CalcOptions calc;
    DeviceOptions device;
    TableOptions table;
    ReportRequest report;
    report.japanese = help.japanese();
    AddCalcCommand(app, help, calc);
    AddDeviceCommand(app, help, device);
    AddTableCommand(app, help, table);
    AddReportCommand(app, help, report);
    for (CLI::App* command : app.get_subcommands({})) {
        command->add_option("--workdir", common.workdir, help(kWorkdirHelp));
        for (CLI::App* inner : command->get_subcommands({})) {
            inner->add_option("--workdir", common.workdir, help(kWorkdirHelp));
        }
    }

    if (help.japanese()) {
        TranslateGroups(app);
    }
    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error, out, err);
        // Help and version are answers; every other parse failure is a usage error.
        return code == 0 ? 0 : 2;
    }
    return Dispatch(app, calc, device, table, report, common, executable, out, err);
}

}  // namespace korvex::cli
