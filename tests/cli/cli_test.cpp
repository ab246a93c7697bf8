#include <sys/stat.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

#include "cli/commands.h"
#include "cli/json_output.h"
#include "device/device_entry.h"
#include "device/device_file.h"
#include "engine/calculation_driver.h"
#include "engine/engine_state.h"
#include "engine/text_file.h"
#include "results/results_csv.h"
#include "tests/cli/cli_test_support.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"

namespace korvex::cli {
namespace {

TEST(JsonOutput, KeepsOrderRefusesNonFiniteNumbersAndAlwaysParses) {
    Json json;
    json["b"] = JsonNumber(2.768166089965398);
    json["a"] = "胸部\"背面\\\n";
    json["bad"] = std::string("x\xff");
    std::ostringstream out;
    WriteJson(out, json);
    const std::string text = out.str();
    EXPECT_LT(text.find("\"b\""), text.find("\"a\""));
    EXPECT_EQ(text.back(), '\n');
    const Json read = Json::parse(text);
    EXPECT_EQ(read["b"].get<double>(), 2.768166089965398);
    EXPECT_EQ(read["a"].get<std::string>(), "胸部\"背面\\\n");
    EXPECT_EQ(read["bad"].get<std::string>(), "x\xEF\xBF\xBD");
    EXPECT_THROW(JsonNumber(std::numeric_limits<double>::infinity()), std::invalid_argument);
    EXPECT_THROW(JsonNumber(std::nan("")), std::invalid_argument);
}

using CommandLineTest = CliTest;

TEST_F(CommandLineTest, CalcPrintsWhatTheWindowWouldShow) {
    ASSERT_EQ(Run({"calc", "--device", "room1.kvx2", "--kar", "10", "--pka", "1", "--shape",
                   "square", "--site", "胸部背面"}),
              0)
        << err_.str();
    const Json json = Output();

    // The same through the engine directly: device defaults 80 kV and 85 cm.
    const fixtures::DirectCalculation direct = fixtures::CalculateTypicalExposure(folder_.path());
    const CalculationOutcome& expected = direct.outcome;
    ASSERT_EQ(expected.result, CalculationOutcome::Result::Succeeded);
    ASSERT_EQ(json["Display"].size(), 7u);
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(json["Display"][kDisplayNames[i]], *expected.displays[i]) << kDisplayNames[i];
    }
    EXPECT_EQ(json["SkinDose"].get<double>(), direct.calc.SkinDose);
    EXPECT_EQ(json["ReferenceFieldSize"], "10.00");
    EXPECT_EQ(json["EffectiveSurfaceDistance"].get<double>(), 85 - 1.234);
    const std::vector<std::string> row = json["Row"];
    ASSERT_EQ(row.size(), 16u);
    EXPECT_EQ(std::vector<std::string>(row.begin(), row.begin() + 11),
              (std::vector<std::string>{"胸部背面", "80", "2.50", "1.00", "0.10", "-", "0", "85",
                                        "10.0cm平方", "10.0", "01.0"}));
}

TEST_F(CommandLineTest, CalcReportsFailuresWithTheirExitCodes) {
    // 150 kV cannot be calculated.
    EXPECT_EQ(Run({"calc", "--device", "room1.kvx2", "--kar", "10", "--pka", "1", "--shape",
                   "circle", "--kv", "150"}),
              1);
    EXPECT_EQ(Output()["Error"], "　???  正しく計算できませんでした  ???   ");
    EXPECT_FALSE(Output()["Reason"].get<std::string>().empty());
    EXPECT_EQ(err_.str().rfind("　???  正しく計算できませんでした  ???    (", 0), 0) << err_.str();

    // A missing kernel file stops the depth step with its own message.
    std::filesystem::remove(folder_.path() / fixtures::ScatterKernelFileName(45));
    EXPECT_EQ(
        Run({"calc", "--device", "room1.kvx2", "--kar", "10", "--pka", "1", "--shape", "square"}),
        1);
    EXPECT_EQ(Output()["Error"], " 正しく計算できません ");
    EXPECT_EQ(Output()["Model"], "validated");
    EXPECT_EQ(Run({"calc", "--device", "room1.kvx2", "--kar", "10", "--pka", "1", "--shape",
                   "square", "--model", "legacy"}),
              1);
    EXPECT_EQ(Output()["Model"], "legacy");

    // Missing input, a missing option, an unreadable device, a wrong shape.
    EXPECT_EQ(
        Run({"calc", "--device", "room1.kvx2", "--kar", "0", "--pka", "1", "--shape", "none"}), 2);
    EXPECT_TRUE(out_.str().empty());  // a usage error is said on stderr only
    EXPECT_NE(err_.str().find("未入力の項目があります"), std::string::npos);
    EXPECT_EQ(Run({"calc", "--device", "room1.kvx2", "--kar", "10", "--shape", "none"}), 2);
    EXPECT_NE(err_.str().find("--pka is required"), std::string::npos) << err_.str();
    EXPECT_EQ(
        Run({"calc", "--device", "none.kvx2", "--kar", "10", "--pka", "1", "--shape", "none"}), 3);
    EXPECT_NE(err_.str().find("none.kvx2"), std::string::npos);
    EXPECT_EQ(Output()["File"], "none.kvx2");
    EXPECT_EQ(
        Run({"calc", "--device", "room1.kvx2", "--kar", "10", "--pka", "1", "--shape", "oval"}), 2);
    EXPECT_EQ(Run({"frobnicate"}), 2);
    EXPECT_EQ(Run({"calc", "--device", "room1.kvx2", "--kar", "10", "--pka", "1", "--shape",
                   "square", "--colour", "red"}),
              2);
    EXPECT_NE(err_.str().find("--colour"), std::string::npos) << err_.str();
    EXPECT_TRUE(out_.str().empty());
}

// Help follows the user's language; the version and help are answers, not errors.
TEST_F(CommandLineTest, HelpInTheUsersLanguageAndVersion) {
    {
        ScopedLanguage japanese({{"LANG", "ja_JP.UTF-8"}});
        EXPECT_EQ(Run({"calc", "--help"}), 0);
        EXPECT_NE(out_.str().find("装置表示の患者照射基準点線量"), std::string::npos) << out_.str();
        EXPECT_NE(out_.str().find("使い方"), std::string::npos);
        EXPECT_NE(out_.str().find("--device"), std::string::npos);
    }
    {
        ScopedLanguage english({{"LANG", "en_GB.UTF-8"}});
        EXPECT_EQ(Run({"table", "--help"}), 0);
        EXPECT_NE(out_.str().find("results-table CSV file"), std::string::npos) << out_.str();
        EXPECT_EQ(out_.str().find("結果表"), std::string::npos);
        EXPECT_EQ(Run({"--help"}), 0);
        EXPECT_NE(out_.str().find("calc"), std::string::npos);
        EXPECT_NE(out_.str().find("Exit codes"), std::string::npos);
    }
    EXPECT_EQ(Run({"--version"}), 0);
    EXPECT_NE(out_.str().find("korvex2-cli 2."), std::string::npos) << out_.str();
}

// The tool follows the windows' language rule: LANGUAGE before the locale, C and POSIX in
// English whatever LANGUAGE says, KORVEX2_LANGUAGE over everything.
TEST_F(CommandLineTest, LanguageFollowsTheProgramsOneRule) {
    const auto help_is_japanese = [this](ScopedLanguage::Variables variables) {
        ScopedLanguage language(variables);
        EXPECT_EQ(Run({"--help"}), 0);
        return out_.str().find("使い方") != std::string::npos;
    };
    EXPECT_TRUE(help_is_japanese({{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "ja:en"}}));
    EXPECT_FALSE(help_is_japanese({{"LANG", "ja_JP.UTF-8"}, {"LANGUAGE", "en:ja"}}));
    EXPECT_FALSE(help_is_japanese({{"LANG", "ja_JP.UTF-8"}, {"LANGUAGE", "fr:en"}}));
    EXPECT_FALSE(help_is_japanese({{"LC_ALL", "C"}, {"LANG", "ja_JP.UTF-8"}, {"LANGUAGE", "ja"}}));
    EXPECT_FALSE(help_is_japanese({{"LANG", "POSIX"}}));
    EXPECT_FALSE(help_is_japanese({}));
    EXPECT_TRUE(help_is_japanese({{"LANG", "C.UTF-8"}, {"KORVEX2_LANGUAGE", "ja"}}));
    EXPECT_FALSE(help_is_japanese({{"LANG", "ja_JP.UTF-8"}, {"KORVEX2_LANGUAGE", "en"}}));
}

TEST_F(CommandLineTest, DeviceCreateCalibratesAndWritesTheFile) {
    ASSERT_EQ(
        Run({"device",  "create", "--name",     "Room 7", "--frd", "120",   "--fid", "100",
             "--angle", "12",     "--inherent", "2.5",    "--al",  "1.0",   "--cu",  "0.1",
             "--kv",    "80",     "--k0",       "2.000",  "--k1",  "1.700", "--kd",  "1.000"}),
        0)
        << err_.str();
    const Json json = Output();
    EXPECT_EQ(json["CouchTransmission"].get<double>(), 1.7 / 2.0);
    EXPECT_EQ(json["KermaCorrectionFactor"].get<double>(), 2.0 * (100.0 / 85) * (100.0 / 85));
    EXPECT_EQ(json["File"], "Room 7.kvx2");

    EngineState state(LoadReferenceTables(folder_.path()), folder_.path());
    const LoadedDevice device = LoadDeviceFile(state, "Room 7.kvx2");
    EXPECT_EQ(device.TypicalTubeVoltage, "80");
    EXPECT_DOUBLE_EQ(state.calc.CouchTransmission, 0.85);
    EXPECT_DOUBLE_EQ(state.calc.KermaCorrectionFactor, 2.768);
    EXPECT_GT(state.calc.CouchEquivalentThickness, 0);

    // A couch that amplifies the beam is refused and nothing is written.
    EXPECT_EQ(Run({"device",  "create", "--name",     "Bad", "--frd", "120", "--fid", "100",
                   "--angle", "12",     "--inherent", "2.5", "--al",  "0",   "--cu",  "0",
                   "--kv",    "80",     "--k0",       "1.0", "--k1",  "1.2", "--kd",  "1.0"}),
              2);
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / "Bad.kvx2"));
}

