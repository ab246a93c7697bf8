#pragma once

#include <string>

namespace CLI {
class App;
}

namespace korvex::cli {

// A help text in both languages.
struct Said {
    const char* japanese;
    const char* english;
};

// True when the tool speaks Japanese: KORVEX2_LANGUAGE, else the environment's locale and
// LANGUAGE (settings/user_language.h, the rule of the windows too). The working folder's
// stored choice is the windows' and is not read: the help is written before --workdir is
// known, and a script's output does not change with a choice made in a window.
bool UserReadsJapanese();

// Picks the user's language of a Said.
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

// The program's description and its footer: the working folder and the exit codes.
extern const Said kProgramHelp;
extern const Said kProgramFooter;

// CLI11's own words (usage, options, commands) in Japanese; call before the commands are
// added.
void TranslateLabels(CLI::App& app);
// Options and commands under Japanese headings; call after every option is added.
void TranslateGroups(CLI::App& app);

}  // namespace korvex::cli
