// Start-up of Korvex-2: loads the reference data of the working folder and reports
// whether the program can calculate.
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "engine/errors.h"
#include "engine/reference_tables.h"

int main() {
    std::filesystem::path folder = KORVEX_BUNDLED_DATA_DIR;
    if (const char* chosen = std::getenv("KORVEX2_WORKDIR"); chosen && *chosen) {
        folder = chosen;
    }
    try {
        korvex::LoadReferenceTables(folder);
    } catch (const korvex::FileError& error) {
        std::cerr << "Korvex-2: 参照データを読み込めませんでした（" << folder.string() << "）\n"
                  << error.what() << '\n';
        return 1;
    }
    std::cout << "Korvex-2: 参照データを読み込みました（" << folder.string() << "）\n";
    return 0;
}