// `device create` is the device dialog without its window (DeviceEntry, FilterEntry): the
// same checks, the same messages, the same file.
TEST_F(CommandLineTest, DeviceCreateChecksAsTheDialogDoes) {
    fixtures::WriteSyntheticMaterial(folder_.path() / "lead.ele");
    const auto create = [&](const std::string& name, const std::string& al,
                            const std::string& filter) {
        std::vector<std::string> args{
            "device",  "create", "--name",     name,    "--frd", "120",   "--fid", "100",
            "--angle", "12",     "--inherent", "2.5",   "--al",  al,      "--cu",  "0.1",
            "--kv",    "80",     "--k0",       "2.000", "--k1",  "1.700", "--kd",  "1.000"};
        if (!filter.empty()) {
            args.insert(args.end(), {"--filter", filter});
        }
        return Run(args);
    };
    ASSERT_EQ(create("Leaded", "1.0", "lead:0.1"), 0) << err_.str();
    std::ifstream in(folder_.path() / "Leaded.kvx2", std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line.substr(0, line.find('\r')));
    }
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[6], " 1 ");
    EXPECT_EQ(lines[7], "lead");
    EXPECT_EQ(lines[8], "0.1");

    EXPECT_EQ(create("Empty", "", ""), 2);
    EXPECT_EQ(err_.str(), " 入力されていない箇所があります \n");
    EXPECT_EQ(create("Thin", "1.0", "lead:0"), 2);
    EXPECT_EQ(err_.str(), "　フィルターの厚さを入力して下さい　\n");
    EXPECT_EQ(create("Nothing", "1.0", "nothing:0.1"), 3);  // a material file that is not there
    EXPECT_NE(err_.str().find("nothing.ele"), std::string::npos) << err_.str();
    EXPECT_EQ(create("a/b", "1.0", ""), 2);
    EXPECT_NE(err_.str().find("a/b"), std::string::npos) << err_.str();
    for (const char* name : {"Empty", "Thin", "Nothing"}) {
        EXPECT_FALSE(std::filesystem::exists(folder_.path() / (std::string(name) + ".kvx2")));
    }
}

