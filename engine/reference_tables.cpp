#include "engine/reference_tables.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "engine/errors.h"
#include "engine/field_stream.h"
#include "engine/text_file.h"
#include "engine/text_rules.h"

namespace korvex {
namespace {

// Reference files are small; these limits are a hundred times what their layout needs.
constexpr std::size_t kMaxBackscatterFileBytes = 16 * 1024 * 1024;
constexpr std::size_t kMaxAttenuationFileBytes = 4 * 1024 * 1024;
constexpr std::size_t kMaxPrimaryFileBytes = 1024 * 1024;

// Only the numbers of the reference files are read; a stray byte in a text line (the
// header, the provenance lines, the user name) must not stop the program from starting.
std::string ReadReferenceFile(const std::filesystem::path& folder, const char* name,
                              std::size_t max_bytes) {
    return ReadTextFile(folder / name, name, Decoding::Lenient, max_bytes);
}

// A row's first column restates its grid point. The row's position decides, but a row
// whose first column disagrees shows a file with a missing, doubled or split row, whose
// later values would all land on the wrong grid point.
void CheckGridColumn(const FieldStream& stream, double value, double expected, const char* what) {
    if (!(std::abs(value - expected) <= 1e-6 * std::max(1.0, std::abs(expected)))) {
        stream.Fail(std::to_string(stream.RowLineNumber()) + " 行目の" + what + " " +
                    ShortestNumberText(value) + " は " + ShortestNumberText(expected) +
                    " のはずです（行の抜けや重なりがあります）。");
    }
}

}  // namespace

void ParseBackscatterKernel(std::string text, ReferenceTables& tables) {
    FieldStream stream(std::move(text), kBackscatterKernelFile);
    stream.RequireLine();  // header
    for (int ring = 1; ring <= kBackscatterRingCount; ++ring) {
        const std::vector<double> row = stream.RequireNumberRow(kKernelEnergyCount + 1);
        CheckGridColumn(stream, row[0], 0.1 * ring - 0.05, "リング中央の半径 (cm)");
        for (int column = 1; column <= kKernelEnergyCount; ++column) {
            tables.BackscatterKernel(ring, column) = row[static_cast<size_t>(column)];
        }
    }
    stream.RequireNoMoreNumbers();
}

void ParseAttenuation(std::string text, ReferenceTables& tables) {
    FieldStream stream(std::move(text), kAttenuationFile);
    for (int i = 1; i <= kFineGridSize; ++i) {
        const std::vector<double> row = stream.RequireNumberRow(7);
        CheckGridColumn(stream, row[0], 0.5 * i, "エネルギー (keV)");
        tables.MuTarget[i] = row[1];
        tables.MuAluminium[i] = row[2];
        tables.MuCopper[i] = row[3];
        tables.MuEnAir[i] = row[4];
        tables.MuEnTissue[i] = row[5];
        tables.MuPhantom[i] = row[6];
    }
    stream.RequireNoMoreNumbers();
}

// Lines 30 and on are text (provenance, the user name): only the 29 pairs are read.
void ParsePrimary(std::string text, ReferenceTables& tables) {
    FieldStream stream(std::move(text), kPrimaryFile);
    for (int n = 1; n <= 29; ++n) {
        const std::vector<double> row = stream.RequireNumberRow(2);
        CheckGridColumn(stream, row[0], 5.0 * (n + 1), "エネルギー (keV)");
        if (!(row[1] > 0.0)) {
            stream.Fail(std::to_string(stream.RowLineNumber()) + " 行目の一次線データ " +
                        ShortestNumberText(row[1]) + " が正の値ではありません。");
        }
        tables.PrimaryCoarse[n + 1] = row[1];
    }
}

void InterpolatePrimaryFine(ReferenceTables& tables) {
    for (int i = 21; i <= 299; ++i) {
        const double energy = 0.5 * i;
        const int k = static_cast<int>(std::floor(energy / 5.0));
        const double energy_high = 5.0 * k + 5.0;
        const double log_high = std::log(tables.PrimaryCoarse[k + 1]);
        const double log_low = std::log(tables.PrimaryCoarse[k]);
        const double log_value = log_high - (energy_high - energy) * (log_high - log_low) / 5.0;
        tables.PrimaryFine[i] = std::exp(log_value);
    }
    tables.PrimaryFine[300] = tables.PrimaryCoarse[30];
}

ReferenceTables LoadReferenceTables(const std::filesystem::path& working_folder) {
    ReferenceTables tables;
    for (int j = 2; j <= kKernelEnergyCount; ++j) {
        tables.KernelEnergy[j] = 5.0 * (j - 1);
    }
    tables.KernelEnergy[1] = 1.0;
    ParseBackscatterKernel(
        ReadReferenceFile(working_folder, kBackscatterKernelFile, kMaxBackscatterFileBytes),
        tables);
    ParseAttenuation(ReadReferenceFile(working_folder, kAttenuationFile, kMaxAttenuationFileBytes),
                     tables);
    ParsePrimary(ReadReferenceFile(working_folder, kPrimaryFile, kMaxPrimaryFileBytes), tables);
    InterpolatePrimaryFine(tables);
    return tables;
}

}  // namespace korvex
