#include "engine/text_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "engine/errors.h"
#include "tests/fixtures/synthetic_workdir.h"

namespace korvex {
namespace {

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(Cp932, RoundTripsJapaneseTextAndSymbols) {
    const std::string text = "対象部位,胸部背面 ｱﾙﾐ付加 Gy･cm2 ― ①　全角空白";
    const std::string bytes = EncodeCp932(text, "a.csv");
    // Shift_JIS: 対 = 0x91CE, half-width katakana ｱ = 0xB1, horizontal bar = 0x815C.
    EXPECT_EQ(bytes.substr(0, 2), "\x91\xCE");
    EXPECT_NE(bytes.find('\xB1'), std::string::npos);
    EXPECT_NE(bytes.find("\x81\x5C"), std::string::npos);
    EXPECT_EQ(DecodeCp932(bytes, "a.csv"), text);
}

TEST(Cp932, RefusesWhatItCannotConvert) {
    // An emoji has no Shift_JIS code; a lone lead byte is no character.
    EXPECT_THROW(EncodeCp932("dose \xF0\x9F\x98\x80", "a.csv"), FileError);
    EXPECT_THROW(DecodeCp932("abc\x81", "a.csv"), FileError);
    try {
        DecodeCp932("\x82", "results.csv");
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("results.csv"), std::string::npos);
    }
}

TEST(Cp932, LenientDecodingReplacesBadBytes) {
    EXPECT_EQ(DecodeCp932Lenient("a\xFF b"), "a\xEF\xBF\xBD b");
    EXPECT_EQ(DecodeCp932Lenient("\x91\xCE\x81"), "対\xEF\xBF\xBD");
}

TEST(TextFile, WritesCodePage932WithCrLfAndReadsItBack) {
    fixtures::TempFolder folder;
    const auto path = folder.path() / "device.kvx2";
    WriteTextLines(path, {"100.0", "---", "", "胸部背面"}, "device.kvx2");
    EXPECT_EQ(ReadBytes(path), "100.0\r\n---\r\n\r\n\x8B\xB9\x95\x94\x94\x77\x96\xCA\r\n");
    EXPECT_EQ(ReadTextFile(path, "device.kvx2"), "100.0\r\n---\r\n\r\n胸部背面\r\n");
}

TEST(TextFile, MissingFileIsReportedByName) {
    fixtures::TempFolder folder;
    try {
        ReadTextFile(folder.path() / "PDS-data" / "45.dat", "PDS-data/45.dat");
        FAIL() << "a missing file was read";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("PDS-data/45.dat"), std::string::npos);
    }
    EXPECT_THROW(ReadTextFile(folder.path(), "folder"), FileError);
}

TEST(TextFile, TheStartOfAFileIsReadWithTheChecksOfAWholeRead) {
    fixtures::TempFolder folder;
    const std::string big(100000, 'x');
    WriteBytes(folder.path() / "big.dcm", "DICM" + big);
    WriteBytes(folder.path() / "short.dcm", "DI");
    EXPECT_EQ(ReadFileStart(folder.path() / "big.dcm", "big.dcm", 6), "DICMxx");
    EXPECT_EQ(ReadFileStart(folder.path() / "short.dcm", "short.dcm", 132), "DI");
    // No size limit: a file far beyond any limit still shows its start.
    EXPECT_EQ(ReadFileStart(folder.path() / "big.dcm", "big.dcm", 0), "");
    try {
        ReadFileStart(folder.path() / "gone.dcm", "gone.dcm", 132);
        FAIL() << "a missing file was read";
    } catch (const FileError& error) {
        EXPECT_STREQ(error.what(), "ファイル「gone.dcm」が見つかりません。");
    }
    try {
        ReadFileStart(folder.path(), "folder", 132);
        FAIL() << "a folder was read";
    } catch (const FileError& error) {
        EXPECT_STREQ(error.what(), "「folder」はファイルではありません。");
    }
}

TEST(AtomicWrite, ReplacesTheFileAndLeavesNoTemporaryBehind) {
    fixtures::TempFolder folder;
    const auto path = folder.path() / "table.csv";
    WriteBytes(path, "old content");
    WriteFileAtomically(path, "new", "table.csv");
    EXPECT_EQ(ReadBytes(path), "new");
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST(AtomicWrite, TheLongestFileNameCanBeWritten) {
    fixtures::TempFolder folder;
    const std::string name = std::string(251, 'a') + ".csv";  // 255 bytes, the limit
    WriteFileAtomically(folder.path() / name, "x", name);
    EXPECT_EQ(ReadBytes(folder.path() / name), "x");
}

TEST(AtomicWrite, AFailedWriteKeepsTheOldFileAndIsReported) {
    fixtures::TempFolder folder;
    // A folder in the target's place: the rename fails after the data were written.
    const auto blocked = folder.path() / "blocked.csv";
    std::filesystem::create_directory(blocked);
    WriteBytes(blocked / "inside", "keep me");
    EXPECT_THROW(WriteFileAtomically(blocked, "new", "blocked.csv"), FileError);
    EXPECT_EQ(ReadBytes(blocked / "inside"), "keep me");
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1) << "the temporary file was left behind";

    // A folder that does not exist: nothing can be created.
    try {
        WriteFileAtomically(folder.path() / "no-such-folder" / "x.csv", "data", "x.csv");
        FAIL() << "writing into a missing folder succeeded";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("x.csv"), std::string::npos);
    }
}

TEST(AtomicWrite, UnencodableTextLeavesTheOldFileUntouched) {
    fixtures::TempFolder folder;
    const auto path = folder.path() / "r.csv";
    WriteBytes(path, "old");
    EXPECT_THROW(WriteTextLines(path, {"ok", "\xF0\x9F\x98\x80"}, "r.csv"), FileError);
    EXPECT_EQ(ReadBytes(path), "old");
}

}  // namespace
}  // namespace korvex
