// korvex2-cli: the engine without windows, for scripting, series of exposures and checks.
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "cli/commands.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // The program's own path finds the bundled data beside an installed program.
    std::error_code error;
    std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        executable = argv[0];
    }
    return korvex::cli::RunCommandLine(args, executable.string(), std::cout, std::cerr);
}
