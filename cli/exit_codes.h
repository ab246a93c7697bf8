#pragma once

namespace korvex::cli {

// The exit status of korvex2-cli: one code for each kind of failure, the same in every
// command. docs/cli.md lists them; a script may rely on them.
enum class ExitCode : int {
    Success = 0,
    // The engine could not calculate an exposure (the window's "正しく計算できませんでした").
    CalculationFailed = 1,
    // The command line is wrong (an unknown command or option, a missing option, a value it
    // does not allow), or a value given on it or in a line of the exposure list is refused
    // (no number, missing, out of range, a device the calibration cannot take).
    Usage = 2,
    // A file the command reads (a device file, a material file, the reference data, the
    // exposure list, a dose report) is missing, cannot be read or is not in its format.
    InputFile = 3,
    // A file the command writes (a device file, the results CSV, the PDF) could not be
    // written; the old file, if any, is intact.
    OutputFile = 4,
    // Anything else: a fault of the program, no memory.
    Internal = 5,
};

constexpr int ExitStatus(ExitCode code) {
    return static_cast<int>(code);
}

}  // namespace korvex::cli
