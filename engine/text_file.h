#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace korvex {

// Files on disk are code page 932 (Shift_JIS as Windows writes it); inside the program
// text is UTF-8. Both conversions throw FileError naming `file_label` when a byte
// sequence or a character has no counterpart.
std::string DecodeCp932(std::string_view bytes, const std::string& file_label);
std::string DecodeCp932Lenient(std::string_view bytes);
std::string EncodeCp932(std::string_view utf8, const std::string& file_label);

enum class Decoding {
    Strict,   // a byte sequence that is no code page 932 character fails the read
    Lenient,  // such a sequence becomes U+FFFD (files whose text lines are not used)
};

// Reads a whole file as it is on disk. A missing or unreadable file, or a folder, throws
// FileError naming `file_label`.
std::string ReadFileBytes(const std::filesystem::path& path, const std::string& file_label);

// Reads a whole code page 932 file as UTF-8. A missing or unreadable file throws
// FileError naming `file_label`.
std::string ReadTextFile(const std::filesystem::path& path, const std::string& file_label,
                         Decoding decoding = Decoding::Strict);

// Writes the bytes to a temporary file in the same folder, flushes it to disk and renames
// it over `path`, so that a crash or a full disk never leaves a damaged file behind.
// Throws FileError naming `file_label` when any step fails; the old file is then intact.
void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         const std::string& file_label);

// Encodes the lines in code page 932, each ended by CR LF, and writes them atomically.
void WriteTextLines(const std::filesystem::path& path, const std::vector<std::string>& lines,
                    const std::string& file_label);

}  // namespace korvex
