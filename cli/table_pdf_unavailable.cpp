#include "cli/report_output.h"
#include "engine/errors.h"

namespace korvex::cli {

void WriteTablePdf(const std::filesystem::path& path, const ResultsTable&, const std::string&) {
    throw FileError("この korvex2-cli は Qt なしでビルドされているため、PDF「" +
                    path.filename().string() + "」を書けません。");
}

}  // namespace korvex::cli
