// The command-line contract of docs/cli.md, walked over every command: each JSON key at every
// depth is PascalCase and documented, every failure kind exits with its one code, and errors
// stay off the data stream where they must.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/json_output.h"
#include "cli/table_pdf.h"
#include "tests/cli/cli_test_support.h"
#include "tests/fixtures/dose_report_fixtures.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"

namespace korvex::cli {
namespace {

const std::filesystem::path kDocs =
    std::filesystem::path(KORVEX_CLI_TEST_DIR).parent_path().parent_path() / "docs" / "cli.md";

std::string DocsText() {
    std::ifstream in(kDocs, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every key of `json` at every depth, with where it was found.
void CollectKeys(const Json& json, const std::string& where,
                 std::map<std::string, std::string>& keys) {
    if (json.is_object()) {
        for (const auto& [key, value] : json.items()) {
            keys.emplace(key, where + "." + key);
            CollectKeys(value, where + "." + key, keys);
        }
    } else if (json.is_array()) {
        for (size_t i = 0; i < json.size(); ++i) {
            CollectKeys(json[i], where + "[" + std::to_string(i) + "]", keys);
        }
    }
}

// The real program's standard output.
std::string RunProgram(const std::string& arguments) {
    FILE* pipe = popen((std::string(KORVEX_CLI_PATH) + " " + arguments).c_str(), "r");
    if (pipe == nullptr) {
        return {};
    }
    std::string output;
    char buffer[4096];
    while (const size_t n = fread(buffer, 1, sizeof buffer, pipe)) {
        output.append(buffer, n);
    }
    pclose(pipe);
    return output;
}

class CliContractTest : public CliTest {
  protected:
    CliContractTest() {
        fixtures::WriteSyntheticMaterial(folder_.path() / "lead.ele");
        fixtures::WriteTypicalTableTopDevice(folder_.path());
        std::ofstream(list_, std::ios::binary) << "device,site,kv,kar,pka,shape,fsd\n"
                                               << "room1.kvx2,頭部,,10,1,square,\n"
                                               << "room1.kvx2,胸部背面,90,20,3,circle,80\n";
    }

    std::string Report(const std::string& name, const fixtures::FixtureReport& report) {
        const std::filesystem::path path = folder_.path() / (name + ".dcm");
        fixtures::WriteDoseReportFile(path, report);
        return path.string();
    }

    std::vector<std::string> Device(const std::string& name) const {
        return {"device",  "create", "--name",     name,    "--frd", "120",   "--fid", "100",
                "--angle", "12",     "--inherent", "2.5",   "--al",  "1.0",   "--cu",  "0.1",
                "--kv",    "80",     "--k0",       "2.000", "--k1",  "1.700", "--kd",  "1.000"};
    }

    // Runs a command that must exit with `code` and print one JSON document, and keeps
    // its keys.
    void Walk(const std::vector<std::string>& args, ExitCode code) {
        const std::string label = Joined(args);
        ASSERT_EQ(Run(args), ExitStatus(code)) << label << "\n" << err_.str();
        Json json;
        ASSERT_NO_THROW(json = Output()) << label << ": " << out_.str();
        ASSERT_TRUE(json.is_object()) << label;
        if (code != ExitCode::Success) {
            EXPECT_TRUE(json.contains("Error")) << label << ": " << out_.str();
            EXPECT_FALSE(err_.str().empty()) << label;  // said on stderr as well
        }
        CollectKeys(json, args[0], keys_);
    }

    // A usage error: said on stderr only.
    void Usage(const std::vector<std::string>& args) {
        EXPECT_EQ(Run(args), ExitStatus(ExitCode::Usage)) << Joined(args);
        EXPECT_EQ(out_.str(), "") << Joined(args);
        EXPECT_FALSE(err_.str().empty()) << Joined(args);
    }

    static std::string Joined(const std::vector<std::string>& args) {
        std::string text;
        for (const std::string& arg : args) {
            text += (text.empty() ? "" : " ") + arg;
        }
        return text;
    }

    std::filesystem::path list_ = folder_.path() / "list.csv";
    std::map<std::string, std::string> keys_;  // key -> first place found
};

// Keys only some objects have: a walk over every command must meet each of them.
const char* const kKeysTheWalkMeets[] = {"Display",
                                         "Row",
                                         "SkinDoseUncertaintyBudget",
                                         "Rows",
                                         "File",
                                         "PatientName",
                                         "Totals",
                                         "Duplicate",
                                         "NotCalculatedDetail",
                                         "Flags",
                                         "Planes",
                                         "Error",
                                         "Reason",
                                         "Line",
                                         "Model",
                                         "CouchModel",
                                         "MattressThickness",
                                         "CouchScatterRatio",
                                         "TableTopTransmission",
                                         "CouchScatterBeyondTable"};

TEST_F(CliContractTest, EveryKeyOfEveryCommandIsPascalCaseAndDocumented) {
    ScopedLanguage language("ja_JP.UTF-8");
    // Successes.
    Walk({"calc", "--device", "room1.kvx2", "--kar", "10", "--pka", "1", "--shape", "square"},
         ExitCode::Success);
    Walk({"calc", "--device", "room1.kvx2", "--kar", "10", "--pka", "1", "--shape", "circle",
          "--model", "legacy"},
         ExitCode::Success);
    std::vector<std::string> filtered = Device("Leaded");
    filtered.insert(filtered.end(), {"--filter", "lead:0.1"});
    Walk(filtered, ExitCode::Success);
    std::vector<std::string> table_top = Device("TableTop");
    table_top.insert(table_top.end(), {"--couch", "table-top"});
    Walk(table_top, ExitCode::Success);
    Walk({"calc", "--device", "table.kvx2", "--kar", "10", "--pka", "1", "--shape", "square"},
         ExitCode::Success);
    Walk({"table", "--input", list_.string(), "--output", (folder_.path() / "out.csv").string(),
          "--comment", "c"},
         ExitCode::Success);
    if (WritesTablePdf()) {
        // The PDF by the program itself, as a script makes it (one PDF per process).
        const std::string printed = RunProgram("table --input '" + list_.string() + "' --pdf '" +
                                               (folder_.path() / "out.pdf").string() +
                                               "' --workdir '" + folder_.path().string() + "'");
        CollectKeys(Json::parse(printed), "table", keys_);
        EXPECT_TRUE(keys_.count("Pdf")) << printed;
    }
    const std::string standard = Report("standard", fixtures::StandardReport());
    Walk({"report", standard, Report("biplane", fixtures::BiplaneReport()), "--device",
          "room1.kvx2", "--with-patient"},
         ExitCode::Success);
    Walk({"report", standard, "--device", "table.kvx2"}, ExitCode::Success);
    fixtures::FixtureReport notes = fixtures::RealWorldNotesReport();
    notes.events[2].kvp = {{"150", "kV"}};
    Walk({"report", Report("notes", notes), Report("empty", fixtures::EmptyValuesReport()),
          "--device", "room1.kvx2", "--model", "legacy"},
         ExitCode::Success);

    // Failures with their error objects.
    Walk({"calc", "--device", "room1.kvx2", "--kar", "10", "--pka", "1", "--shape", "circle",
          "--kv", "150"},
         ExitCode::CalculationFailed);
    std::ofstream(folder_.path() / "bad.csv", std::ios::binary)
        << "device,site,kv,kar,pka,shape,fsd\nroom1.kvx2,,150,10,1,square,\n";
    Walk({"table", "--input", (folder_.path() / "bad.csv").string(), "--output", "x.csv",
          "--comment", "c"},
         ExitCode::CalculationFailed);
    Walk({"report", Report("other", fixtures::NotDoseReport()), "--device", "room1.kvx2"},
         ExitCode::InputFile);
    Walk({"calc", "--device", "absent.kvx2", "--kar", "10", "--pka", "1", "--shape", "none"},
         ExitCode::InputFile);
    std::filesystem::create_directory(folder_.path() / "Blocked.kvx2");
    Walk(Device("Blocked"), ExitCode::OutputFile);

    const std::regex pascal("^[A-Z][A-Za-z0-9]*$");
    const std::string docs = DocsText();
    ASSERT_FALSE(docs.empty()) << kDocs;
    // The walk met every kind of object: successes, each optional key, error objects.
    for (const char* key : kKeysTheWalkMeets) {
        EXPECT_TRUE(keys_.count(key)) << key;
    }
    for (const auto& [key, where] : keys_) {
        EXPECT_TRUE(std::regex_match(key, pascal)) << key << " at " << where;
        EXPECT_NE(docs.find("`" + key + "`"), std::string::npos)
            << key << " (at " << where << ") is not in docs/cli.md";
    }
}

// One code for each kind of failure, whichever command meets it.
TEST_F(CliContractTest, EachKindOfFailureExitsWithItsOneCode) {
    const std::string standard = Report("standard", fixtures::StandardReport());
    const std::string absent_report = (folder_.path() / "absent.dcm").string();

    // 2: the command line is wrong, or a value on it or in the list is refused.
    Usage({"frobnicate"});
    Usage({"calc", "--device", "room1.kvx2", "--kar", "10", "--shape", "none"});
    Usage({"calc", "--device", "room1.kvx2", "--kar", "0", "--pka", "1", "--shape", "none"});
    Usage({"calc", "--device", "room1.kvx2", "--kar", "10", "--pka", "1", "--shape", "oval"});
    std::vector<std::string> refused = Device("R");
    refused[refused.size() - 1] = "1000000";  // --kd: a factor stored as 0.000
    Usage(refused);
    Usage({"table", "--input", list_.string()});
    std::vector<std::string> mattress_alone = Device("M");
    mattress_alone.insert(mattress_alone.end(), {"--mattress", "4"});
    Usage(mattress_alone);
    Usage({"report", standard, "--device", "room1.kvx2", "--fsd", "0"});
    Usage({"report", standard, "--device", "room1.kvx2", "--format", "xml"});

    // 3: an input file is missing or cannot be read as what it should be; a device file
    // and a dose report alike.
    const auto input = [&](const std::vector<std::string>& args) {
        EXPECT_EQ(Run(args), ExitStatus(ExitCode::InputFile)) << Joined(args) << err_.str();
    };
    input({"calc", "--device", "absent.kvx2", "--kar", "10", "--pka", "1", "--shape", "none"});
    input({"report", standard, "--device", "absent.kvx2"});
    input({"report", absent_report, "--device", "room1.kvx2"});
    input({"table", "--input", (folder_.path() / "absent.csv").string(), "--output", "x.csv",
           "--comment", "c"});
    std::ofstream(folder_.path() / "header.csv", std::ios::binary) << "device,kv\n";
    input({"table", "--input", (folder_.path() / "header.csv").string(), "--output", "x.csv",
           "--comment", "c"});
    std::vector<std::string> filtered = Device("F");
    filtered.insert(filtered.end(), {"--filter", "absent:0.1"});
    input(filtered);
    fixtures::TempFolder empty;
    EXPECT_EQ(RunCommandLine({"calc", "--device", "room1.kvx2", "--kar", "10", "--pka", "1",
                              "--shape", "none", "--workdir", empty.path().string()},
                             "korvex2-cli", out_, err_),
              ExitStatus(ExitCode::InputFile));

    // 4: an output could not be written.
    const std::filesystem::path folder_in_the_way = folder_.path() / "taken.csv";
    std::filesystem::create_directory(folder_in_the_way);
    EXPECT_EQ(Run({"table", "--input", list_.string(), "--output", folder_in_the_way.string(),
                   "--comment", "c"}),
              ExitStatus(ExitCode::OutputFile));
    EXPECT_EQ(Run({"table", "--input", list_.string(), "--pdf",
                   (folder_.path() / "no" / "such.pdf").string()}),
              ExitStatus(ExitCode::OutputFile));

    // 1: the engine could not calculate.
    EXPECT_EQ(Run({"calc", "--device", "room1.kvx2", "--kar", "10", "--pka", "1", "--shape",
                   "circle", "--kv", "150"}),
              ExitStatus(ExitCode::CalculationFailed));
}

// Under --format csv the data stream holds data only.
TEST_F(CliContractTest, CsvFailuresGoToStandardErrorOnly) {
    const std::string standard = Report("standard", fixtures::StandardReport());
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"report", Report("other", fixtures::NotDoseReport()), "--device",
                                   "room1.kvx2", "--format", "csv"},
          std::vector<std::string>{"report", standard, "--device", "absent.kvx2", "--format",
                                   "csv"},
          std::vector<std::string>{"report", standard, "--device", "room1.kvx2", "--fsd", "x",
                                   "--format", "csv"}}) {
        EXPECT_NE(Run(args), 0) << Joined(args);
        EXPECT_EQ(out_.str(), "") << Joined(args);
        EXPECT_FALSE(err_.str().empty()) << Joined(args);
    }
}

// The table of docs/cli.md and the enum agree, row for row.
TEST(CliContractDocs, TheExitCodeTableIsTheEnum) {
    const std::map<std::string, ExitCode> codes = {
        {"Success", ExitCode::Success},       {"CalculationFailed", ExitCode::CalculationFailed},
        {"Usage", ExitCode::Usage},           {"InputFile", ExitCode::InputFile},
        {"OutputFile", ExitCode::OutputFile}, {"Internal", ExitCode::Internal}};
    const std::string docs = DocsText();
    const std::regex row(R"(\|\s*(\d+)\s*\|\s*`(\w+)`\s*\|)");
    std::set<std::string> documented;
    for (auto it = std::sregex_iterator(docs.begin(), docs.end(), row);
         it != std::sregex_iterator(); ++it) {
        const std::string name = (*it)[2];
        ASSERT_TRUE(codes.count(name)) << name << " is documented but not in cli/exit_codes.h";
        EXPECT_EQ(std::stoi((*it)[1]), ExitStatus(codes.at(name))) << name;
        documented.insert(name);
    }
    EXPECT_EQ(documented.size(), codes.size());
}

}  // namespace
}  // namespace korvex::cli
