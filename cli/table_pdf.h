#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "dose_report/dose_report.h"
#include "dose_report/report_calculation.h"
#include "engine/skin_dose_map.h"
#include "results/results_table.h"

namespace korvex::cli {

// The results window's printed report as a one-page PDF, written atomically. The fonts
// need a QGuiApplication: one is started on the offscreen platform when there is none,
// so no display is needed. Throws FileError naming the file, and in a build without Qt
// (KORVEX_GUI=OFF) says that this program cannot write a PDF. table_pdf.cpp and
// table_pdf_unavailable.cpp each define it; CMake builds the one that fits.
// In Japanese or, unless `japanese`, in English.
void WriteTablePdf(const std::filesystem::path& path, const ResultsTable& table,
                   const std::string& user_name, bool japanese);

// Whether this build writes PDFs (false without Qt).
bool WritesTablePdf();

// For commands that draw many times, from several threads (listen, archive): the
// application is made once, on the main thread, and kept until EndDrawingApplication.
// Nothing without Qt.
void KeepDrawingApplication();
void EndDrawingApplication();

// The skin-dose map as a PNG picture in Japanese or, unless `japanese`, in English, written
// atomically, with the same application and the same refusal without Qt as the PDF.
void WriteSkinMapPng(const std::filesystem::path& path, const SkinDoseMap& map, bool japanese);

// The printed dose report as a PDF of one or two A4 pages in Japanese or, unless `japanese`,
// in English, written atomically, with the same application and the same refusal without
// Qt as the PDF above. The patient's name and ID only `with_patient`.
void WriteDoseReportDocumentPdf(const std::filesystem::path& path,
                                const std::vector<DoseReport>& reports,
                                const ReportCalculation& result, const std::string& user_name,
                                bool with_patient, bool japanese);

}  // namespace korvex::cli
