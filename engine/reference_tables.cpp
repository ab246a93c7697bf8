#include "engine/reference_tables.h"

#include <cmath>

#include "engine/errors.h"
#include "engine/field_stream.h"
#include "engine/text_file.h"
#include "engine/text_rules.h"

namespace korvex {
namespace {

// Only the numbers of the reference files are read; a stray byte in a text line (the
// header, the provenance lines, the user name) must not stop the program from starting.
FieldStream OpenReferenceFile(const std::filesystem::path& folder, const char* name) {
    return FieldStream(ReadTextFile(folder / name, name, Decoding::Lenient), name);
}

void ReadBackscatterKernel(const std::filesystem::path& folder, ReferenceTables& tables) {
    FieldStream stream = OpenReferenceFile(folder, kBackscatterKernelFile);
    stream.RequireLine();  // header
    for (int ring = 1; ring <= kBackscatterRingCount; ++ring) {
        stream.RequireNumber();  // midpoint radius; the row's position fixes the ring
        for (int column = 1; column <= kKernelEnergyCount; ++column) {
            tables.BackscatterKernel(ring, column) = stream.RequireNumber();
        }
    }
}

void ReadAttenuation(const std::filesystem::path& folder, ReferenceTables& tables) {
    FieldStream stream = OpenReferenceFile(folder, kAttenuationFile);
    for (int i = 1; i <= kFineGridSize; ++i) {
        stream.RequireNumber();  // energy; the row's position fixes it
        tables.MuTarget[i] = stream.RequireNumber();
        tables.MuAluminium[i] = stream.RequireNumber();
        tables.MuCopper[i] = stream.RequireNumber();
        tables.MuEnAir[i] = stream.RequireNumber();
        tables.MuEnTissue[i] = stream.RequireNumber();
        tables.MuPhantom[i] = stream.RequireNumber();
    }
}

void ReadPrimary(const std::filesystem::path& folder, ReferenceTables& tables) {
    FieldStream stream = OpenReferenceFile(folder, kPrimaryFile);
    for (int n = 1; n <= 29; ++n) {
        stream.RequireNumber();  // energy
        const int line = stream.LineNumber();
        const double value = stream.RequireNumber();
        if (!(value > 0.0)) {
            stream.Fail(std::to_string(line) + " 行目の一次線データ " + ShortestNumberText(value) +
                        " が正の値ではありません。");
        }
        tables.PrimaryCoarse[n + 1] = value;
    }
}

}  // namespace

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
    ReadBackscatterKernel(working_folder, tables);
    ReadAttenuation(working_folder, tables);
    ReadPrimary(working_folder, tables);
    InterpolatePrimaryFine(tables);
    return tables;
}

}  // namespace korvex
