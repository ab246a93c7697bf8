#pragma once

#include <filesystem>
#include <string>

#include "results/results_table.h"

namespace korvex::cli {

// The user name registered in the working folder: line 32 of "Primary.dat", the whole
// line. Empty when no name is registered or the file cannot be read; bytes that are no
// code page 932 character show as U+FFFD rather than losing the name.
std::string RegisteredUserName(const std::filesystem::path& working_folder);

// The results window's printed report as a one-page PDF, written atomically. The fonts
// need a QGuiApplication: one is started on the offscreen platform when there is none,
// so no display is needed. Throws FileError naming the file, and in a build without Qt
// (KORVEX_GUI=OFF) says that this program cannot write a PDF.
void WriteTablePdf(const std::filesystem::path& path, const ResultsTable& table,
                   const std::string& user_name);

}  // namespace korvex::cli
