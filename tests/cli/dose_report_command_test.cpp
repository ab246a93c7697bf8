#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "cli/commands.h"
#include "cli/json_output.h"
#include "cli/table_pdf.h"
#include "engine/text_rules.h"
#include "tests/cli/cli_test_support.h"
#include "tests/fixtures/dose_report_fixtures.h"
#include "tests/fixtures/failing_writes.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"

namespace korvex::cli {
namespace {

class ReportCommandTest : public CliTest {
  protected:
    ScopedLanguage language_{"ja_JP.UTF-8"};  // the reasons these tests quote
    std::string Fixture(const std::string& name, const fixtures::FixtureReport& report) {
        const std::filesystem::path path = folder_.path() / (name + ".dcm");
        fixtures::WriteDoseReportFile(path, report);
        return path.string();
    }
};

std::vector<std::string> Keys(const Json& object) {
    std::vector<std::string> keys;
    for (const auto& [key, value] : object.items()) {
        keys.push_back(key);
    }
    return keys;
}

TEST_F(ReportCommandTest, JsonHoldsFilesEventsGroupsAndSummary) {
    const std::string file = Fixture("standard", fixtures::StandardReport());
    ASSERT_EQ(Run({"report", file, "--device", "room1.kvx2"}), 0) << err_.str();
    const Json json = Output();
    EXPECT_EQ(Keys(json), (std::vector<std::string>{"Model", "Device", "FocusSkinDistance", "Files",
                                                    "Events", "Groups", "Summary", "Map"}));
    EXPECT_EQ(json["Model"], "validated");
    EXPECT_EQ(json["FocusSkinDistance"], 85);
    EXPECT_EQ(json["Files"][0]["Manufacturer"], "Korvex Test Systems");
    EXPECT_FALSE(json["Files"][0].contains("PatientName"));
    const Json& event = json["Events"][0];
    const std::vector<std::string> keys = Keys(event);
    const std::vector<std::string> inputs = {"FileIndex",
                                             "Event",
                                             "Uid",
                                             "DateTimeStarted",
                                             "EventType",
                                             "EventTypeCode",
                                             "Plane",
                                             "TubeVoltage",
                                             "Kar",
                                             "Pka",
                                             "AddedAl",
                                             "AddedCu",
                                             "FiltersFrom",
                                             "FocusSkinDistance",
                                             "FocusSkinDistanceFrom",
                                             "PrimaryAngle",
                                             "SecondaryAngle",
                                             "Group"};
    ASSERT_GE(keys.size(), inputs.size());
    EXPECT_EQ(std::vector<std::string>(keys.begin(), keys.begin() + inputs.size()), inputs);
    EXPECT_EQ(event["Kar"], 10);
    EXPECT_EQ(event["AddedCu"], 0.2);
    EXPECT_EQ(event["Plane"], "Single");
    EXPECT_EQ(event["DistanceSourceToIsocenter"], 100);
    EXPECT_EQ(event["CollimatedFieldArea"], 100);
    EXPECT_TRUE(event.contains("SkinDose"));
    EXPECT_TRUE(event["Display"].contains("SkinDose"));
    EXPECT_EQ(json["Groups"][0]["Label"], "LAO 30 CRA 10");
    EXPECT_EQ(json["Groups"][0]["Events"], Json::array({0, 1}));
    EXPECT_EQ(json["Summary"]["KarCalculated"], 35);
    EXPECT_EQ(json["Summary"]["ReportKar"], 35);
    ASSERT_EQ(json["Summary"]["Flags"].size(), 4u);
    EXPECT_EQ(json["Summary"]["Flags"][0]["Raised"], false);
    EXPECT_TRUE(std::filesystem::exists(folder_.path() / "DoseReportThresholds.txt"));

    ASSERT_EQ(Run({"report", Fixture("japanese", fixtures::Iso2022Report()), "--device",
                   "room1.kvx2", "--with-patient"}),
              0);
    EXPECT_EQ(Output()["Files"][0]["PatientName"], "Yamada^Taro=山田^太郎");
}

TEST_F(ReportCommandTest, TheModelIsNamedEverywhereAndOnlyTheValidatedOneIsUncertain) {
    const std::string file = Fixture("standard", fixtures::StandardReport());
    ASSERT_EQ(Run({"report", file, "--device", "room1.kvx2", "--fsd", "85"}), 0) << err_.str();
    const Json validated = Output();
    // The two events of the one group share the distance and the device: the group's
    // uncertainty is their dose-weighted mean, the peak's the peak group's.
    const double first = validated["Events"][0]["SkinDoseUncertainty"].get<double>();
    const double second = validated["Events"][1]["SkinDoseUncertainty"].get<double>();
    const double d1 = validated["Events"][0]["SkinDose"].get<double>();
    const double d2 = validated["Events"][1]["SkinDose"].get<double>();
    EXPECT_NEAR(validated["Groups"][0]["SkinDoseUncertainty"].get<double>(),
                (first * d1 + second * d2) / (d1 + d2), 1e-15);
    EXPECT_EQ(validated["Summary"]["PeakSkinDoseUncertainty"],
              validated["Groups"][0]["SkinDoseUncertainty"]);
    EXPECT_EQ(validated["Events"][0]["Model"], "validated");

    ASSERT_EQ(Run({"report", file, "--device", "room1.kvx2", "--fsd", "85", "--model", "legacy"}),
              0);
    const Json legacy = Output();
    EXPECT_EQ(legacy["Model"], "legacy");
    EXPECT_EQ(legacy["Events"][0]["Model"], "legacy");
    EXPECT_TRUE(legacy["Events"][0]["SkinDoseUncertainty"].is_null());
    EXPECT_TRUE(legacy["Groups"][0]["SkinDoseUncertainty"].is_null());
    EXPECT_TRUE(legacy["Summary"]["PeakSkinDoseUncertainty"].is_null());
    // The room's reference point lies at 85 cm, the distance chosen: the models differ by
    // the couch's transmission, counted once, and the depth factor's normalisation alone.
    const double normalisation = validated["Events"][0]["DepthFactor"].get<double>() /
                                 legacy["Events"][0]["DepthFactor"].get<double>();
    EXPECT_NEAR(legacy["Events"][0]["SkinDose"].get<double>() / 0.85 * normalisation / d1, 1,
                1e-12);

    ASSERT_EQ(Run({"report", file, "--device", "room1.kvx2", "--format", "csv"}), 0);
    const std::string csv = out_.str();
    EXPECT_NE(csv.find(",SkinDoseUncertainty,Model,Notes\r\n"), std::string::npos);
    EXPECT_NE(csv.find(",validated,"), std::string::npos);
    EXPECT_EQ(Run({"report", file, "--device", "room1.kvx2", "--model", "exact"}), 2);
}

TEST_F(ReportCommandTest, NotesAndReasonsInTheUsersLanguageTheEnginesWordsApart) {
    fixtures::FixtureReport report = fixtures::RealWorldNotesReport();
    report.events[2].kvp = {{"150", "kV"}};  // beyond the engine's grid
    const std::string file = Fixture("notes", report);
    ASSERT_EQ(Run({"report", file, "--device", "room1.kvx2"}), 0) << err_.str();
    const Json japanese = Output();
    const Json& refused = japanese["Events"][2];
    EXPECT_EQ(refused["NotCalculated"], "計算できません（???  正しく計算できませんでした  ???）");
    EXPECT_NE(refused["NotCalculatedDetail"].get<std::string>().find("kernel energy"),
              std::string::npos);
    const Json& gon = japanese["Events"][6]["Notes"][0];
    EXPECT_EQ(gon["Code"], "value-not-used");
    EXPECT_EQ(gon["Value"], "30 gon");
    EXPECT_EQ(gon["Text"],
              "第一角度: 単位「gon」は使えません（使いません。投影は「角度不明」に入ります）");
    EXPECT_EQ(japanese["Events"][0]["Notes"].size(), 2u);
    EXPECT_EQ(japanese["Summary"]["EventNotes"], 8);
    EXPECT_EQ(japanese["Summary"]["EventsWithNotes"], 6);

    {
        ScopedLanguage english("en_GB.UTF-8");
        ASSERT_EQ(Run({"report", file, "--device", "room1.kvx2"}), 0) << err_.str();
        const Json in_english = Output();
        EXPECT_EQ(in_english["Events"][2]["NotCalculated"],
                  "cannot be calculated (the calculation failed)");
        EXPECT_EQ(in_english["Events"][5]["NotCalculated"], "Ka,r (Dose (RP)) is missing");
        EXPECT_EQ(in_english["Events"][6]["Notes"][0]["Text"],
                  "Positioner Primary Angle: the unit \"gon\" is not known (not used; the event "
                  "counts as of unknown projection)");
        ASSERT_EQ(Run({"report", file, "--device", "room1.kvx2", "--format", "csv"}), 0);
        EXPECT_NE(out_.str().find(",\"value-not-used: Positioner Primary Angle: the unit "),
                  std::string::npos)
            << out_.str();
    }
    ASSERT_EQ(Run({"report", file, "--device", "room1.kvx2", "--format", "csv"}), 0);
    EXPECT_NE(
        out_.str().find(",plane-unknown: 撮影面（単一・A・B）が分からないため「不明」の面として"
                        "数えます [Lateral tube]\r\n"),
        std::string::npos)
        << out_.str();
}

// Each event's numbers and displays are what `calc` prints for the same device, kV, Ka,r,
// P_KA, square field and distance, with a device file holding the event's added filters.
TEST_F(ReportCommandTest, EveryEventEqualsCalcWithItsOwnInputs) {
    fixtures::FixtureReport report = fixtures::StandardReport();
    report.events.push_back(fixtures::NumberedEvent(3));
    report.events.back().filters = {fixtures::CopperFilter("0.3"),
                                    fixtures::AluminiumFilter("0.5")};
    report.events.back().dose_rp = fixtures::FixtureNumber{"0.0123", "Gy"};
    ASSERT_EQ(Run({"report", Fixture("standard", report), "--device", "room1.kvx2", "--fsd", "72"}),
              0);
    const Json events = Output()["Events"];
    ASSERT_EQ(events.size(), 4u);
    for (const Json& event : events) {
        SCOPED_TRACE(event["Event"].get<int>());
        std::vector<std::string> lines = fixtures::TypicalDeviceLines();
        lines[4] = ShortestNumberText(event["AddedAl"].get<double>());
        lines[5] = ShortestNumberText(event["AddedCu"].get<double>());
        fixtures::WriteCp932Lines(folder_.path() / "event.kvx2", lines);
        ASSERT_EQ(Run({"calc", "--device", "event.kvx2", "--shape", "square", "--fsd", "72", "--kv",
                       ShortestNumberText(event["TubeVoltage"].get<double>()), "--kar",
                       ShortestNumberText(event["Kar"].get<double>()), "--pka",
                       ShortestNumberText(event["Pka"].get<double>())}),
                  0)
            << err_.str();
        const Json calc = Output();
        ASSERT_TRUE(calc.contains("SkinDose"));
        ASSERT_TRUE(calc.contains("Display"));
        for (const auto& [key, value] : calc.items()) {
            ASSERT_TRUE(event.contains(key)) << key;
            EXPECT_EQ(event.at(key), value) << key;
        }
    }
}

// Every event of a table-top device says so, with its mattress and the two couch values the
// calculation used, as `calc` prints them for the same exposure.
TEST_F(ReportCommandTest, EventsOfATableTopDeviceCarryItsCouch) {
    fixtures::WriteTypicalTableTopDevice(folder_.path(), "table.kvx2", "6.0");
    ASSERT_EQ(
        Run({"report", Fixture("standard", fixtures::StandardReport()), "--device", "table.kvx2"}),
        0)
        << err_.str();
    const Json events = Output()["Events"];
    ASSERT_FALSE(events.empty());
    for (const Json& event : events) {
        SCOPED_TRACE(event["Event"].get<int>());
        EXPECT_EQ(event["CouchModel"], "table-top");
        EXPECT_EQ(event["MattressThickness"], 6);
        std::vector<std::string> lines = fixtures::TypicalTableTopDeviceLines("6.0");
        lines[4] = ShortestNumberText(event["AddedAl"].get<double>());
        lines[5] = ShortestNumberText(event["AddedCu"].get<double>());
        fixtures::WriteCp932Lines(folder_.path() / "event.kvx2", lines);
        ASSERT_EQ(Run({"calc", "--device", "event.kvx2", "--shape", "square", "--fsd",
                       ShortestNumberText(event["FocusSkinDistance"].get<double>()), "--kv",
                       ShortestNumberText(event["TubeVoltage"].get<double>()), "--kar",
                       ShortestNumberText(event["Kar"].get<double>()), "--pka",
                       ShortestNumberText(event["Pka"].get<double>())}),
                  0)
            << err_.str();
        const Json calc = Output();
        for (const char* key : {"CouchModel", "MattressThickness", "CouchScatterRatio",
                                "TableTopTransmission", "SkinDose"}) {
            ASSERT_TRUE(calc.contains(key)) << key;
            EXPECT_EQ(event.at(key), calc.at(key)) << key;
        }
    }
}

// The map's picture: a PNG beside the JSON's grid, and a picture that cannot be written is an
// output failure naming it. The settings file of the table conventions is made on the way.
TEST_F(ReportCommandTest, TheMapIsWrittenAsAPictureAndItsGridIsInTheJson) {
    const std::string file = Fixture("standard", fixtures::StandardReport());
    const std::filesystem::path png = folder_.path() / "map.png";
    ASSERT_EQ(Run({"report", file, "--device", "room1.kvx2"}), 0) << err_.str();
    EXPECT_TRUE(std::filesystem::exists(folder_.path() / "SkinMapGeometry.txt"));
    const Json map = Output()["Map"];
    EXPECT_EQ(map["Made"], true);
    EXPECT_EQ(map["EventsOnMap"], 3);
    const Json& trunk = map["Trunk"];
    ASSERT_EQ(trunk["Values"].size(), trunk["Rows"].get<size_t>());
    ASSERT_EQ(trunk["Values"][0].size(), trunk["Columns"].get<size_t>());
    double largest = 0;
    for (const Json& row : trunk["Values"]) {
        for (const Json& value : row) {
            largest = std::max(largest, value.get<double>());
        }
    }
    // The grid holds values to a thousandth of a mGy; the peak is the largest of them.
    EXPECT_NEAR(largest, map["Peak"]["Dose"].get<double>(), 5e-4);
    EXPECT_GE(map["Peak"]["Dose"].get<double>(), map["LargestEventDose"].get<double>() * 0.98);

    if (!WritesTablePdf()) {  // a build without Qt draws no picture and says so
        EXPECT_EQ(Run({"report", file, "--device", "room1.kvx2", "--map", png.string()}), 4);
        EXPECT_FALSE(std::filesystem::exists(png));
        return;
    }
    ASSERT_EQ(Run({"report", file, "--device", "room1.kvx2", "--map", png.string()}), 0)
        << err_.str();
    std::ifstream picture(png, std::ios::binary);
    std::string signature(8, '\0');
    picture.read(signature.data(), 8);
    EXPECT_EQ(signature, "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(Run({"report", file, "--device", "room1.kvx2", "--map",
                   (folder_.path() / "missing" / "map.png").string()}),
              4);
    EXPECT_NE(err_.str().find("map.png"), std::string::npos) << err_.str();
}

