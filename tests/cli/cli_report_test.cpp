// The table command's PDF: the same page the results window prints, without a display.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "cli/commands.h"
#include "cli/json_output.h"
#include "cli/table_pdf.h"
#include "engine/text_file.h"
#include "engine/text_rules.h"
#include "results/results_csv.h"
#include "tests/cli/cli_test_support.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"

namespace korvex::cli {
namespace {

struct Finished {
    int status = -1;
    std::string output;
};

Finished RunShell(const std::string& command) {
    Finished finished;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return finished;
    }
    std::array<char, 4096> buffer{};
    while (const size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) {
        finished.output.append(buffer.data(), n);
    }
    finished.status = WEXITSTATUS(pclose(pipe));
    return finished;
}

std::string Quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

// Blanks collapsed, so texts compare whatever spacing the PDF's layout gives them.
std::string Collapsed(const std::string& text) {
    std::string collapsed;
    for (char c : text) {
        const bool blank = c == ' ' || c == '\n' || c == '\t' || c == '\f';
        if (!blank || (!collapsed.empty() && collapsed.back() != ' ')) {
            collapsed += blank ? ' ' : c;
        }
    }
    return collapsed;
}

class TablePdfTest : public CliTest {
  protected:
    // The page's Japanese these tests read; poppler's tools, run beside the program, read
    // the PDF in a UTF-8 locale.
    ScopedLanguage language_{{{"KORVEX2_LANGUAGE", "ja"}, {"LANG", "C.UTF-8"}}};
    TablePdfTest() : CliTest({.with_user_name = true}) {
        std::ofstream(input_, std::ios::binary) << "device,site,kv,kar,pka,shape,fsd\n"
                                                << "room1.kvx2,頭部,,10,1,square,\n"
                                                << "room1.kvx2,胸部背面,90,20,3,circle,80\n"
                                                << "room1.kvx2,腹部背面,70,5,0.5,circle,\n";
    }

