#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/user_message.h"

namespace korvex {

// The user's choice of language, stored as the key "Language" of the settings file
// ("auto", "ja", "en") or given as KORVEX2_LANGUAGE.
enum class LanguageChoice { Automatic, Japanese, English };

inline constexpr const char* kLanguageSettingKey = "Language";
inline constexpr const char* kLanguageVariable = "KORVEX2_LANGUAGE";

// A variable of the environment by name; nullptr when it is not set.
using EnvironmentLookup = std::function<const char*(const char*)>;

// The process's own environment (std::getenv).
EnvironmentLookup ProcessEnvironment();

// The language of the locale, the rule of every POSIX program's messages: the first of
// LC_ALL, LC_MESSAGES and LANG that is set and not empty is the locale. A ja locale
// (ja, ja_JP.UTF-8, ...) is Japanese, any other English. The C and POSIX locales (C.UTF-8
// too), and no locale at all, are English: such a locale is a server's, a container's, a
// script's or cron's, whose terminal may not show Japanese, and `LC_ALL=C program` is how
// a user asks for the untranslated English messages. LANGUAGE, the list of languages in
// order of preference (ja:en), decides before the locale's own language: its first entry
// that is ja or en wins; entries of other languages are passed over. As in the C library,
// LANGUAGE is not read under the C or POSIX locale, so LC_ALL=C gives English even where
// the desktop sets LANGUAGE=ja.
UserLanguage LanguageFromEnvironment(const EnvironmentLookup& environment);

// The language the program speaks: KORVEX2_LANGUAGE when it is ja or en (a single run's
// choice), else the stored choice when it is not Automatic, else the environment's rule
// above. Any other value of KORVEX2_LANGUAGE ("auto", empty) passes the choice on.
UserLanguage ResolveLanguage(const EnvironmentLookup& environment, LanguageChoice stored);

// "ja", "en" or "auto"; nullopt for anything else. A language tag's region and encoding are
// allowed ("ja_JP.UTF-8"), as in a locale.
std::optional<LanguageChoice> LanguageChoiceFromText(std::string_view text);
std::string_view LanguageChoiceKey(LanguageChoice choice);

struct LanguageSetting {
    LanguageChoice choice = LanguageChoice::Automatic;
    // Why the stored choice could not be used (a broken file, an unknown value), in both
    // languages since the language is yet to be decided; Automatic then holds. Empty when
    // the file or the key is missing or fine.
    UserText problem;
};

// The choice stored in the working folder's settings file.
LanguageSetting ReadLanguageSetting(const std::filesystem::path& working_folder);

// Stores the choice, keeping the file's other lines. Throws FileError when the file cannot
// be written (the old one stays as it was).
void WriteLanguageSetting(const std::filesystem::path& working_folder, LanguageChoice choice);

}  // namespace korvex
