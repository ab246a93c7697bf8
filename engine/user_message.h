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

}  // namespace korvex
