#pragma once

#include <stdexcept>
#include <string>

namespace korvex {

// An arithmetic failure inside a calculation step (index beyond a grid, division by
// zero, logarithm of a non-positive number, a non-finite result). The reason is for
// logs and tests; the user sees the driver's fixed message.
class CalculationError : public std::runtime_error {
  public:
    explicit CalculationError(const std::string& reason) : std::runtime_error(reason) {}
};

// A file that cannot be read or written as its format requires. what() is a complete
// message for the user (Japanese) that names the file and what was wrong.
class FileError : public std::runtime_error {
  public:
    explicit FileError(const std::string& message) : std::runtime_error(message) {}
};

// A file that could not be written (full disk, no permission, a folder that went away):
// the old file is intact. Apart from FileError so that callers can tell a failed write
// from input that was refused before anything was written.
class WriteError : public FileError {
  public:
    explicit WriteError(const std::string& message) : FileError(message) {}
};

}  // namespace korvex
