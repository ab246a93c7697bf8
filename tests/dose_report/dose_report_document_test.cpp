// The printed dose report written as a PDF and read back with poppler's tools (pdfinfo,
// pdftotext, pdffonts): its pages, its texts, its fonts.
#include "dose_report/dose_report_document.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "dose_report/dose_report_reader.h"
#include "engine/engine_state.h"
#include "engine/errors.h"
#include "engine/reference_tables.h"
#include "engine/text_rules.h"
#include "tests/fixtures/dose_report_fixtures.h"
#include "tests/fixtures/failing_writes.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"

namespace korvex {
namespace {

std::string Shell(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return output;
    }
    std::array<char, 4096> buffer{};
    while (const size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) {
        output.append(buffer.data(), n);
    }
    EXPECT_EQ(WEXITSTATUS(pclose(pipe)), 0) << command << " (poppler-utils) is needed";
    return output;
}

std::string Quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

// The text without blanks, so that a phrase is found however the layout spaced it.
std::string Unspaced(const std::string& text) {
    std::string unspaced;
    for (char c : text) {
        if (c != ' ' && c != '\n' && c != '\f' && c != '\t') {
            unspaced += c;
        }
    }
    return unspaced;
}

int PageCount(const std::filesystem::path& pdf) {
    std::istringstream info(Shell("pdfinfo " + Quoted(pdf)));
    for (std::string line; std::getline(info, line);) {
        if (line.rfind("Pages:", 0) == 0) {
            return std::stoi(line.substr(6));
        }
    }
    return 0;
}

class DoseReportDocumentTest : public ::testing::Test {
  protected:
    DoseReportDocumentTest() {
        fixtures::WriteSyntheticWorkdir(folder_.path());
        fixtures::WriteTypicalDevice(folder_.path());
        const std::filesystem::path file = folder_.path() / "standard.dcm";
        fixtures::WriteDoseReportFile(file, fixtures::StandardReport());
        reports_.push_back(ReadDoseReport(file));
        EngineState state(LoadReferenceTables(folder_.path()), folder_.path());
        result_ = CalculateDoseReports(state, reports_, {"room1.kvx2", "", kDefaultDoseModel},
                                       DoseThresholds{});
    }

    // `count` more events the calculation refused, each with its own numbered reason.
    void AddNotCalculated(int count) {
        for (int i = 0; i < count; ++i, ++not_calculated_) {
            EventCalculation e;
            e.event_index = static_cast<size_t>(not_calculated_ % 3);
            e.status = EventStatus::NotCalculated;
            e.reason = {"Ka,r がありません（理由 " + std::to_string(not_calculated_ + 1) + "）",
                        "no Ka,r"};
            result_.events.push_back(e);
        }
    }

    std::string Text(const std::filesystem::path& pdf) {
        return Unspaced(Shell("pdftotext -raw " + Quoted(pdf) + " -"));
    }

    std::filesystem::path Write(const std::string& name, bool with_patient, bool japanese = true) {
        const std::filesystem::path pdf = folder_.path() / name;
        WriteDoseReportPdf(pdf, reports_, result_,
                           {"テスト病院 放射線科", "2024-05-01 14:30", with_patient, japanese});
        return pdf;
    }

