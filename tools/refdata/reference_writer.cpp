#include "tools/refdata/reference_writer.h"

#include <cmath>
#include <stdexcept>

#include "engine/text_file.h"
#include "engine/text_rules.h"
#include "tools/refdata/kernel_simulation.h"

namespace korvex::refdata {
namespace {

double PowerOfTen(int exponent) {
    // Exact for 0 <= exponent <= 22.
    double value = 1.0;
    for (int i = 0; i < exponent; ++i) {
        value *= 10.0;
    }
    return value;
}

std::string JoinRow(const std::vector<double>& values) {
    std::string line;
    for (double value : values) {
        if (!line.empty()) {
            line += ", ";
        }
        line += DataNumber(value);
    }
    return line;
}

}  // namespace

double RoundToSignificant(double value, int digits) {
    if (!std::isfinite(value)) {
        throw std::invalid_argument("a non-finite number cannot be written");
    }
    if (value == 0.0) {
        return 0.0;
    }
    const int magnitude = static_cast<int>(std::floor(std::log10(std::fabs(value))));
    const int shift = digits - 1 - magnitude;
    // Dividing an integer by an exact power of ten rounds once, to the double nearest
    // the decimal, whose shortest text is then that decimal.
    if (shift >= 0 && shift <= 22) {
        const double scale = PowerOfTen(shift);
        return std::nearbyint(value * scale) / scale;
    }
    if (shift < 0 && shift >= -22) {
        const double scale = PowerOfTen(-shift);
        return std::nearbyint(value / scale) * scale;
    }
    const double scale = std::pow(10.0, shift);
    return std::nearbyint(value * scale) / scale;
}

std::string DataNumber(double value, int digits) {
    return ShortestNumberText(RoundToSignificant(value, digits));
}

void WriteLines(const std::filesystem::path& path, const std::vector<std::string>& lines) {
    WriteTextLines(path, lines, path.filename().string());
}

void WriteAttenuationFile(const std::filesystem::path& path,
                          const std::vector<AttenuationRow>& rows) {
    std::vector<std::string> lines;
    for (const AttenuationRow& row : rows) {
        lines.push_back(JoinRow({row.energy_kev, row.mu_target, row.mu_aluminium, row.mu_copper,
                                 row.muen_air, row.muen_tissue, row.mu_phantom}));
    }
    WriteLines(path, lines);
}

void WritePrimaryFile(const std::filesystem::path& path, const std::vector<double>& energies_kev,
                      const std::vector<double>& primary, const std::array<std::string, 2>& notes) {
    if (energies_kev.size() != primary.size()) {
        throw std::invalid_argument("primary data: energies and values differ in number");
    }
    std::vector<std::string> lines;
    for (std::size_t n = 0; n < primary.size(); ++n) {
        lines.push_back(DataNumber(energies_kev[n]) + ", " + DataNumber(primary[n]));
    }
    lines.push_back(notes[0]);
    lines.push_back(notes[1]);
    WriteLines(path, lines);
}

void WriteBackscatterKernelFile(const std::filesystem::path& path, const std::string& header,
                                const std::vector<std::vector<double>>& columns) {
    std::vector<std::string> lines{header};
    for (int r = 1; r <= kBackscatterRings; ++r) {
        std::vector<double> row{kBackscatterRingWidth * (r - 0.5)};
        for (const std::vector<double>& column : columns) {
            row.push_back(column.at(static_cast<std::size_t>(r - 1)));
        }
        lines.push_back(JoinRow(row));
    }
    WriteLines(path, lines);
}

void WriteScatterKernelFile(const std::filesystem::path& path, const std::vector<double>& kernel) {
    if (kernel.size() != static_cast<std::size_t>(kScatterRings * kScatterLayers)) {
        throw std::invalid_argument("scatter kernel of the wrong size");
    }
    std::vector<std::string> lines;
    for (int z = 0; z < kScatterLayers; ++z) {
        for (int run = 0; run < 4; ++run) {
            std::string line;
            for (int k = run * 20; k < run * 20 + 20; ++k) {
                if (!line.empty()) {
                    line += ",";
                }
                line += DataNumber(kernel[static_cast<std::size_t>(z * kScatterRings + k)]);
            }
            lines.push_back(line);
        }
    }
    WriteLines(path, lines);
}

}  // namespace korvex::refdata