// The printed dose report as a PDF beside the JSON; a PDF that cannot be written is an
// output failure naming it, and a build without Qt refuses it the same way.
TEST_F(ReportCommandTest, ThePrintedReportIsWrittenAsAPdfOrTheFailureNamesIt) {
    const std::string file = Fixture("standard", fixtures::StandardReport());
    const std::filesystem::path pdf = folder_.path() / "dose report.pdf";
    const std::filesystem::path lost = folder_.path() / "missing" / "lost.pdf";
    if (!WritesTablePdf()) {
        EXPECT_EQ(Run({"report", file, "--device", "room1.kvx2", "--pdf", pdf.string()}), 4);
        EXPECT_EQ(Output()["Error"],
                  "この korvex2-cli は Qt なしでビルドされているため、"
                  "PDF「dose report.pdf」を書けません。");
        EXPECT_EQ(Output()["File"], pdf.string());
        EXPECT_FALSE(std::filesystem::exists(pdf));
        return;
    }
    ASSERT_EQ(Run({"report", file, "--device", "room1.kvx2", "--pdf", pdf.string()}), 0)
        << err_.str();
    EXPECT_EQ(Output()["Pdf"], pdf.string());
    std::ifstream written(pdf, std::ios::binary);
    std::string signature(5, '\0');
    written.read(signature.data(), 5);
    EXPECT_EQ(signature, "%PDF-");
    EXPECT_EQ(fixtures::TemporaryFileCount(folder_.path()), 0);

    EXPECT_EQ(Run({"report", file, "--device", "room1.kvx2", "--pdf", lost.string()}), 4);
    EXPECT_NE(Output()["Error"].get<std::string>().find("lost.pdf"), std::string::npos);
    EXPECT_EQ(Output()["File"], lost.string());
    EXPECT_FALSE(Output().contains("Pdf"));
    EXPECT_FALSE(std::filesystem::exists(lost.parent_path()));
}

