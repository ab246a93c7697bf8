#include "engine/text_rules.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "engine/charset.h"

namespace korvex {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Length of the longest prefix of text that is a decimal number: sign, digits with at
// most one point (at least one digit), then an optional exponent with at least one digit.
size_t NumberPrefixLength(std::string_view text) {
    size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        ++pos;
    }
    size_t mantissa_digits = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
        ++pos;
        ++mantissa_digits;
    }
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && IsDigit(text[pos])) {
            ++pos;
            ++mantissa_digits;
        }
    }
    if (mantissa_digits == 0) {
        return 0;
    }
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        size_t exp_pos = pos + 1;
        if (exp_pos < text.size() && (text[exp_pos] == '+' || text[exp_pos] == '-')) {
            ++exp_pos;
        }
        size_t exp_digits = 0;
        while (exp_pos < text.size() && IsDigit(text[exp_pos])) {
            ++exp_pos;
            ++exp_digits;
        }
        if (exp_digits > 0) {
            pos = exp_pos;
        }
    }
    return pos;
}

// Any exponent beyond this puts a double far outside its range either way; holding
// exponents to it keeps the arithmetic below from overflowing, however long the text.
constexpr long kExponentLimit = 100000;

// Exponent digits with an optional sign, saturated at +-kExponentLimit.
long SaturatedExponent(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    long value = 0;
    for (const char c : text) {
        value = std::min(value * 10 + (c - '0'), kExponentLimit);
    }
    return negative ? -value : value;
}

// Power of ten of the leading significant digit of a number text that
// NumberPrefixLength accepted (0 for a text without significant digits), saturated at
// +-2 kExponentLimit.
long DecimalMagnitude(std::string_view number) {
    const size_t exponent_mark = number.find_first_of("eE");
    const std::string_view mantissa = number.substr(0, exponent_mark);
    const long exponent = exponent_mark == std::string_view::npos
                              ? 0
                              : SaturatedExponent(number.substr(exponent_mark + 1));
    const size_t point = mantissa.find('.');
    const size_t integer_end = point == std::string_view::npos ? mantissa.size() : point;
    for (size_t i = 0; i < mantissa.size(); ++i) {
        if (mantissa[i] >= '1' && mantissa[i] <= '9') {
            const size_t distance = i < integer_end ? integer_end - i - 1 : i - integer_end;
            const long position = static_cast<long>(std::min<size_t>(distance, kExponentLimit));
            return (i < integer_end ? position : -position) + exponent;
        }
    }
    return 0;
}

// Converts a text that NumberPrefixLength accepted in full. Values beyond the range of
// a double count as no number: an infinity must never enter a calculation.
std::optional<double> ConvertNumber(std::string_view number) {
    if (!number.empty() && number.front() == '+') {
        number.remove_prefix(1);
    }
    double value = 0.0;
    auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range) {
        // from_chars reports underflow the same way; a tiny magnitude is simply 0.
        if (DecimalMagnitude(number) > 0) {
            return std::nullopt;
        }
        return 0.0;
    }
    if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

struct PatternShape {
    int min_integer_digits = 0;
    int decimals = 0;
    int min_decimals = 0;
};

PatternShape ParsePattern(std::string_view pattern) {
    PatternShape shape;
    bool after_point = false;
    for (char c : pattern) {
        if (c == '.') {
            if (after_point) {
                throw std::invalid_argument("number pattern with two points");
            }
            after_point = true;
        } else if (c == '0' || c == '#') {
            if (after_point) {
                ++shape.decimals;
                if (c == '0') {
                    shape.min_decimals = shape.decimals;
                }
            } else if (c == '0') {
                ++shape.min_integer_digits;
            }
        } else {
            throw std::invalid_argument("unsupported character in number pattern");
        }
    }
    return shape;
}

}  // namespace

double LeadingNumber(std::string_view text) {
    size_t start = 0;
    while (start < text.size() && IsBlank(text[start])) {
        ++start;
    }
    text.remove_prefix(start);
    const size_t length = NumberPrefixLength(text);
    if (length == 0) {
        return 0.0;
    }
    return ConvertNumber(text.substr(0, length)).value_or(0.0);
}

std::optional<double> ParseDecimal(std::string_view text) {
    text = Trimmed(text);  // the blanks LeadingNumber skips, no more
    const size_t length = NumberPrefixLength(text);
    if (length == 0 || length != text.size()) {
        return std::nullopt;
    }
    return ConvertNumber(text);
}

