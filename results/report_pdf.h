#pragma once

#include <QByteArray>
#include <filesystem>
#include <string_view>

#include "results/results_table.h"

namespace korvex {

// The report as a one-page landscape A4 PDF with its fonts embedded. Needs a
// QGuiApplication (fonts); throws FileError when the page cannot be drawn.
QByteArray ReportPdf(const ResultsTable& table, std::string_view user_name);

// Writes ReportPdf to a temporary file beside `path` and renames it into place, so an
// existing file survives a failed write. Throws FileError naming the file.
void WriteReportPdf(const std::filesystem::path& path, const ResultsTable& table,
                    std::string_view user_name);

}  // namespace korvex
