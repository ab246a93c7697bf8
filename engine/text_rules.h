#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvex {

// The number a text begins with, leading blanks skipped; 0 when it begins with none.
// "80kV" -> 80, "  7.5e1x" -> 75, "abc" -> 0, "" -> 0. Every typed or stored text that
// becomes a number goes through this rule.
double LeadingNumber(std::string_view text);

// The value of a text that is a decimal number and nothing else (blanks around it
// allowed); nullopt otherwise. Used where a file field must be a plain number.
std::optional<double> ParseDecimal(std::string_view text);

// Formats through a pattern of '0' (digit always shown), '#' (digit shown only when
// significant) and '.', e.g. "#00", "0.000", "###00.0". The value is first rounded to
// 15 significant digits, then half away from zero to the pattern's decimals; the
// integer part is never cut. A value that rounds to zero carries no minus sign.
// Throws std::invalid_argument for NaN or infinity: such a value must never be shown.
std::string FormatNumber(double value, std::string_view pattern);

// Characters of a user's or a file's text that a message quotes at most.
inline constexpr size_t kMessageQuoteCharacters = 60;

// A text as a message may quote it: at most kMessageQuoteCharacters characters, then
// "…"; bytes that are no UTF-8 become U+FFFD and control characters a blank, so that a
// foreign or binary file never lands whole, or malformed, in a message.
std::string MessageQuote(std::string_view text);

// Blank characters (UTF-8) for Trimmed: those the number rules skip, and with them the
// ideographic space (U+3000) of Japanese messages and typed texts.
inline constexpr std::string_view kBlanks = " \t\r\n";
inline constexpr std::string_view kBlanksAndIdeographicSpace = " \t\r\n\u3000";

// `text` without the characters of `blanks` around it (or after it). `blanks` is UTF-8, so
// a blank of several bytes is only ever removed whole; a DICOM value's padding is
// std::string_view(" \0", 2).
std::string_view Trimmed(std::string_view text, std::string_view blanks = kBlanks);
std::string_view TrimmedRight(std::string_view text, std::string_view blanks = kBlanks);

// The lines of a settings file that hold a setting, trimmed, each with its number from 1:
// blank lines and comment lines ('#') left out.
struct SettingLine {
    int number = 0;
    std::string text;
};
std::vector<SettingLine> SettingEntries(const std::string& text);

// Shortest decimal text that reads back as the same double ("2.5", "15", "0").
std::string ShortestNumberText(double value);

}  // namespace korvex