    fixtures::TempFolder folder_;
    std::vector<DoseReport> reports_;
    ReportCalculation result_;
    int not_calculated_ = 0;
};

TEST_F(DoseReportDocumentTest, AShortReportIsOnePageWithItsStudyDosesGroupsAndMap) {
    ASSERT_EQ(result_.groups.size(), 2u);
    ASSERT_TRUE(result_.skin_map.made);
    const std::filesystem::path pdf = Write("short.pdf", false);
    EXPECT_EQ(PageCount(pdf), 1);
    EXPECT_NE(Shell("pdfinfo " + Quoted(pdf)).find("595 x 842 pts (A4)"), std::string::npos);
    const std::string text = Text(pdf);
    for (const std::string& expected :
         {std::string("線量レポート（皮膚線量の推定）"), std::string("standard.dcm"),
          std::string("KorvexTestSystemsSyntheticAngio1"), std::string("2024-01-1510:15"),
          std::string("room1.kvx2"), std::string(DoseModelName(result_.model)),
          // The map's peak first, the grouped estimate beside it.
          "皮膚線量マップの最大皮膚線量" +
              FormatNumber(result_.skin_map.map.peak.dose_mgy, "###0") + "mGy",
          "投影ごとの推定" + FormatNumber(result_.summary.peak_skin_dose_mgy, "###0.0") + "mGy",
          Unspaced(UncertaintyText(result_.summary.peak_skin_dose_uncertainty)),
          std::string("LAO30CRA10"), std::string("RAO30CAU20"), std::string("皮膚線量マップ"),
          std::string("計算しなかった0件"), std::string("テスト病院放射線科"),
          std::string("2024-05-0114:30"), std::string("Korvex-2"), std::string("1/1ページ")}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    }
    for (const ProjectionGroup& group : result_.groups) {
        EXPECT_NE(text.find(FormatNumber(group.skin_dose_mgy, "####0.0")), std::string::npos)
            << group.label;
    }
    // No patient data unless asked for.
    EXPECT_EQ(text.find("SYN0001"), std::string::npos);
    EXPECT_EQ(text.find("Test^Synthetic"), std::string::npos);
    EXPECT_EQ(text.find("患者氏名"), std::string::npos);

    const std::string with_patient = Text(Write("patient.pdf", true));
    EXPECT_NE(with_patient.find("患者氏名Test^Synthetic"), std::string::npos) << with_patient;
    EXPECT_NE(with_patient.find("患者IDSYN0001"), std::string::npos);

    // Every font is embedded, so the page prints the same anywhere.
    std::istringstream fonts(Shell("pdffonts " + Quoted(pdf)));
    int font_count = 0;
    std::string line;
    for (int n = 0; std::getline(fonts, line); ++n) {
        if (n >= 2) {
            ++font_count;
            std::istringstream columns(line);
            std::string name, type1, type2, encoding, embedded;
            columns >> name >> type1 >> type2 >> encoding >> embedded;
            EXPECT_EQ(embedded, "yes") << line;
        }
    }
    EXPECT_GE(font_count, 1);
}

TEST_F(DoseReportDocumentTest, ALongListOfEventsNotCalculatedGoesOnToPageTwoAndIsCounted) {
    AddNotCalculated(60);
    const std::filesystem::path two = Write("two.pdf", false);
    EXPECT_EQ(PageCount(two), 2);
    std::string text = Text(two);
    EXPECT_NE(text.find("計算しなかったイベント（60件）"), std::string::npos);
    // Every reason is there, the first and the last.
    EXPECT_NE(text.find("（理由1）"), std::string::npos);
    EXPECT_NE(text.find("（理由60）"), std::string::npos);
    EXPECT_NE(text.find("2/2ページ"), std::string::npos);
    EXPECT_EQ(text.find("この用紙に入りません"), std::string::npos);

    // Beyond two pages: the rows that fit, then how many are left out and where they are.
    AddNotCalculated(540);
    const std::filesystem::path full = Write("full.pdf", false);
    EXPECT_EQ(PageCount(full), 2);
    text = Text(full);
    const size_t note = text.find("件の計算しなかったイベントはこの用紙に入りません");
    ASSERT_NE(note, std::string::npos) << text;
    const size_t count_at = text.rfind("ほか", note);
    ASSERT_NE(count_at, std::string::npos);
    const int left_out = std::stoi(text.substr(count_at + std::string("ほか").size()));
    int printed = 0;
    for (int i = 1; i <= 600; ++i) {
        printed += text.find("（理由" + std::to_string(i) + "）") != std::string::npos ? 1 : 0;
    }
    EXPECT_GT(left_out, 0);
    EXPECT_EQ(printed + left_out, 600);
    EXPECT_NE(text.find("JSON・CSV"), std::string::npos);
}

TEST_F(DoseReportDocumentTest, AnEnglishReportSaysEveryFixedTextInEnglish) {
    AddNotCalculated(1);
    ASSERT_TRUE(result_.skin_map.made);
    const std::filesystem::path pdf = Write("english.pdf", true, false);
    EXPECT_EQ(PageCount(pdf), 2);
    EXPECT_NE(Shell("pdfinfo " + Quoted(pdf)).find("Dose report (skin dose estimate)"),
              std::string::npos);
    const std::string text = Text(pdf);
    for (const std::string& expected :
         {std::string("Dosereport(skindoseestimate)"),
          std::string("Study"),
          std::string("Summary"),
          std::string("Doseperprojection"),
          std::string("onthepatientmodel,overlapsadded)"),
          std::string("Eventsnotcalculated(1)"),
          std::string("noKa,r"),
          std::string("standard.dcm"),
          std::string("2024-01-1510:15"),
          std::string("Patient'snameTest^Synthetic"),
          std::string("patientIDSYN0001"),
          "dosemodel" + std::string(DoseModelKey(result_.model)),
          "Skin-dosemap:Peakskindose" + FormatNumber(result_.skin_map.map.peak.dose_mgy, "###0") +
              "mGy",
          "Estimateperprojection" + FormatNumber(result_.summary.peak_skin_dose_mgy, "###0.0") +
              "mGy",
          std::string("Estimatedpeakskindose"),
          std::string("Projection"),
          std::string("LAO30CRA10"),
          std::string("RAO30CAU20"),
          std::string("Page1of2"),
          std::string("User:テスト病院放射線科"),
          std::string("Printed2024-05-0114:30")}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    }
    for (const ProjectionGroup& group : result_.groups) {
        EXPECT_NE(text.find(FormatNumber(group.skin_dose_mgy, "####0.0")), std::string::npos)
            << group.label;
    }
    for (const char* japanese :
         {"線量レポート", "検査", "まとめ", "投影ごとの", "皮膚線量マップ", "計算しなかった",
          "患者氏名", "最大皮膚線量", "ページ", "利用者", "印刷", "理由"}) {
        EXPECT_EQ(text.find(japanese), std::string::npos) << japanese << "\n" << text;
    }
}

TEST_F(DoseReportDocumentTest, AFileThatCannotBeWrittenIsAFileErrorAndLeavesTheOldOne) {
    const std::filesystem::path pdf = folder_.path() / "kept.pdf";
    std::ofstream(pdf, std::ios::binary) << "old";
    {
        fixtures::FileSizeLimit limit(1000);
        EXPECT_THROW(WriteDoseReportPdf(pdf, reports_, result_, {}), FileError);
    }
    EXPECT_EQ(fixtures::ReadWholeFile(pdf), "old");
    EXPECT_EQ(fixtures::TemporaryFileCount(folder_.path()), 0);
    EXPECT_THROW(WriteDoseReportPdf(folder_.path() / "missing" / "x.pdf", reports_, result_, {}),
                 FileError);
}

TEST(ProjectionChartOf, LabelsDosesAndThePeakOfTheGroups) {
    ReportCalculation result;
    result.groups.resize(2);
    result.groups[0].plane = AcquisitionPlane::A;
    result.groups[0].label = "LAO 30";
    result.groups[0].skin_dose_mgy = 120;
    result.groups[1].plane = AcquisitionPlane::Single;
    result.groups[1].label = "AP";
    result.groups[1].skin_dose_mgy = 340;
    result.summary.peak_group = 1;
    const ProjectionBarChart chart = ProjectionChartOf(result, false);
    EXPECT_EQ(chart.labels, (std::vector<std::string>{"A LAO 30", "AP"}));
    EXPECT_EQ(chart.doses_mgy, (std::vector<double>{120, 340}));
    EXPECT_EQ(chart.emphasised, 1);
    EXPECT_EQ(chart.thresholds_gy, (std::vector<double>{2, 3, 5}));
    EXPECT_FALSE(chart.japanese);

    // The group without both angles is the one label with words of a language.
    result.groups.resize(3);
    result.groups[2].plane = AcquisitionPlane::B;
    result.groups[2].label = ProjectionLabel(std::nullopt, std::nullopt);
    EXPECT_EQ(ProjectionChartOf(result, false).labels[2], "B angles unknown");
    EXPECT_EQ(ProjectionChartOf(result).labels[2], "B 角度不明");
}

}  // namespace
}  // namespace korvex

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
