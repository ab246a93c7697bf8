#pragma once

#include <string>

namespace korvex {

enum class MessageIcon { None, Exclamation };

// A message for the user, as the core decides it and a window shows it.
struct UserMessage {
    std::string text;
    MessageIcon icon = MessageIcon::None;
    bool beep = false;  // sound the system beep before showing it
};

// What a dialog's rule did with the user's input: accepted (true), or refused with the
// message to show.
struct RuleOutcome {
    bool accepted = false;
    UserMessage refusal;  // empty when accepted
    explicit operator bool() const { return accepted; }
};

}  // namespace korvex
