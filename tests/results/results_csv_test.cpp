#include "results/results_csv.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "engine/errors.h"
#include "engine/text_file.h"
#include "results/add_result_row.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/results/results_test_support.h"

namespace korvex {
namespace {

using C = ResultColumn;
namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> SplitCrLf(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(bytes.substr(start, end - start));
    }
    EXPECT_EQ(start, bytes.size()) << "text after the last line end";
    return lines;
}

// The documented one-row file, written out by hand.
const std::vector<std::string> kExampleLines{
    "test series 1, fluoroscopy and cine",
    " 1 ",
    "対象部位,胸部背面",
    "管電圧 (kV),80",
    "固有濾過(mmAL),2.50",
    "ｱﾙﾐ付加 (mm),1.00",
    "銅付加 (mm),0.10",
    "その他フィルタ,-",
    "上記厚(mm),0",
    "FSD (cm),65",
    "照射野 at 基準点,12.5cm平方",
    "Kar (mGy),250.0",
    "P_KA (Gy･cm2),35.2",
    "補正 kar (mGy),240.0",
    "補正 P_KA (Gy･cm2),33.8",
    "皮膚線量/空気カーマ比,1.065",
    "前方・後方散乱係数,1.352",
    "入射表面皮膚吸収線量 (mGy),345.6",
};

std::string Cp932File(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line + "\r\n";
    }
    return EncodeCp932(text, "test");
}

ResultsTable TableOf(int rows, CalculationCase calc = testing::ExampleCase()) {
    ResultsTable table;
    for (int n = 0; n < rows; ++n) {
        calc.SkinDose = 100 + n;
        AddResultRow(table, calc);
    }
    return table;
}

// A file of `count` rows with the given line 2, built field by field.
std::string HandMadeFile(const std::string& count_line, int values_per_line) {
    std::vector<std::string> lines{"comment", count_line};
    for (const auto& info : kResultColumns) {
        std::string line(info.csv_label);
        for (int k = 0; k < values_per_line; ++k) {
            line += ",1.5";
        }
        lines.push_back(line);
    }
    return Cp932File(lines);
}

void ExpectUnreadable(const std::string& bytes, const std::string& why) {
    fixtures::TempFolder folder;
    WriteBytes(folder.path() / "bad.csv", bytes);
    ResultsTable current = TableOf(2);
    const ResultsTable before = current;
    try {
        current = ReadResultsCsv(folder.path() / "bad.csv").table;
        ADD_FAILURE() << "read a file with " << why;
    } catch (const ResultsFileUnreadable& error) {
        EXPECT_EQ(std::string(error.what()), kReadFailureText) << why;
        EXPECT_NE(error.detail().find("bad.csv"), std::string::npos) << error.detail();
    }
    EXPECT_EQ(current, before);
}

TEST(ResultsCsv, WorkedExampleIsWrittenByteForByte) {
    // Spot-check the encoding itself: half-width katakana are single bytes.
    const std::string expected = Cp932File(kExampleLines);
    EXPECT_NE(expected.find("\xB1\xD9\xD0"), std::string::npos);

    fixtures::TempFolder folder;
    const fs::path path = SaveResultsCsv(folder.path(), "series", kExampleLines[0], TableOf(0));
    ResultsTable table;
    AddResultRow(table, testing::ExampleCase());
    SaveResultsCsv(folder.path(), "series", kExampleLines[0], table);  // replaces the file
    EXPECT_EQ(path, folder.path() / "series.csv");
    EXPECT_EQ(ReadBytes(path), expected);

    // Read back: the cells show as before; numbers are written back in shortest form.
    const ResultsCsvContent read = ReadResultsCsv(path);
    EXPECT_EQ(read.comment, kExampleLines[0]);
    ASSERT_EQ(read.table.RowCount(), 1);
    for (const auto& info : kResultColumns) {
        EXPECT_EQ(read.table.Cell(1, info.column).Shown(info.screen_pattern),
                  table.Cell(1, info.column).Shown(info.screen_pattern))
            << info.name;
    }
    EXPECT_EQ(read.table.Cell(1, C::FilterInherent), NumberCell(2.5));
    EXPECT_EQ(read.table.Cell(1, C::Site), TextCell("胸部背面"));
    WriteResultsCsv(folder.path() / "again.csv", read.comment, read.table);
    const auto again = SplitCrLf(DecodeCp932(ReadBytes(folder.path() / "again.csv"), "again"));
    ASSERT_EQ(again.size(), 18u);
    EXPECT_EQ(again[4], "固有濾過(mmAL),2.5");
    EXPECT_EQ(again[11], "Kar (mGy),250");
    EXPECT_EQ(again[10], "照射野 at 基準点,12.5cm平方");
}