// The couch choice of `device create` is the dialog's: the layer unless a table top is asked
// for, a mattress only with the table top (4 cm unless given), checked by the same rules.
TEST_F(CommandLineTest, DeviceCreateTakesTheCouchModelAsTheDialogDoes) {
    const auto create = [&](const std::string& name, const std::vector<std::string>& couch) {
        std::vector<std::string> args{
            "device",  "create", "--name",     name,    "--frd", "120",   "--fid", "100",
            "--angle", "12",     "--inherent", "2.5",   "--al",  "1.0",   "--cu",  "0.1",
            "--kv",    "80",     "--k0",       "2.000", "--k1",  "1.700", "--kd",  "1.000"};
        args.insert(args.end(), couch.begin(), couch.end());
        return Run(args);
    };
    const auto lines = [&](const std::string& name) {
        std::ifstream in(folder_.path() / name, std::ios::binary);
        std::vector<std::string> read;
        for (std::string line; std::getline(in, line);) {
            read.push_back(line.substr(0, line.find('\r')));
        }
        return read;
    };

    ASSERT_EQ(create("Layer", {}), 0) << err_.str();
    Json json = Output();
    EXPECT_EQ(json["CouchModel"], "layer");
    EXPECT_FALSE(json.contains("MattressThickness"));
    EXPECT_EQ(lines("Layer.kvx2").size(), 13u);
    ASSERT_EQ(create("Layer2", {"--couch", "layer"}), 0) << err_.str();
    EXPECT_EQ(lines("Layer2.kvx2"), lines("Layer.kvx2"));

    ASSERT_EQ(create("Table", {"--couch", "table-top"}), 0) << err_.str();
    json = Output();
    EXPECT_EQ(json["CouchModel"], "table-top");
    EXPECT_EQ(json["MattressThickness"], kDefaultMattressThicknessCm);
    std::vector<std::string> table = lines("Table.kvx2");
    ASSERT_EQ(table.size(), 15u);
    EXPECT_EQ(std::vector<std::string>(table.begin(), table.begin() + 13), lines("Layer.kvx2"));
    EXPECT_EQ(table[13], "1");
    EXPECT_EQ(table[14], "4.0");
    ASSERT_EQ(create("Thin", {"--couch", "table-top", "--mattress", "2.5"}), 0) << err_.str();
    EXPECT_EQ(Output()["MattressThickness"], 2.5);
    EXPECT_EQ(lines("Thin.kvx2")[14], "2.5");

    // Refused: a usage error on standard error, nothing written.
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"--mattress", "4"}, "--mattress は --couch table-top と共に指定して下さい。\n"},
        {{"--couch", "layer", "--mattress", "4"},
         "--mattress は --couch table-top と共に指定して下さい。\n"},
        {{"--couch", "table-top", "--mattress", "11"}, MattressThicknessRefusal(11) + "\n"},
        {{"--couch", "table-top", "--mattress", "thick"},
         NotANumberMessage("マットの厚さ", "thick") + "\n"},
        {{"--couch", "table-top", "--mattress", ""}, std::string(kEmptyBoxMessage) + "\n"},
        {{"--couch", "sofa"}, ""},
    };
    for (const auto& [couch, message] : refused) {
        EXPECT_EQ(create("Refused", couch), 2) << couch.back();
        if (!message.empty()) {
            EXPECT_EQ(err_.str(), message);
        }
        EXPECT_TRUE(out_.str().empty()) << couch.back();
        EXPECT_FALSE(std::filesystem::exists(folder_.path() / "Refused.kvx2")) << couch.back();
    }
}

