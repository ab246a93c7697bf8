// The legacy formula reproduces what earlier programs printed and saved, byte for byte:
// legacy_calc.jsonl and legacy_table.csv were written by the program before the validated
// model existed, from the bundled data and legacy_exposures.csv.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/commands.h"
#include "cli/json_output.h"
#include "tests/fixtures/synthetic_workdir.h"

namespace korvex::cli {
namespace {

const std::filesystem::path kHere = KORVEX_CLI_TEST_DIR;

std::string Bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class LegacyModelTest : public ::testing::Test {
  protected:
    LegacyModelTest() {
        std::filesystem::copy(KORVEX_BUNDLED_DATA_DIR, folder_.path(),
                              std::filesystem::copy_options::recursive);
    }

    int Run(std::vector<std::string> args) {
        args.insert(args.end(), {"--workdir", folder_.path().string()});
        out_.str({});
        err_.str({});
        return RunCommandLine(args, "/nowhere/korvex2-cli", out_, err_);
    }

    fixtures::TempFolder folder_;
    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(LegacyModelTest, CalcPrintsTheNumbersAndTextsOfEarlierPrograms) {
    std::ifstream golden(kHere / "legacy_calc.jsonl");
    std::string line;
    int cases = 0;
    while (std::getline(golden, line)) {
        const Json stored = Json::parse(line);
        std::vector<std::string> args = stored["args"].get<std::vector<std::string>>();
        args.insert(args.end(), {"--model", "legacy"});
        ASSERT_EQ(Run(args), 0) << err_.str();
        const Json printed = Json::parse(out_.str());
        // Every value printed before is printed again, exactly; the model is named, states
        // no uncertainty, and the beam's quality and the device's couch model (the bundled
        // device is a layer: no table-top keys) are new beside them.
        for (const auto& [key, value] : stored["output"].items()) {
            ASSERT_TRUE(printed.contains(key)) << key;
            EXPECT_EQ(printed[key], value) << key << " of " << line;
        }
        EXPECT_EQ(printed["Model"], "legacy");
        EXPECT_TRUE(printed["SkinDoseUncertainty"].is_null());
        EXPECT_GT(printed["HalfValueLayer"].get<double>(), 0);
        EXPECT_GT(printed["MeanEnergy"].get<double>(), 0);
        EXPECT_EQ(printed["CouchModel"], "layer");
        EXPECT_EQ(printed.size(), stored["output"].size() + 5);

        // The default model computes otherwise, and says so.
        args.resize(args.size() - 2);
        ASSERT_EQ(Run(args), 0) << err_.str();
        const Json validated = Json::parse(out_.str());
        EXPECT_EQ(validated["Model"], "validated");
        EXPECT_NE(validated["SkinDose"], stored["output"]["SkinDose"]);
        EXPECT_GT(validated["SkinDoseUncertainty"].get<double>(), 0);
        ++cases;
    }
    EXPECT_EQ(cases, 3);
}

TEST_F(LegacyModelTest, TableWritesTheResultsFileOfEarlierPrograms) {
    const std::filesystem::path out = folder_.path() / "table.csv";
    ASSERT_EQ(Run({"table", "--input", (kHere / "legacy_exposures.csv").string(), "--output",
                   out.string(), "--comment", "series 1", "--model", "legacy"}),
              0)
        << err_.str();
    EXPECT_EQ(Bytes(out), Bytes(kHere / "legacy_table.csv"));
    const Json printed = Json::parse(out_.str());
    EXPECT_EQ(printed["Model"], "legacy");
    EXPECT_EQ(printed["DoseTotal"], 2437.3);

    // The validated model's file names each row's model on a line of its own.
    ASSERT_EQ(Run({"table", "--input", (kHere / "legacy_exposures.csv").string(), "--output",
                   out.string(), "--comment", "series 1"}),
              0)
        << err_.str();
    EXPECT_EQ(Json::parse(out_.str())["Model"], "validated");
    const std::string validated = Bytes(out);
    const std::string model_line = "\r\n\x8c\x76\x8e\x5a\x83\x82\x83\x66\x83\x8b,";  // 計算モデル,
    EXPECT_NE(validated.find(model_line), std::string::npos);
}

}  // namespace
}  // namespace korvex::cli
