#pragma once

#include <cstddef>
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

// Limit of a file whose format states none; each reader passes its own, generous but
// finite, so that a link to /dev/zero or a runaway file cannot exhaust the memory.
inline constexpr std::size_t kDefaultMaxFileBytes = 16 * 1024 * 1024;

// The bytes of a regular file, at most `max_bytes`. A missing file, anything that is not
// a regular file (folder, FIFO, device, socket) and a file above the limit, checked
// before reading and again while reading since a file can grow, throw FileError naming
// `file_label`. Never blocks on a FIFO: it is opened without waiting for a writer.
std::string ReadFileBytes(const std::filesystem::path& path, const std::string& file_label,
                          std::size_t max_bytes = kDefaultMaxFileBytes);

// The first `count` bytes of a regular file (all of a shorter one), with the checks of
// ReadFileBytes but no size limit: what a file is can be told from its start.
std::string ReadFileStart(const std::filesystem::path& path, const std::string& file_label,
                          std::size_t count);

// Reads a whole code page 932 file as UTF-8, with the checks of ReadFileBytes.
std::string ReadTextFile(const std::filesystem::path& path, const std::string& file_label,
                         Decoding decoding = Decoding::Strict,
                         std::size_t max_bytes = kDefaultMaxFileBytes);

// Writes the bytes to a temporary file in the same folder, flushes it to disk and renames
// it over `path`, so that a crash or a full disk never leaves a damaged file behind.
// Throws FileError naming `file_label` when any step fails; the old file is then intact.
// Only a regular file the user may write is replaced: a symbolic link, a folder, a device
// or a read-only file in the target's place is refused, never overwritten or followed.
// The temporary file stays locked (flock) until it has been renamed, so that
// RemoveStaleTemporaryFiles can tell a live write from one that a crash cut short.
// A failure to make the rename durable (fsync of the folder) is reported too.
void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         const std::string& file_label);

// Removes the temporary files that writes killed part-way left in `folder` (never one
// that a running write still holds). Returns how many were removed; errors are ignored,
// as a leftover file harms nothing but space.
int RemoveStaleTemporaryFiles(const std::filesystem::path& folder);

// Encodes the lines in code page 932, each ended by CR LF, and writes them atomically.
void WriteTextLines(const std::filesystem::path& path, const std::vector<std::string>& lines,
                    const std::string& file_label);

}  // namespace korvex