TEST(ResultsCsv, EachRowNamesItsModelUnlessAllAreTheLegacyFormulas) {
    fixtures::TempFolder folder;
    // A file of earlier programs: 18 lines, read as the legacy formula's.
    WriteBytes(folder.path() / "old.csv", Cp932File(kExampleLines));
    const ResultsTable old = ReadResultsCsv(folder.path() / "old.csv").table;
    ASSERT_EQ(old.RowCount(), 1);
    EXPECT_EQ(old.Row(1).Model(), DoseModel::Legacy);

    // Validated rows and a legacy one: line 19 names each row's model, and reads back.
    ResultsTable mixed = TableOf(2, testing::ExampleCase(DoseModel::Validated));
    AddResultRow(mixed, testing::ExampleCase(DoseModel::Legacy));
    const fs::path path = SaveResultsCsv(folder.path(), "mixed", "c", mixed);
    const auto lines = SplitCrLf(DecodeCp932(ReadBytes(path), "mixed"));
    ASSERT_EQ(lines.size(), 19u);
    EXPECT_EQ(lines[18], "計算モデル,検証済みモデル,検証済みモデル,従来式");
    const ResultsTable read = ReadResultsCsv(path).table;
    ASSERT_EQ(read.RowCount(), 3);
    EXPECT_EQ(read.Row(1).Model(), DoseModel::Validated);
    EXPECT_EQ(read.Row(3).Model(), DoseModel::Legacy);
    EXPECT_EQ(read.DoseTotals().size(), 2u);

    // A model line must name a known model for every row; a foreign line after the table
    // is left unread, as earlier programs left it.
    std::vector<std::string> unknown = lines;
    unknown[18] = "計算モデル,検証済みモデル,新しいモデル,従来式";
    ExpectUnreadable(Cp932File(unknown), "an unknown model");
    std::vector<std::string> short_line = lines;
    short_line[18] = "計算モデル,検証済みモデル,従来式";
    ExpectUnreadable(Cp932File(short_line), "a model line short of a row");
    std::vector<std::string> foreign = kExampleLines;
    foreign.push_back("メモ,何か");
    WriteBytes(folder.path() / "foreign.csv", Cp932File(foreign));
    EXPECT_EQ(ReadResultsCsv(folder.path() / "foreign.csv").table.Row(1).Model(),
              DoseModel::Legacy);
}

TEST(ResultsCsv, ThreeRowsGiveEighteenLinesOfThreeValues) {
    fixtures::TempFolder folder;
    const fs::path path = SaveResultsCsv(folder.path(), "three", "a, b, c", TableOf(3));
    const auto lines = SplitCrLf(ReadBytes(path));
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[0], "a, b, c");
    EXPECT_EQ(lines[1], " 3 ");
    for (size_t i = 2; i < lines.size(); ++i) {
        EXPECT_EQ(std::count(lines[i].begin(), lines[i].end(), ','), 3) << "line " << i + 1;
    }
    const ResultsCsvContent read = ReadResultsCsv(path);
    EXPECT_EQ(read.comment, "a, b, c");
    EXPECT_EQ(ReadResultsCsvComment(path), "a, b, c");
    EXPECT_EQ(read.table.RowCount(), 3);
    EXPECT_DOUBLE_EQ(read.table.DoseTotal(), 100 + 101 + 102);
}

