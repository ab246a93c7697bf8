#include "cli/table_pdf.h"
#include "engine/errors.h"

namespace korvex::cli {

void WriteTablePdf(const std::filesystem::path& path, const ResultsTable&, const std::string&,
                   bool) {
    throw FileError("この korvex2-cli は Qt なしでビルドされているため、PDF「" +
                    path.filename().string() + "」を書けません。");
}

void WriteDoseReportDocumentPdf(const std::filesystem::path& path, const std::vector<DoseReport>&,
                                const ReportCalculation&, const std::string&, bool, bool) {
    WriteTablePdf(path, {}, {}, true);
}

bool WritesTablePdf() {
    return false;
}

void KeepDrawingApplication() {}
void EndDrawingApplication() {}

void WriteSkinMapPng(const std::filesystem::path& path, const SkinDoseMap&, bool) {
    throw FileError("この korvex2-cli は Qt なしでビルドされているため、画像「" +
                    path.filename().string() + "」を書けません。");
}

}  // namespace korvex::cli
