#include "settings/user_language.h"

#include <cstdlib>

#include "engine/errors.h"
#include "engine/text_rules.h"
#include "settings/settings_file.h"

namespace korvex {
namespace {

// "ja_JP.UTF-8@cjk" → "ja": a locale's or a language tag's language.
std::string_view LanguageCode(std::string_view tag) {
    return tag.substr(0, tag.find_first_of("_.@"));
}

bool IsCLocale(std::string_view locale) {
    const std::string_view code = LanguageCode(locale);
    return code == "C" || code == "POSIX";
}

std::optional<UserLanguage> OfferedLanguage(std::string_view tag) {
    const std::string_view code = LanguageCode(tag);
    if (code == "ja") {
        return UserLanguage::Japanese;
    }
    if (code == "en") {
        return UserLanguage::English;
    }
    return std::nullopt;
}

std::string_view Variable(const EnvironmentLookup& environment, const char* name) {
    const char* value = environment(name);
    return value == nullptr ? std::string_view() : std::string_view(value);
}

std::optional<UserLanguage> FirstOfferedInList(std::string_view list) {
    while (!list.empty()) {
        const std::size_t colon = list.find(':');
        if (const std::optional<UserLanguage> language = OfferedLanguage(list.substr(0, colon))) {
            return language;
        }
        list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
    }
    return std::nullopt;
}

UserLanguage FromChoice(LanguageChoice choice) {
    return choice == LanguageChoice::Japanese ? UserLanguage::Japanese : UserLanguage::English;
}

}  // namespace

EnvironmentLookup ProcessEnvironment() {
    return [](const char* name) { return static_cast<const char*>(std::getenv(name)); };
}

UserLanguage LanguageFromEnvironment(const EnvironmentLookup& environment) {
    std::string_view locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = Variable(environment, name);
        if (!locale.empty()) {
            break;
        }
    }
    if (locale.empty() || IsCLocale(locale)) {
        return UserLanguage::English;
    }
    if (const std::optional<UserLanguage> listed =
            FirstOfferedInList(Variable(environment, "LANGUAGE"))) {
        return *listed;
    }
    return LanguageCode(locale) == "ja" ? UserLanguage::Japanese : UserLanguage::English;
}

UserLanguage ResolveLanguage(const EnvironmentLookup& environment, LanguageChoice stored) {
    const std::optional<LanguageChoice> given =
        LanguageChoiceFromText(Variable(environment, kLanguageVariable));
    if (given && *given != LanguageChoice::Automatic) {
        return FromChoice(*given);
    }
    if (stored != LanguageChoice::Automatic) {
        return FromChoice(stored);
    }
    return LanguageFromEnvironment(environment);
}

std::optional<LanguageChoice> LanguageChoiceFromText(std::string_view text) {
    if (text == "auto") {
        return LanguageChoice::Automatic;
    }
    if (const std::optional<UserLanguage> language = OfferedLanguage(text)) {
        return *language == UserLanguage::Japanese ? LanguageChoice::Japanese
                                                   : LanguageChoice::English;
    }
    return std::nullopt;
}

std::string_view LanguageChoiceKey(LanguageChoice choice) {
    switch (choice) {
        case LanguageChoice::Japanese:
            return "ja";
        case LanguageChoice::English:
            return "en";
        case LanguageChoice::Automatic:
            break;
    }
    return "auto";
}

LanguageSetting ReadLanguageSetting(const std::filesystem::path& working_folder) {
    LanguageSetting setting;
    std::optional<std::string> value;
    try {
        value = ReadSetting(working_folder, kLanguageSettingKey);
    } catch (const FileError& failure) {
        // FileError texts are Japanese only; the English says what follows from it.
        setting.problem = {std::string(failure.what()) + " 表示言語は環境の設定に従います。",
                           std::string("The settings file \"") + kSettingsFileName +
                               "\" cannot be read; the language follows the environment."};
        return setting;
    }
    if (!value) {
        return setting;
    }
    if (const std::optional<LanguageChoice> choice = LanguageChoiceFromText(*value)) {
        setting.choice = *choice;
        return setting;
    }
    const std::string quoted = MessageQuote(*value);
    setting.problem = {std::string("設定ファイル「") + kSettingsFileName + "」の表示言語「" +
                           quoted + "」は分からないため、環境の設定に従います。",
                       std::string("The language \"") + quoted + "\" in the settings file \"" +
                           kSettingsFileName +
                           "\" is unknown; the language follows the environment."};
    return setting;
}

void WriteLanguageSetting(const std::filesystem::path& working_folder, LanguageChoice choice) {
    WriteSetting(working_folder, kLanguageSettingKey, LanguageChoiceKey(choice));
}

}  // namespace korvex