// `calc` names the device's couch model; a table top adds its mattress and the two couch
// values the calculation used.
TEST_F(CommandLineTest, CalcNamesTheCouchModelAndTheTableTopsValues) {
    ASSERT_EQ(
        Run({"calc", "--device", "room1.kvx2", "--kar", "10", "--pka", "1", "--shape", "square"}),
        0);
    Json json = Output();
    EXPECT_EQ(json["CouchModel"], "layer");
    for (const char* key : {"MattressThickness", "CouchScatterRatio", "TableTopTransmission",
                            "CouchScatterBeyondTable"}) {
        EXPECT_FALSE(json.contains(key)) << key;
    }

    fixtures::WriteTypicalTableTopDevice(folder_.path(), "table.kvx2", "5.0");
    ASSERT_EQ(Run({"calc", "--device", "table.kvx2", "--kar", "10", "--pka", "1", "--shape",
                   "square", "--site", "胸部背面"}),
              0)
        << err_.str();
    json = Output();
    EXPECT_EQ(json["CouchModel"], "table-top");
    EXPECT_EQ(json["MattressThickness"], 5);
    // The values the engine left in the case, as a direct calculation leaves them.
    const fixtures::DirectCalculation direct =
        fixtures::CalculateTypicalExposure(folder_.path(), "table.kvx2");
    ASSERT_EQ(direct.calc.Couch, CouchModel::TableTop);
    EXPECT_EQ(json["CouchScatterRatio"].get<double>(), direct.calc.CouchScatterRatio);
    EXPECT_EQ(json["TableTopTransmission"].get<double>(), direct.calc.TableTopTransmission);
    EXPECT_EQ(json["CouchScatterBeyondTable"].get<std::vector<std::string>>(),
              direct.calc.CouchScatterBeyondTable);
    EXPECT_EQ(json["SkinDose"].get<double>(), direct.calc.SkinDose);

    // The legacy formula knows only the layer, but the device is still named as it is.
    ASSERT_EQ(Run({"calc", "--device", "table.kvx2", "--kar", "10", "--pka", "1", "--shape",
                   "square", "--model", "legacy"}),
              0);
    json = Output();
    EXPECT_EQ(json["CouchModel"], "table-top");
    EXPECT_TRUE(json["CouchScatterRatio"].is_number());
    EXPECT_TRUE(json["TableTopTransmission"].is_number());
}