TEST(ResultsCsv, CountsFromZeroToFifteenReadAndSixteenFails) {
    fixtures::TempFolder folder;
    WriteBytes(folder.path() / "full.csv", HandMadeFile(" 15 ", 15));
    const ResultsTable full = ReadResultsCsv(folder.path() / "full.csv").table;
    EXPECT_EQ(full.NextRow(), 16);
    EXPECT_TRUE(full.IsFull());
    EXPECT_DOUBLE_EQ(full.DoseTotal(), 15 * 1.5);

    WriteBytes(folder.path() / "none.csv", HandMadeFile("0", 0));
    EXPECT_EQ(ReadResultsCsv(folder.path() / "none.csv").table, ResultsTable());

    ExpectUnreadable(HandMadeFile(" 16 ", 16), "count 16");
    for (const char* count : {" x ", " 2.5 ", " -1 ", "", " 2 ,1"}) {
        ExpectUnreadable(HandMadeFile(count, 2), std::string("count \"") + count + "\"");
    }
}

TEST(ResultsCsv, ShortLongTruncatedAndUndecodableFilesAreRefused) {
    ExpectUnreadable(HandMadeFile(" 3 ", 2), "two values where three are counted");
    ExpectUnreadable(HandMadeFile(" 2 ", 3), "three values where two are counted");
    ExpectUnreadable("", "nothing in it");
    ExpectUnreadable("comment\r\n 1 \r\n\x91", "a broken code page 932 character");

    // Cut anywhere before the final line end: never read as a shorter table.
    fixtures::TempFolder folder;
    const std::string whole = ReadBytes(SaveResultsCsv(folder.path(), "w", "c", TableOf(3)));
    for (size_t length = 0; length + 1 < whole.size(); ++length) {
        ExpectUnreadable(whole.substr(0, length), "a cut at byte " + std::to_string(length));
    }
}

TEST(ResultsCsv, FieldsAreReadAsAStreamWithQuotesAndLfLineEnds) {
    std::string text = DecodeCp932(HandMadeFile(" 2 ", 2), "t");
    std::erase(text, '\r');
    const auto replace = [&text](const std::string& from, const std::string& to) {
        text.replace(text.find(from), from.size(), to);
    };
    replace("対象部位,1.5,1.5", "対象部位,\"胸部, 背面\",  腹部");
    replace("入射表面皮膚吸収線量 (mGy),1.5,1.5", "入射表面皮膚吸収線量 (mGy),12.5mGy,abc");
    const ResultsCsvContent read = ParseResultsCsv(text, "t.csv");
    EXPECT_EQ(read.table.Cell(1, C::Site).Text(), "胸部, 背面");
    EXPECT_EQ(read.table.Cell(2, C::Site).Text(), "腹部");
    EXPECT_EQ(read.table.Cell(1, C::Kv), NumberCell(1.5));
    // A dose that is not a number counts with its leading number.
    EXPECT_EQ(read.table.Cell(1, C::EntranceDose), TextCell("12.5mGy"));
    EXPECT_DOUBLE_EQ(read.table.DoseTotal(), 12.5);

    // Doses whose sum is beyond the range of numbers give no total at all.
    std::string huge = DecodeCp932(HandMadeFile(" 2 ", 2), "t");
    huge.replace(huge.rfind("1.5,1.5"), 7, "1e308,1e308");
    EXPECT_THROW(ParseResultsCsv(huge, "h.csv").table.DoseTotal(), CalculationError);
}

