#include "engine/text_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <future>
#include <limits>
#include <stdexcept>
#include <vector>

#include "engine/charset.h"

namespace korvex {
namespace {

TEST(FormatNumber, PatternsShowRequiredDigitsOnly) {
    EXPECT_EQ(FormatNumber(7, "#00"), "07");
    EXPECT_EQ(FormatNumber(120, "#00"), "120");
    EXPECT_EQ(FormatNumber(85, "#00"), "85");
    EXPECT_EQ(FormatNumber(5.24, "###00.0"), "05.2");
    EXPECT_EQ(FormatNumber(250, "###00.0"), "250.0");
    EXPECT_EQ(FormatNumber(12.345, "###0.0"), "12.3");
    EXPECT_EQ(FormatNumber(0.04, "###0.0"), "0.0");
    EXPECT_EQ(FormatNumber(0.85, "0.000"), "0.850");
    EXPECT_EQ(FormatNumber(2.768166, "0.000"), "2.768");
    EXPECT_EQ(FormatNumber(0.523, "#0.0"), "0.5");
    EXPECT_EQ(FormatNumber(0.5, "#0.000"), "0.500");
    EXPECT_EQ(FormatNumber(12, "#0.000"), "12.000");
    EXPECT_EQ(FormatNumber(100, "#00.0"), "100.0");
    EXPECT_EQ(FormatNumber(65.2, "#00.0"), "65.2");
    EXPECT_EQ(FormatNumber(2.5, "0.00"), "2.50");
    EXPECT_EQ(FormatNumber(10, "#0.00"), "10.00");
    EXPECT_EQ(FormatNumber(0, "#0.0"), "0.0");
    EXPECT_EQ(FormatNumber(0, "#00"), "00");
}

TEST(FormatNumber, TiesRoundHalfAwayFromZeroOnFifteenDigits) {
    // 2.675 and 1.005 are stored slightly below the tie; 15 significant digits restore it.
    EXPECT_EQ(FormatNumber(2.675, "0.00"), "2.68");
    EXPECT_EQ(FormatNumber(1.005, "0.00"), "1.01");
    EXPECT_EQ(FormatNumber(0.125, "0.00"), "0.13");
    EXPECT_EQ(FormatNumber(4.96, "###0.0"), "5.0");
    EXPECT_EQ(FormatNumber(0.05, "###0.0"), "0.1");
    EXPECT_EQ(FormatNumber(2.5, "#00"), "03");
    EXPECT_EQ(FormatNumber(99.96, "#0.0"), "100.0");
    EXPECT_EQ(FormatNumber(9.9996, "0.000"), "10.000");
    EXPECT_EQ(FormatNumber(0.0004999, "0.000"), "0.000");
}

TEST(FormatNumber, NegativesKeepTheirSignUnlessTheyRoundToZero) {
    EXPECT_EQ(FormatNumber(-2.5, "#00"), "-03");
    EXPECT_EQ(FormatNumber(-12.345, "###0.0"), "-12.3");
    EXPECT_EQ(FormatNumber(-0.125, "0.00"), "-0.13");
    EXPECT_EQ(FormatNumber(-0.04, "###0.0"), "0.0");
    EXPECT_EQ(FormatNumber(-0.0, "0.000"), "0.000");
}

TEST(FormatNumber, LargeNumbersAreNeverCut) {
    EXPECT_EQ(FormatNumber(123456789, "#00"), "123456789");
    EXPECT_EQ(FormatNumber(1e20, "#00"), "100000000000000000000");
    EXPECT_EQ(FormatNumber(12345.678, "###0.0"), "12345.7");
    EXPECT_EQ(FormatNumber(1e-20, "0.000"), "0.000");
}

TEST(FormatNumber, RefusesNonFiniteValuesAndUnknownPatterns) {
    EXPECT_THROW(FormatNumber(std::numeric_limits<double>::quiet_NaN(), "0.00"),
                 std::invalid_argument);
    EXPECT_THROW(FormatNumber(std::numeric_limits<double>::infinity(), "#00"),
                 std::invalid_argument);
    EXPECT_THROW(FormatNumber(1, "0,00"), std::invalid_argument);
}

TEST(LeadingNumber, TakesTheNumberTheTextBeginsWith) {
    EXPECT_EQ(LeadingNumber("80kV"), 80);
    EXPECT_EQ(LeadingNumber("  7.5e1x"), 75);
    EXPECT_EQ(LeadingNumber("abc"), 0);
    EXPECT_EQ(LeadingNumber(""), 0);
    EXPECT_EQ(LeadingNumber("-3"), -3);
    EXPECT_EQ(LeadingNumber("+3.5"), 3.5);
    EXPECT_EQ(LeadingNumber(".5mm"), 0.5);
    EXPECT_EQ(LeadingNumber("-.25"), -0.25);
    EXPECT_EQ(LeadingNumber("1.2.3"), 1.2);
    EXPECT_EQ(LeadingNumber("1e"), 1);
    EXPECT_EQ(LeadingNumber("2E-1"), 0.2);
    EXPECT_EQ(LeadingNumber("\t 12 mGy"), 12);
    EXPECT_EQ(LeadingNumber("-"), 0);
    EXPECT_EQ(LeadingNumber("."), 0);
    EXPECT_EQ(LeadingNumber("kV80"), 0);
}

TEST(LeadingNumber, OutOfRangeNeverGivesInfinity) {
    EXPECT_EQ(LeadingNumber("1e400"), 0);
    EXPECT_EQ(LeadingNumber("-1e400"), 0);
    EXPECT_EQ(LeadingNumber("1e-400"), 0);
    EXPECT_EQ(LeadingNumber(std::string(400, '9')), 0);
    EXPECT_EQ(LeadingNumber("0." + std::string(400, '0') + "1"), 0);
}

TEST(ParseDecimal, AcceptsOnlyAWholeNumber) {
    EXPECT_EQ(ParseDecimal(" 2.50 "), 2.5);
    EXPECT_EQ(ParseDecimal("1e3"), 1000);
    EXPECT_EQ(ParseDecimal("-0.5"), -0.5);
    EXPECT_EQ(ParseDecimal(" 1 "), 1);
    EXPECT_FALSE(ParseDecimal("2.5x"));
    EXPECT_FALSE(ParseDecimal(""));
    EXPECT_FALSE(ParseDecimal("   "));
    EXPECT_FALSE(ParseDecimal("nan"));
    EXPECT_FALSE(ParseDecimal("inf"));
    EXPECT_FALSE(ParseDecimal("1e999"));
    EXPECT_FALSE(ParseDecimal("1 2"));
    EXPECT_FALSE(ParseDecimal("12.5cm平方"));
}

TEST(ShortestNumberText, WritesTheShortestTextThatReadsBack) {
    EXPECT_EQ(ShortestNumberText(2.5), "2.5");
    EXPECT_EQ(ShortestNumberText(15), "15");
    EXPECT_EQ(ShortestNumberText(0), "0");
    EXPECT_EQ(ShortestNumberText(-0.0), "0");
    EXPECT_EQ(ShortestNumberText(0.1), "0.1");
    EXPECT_EQ(ShortestNumberText(345.6), "345.6");
    EXPECT_THROW(ShortestNumberText(std::nan("")), std::invalid_argument);
}

TEST(Trimmed, DropsTheBlanksTheCallerNamesAndNothingElse) {
    EXPECT_EQ(Trimmed(" \t 透視 撮影\r\n"), "透視 撮影");  // inner blanks stay
    EXPECT_EQ(Trimmed(""), "");
    EXPECT_EQ(TrimmedRight("  x  "), "  x");
    // The ideographic space only where the caller names it: a message's padding.
    const std::string message = "\u3000 正しく計算できません \u3000";
    EXPECT_EQ(Trimmed(message), message);
    EXPECT_EQ(Trimmed(message, kBlanksAndIdeographicSpace), "正しく計算できません");
    // A DICOM value padded with NUL bytes.
    const std::string padded("ABC \0", 5);
    EXPECT_EQ(TrimmedRight(padded), padded);
    EXPECT_EQ(TrimmedRight(padded, std::string_view(" \0", 2)), "ABC");
    // Half of an ideographic space is no blank: a text is never cut inside a character.
    EXPECT_EQ(Trimmed("x\xE3\x80", kBlanksAndIdeographicSpace), "x\xE3\x80");
    // A stored number and a typed one skip the same blanks: "　80" is no number for either.
    EXPECT_FALSE(ParseDecimal("\u3000 12.5"));
    EXPECT_EQ(LeadingNumber("\u3000 12.5"), 0);
    EXPECT_EQ(ParseDecimal(" \t12.5\r\n"), 12.5);
}

TEST(Charset, Utf8IsCheckedAsRfc3629DefinesIt) {
    EXPECT_TRUE(IsValidUtf8("Ka,r 皮膚線量 \U0001F600"));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong "/"
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // a surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xE7\x9A"));          // cut short
    EXPECT_EQ(Utf8SequenceLength("\xE7\x9A\xAE", 0), 3U);
    EXPECT_EQ(Utf8SequenceLength("\xE7\x9A", 0), 0U);
    // A message quote replaces what is no UTF-8 instead of passing it on.
    EXPECT_EQ(MessageQuote("a\xC0\xAF"
                           "b"),
              "a\xEF\xBF\xBD\xEF\xBF\xBD"
              "b");
}

TEST(Charset, ConvertsOrSaysItCannot) {
    EXPECT_EQ(ConvertCharset("\x93\xfc\x8e\xcb", "CP932", "UTF-8"), "入射");
    EXPECT_EQ(ConvertCharset("入射", "UTF-8", "CP932"), "\x93\xfc\x8e\xcb");
    // A byte CP932 does not hold: refused, or replaced byte by byte when asked.
    EXPECT_FALSE(
        ConvertCharset("a\xA0"
                       "b",
                       "CP932", "UTF-8"));
    EXPECT_EQ(ConvertCharset("a\xA0"
                             "b",
                             "CP932", "UTF-8", "?"),
              "a?b");
    // ISO 2022 ends in ASCII: the shift back is written even after the last character.
    EXPECT_EQ(ConvertCharset("入", "UTF-8", "ISO-2022-JP"), "\x1b$BF~\x1b(B");
    EXPECT_FALSE(CanConvertCharset("NO-SUCH-SET", "UTF-8"));
    EXPECT_FALSE(ConvertCharset("x", "NO-SUCH-SET", "UTF-8"));
    // Long input grows the output buffer as often as needed.
    const std::string many(10000, 'x');
    EXPECT_EQ(ConvertCharset(many, "UTF-8", "UTF-16LE")->size(), 20000U);
}

// Conversions are kept open between calls: each call starts in the initial state, whatever
// the one before left, and threads do not share them.
TEST(Charset, EachConversionStartsAfresh) {
    // Cut off in the middle of the two-byte set: refused, the converter left shifted.
    EXPECT_FALSE(ConvertCharset("\x1b$BF~F", "ISO-2022-JP", "UTF-8"));
    EXPECT_EQ(ConvertCharset("F~", "ISO-2022-JP", "UTF-8"), "F~");
    EXPECT_EQ(ConvertCharset("\x1b$BF~", "ISO-2022-JP", "UTF-8"), "入");
    EXPECT_EQ(ConvertCharset("F~", "ISO-2022-JP", "UTF-8"), "F~");
    std::vector<std::future<std::optional<std::string>>> others;
    for (int thread = 0; thread < 4; ++thread) {
        others.push_back(std::async(std::launch::async, [] {
            std::optional<std::string> last;
            for (int round = 0; round < 200; ++round) {
                last = ConvertCharset("\x93\xfc\x8e\xcb", "CP932", "UTF-8");
            }
            return last;
        }));
    }
    for (auto& other : others) {
        EXPECT_EQ(other.get(), "入射");
    }
}

}  // namespace
}  // namespace korvex