std::string PdfText(const std::filesystem::path& pdf) {
    std::string text;
    FILE* pipe = popen(("pdftotext -raw '" + pdf.string() + "' -").c_str(), "r");
    if (pipe == nullptr) {
        return text;
    }
    std::array<char, 4096> buffer{};
    while (const size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) {
        text.append(buffer.data(), n);
    }
    EXPECT_EQ(WEXITSTATUS(pclose(pipe)), 0) << "pdftotext (poppler-utils) is needed";
    return text;
}

// The PDF and the map's picture speak the command line's language, as its JSON does.
TEST_F(ReportCommandTest, ThePrintedReportSpeaksTheLanguageOfTheCommandLine) {
    if (!WritesTablePdf()) {
        GTEST_SKIP() << "built without Qt: no PDF";
    }
    const std::string file = Fixture("standard", fixtures::StandardReport());
    const std::filesystem::path japanese_pdf = folder_.path() / "ja.pdf";
    ASSERT_EQ(Run({"report", file, "--device", "room1.kvx2", "--pdf", japanese_pdf.string()}), 0)
        << err_.str();
    const std::string japanese = PdfText(japanese_pdf);
    EXPECT_NE(japanese.find("線量レポート（皮膚線量の推定）"), std::string::npos) << japanese;
    EXPECT_EQ(japanese.find("Dose report"), std::string::npos);

    ScopedLanguage english("en_GB.UTF-8");
    const std::filesystem::path english_pdf = folder_.path() / "en.pdf";
    const std::filesystem::path png = folder_.path() / "map.png";
    ASSERT_EQ(Run({"report", file, "--device", "room1.kvx2", "--pdf", english_pdf.string(), "--map",
                   png.string()}),
              0)
        << err_.str();
    const std::string text = PdfText(english_pdf);
    for (const char* expected : {"Dose report (skin dose estimate)", "Summary", "Peak skin dose",
                                 "LAO 30 CRA 10", "Estimated peak skin dose"}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    }
    for (const char* heading : {"線量レポート", "まとめ", "皮膚線量マップ", "ページ"}) {
        EXPECT_EQ(text.find(heading), std::string::npos) << heading << "\n" << text;
    }
    EXPECT_TRUE(std::filesystem::exists(png));
    EXPECT_EQ(Output()["Summary"]["Flags"][0]["Name"], "Estimated peak skin dose");
}