TEST_F(CommandLineTest, TableCalculatesASeriesIntoAResultsFile) {
    const auto input = folder_.path() / "series.csv";
    std::ofstream(input, std::ios::binary) << "device,site,kv,kar,pka,shape,fsd\n"
                                           << "room1.kvx2,頭部,,10,1,square,\n"
                                           << "room1.kvx2,胸部背面,90,20,3,circle,80\n"
                                           << "\n"
                                           << "room1.kvx2,,70,5,0.5,circle,\n";
    const auto output = folder_.path() / "out" / "results.csv";
    std::filesystem::create_directory(folder_.path() / "out");
    ASSERT_EQ(Run({"table", "--input", input.string(), "--comment", "series, day 1", "--output",
                   output.string()}),
              0)
        << err_.str();
    const ResultsCsvContent read = ReadResultsCsv(output);
    EXPECT_EQ(read.comment, "series, day 1");
    ASSERT_EQ(read.table.RowCount(), 3);
    EXPECT_EQ(read.table.Cell(1, ResultColumn::Site).StoredText(), "頭部");
    EXPECT_EQ(read.table.Cell(1, ResultColumn::Kv).Value(), 80);
    EXPECT_EQ(read.table.Cell(1, ResultColumn::Fsd).Value(), 85);
    EXPECT_EQ(read.table.Cell(2, ResultColumn::Field).StoredText(), "13.8cm直径");
    EXPECT_EQ(read.table.Cell(3, ResultColumn::Site).StoredText(), "---");
    EXPECT_EQ(read.table.Cell(3, ResultColumn::Field).StoredText(), "11.3cm直径");
}

