#include "cli/table_command.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <ostream>
#include <utility>
#include <vector>

#include "cli/exposure.h"
#include "cli/failure.h"
#include "cli/json_output.h"
#include "cli/table_pdf.h"
#include "engine/errors.h"
#include "engine/text_file.h"
#include "results/add_result_row.h"
#include "results/results_csv.h"
#include "settings/user_name.h"

namespace korvex::cli {
namespace {

void AddOutputOptions(CLI::App* table, const Help& help, TableOptions& o) {
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
}

// Exposures of the input file with their line numbers; a list that cannot be read or is
// not in its format is an input file failure.
std::vector<std::pair<int, Exposure>> ReadExposures(const std::filesystem::path& path) {
    std::string text;
    try {
        text = ReadFileBytes(path, path.filename().string(), kMaxExposureFileBytes);
    } catch (const FileError& error) {
        throw InputFileFailure(std::string("照射の一覧を読み込めません: ") + error.what(),
                               path.string());
    }
    try {
        return ParseExposures(text, path.filename().string());
    } catch (const CommandFailure& failure) {
        Failure named = failure.failure();
        named.file = path.string();  // the path as given, not only its name
        throw CommandFailure(std::move(named));
    }
}

// One line of the list, calculated into the table; a failure names the line.
void AddExposure(EngineState& state, ResultsTable& table, const TableOptions& o, int line,
                 const Exposure& exposure) {
    const auto at_line = [&](Failure failure) {
        failure.file = o.input;
        failure.line = line;
        return CommandFailure(std::move(failure));
    };
    Exposure modelled = exposure;
    modelled.model = o.model;
    ExposureResult result;
    try {
        result = RunExposure(state, modelled);
    } catch (const CommandFailure& failure) {
        throw at_line(failure.failure());
    } catch (const FileError& error) {
        throw at_line(Failure{ExitCode::InputFile, error.what(), {}, {}, {}, {}});
    }
    if (result.outcome.result == CalculationOutcome::Result::MissingInput) {
        throw at_line(Failure{ExitCode::Usage, result.outcome.message->text, {}, {}, {}, {}});
    }
    if (result.outcome.result != CalculationOutcome::Result::Succeeded) {
        throw at_line(CalculationFailure(result.outcome, o.model));
    }
    AddResultRow(table, state.calc);
}

// The files the table command was asked for; one that cannot be written is an output file
// failure naming it.
Json WriteTableFiles(const TableOptions& o, const ResultsTable& table,
                     const std::filesystem::path& working_folder) {
    Json json;
    const auto output_failure = [](const FileError& error, const std::string& file) {
        return CommandFailure(Failure{ExitCode::OutputFile, error.what(), {}, file, {}, {}});
    };
    if (!o.output.empty()) {
        try {
            WriteResultsCsv(o.output, o.comment, table);
        } catch (const FileError& error) {
            throw output_failure(error, o.output);
        }
        json["File"] = o.output;
    }
    if (!o.pdf.empty()) {
        const std::string user = o.user_given->count() > 0
                                     ? o.user
                                     : ReadUserName(working_folder).value_or(std::string());
        try {
            WriteTablePdf(o.pdf, table, user, o.japanese);
        } catch (const FileError& error) {
            throw output_failure(error, o.pdf);
        }
        json["Pdf"] = o.pdf;
    }
    return json;
}

}  // namespace

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
    AddOutputOptions(table, help, o);
    AddModelOption(table, help, o.model);
    table->footer(
        help({"--output と --pdf の少なくとも一方を指定して下さい。15 件を超える照射、"
              "または計算できない照射があると、その行を示して中止し、ファイルは作りません。",
              "Give --output, --pdf or both. More than 15 exposures, or one that cannot be "
              "calculated, stops the command with its line; no file is written then."}));
}

int RunTable(const TableOptions& o, const CommonOptions& common, std::ostream& out) {
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
    EngineState state = LoadState(common);
    ResultsTable table;
    for (const auto& [line, exposure] : exposures) {
        AddExposure(state, table, o, line, exposure);
    }
    Json json = WriteTableFiles(o, table, state.working_folder);
    json["Model"] = DoseModelKey(o.model);
    json["Rows"] = table.RowCount();
    json["DoseTotal"] = JsonNumber(table.DoseTotal());
    WriteJson(out, json);
    return ExitStatus(ExitCode::Success);
}

}  // namespace korvex::cli