TEST_F(ReportCommandTest, ExitCodesForUnreadableFilesAndWrongInput) {
    const std::string standard = Fixture("standard", fixtures::StandardReport());
    const std::string other = Fixture("other", fixtures::NotDoseReport());
    EXPECT_EQ(Run({"report", standard, other, "--device", "room1.kvx2"}), 3);
    EXPECT_EQ(Output()["Error"], "「other.dcm」は X 線線量構造化レポート（RDSR）ではありません。");
    EXPECT_EQ(Output()["File"], other);
    EXPECT_FALSE(Output().contains("Reason"));  // a reason is never a path
    EXPECT_EQ(err_.str(), "「other.dcm」は X 線線量構造化レポート（RDSR）ではありません。\n");
    EXPECT_EQ(Run({"report", (folder_.path() / "absent.dcm").string(), "--device", "room1.kvx2"}),
              3);
    EXPECT_EQ(Output()["Error"], "ファイル「absent.dcm」が見つかりません。");
    // Under --format csv the data stream holds data only: the error is on stderr alone.
    EXPECT_EQ(Run({"report", standard, other, "--device", "room1.kvx2", "--format", "csv"}), 3);
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(err_.str(), "「other.dcm」は X 線線量構造化レポート（RDSR）ではありません。\n");
    EXPECT_EQ(Run({"report", standard, "--device", "absent.kvx2", "--format", "csv"}), 3);
    EXPECT_EQ(out_.str(), "");
    EXPECT_NE(err_.str().find("absent.kvx2"), std::string::npos);

    EXPECT_EQ(Run({"report", "--device", "room1.kvx2"}), 2);
    EXPECT_EQ(Run({"report", standard}), 2);
    EXPECT_EQ(Run({"report", standard, "--device", "room1.kvx2", "--format", "xml"}), 2);
    // A device file that cannot be read is the same failure as a dose report that cannot.
    EXPECT_EQ(Run({"report", standard, "--device", "absent.kvx2"}), 3);
    EXPECT_NE(err_.str().find("absent.kvx2"), std::string::npos);
    EXPECT_EQ(Output()["File"], "absent.kvx2");
    EXPECT_EQ(Run({"report", standard, "--device", "room1.kvx2", "--fsd", "0"}), 2);
    EXPECT_EQ(err_.str(), "焦点-入射表面間距離「0」は正の数 (cm) で指定して下さい。\n");

    // Events that cannot be calculated are part of a report that was read.
    ASSERT_EQ(
        Run({"report", Fixture("empty", fixtures::EmptyValuesReport()), "--device", "room1.kvx2"}),
        0);
    EXPECT_EQ(Output()["Events"][0]["NotCalculated"],
              "Ka,r（線量(RP)）: 値が空です（Value unknown）");
    EXPECT_FALSE(Output()["Events"][0].contains("SkinDose"));
    EXPECT_EQ(Output()["Events"][0]["Kar"], nullptr);
    EXPECT_EQ(Output()["Summary"]["NotCalculated"], 4);
}

