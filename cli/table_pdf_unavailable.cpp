#include "cli/table_pdf.h"
#include "engine/errors.h"

namespace korvex::cli {

void WriteTablePdf(const std::filesystem::path& path, const ResultsTable&, const std::string&) {
    throw FileError("この korvex2-cli は Qt なしでビルドされているため、PDF「" +
                    path.filename().string() + "」を書けません。");
}

bool WritesTablePdf() {
    return false;
}

}  // namespace korvex::cli
