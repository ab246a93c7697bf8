#include "cli/help_text.h"

#include <CLI/CLI.hpp>

#include "settings/user_language.h"

namespace korvex::cli {

bool UserReadsJapanese() {
    return ResolveLanguage(ProcessEnvironment(), LanguageChoice::Automatic) ==
           UserLanguage::Japanese;
}

const Said kProgramHelp = {"Korvex-2 の計算をウィンドウなしで行います。",
                           "Korvex-2's skin-dose calculation without windows."};
const Said kProgramFooter = {
    "作業フォルダーは --workdir DIR、なければ "
    "KORVEX2_WORKDIR、なければユーザーのデータフォルダーです。\n"
    "終了コード (全コマンド共通): 0 正常、1 計算できなかった、2 指定の誤り・入力値の拒否、"
    "3 入力ファイルがない・読めない、4 出力ファイルを書けなかった、5 その他の障害。\n"
    "エラーは標準エラーに出力し、JSON 出力では標準出力にも {\"Error\": ...} を出力します "
    "(2 を除く)。詳しくは docs/cli.md。",
    "The working folder is --workdir DIR, else KORVEX2_WORKDIR, else the user's data folder.\n"
    "Exit codes (every command): 0 done, 1 the calculation failed, 2 wrong or refused input, "
    "3 an input file is missing or cannot be read, 4 an output file could not be written, "
    "5 any other failure.\n"
    "Errors go to standard error; with JSON output also an {\"Error\": ...} object to standard "
    "output (not for 2). See docs/cli.md."};

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

}  // namespace korvex::cli