    std::filesystem::path input_ = folder_.path() / "exposures.csv";
};

// The tests that read a PDF: only where the program writes one.
class WrittenPdfTest : public TablePdfTest {
  protected:
    void SetUp() override {
        if (!WritesTablePdf()) {
            GTEST_SKIP() << "this korvex2-cli is built without Qt (KORVEX_GUI=OFF) and writes "
                            "no PDF";
        }
    }
};

// The real program as a script runs it, checked with poppler's tools.
TEST_F(WrittenPdfTest, OneLandscapeA4PageWithTheTableTheTotalAndTheUser) {
    const std::filesystem::path pdf = folder_.path() / "report.pdf";
    const std::filesystem::path csv = folder_.path() / "results.csv";
    const Finished run =
        RunShell(std::string(KORVEX_CLI_PATH) + " table --input " + Quoted(input_) + " --pdf " +
                 Quoted(pdf) + " --output " + Quoted(csv) + " --comment c --workdir " +
                 Quoted(folder_.path()) + " 2>&1");
    ASSERT_EQ(run.status, 0) << run.output;
    const Json json = Json::parse(run.output);
    EXPECT_EQ(json["Pdf"], pdf.string());
    EXPECT_EQ(json["File"], csv.string());

    const Finished info = RunShell("pdfinfo " + Quoted(pdf));
    ASSERT_EQ(info.status, 0) << "pdfinfo (poppler-utils) is needed";
    EXPECT_NE(Collapsed(info.output).find("Pages: 1 "), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("842 x 595 pts (A4)"), std::string::npos) << info.output;

    const Finished fonts = RunShell("pdffonts " + Quoted(pdf));
    ASSERT_EQ(fonts.status, 0);
    std::istringstream font_lines(fonts.output);
    std::string line;
    int font_count = 0;
    for (int n = 0; std::getline(font_lines, line); ++n) {
        if (n >= 2) {  // after the heading and its rule: name, type, encoding, emb, ...
            ++font_count;
            std::istringstream columns(line);
            std::string name, type1, type2, encoding, embedded;
            columns >> name >> type1 >> type2 >> encoding >> embedded;
            EXPECT_EQ(embedded, "yes") << line;
        }
    }
    EXPECT_GE(font_count, 1);

    const std::string text = Collapsed(RunShell("pdftotext -raw " + Quoted(pdf) + " -").output);
    for (const char* header : {"対象部位", "管電圧", "総濾過", "装置に表示された", "補正後の",
                               "皮膚線量／", "前方･後方", "皮膚吸収線量", "Gy･cm2"}) {
        EXPECT_NE(text.find(header), std::string::npos) << header;
    }
    const ResultsTable table = ReadResultsCsv(csv).table;
    ASSERT_EQ(table.RowCount(), 3);
    for (int slot = 1; slot <= 3; ++slot) {
        const std::string site = table.Cell(slot, ResultColumn::Site).StoredText();
        const std::string dose = table.Cell(slot, ResultColumn::EntranceDose).Shown("###00.0");
        const size_t at = text.find(site);
        ASSERT_NE(at, std::string::npos) << site;
        EXPECT_NE(text.find(dose, at), std::string::npos) << site << " " << dose;
    }
    EXPECT_NE(text.find("合 計 " + FormatNumber(table.DoseTotal(), "###00.0")), std::string::npos)
        << text;
    // The registered name from line 32 of "Primary.dat".
    EXPECT_NE(text.find("IVR 時の入射表面皮膚組織吸収線量"), std::string::npos);
    EXPECT_NE(text.find("テスト病院 with Korvex-2"), std::string::npos) << text;
}

TEST_F(WrittenPdfTest, PdfAloneOrBesideTheCsvAndTheNameGiven) {
    const std::filesystem::path pdf = folder_.path() / "only.pdf";
    ASSERT_EQ(Run({"table", "--input", input_.string(), "--pdf", pdf.string(), "--user",
                   "循環器科 IVR 室"}),
              0)
        << err_.str();
    EXPECT_EQ(Output()["Pdf"], pdf.string());
    EXPECT_FALSE(Output().contains("File"));  // no CSV asked for, none written
    EXPECT_EQ(Output()["Rows"], 3);
    const std::string text = Collapsed(RunShell("pdftotext -raw " + Quoted(pdf) + " -").output);
    EXPECT_NE(text.find("循環器科 IVR 室 with Korvex-2"), std::string::npos) << text;
    EXPECT_EQ(text.find("テスト病院"), std::string::npos);

    // Again in the same process, with the registered name: a new application for the new
    // PDF, which carries every text again.
    ASSERT_EQ(Run({"table", "--input", input_.string(), "--pdf", pdf.string()}), 0);
    const std::string again = Collapsed(RunShell("pdftotext -raw " + Quoted(pdf) + " -").output);
    EXPECT_NE(again.find("テスト病院 with Korvex-2"), std::string::npos) << again;
}

// The page speaks the language of the help: English headings, title and model line.
TEST_F(WrittenPdfTest, TheEnglishPageForAnEnglishUser) {
    ScopedLanguage english({{"KORVEX2_LANGUAGE", "en"}, {"LANG", "C.UTF-8"}});
    const std::filesystem::path pdf = folder_.path() / "english.pdf";
    ASSERT_EQ(Run({"table", "--input", input_.string(), "--pdf", pdf.string(), "--user",
                   "IVR Dosimetry"}),
              0)
        << err_.str();
    const std::string text = Collapsed(RunShell("pdftotext -raw " + Quoted(pdf) + " -").output);
    for (const char* expected : {"Entrance-surface skin dose in IVR", "IVR Dosimetry with Korvex-2",
                                 "Dose model: Validated model", "Site", "Corrected", "Total"}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << " in " << text;
    }
    EXPECT_EQ(text.find("入射表面"), std::string::npos) << text;
    EXPECT_EQ(text.find("計算モデル"), std::string::npos) << text;
}

TEST_F(TablePdfTest, OptionsThatMakeNoSenseAndFailedWrites) {
    EXPECT_EQ(Run({"table", "--input", input_.string()}), 2);
    EXPECT_NE(err_.str().find("--pdf"), std::string::npos) << err_.str();
    EXPECT_EQ(
        Run({"table", "--input", input_.string(), "--output", (folder_.path() / "r.csv").string()}),
        2);
    EXPECT_NE(err_.str().find("--comment"), std::string::npos) << err_.str();
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / "r.csv"));

    // A file that cannot be written is a failure with a JSON error, never a success.
    const std::filesystem::path lost = folder_.path() / "missing" / "lost.pdf";
    EXPECT_EQ(Run({"table", "--input", input_.string(), "--pdf", lost.string()}), 4);
    EXPECT_NE(Output()["Error"].get<std::string>().find("lost.pdf"), std::string::npos);
    EXPECT_EQ(Output()["File"], lost.string());
    EXPECT_FALSE(Output().contains("Pdf"));
}

// Without Qt the table is calculated and its CSV written, but --pdf is an output that could
// not be written, saying why.
TEST_F(TablePdfTest, WithoutQtAPdfIsAnOutputThatCannotBeWritten) {
    if (WritesTablePdf()) {
        GTEST_SKIP() << "this korvex2-cli writes PDFs; the test is for a build without Qt";
    }
    const std::filesystem::path pdf = folder_.path() / "report.pdf";
    EXPECT_EQ(Run({"table", "--input", input_.string(), "--pdf", pdf.string()}), 4);
    EXPECT_EQ(Output()["Error"],
              "この korvex2-cli は Qt なしでビルドされているため、PDF「report.pdf」を書けません。");
    EXPECT_EQ(Output()["File"], pdf.string());
    EXPECT_FALSE(std::filesystem::exists(pdf));
}

}  // namespace
}  // namespace korvex::cli
