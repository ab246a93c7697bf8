#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace korvex {

// Bytes of the well-formed UTF-8 sequence that begins at `pos` (RFC 3629: no overlong
// forms, no surrogates, nothing beyond U+10FFFF); 0 when none begins there.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos);

// Whether every byte of `text` belongs to a well-formed UTF-8 sequence.
bool IsValidUtf8(std::string_view text);

// Converts `bytes` from one character set to another with the C library's iconv. A
// sequence that `from` does not hold becomes `replacement` byte by byte when one is
// given; otherwise, and when the system cannot convert between the two sets at all, the
// result is nullopt.
std::optional<std::string> ConvertCharset(std::string_view bytes, const char* from, const char* to,
                                          std::string_view replacement = {});

// Whether the system can convert between the two sets (iconv_open succeeds).
bool CanConvertCharset(const char* from, const char* to);

}  // namespace korvex