TEST_F(CommandLineTest, TableRefusesTooManyOrFailingExposuresAndWritesNothing) {
    const auto output = folder_.path() / "results.csv";
    const auto input = folder_.path() / "many.csv";
    {
        std::ofstream many(input, std::ios::binary);
        many << "device,site,kv,kar,pka,shape,fsd\n";
        for (int i = 0; i < 16; ++i) {
            many << "room1.kvx2,,,10,1,square,\n";
        }
    }
    EXPECT_EQ(
        Run({"table", "--input", input.string(), "--comment", "c", "--output", output.string()}),
        2);
    EXPECT_NE(err_.str().find("17 行目"), std::string::npos) << err_.str();
    EXPECT_FALSE(std::filesystem::exists(output));

    std::ofstream(input, std::ios::binary) << "device,site,kv,kar,pka,shape,fsd\n"
                                           << "room1.kvx2,,,10,1,square,\n"
                                           << "room1.kvx2,,150,10,1,square,\n";
    EXPECT_EQ(
        Run({"table", "--input", input.string(), "--comment", "c", "--output", output.string()}),
        1);
    EXPECT_NE(err_.str().find("many.csv の 3 行目"), std::string::npos) << err_.str();
    EXPECT_FALSE(std::filesystem::exists(output));

    // A list that is not in its format is an input file that cannot be read.
    std::ofstream(input, std::ios::binary) << "device,kv\nroom1.kvx2,80\n";
    EXPECT_EQ(
        Run({"table", "--input", input.string(), "--comment", "c", "--output", output.string()}),
        3);
    EXPECT_EQ(Output()["File"], input.string());
    EXPECT_NE(err_.str().find("1 行目"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(output));
}

TEST_F(CommandLineTest, DeviceCreateRefusesWhatItCouldNotStoreAsGiven) {
    fixtures::WriteSyntheticMaterial(folder_.path() / "lead.ele");
    const std::vector<std::string> good{"device", "create", "--name",  "R",   "--frd",      "120",
                                        "--fid",  "100",    "--angle", "12",  "--inherent", "2.5",
                                        "--al",   "0",      "--cu",    "0",   "--kv",       "80",
                                        "--k0",   "2",      "--k1",    "1.7", "--kd",       "1"};
    const auto with = [&good](const std::string& option, const std::string& value) {
        std::vector<std::string> args = good;
        for (size_t i = 0; i + 1 < args.size(); ++i) {
            if (args[i] == option) {
                args[i + 1] = value;
            }
        }
        return args;
    };
    // A distance that is no distance, texts that are no numbers, and a factor the file's
    // three decimals would store as 0.000 were all once written without a word.
    for (const auto& [option, value] :
         std::vector<std::pair<std::string, std::string>>{{"--frd", "-5"},
                                                          {"--frd", "1e308"},
                                                          {"--frd", "abc"},
                                                          {"--angle", "twelve"},
                                                          {"--cu", "0.1mm"},
                                                          {"--kd", "1e308"}}) {
        EXPECT_EQ(Run(with(option, value)), 2) << option << " " << value;
        EXPECT_FALSE(std::filesystem::exists(folder_.path() / "R.kvx2")) << option << value;
    }
    std::vector<std::string> filtered = good;
    filtered.insert(filtered.end(), {"--filter", "lead:thin"});
    EXPECT_EQ(Run(filtered), 2);
    EXPECT_EQ(Run(good), 0) << err_.str();
}

// The device dialog's guards, through DeviceEntry: the same refusal, word for word, a usage
// error (2) on stderr alone, and no file.
TEST_F(CommandLineTest, DeviceCreateRefusesWhatTheDialogRefusesWithItsMessage) {
    const auto create = [&](const std::string& option, const std::string& value) {
        std::vector<std::string> args{"device", "create", "--name",  "R",   "--frd",      "120",
                                      "--fid",  "100",    "--angle", "12",  "--inherent", "2.5",
                                      "--al",   "1.0",    "--cu",    "0.1", "--kv",       "80",
                                      "--k0",   "2",      "--k1",    "1.7", "--kd",       "1"};
        for (size_t i = 0; i + 1 < args.size(); ++i) {
            if (args[i] == option) {
                args[i + 1] = value;
            }
        }
        return Run(args);
    };
    const double factor = 2.0 / 1000000 * (100.0 / 85) * (100.0 / 85);
    EXPECT_EQ(create("--kd", "1000000"), 2);
    EXPECT_EQ(err_.str(), StoredAsZeroMessage(kStoredKermaCorrection, factor) + "\n");
    EXPECT_NE(err_.str().find("「0.000」と保存されてしまう"), std::string::npos);
    EXPECT_TRUE(out_.str().empty());

    EXPECT_EQ(create("--k1", "0.0008"), 2);  // a transmission of 0.0004
    EXPECT_FALSE(err_.str().empty());
    EXPECT_TRUE(out_.str().empty());

    EXPECT_EQ(create("--angle", "twelve"), 2);
    EXPECT_EQ(err_.str(),
              NotANumberMessage(DeviceFieldCaption(DeviceField::TargetAngle), "twelve") + "\n");
    EXPECT_EQ(create("--kv", "80kV"), 2);
    EXPECT_EQ(err_.str(),
              "通常使用する管電圧には数値を入力して下さい（「80kV」は数値ではありません）。\n");
    EXPECT_TRUE(out_.str().empty());
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / "R.kvx2"));

    EXPECT_EQ(create("--kd", "2700"), 0) << err_.str();  // 0.001 is kept
    EXPECT_TRUE(std::filesystem::exists(folder_.path() / "R.kvx2"));
}

