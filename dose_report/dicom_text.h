#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvex {

// The terms of a Specific Character Set value (0008,0005) as given: the value split at
// its backslashes, blanks trimmed. An absent element gives no terms.
std::vector<std::string> CharacterSetTerms(std::string_view value);

// A text value of a data set as UTF-8, decoded by its character set: the default
// repertoire, ISO_IR 192 (UTF-8), the single-byte sets of PS3.3 C.12.1.1.2 and Japanese
// with ISO 2022 code extensions (ISO 2022 IR 6 / 13 / 87 / 159). Bytes that the character
// set does not explain (non-ASCII bytes without a character set, an unknown set, a broken
// sequence) are shown escaped as "\xNN" instead of being guessed. Trailing blanks and NULs
// are removed; line breaks and tabs become blanks, other control bytes are escaped.
std::string DecodeDicomText(std::string_view bytes, const std::vector<std::string>& terms);
// The same, nullopt where DecodeDicomText would have to escape bytes.
std::optional<std::string> TryDecodeDicomText(std::string_view bytes,
                                              const std::vector<std::string>& terms);

// Printable ASCII kept, every other byte written as "\xNN".
std::string EscapeBytes(std::string_view bytes);

// A UID as PS3.5 9.1 defines it: 1 to 64 characters, components of digits separated by
// single periods, no component empty or with a leading zero (except "0" itself). Only
// such a value may become a file or folder name: it cannot hold "/", ".." or a blank.
bool IsValidUid(std::string_view uid);

}  // namespace korvex
