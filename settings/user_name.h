#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "engine/user_message.h"

namespace korvex {

// The program labels its work with a user name (a facility, department or person). It is
// kept as line 32 of "Primary.dat", after the 31 lines of reference data; a file of 31
// lines means that no name is registered.
inline constexpr int kReferenceLineCount = 31;

// Never stored: the name of a user who did not register one, in the interface's language.
inline constexpr const char* kGuestUserName = "ゲストユーザー";
inline constexpr const char* kGuestUserNameEnglish = "Guest user";

// Main window caption before a user name is known.
inline constexpr const char* kStartCaption = "  Korvex-2  ( Korvex, version 2 )";

inline constexpr const char* kNoNameEnteredMessage =
    KORVEX_TRANSLATE_NOOP("korvex::Core", "名前が入力されていません");

// Line 32 of "Primary.dat" in the working folder, or nullopt when none is stored: the file
// is missing or unreadable, ends before line 32, or line 32 is empty (a registration never
// writes an empty name). Bytes that are no code page 932 character show as U+FFFD.
std::optional<std::string> ReadUserName(const std::filesystem::path& working_folder);

// Why a typed name cannot be registered, or nullopt when it can: it must not be empty, it
// must be one line without control characters (it becomes one line of the file), and it
// must be writable in code page 932.
std::optional<UserMessage> CheckUserName(std::string_view typed);

struct RegistrationOutcome {
    bool registered = false;
    UserMessage refusal;  // shown when the name was not registered
};

// Registers `typed` as the user name: rewrites "Primary.dat" as its first 31 lines, kept
// byte for byte, followed by the name, each line ended by CR LF; lines after the 31st are
// dropped. The file is replaced atomically. A refused name, a file that is missing or has
// fewer than 31 lines, or a failed write leaves the file and `UserName` unchanged and
// says why.
RegistrationOutcome RegisterUserName(const std::filesystem::path& working_folder,
                                     std::string_view typed, std::string& UserName);

// Continues without a registered name: nothing is written.
void ChooseGuest(std::string& UserName, UserLanguage language = UserLanguage::Japanese);

// Caption with a registered or found name; it replaces whatever the caption was.
std::string CaptionWithUserName(std::string_view name);
// Caption after the guest was chosen: the current caption followed by the guest name.
std::string CaptionWithGuest(std::string_view current_caption,
                             UserLanguage language = UserLanguage::Japanese);

}  // namespace korvex
