#include "settings/user_language.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "engine/errors.h"
#include "engine/text_file.h"
#include "settings/dose_model_setting.h"
#include "tests/fixtures/synthetic_workdir.h"

namespace korvex {
namespace {

// An environment of exactly the variables given.
EnvironmentLookup Environment(std::map<std::string, std::string> variables) {
    return [variables = std::move(variables)](const char* name) -> const char* {
        const auto found = variables.find(name);
        return found == variables.end() ? nullptr : found->second.c_str();
    };
}

constexpr UserLanguage kJa = UserLanguage::Japanese;
constexpr UserLanguage kEn = UserLanguage::English;

TEST(UserLanguage, TheFirstLocaleVariableSetDecidesAndJaIsJapanese) {
    EXPECT_EQ(LanguageFromEnvironment(Environment({{"LANG", "ja_JP.UTF-8"}})), kJa);
    EXPECT_EQ(LanguageFromEnvironment(Environment({{"LANG", "ja"}})), kJa);
    EXPECT_EQ(LanguageFromEnvironment(Environment({{"LANG", "ja_JP.eucJP@cjk"}})), kJa);
    EXPECT_EQ(LanguageFromEnvironment(Environment({{"LANG", "en_GB.UTF-8"}})), kEn);
    // Any language other than Japanese reads English, the one translation there is.
    EXPECT_EQ(LanguageFromEnvironment(Environment({{"LANG", "de_DE.UTF-8"}})), kEn);
    // "jam" is not "ja": the language code is compared whole.
    EXPECT_EQ(LanguageFromEnvironment(Environment({{"LANG", "jam_JM"}})), kEn);
    // LC_ALL before LC_MESSAGES before LANG; an empty one counts as unset.
    EXPECT_EQ(LanguageFromEnvironment(Environment(
                  {{"LC_ALL", "en_US.UTF-8"}, {"LC_MESSAGES", "ja_JP"}, {"LANG", "ja_JP"}})),
              kEn);
    EXPECT_EQ(LanguageFromEnvironment(
                  Environment({{"LC_ALL", ""}, {"LC_MESSAGES", "ja_JP"}, {"LANG", "en_US"}})),
              kJa);
    EXPECT_EQ(LanguageFromEnvironment(Environment({{"LC_MESSAGES", ""}, {"LANG", "ja_JP"}})), kJa);
}

TEST(UserLanguage, CPosixAndNoLocaleAreEnglishAndIgnoreLanguage) {
    EXPECT_EQ(LanguageFromEnvironment(Environment({})), kEn);
    EXPECT_EQ(LanguageFromEnvironment(Environment({{"LANG", "C"}})), kEn);
    EXPECT_EQ(LanguageFromEnvironment(Environment({{"LANG", "POSIX"}})), kEn);
    EXPECT_EQ(LanguageFromEnvironment(Environment({{"LANG", "C.UTF-8"}})), kEn);
    // LC_ALL=C over a Japanese desktop asks for the untranslated messages, whatever
    // LANGUAGE lists (as the C library does).
    EXPECT_EQ(LanguageFromEnvironment(
                  Environment({{"LC_ALL", "C"}, {"LANG", "ja_JP.UTF-8"}, {"LANGUAGE", "ja:en"}})),
              kEn);
    EXPECT_EQ(LanguageFromEnvironment(Environment({{"LANGUAGE", "ja:en"}})), kEn);
}

TEST(UserLanguage, LanguageListsPreferenceBeforeTheLocale) {
    EXPECT_EQ(
        LanguageFromEnvironment(Environment({{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "ja:en"}})),
        kJa);
    EXPECT_EQ(
        LanguageFromEnvironment(Environment({{"LANG", "ja_JP.UTF-8"}, {"LANGUAGE", "en:ja"}})),
        kEn);
    EXPECT_EQ(
        LanguageFromEnvironment(Environment({{"LANG", "ja_JP.UTF-8"}, {"LANGUAGE", "fr:en"}})),
        kEn);
    EXPECT_EQ(LanguageFromEnvironment(
                  Environment({{"LANG", "de_DE.UTF-8"}, {"LANGUAGE", "fr:ja_JP:en"}})),
              kJa);
    // No entry is ja or en (or the list is empty): the locale decides.
    EXPECT_EQ(
        LanguageFromEnvironment(Environment({{"LANG", "ja_JP.UTF-8"}, {"LANGUAGE", "fr:de"}})),
        kJa);
    EXPECT_EQ(LanguageFromEnvironment(Environment({{"LANG", "ja_JP.UTF-8"}, {"LANGUAGE", ":"}})),
              kJa);
}

TEST(UserLanguage, TheVariableThenTheSettingOverrideTheEnvironment) {
    const auto japanese_desktop = [](std::string given) {
        std::map<std::string, std::string> variables = {{"LANG", "ja_JP.UTF-8"}};
        if (!given.empty()) {
            variables[kLanguageVariable] = given;
        }
        return Environment(variables);
    };
    EXPECT_EQ(ResolveLanguage(japanese_desktop(""), LanguageChoice::Automatic), kJa);
    EXPECT_EQ(ResolveLanguage(japanese_desktop(""), LanguageChoice::English), kEn);
    EXPECT_EQ(ResolveLanguage(Environment({{"LANG", "C"}}), LanguageChoice::Japanese), kJa);
    EXPECT_EQ(ResolveLanguage(japanese_desktop("en"), LanguageChoice::Japanese), kEn);
    EXPECT_EQ(ResolveLanguage(japanese_desktop("en_US"), LanguageChoice::Automatic), kEn);
    EXPECT_EQ(ResolveLanguage(Environment({{kLanguageVariable, "ja"}}), LanguageChoice::English),
              kJa);
    // "auto" and what is no language pass the choice on.
    EXPECT_EQ(ResolveLanguage(japanese_desktop("auto"), LanguageChoice::English), kEn);
    EXPECT_EQ(ResolveLanguage(japanese_desktop("klingon"), LanguageChoice::Automatic), kJa);
}

std::filesystem::path SettingsFile(const fixtures::TempFolder& folder) {
    return folder.path() / kSettingsFileName;
}

TEST(LanguageSetting, StoredBesideTheDoseModelAndReadBack) {
    fixtures::TempFolder folder;
    EXPECT_EQ(ReadLanguageSetting(folder.path()).choice, LanguageChoice::Automatic);
    WriteDoseModelSetting(folder.path(), DoseModel::Legacy);
    WriteLanguageSetting(folder.path(), LanguageChoice::English);
    EXPECT_EQ(ReadTextFile(SettingsFile(folder), "settings"),
              "DoseModel=legacy\r\nLanguage=en\r\n");
    EXPECT_EQ(ReadLanguageSetting(folder.path()).choice, LanguageChoice::English);
    WriteLanguageSetting(folder.path(), LanguageChoice::Automatic);
    WriteDoseModelSetting(folder.path(), DoseModel::Validated);
    EXPECT_EQ(ReadTextFile(SettingsFile(folder), "settings"),
              "DoseModel=validated\r\nLanguage=auto\r\n");
    const LanguageSetting automatic = ReadLanguageSetting(folder.path());
    EXPECT_EQ(automatic.choice, LanguageChoice::Automatic);
    EXPECT_TRUE(automatic.problem.empty());
    WriteLanguageSetting(folder.path(), LanguageChoice::Japanese);
    EXPECT_EQ(ReadLanguageSetting(folder.path()).choice, LanguageChoice::Japanese);
}

TEST(LanguageSetting, WhatCannotBeUsedIsToldInBothLanguagesAndTheEnvironmentDecides) {
    fixtures::TempFolder folder;
    WriteTextLines(SettingsFile(folder), {"Language=日本語"}, "settings");
    LanguageSetting setting = ReadLanguageSetting(folder.path());
    EXPECT_EQ(setting.choice, LanguageChoice::Automatic);
    EXPECT_NE(setting.problem.japanese.find("「日本語」"), std::string::npos);
    EXPECT_NE(setting.problem.english.find("\"日本語\""), std::string::npos);

    std::ofstream(SettingsFile(folder), std::ios::binary) << "Language=en\r\n\x81\x20";
    setting = ReadLanguageSetting(folder.path());
    EXPECT_EQ(setting.choice, LanguageChoice::Automatic);
    EXPECT_NE(setting.problem.japanese.find(kSettingsFileName), std::string::npos);
    EXPECT_NE(setting.problem.english.find(kSettingsFileName), std::string::npos);

    std::filesystem::remove(SettingsFile(folder));
    std::filesystem::create_directory(SettingsFile(folder));
    EXPECT_THROW(WriteLanguageSetting(folder.path(), LanguageChoice::English), FileError);
}

}  // namespace
}  // namespace korvex