TEST_F(CommandLineTest, AFailedWriteExitsFourWithAJsonError) {
    const auto input = folder_.path() / "series.csv";
    // The header is the first line that is not blank.
    std::ofstream(input, std::ios::binary) << "\n\ndevice,site,kv,kar,pka,shape,fsd\n"
                                           << "room1.kvx2,,,10,1,square,\n";
    const auto blocked = folder_.path() / "blocked.csv";
    std::filesystem::create_directory(blocked);
    EXPECT_EQ(
        Run({"table", "--input", input.string(), "--comment", "c", "--output", blocked.string()}),
        4);
    EXPECT_TRUE(Output().contains("Error")) << out_.str();
    EXPECT_EQ(Output()["File"], blocked.string());
    EXPECT_TRUE(std::filesystem::is_directory(blocked));

    std::filesystem::create_directory(folder_.path() / "R.kvx2");
    EXPECT_EQ(Run({"device",  "create", "--name",     "R",   "--frd", "120", "--fid", "100",
                   "--angle", "12",     "--inherent", "2.5", "--al",  "0",   "--cu",  "0",
                   "--kv",    "80",     "--k0",       "2",   "--k1",  "1.7", "--kd",  "1"}),
              4);
    EXPECT_TRUE(Output().contains("Error")) << out_.str();
    EXPECT_EQ(Output()["File"], "R.kvx2");
}

TEST_F(CommandLineTest, AFailedExposureOfATablePrintsJsonAndForeignFilesAreNotEchoed) {
    const auto input = folder_.path() / "series.csv";
    std::ofstream(input, std::ios::binary) << "device,site,kv,kar,pka,shape,fsd\n"
                                           << "room1.kvx2,,150,10,1,square,\n";
    EXPECT_EQ(Run({"table", "--input", input.string(), "--comment", "c", "--output",
                   (folder_.path() / "r.csv").string()}),
              1);
    const Json failure = Output();
    EXPECT_TRUE(failure.contains("Error"));
    EXPECT_EQ(failure["Line"], 2);
    EXPECT_EQ(failure["File"], input.string());
    EXPECT_EQ(failure["Model"], "validated");

    fixtures::TempFolder outside;
    std::ofstream(outside.path() / "secret.kvx2", std::ios::binary)
        << "root:x:0:0:secret first line\n";
    EXPECT_EQ(Run({"calc", "--device", (outside.path() / "secret.kvx2").string(), "--kar", "10",
                   "--pka", "1", "--shape", "none"}),
              3);
    EXPECT_EQ(err_.str().find("root:x"), std::string::npos) << err_.str();
    EXPECT_EQ(out_.str().find("root:x"), std::string::npos) << out_.str();
    // An exposure list that is a FIFO is refused at once.
    const auto fifo = folder_.path() / "fifo.csv";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Run({"table", "--input", fifo.string(), "--comment", "c", "--output", "x.csv"}), 3);
}

// The real program, as a script would run it.
TEST(CommandLineProgram, RunsEndToEnd) {
    fixtures::TempFolder folder;
    fixtures::WriteSyntheticWorkdir(folder.path());
    fixtures::WriteTypicalDevice(folder.path());
    const std::string command = std::string(KORVEX_CLI_PATH) +
                                " calc --device room1.kvx2 --kar 10 --pka 1 --shape square"
                                " --workdir '" +
                                folder.path().string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    std::array<char, 4096> buffer{};
    while (const size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) {
        output.append(buffer.data(), n);
    }
    const int status = pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const Json json = Json::parse(output);
    EXPECT_GT(json["SkinDose"].get<double>(), 0);
    EXPECT_EQ(json["Display"]["SkinDose"].get<std::string>().empty(), false);
}

}  // namespace
}  // namespace korvex::cli
