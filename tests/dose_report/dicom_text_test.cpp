#include "dose_report/dicom_text.h"

#include <gtest/gtest.h>

// DCMTK's configuration header comes before its other headers.
#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcspchrs.h>
#include <dcmtk/oflog/oflog.h>

#include <string>

namespace korvex {
namespace {

TEST(DicomTextTest, CharacterSetTermsKeepAnEmptyFirstValue) {
    EXPECT_TRUE(CharacterSetTerms("").empty());
    EXPECT_TRUE(CharacterSetTerms("  ").empty());
    EXPECT_EQ(CharacterSetTerms("ISO_IR 192"), (std::vector<std::string>{"ISO_IR 192"}));
    EXPECT_EQ(CharacterSetTerms("\\ISO 2022 IR 87"),
              (std::vector<std::string>{"", "ISO 2022 IR 87"}));
    EXPECT_EQ(CharacterSetTerms("ISO 2022 IR 13\\ISO 2022 IR 87 "),
              (std::vector<std::string>{"ISO 2022 IR 13", "ISO 2022 IR 87"}));
}

TEST(DicomTextTest, JapaneseWithCodeExtensions) {
    const std::vector<std::string> kanji{"", "ISO 2022 IR 87"};
    EXPECT_EQ(DecodeDicomText("Yamada^Tarou=\x1b$B;3ED\x1b(B^\x1b$BB@O:\x1b(B", kanji),
              "Yamada^Tarou=山田^太郎");
    // Half-width katakana in G1 (ISO 2022 IR 13) beside kanji.
    const std::vector<std::string> katakana{"ISO 2022 IR 13", "ISO 2022 IR 87"};
    EXPECT_EQ(DecodeDicomText("\xD4\xCF\xC0\xDE^\xC0\xDB\xB3=\x1b$B;3ED\x1b(J", katakana),
              "ﾔﾏﾀﾞ^ﾀﾛｳ=山田");
    // A kanji pair cut in half, an unknown escape: shown escaped, not guessed.
    EXPECT_EQ(DecodeDicomText("\x1b$B;", kanji), "\\x1B$B;");
    EXPECT_EQ(DecodeDicomText("A\x1b%GB", kanji), "A\\x1B%GB");
    EXPECT_FALSE(TryDecodeDicomText("\x1b$B;", kanji));
}

TEST(DicomTextTest, UnicodeLatinAndUndeclaredBytes) {
    EXPECT_EQ(DecodeDicomText("M\xC3\xBCller", {"ISO_IR 192"}), "Müller");
    EXPECT_EQ(DecodeDicomText("M\xC3(ller", {"ISO_IR 192"}), "M\\xC3(ller");
    EXPECT_EQ(DecodeDicomText("\xE0\x80\xAF", {"ISO_IR 192"}), "\\xE0\\x80\\xAF");  // overlong
    EXPECT_EQ(DecodeDicomText("M\xFCller", {"ISO_IR 100"}), "Müller");
    EXPECT_EQ(DecodeDicomText("M\xFCller", {}), "M\\xFCller");
    EXPECT_EQ(DecodeDicomText("M\xFCller", {"ISO_IR 999"}), "M\\xFCller");
    // Plain ASCII needs no character set; padding goes, line breaks become blanks.
    EXPECT_EQ(DecodeDicomText("ROOM 1  ", {}), "ROOM 1");
    EXPECT_EQ(DecodeDicomText(std::string("A\r\nB\x01", 5), {}), "A  B\\x01");
    EXPECT_EQ(EscapeBytes(std::string("a\0b", 3)), "a\\x00b");
}

// Why Japanese keeps the program's own decoding: DCMTK, built on the C library's iconv,
// refuses the Japanese code extensions, and reads JIS X 0201's G0 as Romaji.
TEST(DicomTextTest, DcmtkCannotReadJapaneseAsUnitsWriteIt) {
    OFLog::configure(OFLogger::OFF_LOG_LEVEL);
    for (const char* value :
         {"\\ISO 2022 IR 87", "ISO 2022 IR 13\\ISO 2022 IR 87", "\\ISO 2022 IR 159"}) {
        DcmSpecificCharacterSet converter;
        EXPECT_TRUE(converter.selectCharacterSet(value, "ISO_IR 192").bad()) << value;
    }
    // "ｱ~": DCMTK gives an overline, although the same "~" without a katakana is ASCII.
    DcmSpecificCharacterSet katakana;
    ASSERT_TRUE(katakana.selectCharacterSet("ISO_IR 13", "ISO_IR 192").good());
    OFString converted;
    ASSERT_TRUE(katakana.convertString("\xB1~", converted).good());
    EXPECT_EQ(std::string(converted.c_str()), "ｱ\u203E");
    EXPECT_EQ(DecodeDicomText("\xB1~", {"ISO_IR 13"}), "ｱ~");
    EXPECT_EQ(DecodeDicomText("~", {"ISO_IR 13"}), "~");
}

TEST(DicomTextTest, OtherSetsWithCodeExtensionsAndMultiByteSets) {
    EXPECT_EQ(DecodeDicomText("\x1b$)C\xB1\xE8\xC8\xF1\xC1\xDF", {"", "ISO 2022 IR 149"}),
              "김희중");
    EXPECT_EQ(DecodeDicomText("M\x1b-A\xFCller", {"ISO 2022 IR 6", "ISO 2022 IR 100"}), "Müller");
    EXPECT_EQ(DecodeDicomText("\xB8\xD2\xD0\xDD\xDE\xD2", {"ISO_IR 144"}), "Иванов");
    EXPECT_EQ(DecodeDicomText("\xD6\xD0\xCE\xC4", {"GB18030"}), "中文");
    // A multi-byte character cut off at the end of the value.
    EXPECT_EQ(DecodeDicomText("\xD6\xD0\xCE", {"GB18030"}), "\\xD6\\xD0\\xCE");
}

// What real units write: Shift_JIS bytes under UTF-8 or under a term that is no defined
// term, a UTF-16 surrogate encoded as UTF-8. Shown escaped byte for byte, never guessed;
// TryDecodeDicomText says so, which is what the reader notes.
TEST(DicomTextTest, BytesTheDeclaredSetDoesNotHoldAreEscaped) {
    const std::string shift_jis =
        "\x8E"
        "R\x93"
        "c";  // 山田
    for (const char* term : {"ISO_IR 192", "ISO_IR 6", "ISO 2022 IR 100", "SHIFT_JIS"}) {
        EXPECT_EQ(DecodeDicomText(shift_jis, {term}), "\\x8ER\\x93c") << term;
        EXPECT_FALSE(TryDecodeDicomText(shift_jis, {term})) << term;
    }
    EXPECT_EQ(DecodeDicomText("\xED\xA0\x80", {"ISO_IR 192"}), "\\xED\\xA0\\x80");
    // Two terms without code extensions are no valid value.
    EXPECT_EQ(DecodeDicomText("\xFC", {"ISO_IR 100", "ISO_IR 144"}), "\\xFC");
    // The set of one value does not leak into the next of another set.
    EXPECT_EQ(DecodeDicomText("\xFC", {"ISO_IR 100"}), "ü");
    EXPECT_EQ(DecodeDicomText("\xFC", {"ISO_IR 192"}), "\\xFC");
    EXPECT_EQ(DecodeDicomText("\xFC", {"ISO_IR 100"}), "ü");
}

// A UID becomes a file name only if it is one (PS3.5 9.1).
TEST(DicomTextTest, OnlyWellFormedUidsPass) {
    EXPECT_TRUE(IsValidUid("1.2.840.10008.5.1.4.1.1.88.67"));
    EXPECT_TRUE(IsValidUid("1.0.3"));
    EXPECT_TRUE(IsValidUid(std::string(64, '1')));
    for (const char* bad : {"", "1..2", ".1.2", "1.2.", "1.02", "1.2a", "../1.2", "1/2", "1 2"}) {
        EXPECT_FALSE(IsValidUid(bad)) << bad;
    }
    EXPECT_FALSE(IsValidUid(std::string(65, '1')));
    EXPECT_FALSE(IsValidUid(std::string("1.2\0", 4)));
}

}  // namespace
}  // namespace korvex