TEST(ResultsCsv, ArbitraryFilterAndAwkwardTextsSurviveSaveAndRead) {
    CalculationCase calc = testing::ExampleCase();
    ResultsTable table;
    AddResultRow(table, calc);
    calc.ArbitraryFilterOn = 1;
    calc.ArbitraryFilterMaterial = "Mo";
    calc.ArbitraryFilterThickness = 0.005;  // cm
    calc.BodySite = "胸部, 背面";           // a comma: quoted in the file
    AddResultRow(table, calc);
    calc.BodySite = "  頭部";  // leading blanks: quoted too
    AddResultRow(table, calc);

    fixtures::TempFolder folder;
    const fs::path path = SaveResultsCsv(folder.path(), "filters", "　全角空白のコメント ", table);
    const ResultsCsvContent read = ReadResultsCsv(path);
    EXPECT_EQ(read.comment, "　全角空白のコメント ");
    EXPECT_FALSE(read.table.Row(1).HasArbitraryFilter());
    EXPECT_TRUE(read.table.Row(2).HasArbitraryFilter());
    EXPECT_EQ(read.table.Cell(2, C::FilterOther).Text(), "Mo");
    EXPECT_EQ(read.table.Cell(2, C::FilterOtherThickness).Shown("0.00"), "0.05");
    EXPECT_EQ(read.table.Cell(1, C::FilterOtherThickness), NumberCell(0));
    EXPECT_EQ(read.table.Cell(2, C::Site).Text(), "胸部, 背面");
    EXPECT_EQ(read.table.Cell(3, C::Site).Text(), "  頭部");
}

TEST(ResultsCsv, RefusedSavesNameTheFileAndWriteNothing) {
    fixtures::TempFolder folder;
    const fs::path kept = SaveResultsCsv(folder.path(), "kept", "old", TableOf(1));
    const std::string kept_bytes = ReadBytes(kept);

    const auto expect_refused = [&](std::string_view name, std::string_view comment,
                                    const ResultsTable& table, const std::string& named) {
        try {
            SaveResultsCsv(folder.path(), name, comment, table);
            ADD_FAILURE() << "saved \"" << name << "\"";
        } catch (const FileError& error) {
            EXPECT_NE(std::string(error.what()).find(named), std::string::npos) << error.what();
        }
    };
    expect_refused("", "c", TableOf(1), "ファイル名");
    expect_refused("../kept", "c", TableOf(1), "../kept.csv");
    expect_refused("sub\\kept", "c", TableOf(1), "sub\\kept.csv");
    expect_refused("a\nb", "c", TableOf(1), "ファイル名");
    expect_refused("kept", "two\r\nlines", TableOf(1), "kept.csv");
    expect_refused("kept", "emoji \xF0\x9F\x98\x80", TableOf(1), "kept.csv");
    CalculationCase calc = testing::ExampleCase();
    calc.BodySite = "line\nbreak";
    expect_refused("kept", "c", TableOf(1, calc), "kept.csv");
    calc.BodySite = "\"quoted\"";
    expect_refused("kept", "c", TableOf(1, calc), "kept.csv");
    calc.BodySite = "\xF0\x9F\x98\x80";
    expect_refused("kept", "c", TableOf(1, calc), "対象部位");

    EXPECT_EQ(ReadBytes(kept), kept_bytes);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);

    // A folder that cannot take the file.
    EXPECT_THROW(SaveResultsCsv(folder.path() / "missing", "x", "c", TableOf(1)), FileError);
}

TEST(ResultsCsv, CommentPreviewReadsOnlyTheFirstLine) {
    fixtures::TempFolder folder;
    WriteBytes(folder.path() / "empty.csv", "");
    EXPECT_EQ(ReadResultsCsvComment(folder.path() / "empty.csv"), "");
    WriteBytes(folder.path() / "one.csv", EncodeCp932("胸部, 2 件\r\n 2 \r\n", "t"));
    EXPECT_EQ(ReadResultsCsvComment(folder.path() / "one.csv"), "胸部, 2 件");
    WriteBytes(folder.path() / "bad.csv", "a\xFF\n");
    EXPECT_EQ(ReadResultsCsvComment(folder.path() / "bad.csv"), "a\xEF\xBF\xBD");
    EXPECT_THROW(ReadResultsCsvComment(folder.path() / "gone.csv"), FileError);
}

}  // namespace
}  // namespace korvex
