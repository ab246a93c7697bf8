#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "device/device_file.h"
#include "engine/calculation_driver.h"
#include "engine/engine_state.h"
#include "engine/text_file.h"
#include "results/results_csv.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"

namespace korvex::cli {
namespace {

TEST(JsonWriter, NumbersReadBackAndTextsAreEscaped) {
    JsonObject inner;
    inner.Text("Label68", "12.3");
    JsonObject json;
    json.Number("a", 0.1)
        .Number("b", 2.768166089965398)
        .Text("t", "胸部\"背面\\\n")
        .Object("o", inner)
        .TextArray("row", {"-", "0"});
    EXPECT_EQ(
        json.Serialise(),
        "{\"a\": 0.10000000000000001, \"b\": 2.7681660899653981, \"t\": \"胸部\\\"背面\\\\\\n\", "
        "\"o\": {\"Label68\": \"12.3\"}, \"row\": [\"-\", \"0\"]}");
    EXPECT_EQ(std::stod(JsonNumber(2.768166089965398)), 2.768166089965398);
    EXPECT_EQ(JsonString(std::string("a\x01", 2)), "\"a\\u0001\"");
    EXPECT_THROW(JsonNumber(std::numeric_limits<double>::infinity()), std::invalid_argument);
}

// A synthetic working folder with one device; runs the tool in this process.
class CommandLineTest : public ::testing::Test {
  protected:
    CommandLineTest() {
        fixtures::WriteSyntheticWorkdir(folder_.path());
        fixtures::WriteTypicalDevice(folder_.path());
    }

    int Run(std::vector<std::string> args) {
        args.push_back("--workdir");
        args.push_back(folder_.path().string());
        out_.str({});
        err_.str({});
        return RunCommandLine(args, "/nowhere/korvex2-cli", out_, err_);
    }

    fixtures::TempFolder folder_;
    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(CommandLineTest, CalcPrintsWhatTheWindowWouldShow) {
    ASSERT_EQ(Run({"calc", "--device", "room1.kvx2", "--kar", "10", "--pka", "1", "--shape",
                   "square", "--site", "胸部背面"}),
              0)
        << err_.str();
    const std::string json = out_.str();

    // The same through the engine directly: device defaults 80 kV and 85 cm.
    const fixtures::DirectCalculation direct = fixtures::CalculateTypicalExposure(folder_.path());
    const CalculationOutcome& expected = direct.outcome;
    ASSERT_EQ(expected.result, CalculationOutcome::Result::Succeeded);
    for (int i = 0; i < 7; ++i) {
        const std::string member = "\"Label" + std::to_string(68 + i) +
                                   "\": " + JsonString(*expected.displays[static_cast<size_t>(i)]);
        EXPECT_NE(json.find(member), std::string::npos) << member << " in " << json;
    }
    EXPECT_NE(json.find("\"SkinDose\": " + JsonNumber(direct.calc.SkinDose)), std::string::npos);
    EXPECT_NE(json.find("\"ReferenceFieldSize\": \"10.00\""), std::string::npos);
    EXPECT_NE(json.find("\"EffectiveSurfaceDistance\": " + JsonNumber(85 - 1.234)),
              std::string::npos);
    EXPECT_NE(
        json.find("\"row\": [\"胸部背面\", \"80\", \"2.50\", \"1.00\", \"0.10\", \"-\", \"0\", "
                  "\"85\", \"10.0cm平方\", \"10.0\", \"01.0\""),
        std::string::npos)
        << json;
}

TEST_F(CommandLineTest, CalcReportsFailuresWithTheirExitCodes) {
    // 150 kV cannot be calculated.
    EXPECT_EQ(Run({"calc", "--device", "room1.kvx2", "--kar", "10", "--pka", "1", "--shape",
                   "circle", "--kv", "150"}),
              1);
    EXPECT_NE(out_.str().find("\"error\": \"　???  正しく計算できませんでした  ???   \""),
              std::string::npos)
        << out_.str();
    EXPECT_NE(out_.str().find("\"reason\": \""), std::string::npos);

    // A missing kernel file stops the depth step with its own message.
    std::filesystem::remove(folder_.path() / fixtures::ScatterKernelFileName(45));
    EXPECT_EQ(
        Run({"calc", "--device", "room1.kvx2", "--kar", "10", "--pka", "1", "--shape", "square"}),
        1);
    EXPECT_NE(out_.str().find("\"error\": \" 正しく計算できません \""), std::string::npos)
        << out_.str();

    // Missing input, a missing option, an unreadable device, a wrong shape.
    EXPECT_EQ(
        Run({"calc", "--device", "room1.kvx2", "--kar", "0", "--pka", "1", "--shape", "none"}), 2);
    EXPECT_NE(err_.str().find("未入力の項目があります"), std::string::npos);
    EXPECT_EQ(Run({"calc", "--device", "room1.kvx2", "--kar", "10", "--shape", "none"}), 2);
    EXPECT_NE(err_.str().find("--pka"), std::string::npos);
    EXPECT_EQ(
        Run({"calc", "--device", "none.kvx2", "--kar", "10", "--pka", "1", "--shape", "none"}), 2);
    EXPECT_NE(err_.str().find("none.kvx2"), std::string::npos);
    EXPECT_EQ(
        Run({"calc", "--device", "room1.kvx2", "--kar", "10", "--pka", "1", "--shape", "oval"}), 2);
    EXPECT_EQ(Run({"frobnicate"}), 2);
    EXPECT_EQ(Run({"calc", "--help"}), 0);
    EXPECT_NE(out_.str().find("--device"), std::string::npos);
}

TEST_F(CommandLineTest, DeviceCreateCalibratesAndWritesTheFile) {
    ASSERT_EQ(
        Run({"device",  "create", "--name",     "Room 7", "--frd", "120",   "--fid", "100",
             "--angle", "12",     "--inherent", "2.5",    "--al",  "1.0",   "--cu",  "0.1",
             "--kv",    "80",     "--k0",       "2.000",  "--k1",  "1.700", "--kd",  "1.000"}),
        0)
        << err_.str();
    const std::string json = out_.str();
    EXPECT_NE(json.find("\"CouchTransmission\": " + JsonNumber(1.7 / 2.0)), std::string::npos)
        << json;
    EXPECT_NE(
        json.find("\"KermaCorrectionFactor\": " + JsonNumber(2.0 * (100.0 / 85) * (100.0 / 85))),
        std::string::npos)
        << json;
    EXPECT_NE(json.find("\"file\": \"Room 7.kvx2\""), std::string::npos);

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
    EXPECT_NE(err_.str().find("3 行目"), std::string::npos) << err_.str();
    EXPECT_FALSE(std::filesystem::exists(output));

    std::ofstream(input, std::ios::binary) << "device,kv\nroom1.kvx2,80\n";
    EXPECT_EQ(
        Run({"table", "--input", input.string(), "--comment", "c", "--output", output.string()}),
        2);
    EXPECT_NE(err_.str().find("1 行目"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(output));
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
    EXPECT_EQ(output.front(), '{');
    EXPECT_NE(output.find("\"SkinDose\": "), std::string::npos);
    EXPECT_NE(output.find("\"Label74\": "), std::string::npos);
}

}  // namespace
}  // namespace korvex::cli