TEST_F(ReportCommandTest, CsvHasOneLinePerEventAfterItsHeader) {
    const std::string first = Fixture("first", fixtures::StandardReport());
    const std::string second = Fixture("second", fixtures::StandardReport());
    ASSERT_EQ(Run({"report", first, second, "--device", "room1.kvx2", "--format", "csv"}), 0);
    std::istringstream lines(out_.str());
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);) {
        ASSERT_FALSE(line.empty());
        EXPECT_EQ(line.back(), '\r');
        rows.push_back(line.substr(0, line.size() - 1));
    }
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[0].rfind("File,Event,Uid,DateTimeStarted,EventType,Plane,TubeVoltage,Kar,", 0),
              0u);
    EXPECT_EQ(
        rows[1].rfind(first + ",1,1.2.826.0.1.3680043.10.1417.1,20240115100000,撮影,Single,"
                              "80,10,1,1,0.2,88.7,geometry,30,10,calculated,,0,LAO 30 CRA 10,",
                      0),
        0u)
        << rows[1];
    EXPECT_NE(
        rows[2].find(",duplicate,「first.dcm」のイベント 1 と同じ UID です（1 回だけ数えます）,,,"),
        std::string::npos)
        << rows[2];
}

}  // namespace
}  // namespace korvex::cli