std::string FormatNumber(double value, std::string_view pattern) {
    if (!std::isfinite(value)) {
        throw std::invalid_argument("a non-finite number cannot be formatted");
    }
    const PatternShape shape = ParsePattern(pattern);

    // 15 significant digits first, as the decimal text the value stands for.
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.14e", std::abs(value));
    std::string digits;
    const char* p = buffer;
    for (; *p != 'e'; ++p) {
        if (IsDigit(*p)) {
            digits.push_back(*p);
        }
    }
    const int exponent = std::atoi(p + 1);

    // digits[0 .. integer_count) is the integer part; pad so that the rounding digit exists.
    int integer_count = exponent + 1;
    if (integer_count < 1) {
        digits.insert(0, static_cast<size_t>(1 - integer_count), '0');
        integer_count = 1;
    }
    const size_t keep = static_cast<size_t>(integer_count + shape.decimals);
    if (digits.size() < keep + 1) {
        digits.append(keep + 1 - digits.size(), '0');
    }
    const bool round_up = digits[keep] >= '5';
    digits.resize(keep);
    if (round_up) {
        int i = static_cast<int>(keep) - 1;
        for (; i >= 0; --i) {
            if (digits[static_cast<size_t>(i)] == '9') {
                digits[static_cast<size_t>(i)] = '0';
            } else {
                ++digits[static_cast<size_t>(i)];
                break;
            }
        }
        if (i < 0) {
            digits.insert(digits.begin(), '1');
            ++integer_count;
        }
    }

    std::string integer_part = digits.substr(0, static_cast<size_t>(integer_count));
    std::string fraction_part = digits.substr(static_cast<size_t>(integer_count));
    const size_t first_significant = integer_part.find_first_not_of('0');
    integer_part.erase(
        0, first_significant == std::string::npos ? integer_part.size() : first_significant);
    if (integer_part.size() < static_cast<size_t>(shape.min_integer_digits)) {
        integer_part.insert(0, static_cast<size_t>(shape.min_integer_digits) - integer_part.size(),
                            '0');
    }
    while (fraction_part.size() > static_cast<size_t>(shape.min_decimals) &&
           fraction_part.back() == '0') {
        fraction_part.pop_back();
    }

    const bool is_zero = digits.find_first_not_of('0') == std::string::npos;
    std::string text;
    if (value < 0 && !is_zero) {
        text.push_back('-');
    }
    text += integer_part;
    if (shape.decimals > 0 && !fraction_part.empty()) {
        text.push_back('.');
        text += fraction_part;
    }
    return text;
}

std::string MessageQuote(std::string_view text) {
    std::string quoted;
    size_t characters = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        if (characters == kMessageQuoteCharacters) {
            quoted += "…";
            break;
        }
        const auto lead = static_cast<unsigned char>(text[pos]);
        const size_t length = Utf8SequenceLength(text, pos);
        const bool valid = length > 0;
        if (!valid) {
            quoted += "\xEF\xBF\xBD";
            ++pos;
        } else if (lead < 0x20 || lead == 0x7F) {
            quoted += ' ';  // a line break or control character would break the message
            ++pos;
        } else {
            quoted.append(text.substr(pos, length));
            pos += length;
        }
        ++characters;
    }
    return quoted;
}

namespace {

// Length of the character of `blanks` that `text` begins with (or ends with, when
// `at_end`); 0 when none.
size_t BlankLength(std::string_view text, std::string_view blanks, bool at_end) {
    for (size_t pos = 0; pos < blanks.size();) {
        const size_t length = std::max<size_t>(1, Utf8SequenceLength(blanks, pos));
        const std::string_view blank = blanks.substr(pos, length);
        if (at_end ? text.ends_with(blank) : text.starts_with(blank)) {
            return length;
        }
        pos += length;
    }
    return 0;
}

}  // namespace

std::string_view TrimmedRight(std::string_view text, std::string_view blanks) {
    while (const size_t blank = text.empty() ? 0 : BlankLength(text, blanks, true)) {
        text.remove_suffix(blank);
    }
    return text;
}

std::string_view Trimmed(std::string_view text, std::string_view blanks) {
    while (const size_t blank = text.empty() ? 0 : BlankLength(text, blanks, false)) {
        text.remove_prefix(blank);
    }
    return TrimmedRight(text, blanks);
}

std::string ShortestNumberText(double value) {
    if (!std::isfinite(value)) {
        throw std::invalid_argument("a non-finite number cannot be written");
    }
    if (value == 0.0) {
        return "0";
    }
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (error != std::errc()) {
        throw std::invalid_argument("number cannot be written");
    }
    return std::string(buffer, end);
}

std::vector<SettingLine> SettingEntries(const std::string& text) {
    std::vector<SettingLine> settings;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        const std::string_view trimmed = Trimmed(line);
        if (!trimmed.empty() && trimmed.front() != '#') {
            settings.push_back({number, std::string(trimmed)});
        }
    }
    return settings;
}

}  // namespace korvex
