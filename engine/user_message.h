#pragma once

#include <string>

// Marks a fixed text of the core that windows show. The core keeps the Japanese; Qt
// Linguist's lupdate collects the text (as QT_TRANSLATE_NOOP) and a window shows its
// translation through CoreText (ui/interface_language.h), which looks it up under the
// context "korvex::Core": every mark names that context.
#define KORVEX_TRANSLATE_NOOP(context, text) text

namespace korvex {

// The language the user reads the program in: the windows' texts, the command line's help
// and messages, printed pages and pictures. Japanese texts are the program's own; English is
// their translation (settings/user_language.h says which one a user gets).
enum class UserLanguage { Japanese, English };

// A text for the user in the program's two languages, where the core cannot leave the
// translation to the windows: reasons and notes that the command line prints too.
struct UserText {
    std::string japanese;
    std::string english;

    bool empty() const { return japanese.empty(); }
    const std::string& In(bool japanese_wanted) const {
        return japanese_wanted ? japanese : english;
    }
    const std::string& In(UserLanguage language) const {
        return In(language == UserLanguage::Japanese);
    }
    bool operator==(const UserText&) const = default;
};

enum class MessageIcon { None, Exclamation };

// A message for the user, as the core decides it and a window shows it.
struct UserMessage {
    std::string text;
    MessageIcon icon = MessageIcon::None;
    bool beep = false;  // sound the system beep before showing it
    // The same message in English where the core words it itself; empty for a fixed text,
    // which the windows translate (KORVEX_TRANSLATE_NOOP), and for texts in Japanese only.
    std::string english = {};
};

// What a dialog's rule did with the user's input: accepted (true), or refused with the
// message to show.
struct RuleOutcome {
    bool accepted = false;
    UserMessage refusal;  // empty when accepted
    explicit operator bool() const { return accepted; }
};

}  // namespace korvex
