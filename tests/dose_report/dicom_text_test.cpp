#include "dose_report/dicom_text.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace korvex
