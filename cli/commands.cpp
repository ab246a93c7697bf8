#include "cli/commands.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "cli/calc_command.h"
#include "cli/command_options.h"
#include "cli/device_command.h"
#include "cli/dose_report_command.h"
#include "cli/failure.h"
#include "cli/help_text.h"
#include "cli/node_commands.h"
#include "cli/table_command.h"
#include "engine/calculation_driver.h"
#include "engine/device_calibration.h"
#include "engine/errors.h"
#include "engine/text_rules.h"

namespace korvex::cli {
namespace {

// The options of every command, filled by the parser.
struct Commands {
    CommonOptions common;
    CalcOptions calc;
    DeviceOptions device;
    TableOptions table;
    ReportRequest report;
    ListenRequest listen;
    ArchiveRequest archive;
};

void AddCommands(CLI::App& app, const Help& help, Commands& c) {
    AddCalcCommand(app, help, c.calc);
    AddDeviceCommand(app, help, c.device);
    AddTableCommand(app, help, c.table);
    AddReportCommand(app, help, c.report);
    AddListenCommand(app, help, c.listen);
    AddArchiveCommand(app, help, c.archive);
    for (CLI::App* command : app.get_subcommands({})) {
        AddWorkdirOption(command, help, c.common.workdir);
        for (CLI::App* inner : command->get_subcommands({})) {
            AddWorkdirOption(inner, help, c.common.workdir);
        }
    }
}

int RunChosen(const CLI::App& app, Commands& c, std::ostream& out, std::ostream& err) {
    if (app.got_subcommand("report")) {
        EngineState state = LoadState(c.common);
        return RunReport(state, c.report, out, err);
    }
    if (app.got_subcommand("listen")) {
        return RunListen(c.common, c.listen, err);
    }
    if (app.got_subcommand("archive")) {
        return RunArchive(c.common, c.archive, err);
    }
    if (app.got_subcommand("calc")) {
        return RunCalc(c.calc, c.common, out);
    }
    if (app.got_subcommand("device")) {
        return RunDeviceCreate(c.device, c.common, out);
    }
    return RunTable(c.table, c.common, out);
}

// The failure a command ended with, of whatever kind it was thrown as.
Failure FailureOf(const std::exception_ptr& thrown) {
    try {
        std::rethrow_exception(thrown);
    } catch (const CommandFailure& failure) {
        return failure.failure();
    } catch (const CalibrationInputError& error) {
        return Failure{ExitCode::Usage, error.what(), {}, {}, {}, {}};
    } catch (const WriteError& error) {
        // The input was fine; the file system refused the result.
        return Failure{ExitCode::OutputFile, error.what(), {}, {}, {}, {}};
    } catch (const FileError& error) {
        return Failure{ExitCode::InputFile, error.what(), {}, {}, {}, {}};
    } catch (const CalculationError& error) {
        return Failure{
            ExitCode::CalculationFailed, kCalculationFailureMessage, error.what(), {}, {}, {}};
    } catch (const std::exception& error) {
        // Nothing may end the tool without a message (a file-system failure, no memory).
        return Failure{
            ExitCode::Internal, "korvex2-cli: " + MessageQuote(error.what()), {}, {}, {}, {}};
    } catch (...) {
        return Failure{ExitCode::Internal, "korvex2-cli: unknown failure", {}, {}, {}, {}};
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
    app.footer(help(kProgramFooter));
    app.set_version_flag("--version", "korvex2-cli " KORVEX_VERSION,
                         help({"版数を表示します", "print the version"}));
    app.require_subcommand(1);
    app.set_help_flag("-h,--help", help({"この説明を表示します", "print this help"}));

    Commands commands;
    commands.common.executable = executable;
    commands.report.japanese = help.japanese();
    commands.table.japanese = help.japanese();
    commands.listen.japanese = help.japanese();
    commands.archive.japanese = help.japanese();
    AddCommands(app, help, commands);
    if (help.japanese()) {
        TranslateGroups(app);
    }
    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error, out, err);
        // Help and version are answers; every other parse failure is a usage error.
        return code == 0 ? ExitStatus(ExitCode::Success) : ExitStatus(ExitCode::Usage);
    }
    const OutputFormat format = app.got_subcommand("report") && commands.report.format == "csv"
                                    ? OutputFormat::Csv
                                    : OutputFormat::Json;
    try {
        return RunChosen(app, commands, out, err);
    } catch (...) {
        return ReportFailure(FailureOf(std::current_exception()), format, out, err);
    }
}

}  // namespace korvex::cli
