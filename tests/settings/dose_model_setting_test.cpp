#include "settings/dose_model_setting.h"

#include <gtest/gtest.h>

#include <fstream>

#include "engine/errors.h"
#include "engine/text_file.h"
#include "tests/fixtures/synthetic_workdir.h"

namespace korvex {
namespace {

std::filesystem::path SettingsFile(const fixtures::TempFolder& folder) {
    return folder.path() / kSettingsFileName;
}

TEST(DoseModelSetting, MissingMeansTheDefaultWithoutAWord) {
    fixtures::TempFolder folder;
    const DoseModelSetting setting = ReadDoseModelSetting(folder.path());
    EXPECT_EQ(setting.model, DoseModel::Validated);
    EXPECT_EQ(setting.problem, "");
}

TEST(DoseModelSetting, WritingKeepsTheOtherLinesAndReplacesTheModel) {
    fixtures::TempFolder folder;
    WriteTextLines(SettingsFile(folder), {"Language=ja", "DoseModel=validated", "# 備考"},
                   "settings");
    WriteDoseModelSetting(folder.path(), DoseModel::Legacy);
    EXPECT_EQ(ReadTextFile(SettingsFile(folder), "settings"),
              "Language=ja\r\nDoseModel=legacy\r\n# 備考\r\n");
    EXPECT_EQ(ReadDoseModelSetting(folder.path()).model, DoseModel::Legacy);
    // A file without the key gets it at its end.
    WriteTextLines(SettingsFile(folder), {"Language=ja"}, "settings");
    WriteDoseModelSetting(folder.path(), DoseModel::Validated);
    EXPECT_EQ(ReadTextFile(SettingsFile(folder), "settings"),
              "Language=ja\r\nDoseModel=validated\r\n");
}

TEST(DoseModelSetting, WhatCannotBeUsedIsToldAndTheDefaultHolds) {
    fixtures::TempFolder folder;
    WriteTextLines(SettingsFile(folder), {"DoseModel=Legacy "}, "settings");
    DoseModelSetting setting = ReadDoseModelSetting(folder.path());
    EXPECT_EQ(setting.model, DoseModel::Validated);
    EXPECT_NE(setting.problem.find("「Legacy 」"), std::string::npos) << setting.problem;

    // Bytes that are no code page 932: the file is named, the default holds.
    std::ofstream(SettingsFile(folder), std::ios::binary) << "DoseModel=legacy\r\n\x81\x20";
    setting = ReadDoseModelSetting(folder.path());
    EXPECT_EQ(setting.model, DoseModel::Validated);
    EXPECT_NE(setting.problem.find(kSettingsFileName), std::string::npos) << setting.problem;

    // A folder in the file's place can be neither read nor replaced.
    std::filesystem::remove(SettingsFile(folder));
    std::filesystem::create_directory(SettingsFile(folder));
    EXPECT_FALSE(ReadDoseModelSetting(folder.path()).problem.empty());
    EXPECT_THROW(WriteDoseModelSetting(folder.path(), DoseModel::Legacy), FileError);
}

}  // namespace
}  // namespace korvex
