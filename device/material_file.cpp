#include "device/material_file.h"

#include <cmath>
#include <cstddef>
#include <vector>

#include "engine/engine_state.h"
#include "engine/errors.h"
#include "engine/field_stream.h"
#include "engine/text_file.h"
#include "engine/text_rules.h"
#include "engine/working_folder.h"

namespace korvex {
namespace {

struct MaterialRow {
    double energy_mev = 0;
    double coefficient = 0;  // coherent + incoherent + photoelectric, cm^2/g
};

// At most 100 rows of six numbers and a description: a megabyte is far beyond that.
constexpr std::size_t kMaxMaterialFileBytes = 1024 * 1024;

std::string Shown(double value) {
    return ShortestNumberText(value);
}

// One row of the table: energy, three coefficients summed, two columns not used. Each row
// must rise in energy and hold positive coefficients; the first must reach down to 1 keV.
MaterialRow ReadMaterialRow(FieldStream& stream, const std::vector<MaterialRow>& rows) {
    const std::string where = std::to_string(stream.LineNumber()) + " 行目";
    MaterialRow row;
    row.energy_mev = stream.RequireNumber();
    double coefficients[3];
    for (double& coefficient : coefficients) {
        coefficient = stream.RequireNumber();
    }
    stream.RequireNumber();  // not used
    stream.RequireNumber();  // not used

    if (!(row.energy_mev > 0)) {
        stream.Fail(where + "のエネルギー " + Shown(row.energy_mev) +
                    " MeV が正の値ではありません。");
    }
    if (rows.empty() && row.energy_mev > kMaterialFirstEnergyMaxMev) {
        stream.Fail("最初のエネルギー " + Shown(row.energy_mev) +
                    " MeV が 0.001 MeV より大きくなっています。");
    }
    if (!rows.empty() && row.energy_mev < rows.back().energy_mev) {
        stream.Fail(where + "のエネルギー " + Shown(row.energy_mev) +
                    " MeV が前の行より小さくなっています。");
    }
    for (double coefficient : coefficients) {
        if (!(coefficient > 0)) {
            stream.Fail(where + "の減弱係数 " + Shown(coefficient) + " が正の値ではありません。");
        }
    }
    row.coefficient = coefficients[0] + coefficients[1] + coefficients[2];
    if (!std::isfinite(row.coefficient)) {
        stream.Fail(where + "の減弱係数の和が大きすぎます。");
    }
    return row;
}

// Rows up to the first at or above 10 MeV.
std::vector<MaterialRow> ReadMaterialRows(FieldStream& stream) {
    std::vector<MaterialRow> rows;
    while (rows.empty() || rows.back().energy_mev < kMaterialLastEnergyMev) {
        if (static_cast<int>(rows.size()) == kMaxMaterialRows) {
            stream.Fail("10 MeV 以上のエネルギーの行が " + std::to_string(kMaxMaterialRows) +
                        " 行以内にありません。");
        }
        rows.push_back(ReadMaterialRow(stream, rows));
    }
    return rows;
}

// Linear attenuation coefficients on the fine grid: log-log between the rows that bracket
// each whole keV, the mean of the neighbours at the half keV.
void InterpolateAttenuation(FieldStream& stream, const std::vector<MaterialRow>& rows,
                            MaterialAttenuation& result) {
    for (int j = 1; j <= 150; ++j) {
        const double energy = 0.001 * j;
        size_t k = 0;
        while (rows[k].energy_mev <= energy) {
            ++k;  // the last row lies at or above 10 MeV, so this stops
        }
        const MaterialRow& low = rows[k - 1];  // the first row lies at or below 0.001 MeV
        const MaterialRow& high = rows[k];
        const double log_span = std::log(high.energy_mev) - std::log(low.energy_mev);
        if (!(log_span > 0)) {
            stream.Fail("エネルギー " + Shown(low.energy_mev) + " MeV と " +
                        Shown(high.energy_mev) + " MeV の間で補間できません。");
        }
        const double log_s = std::log(low.coefficient) +
                             (std::log(energy) - std::log(low.energy_mev)) / log_span *
                                 (std::log(high.coefficient) - std::log(low.coefficient));
        result.Mu[2 * j] = result.Density * std::exp(log_s);
    }
    for (int n = 3; n <= 299; n += 2) {
        result.Mu[n] = (result.Mu[n - 1] + result.Mu[n + 1]) / 2;
    }
    result.Mu[1] = result.Mu[2];
    for (int n = 1; n <= kFineGridSize; ++n) {
        if (!std::isfinite(result.Mu[n]) || !(result.Mu[n] > 0)) {
            stream.Fail("減弱係数を計算できません（値が大きすぎるか小さすぎます）。");
        }
    }
}

}  // namespace

MaterialAttenuation ReadMaterialFile(const std::filesystem::path& path,
                                     const std::string& file_label) {
    // Only the numbers matter; a description line in another encoding is still shown.
    FieldStream stream(ReadTextFile(path, file_label, Decoding::Lenient, kMaxMaterialFileBytes),
                       file_label);
    MaterialAttenuation result;
    result.FilterDescription = stream.RequireLine();
    result.Density = stream.RequireNumber();
    if (!(result.Density > 0)) {
        stream.Fail("密度 " + Shown(result.Density) + " が正の値ではありません。");
    }
    stream.RequireNumber();  // not used
    InterpolateAttenuation(stream, ReadMaterialRows(stream), result);
    return result;
}

std::string ReadMaterialDescription(const std::filesystem::path& path,
                                    const std::string& file_label) {
    FieldStream stream(ReadTextFile(path, file_label, Decoding::Lenient), file_label);
    return stream.RequireLine();
}

std::string BuildFilterAttenuation(EngineState& state, const std::string& file_name) {
    const MaterialAttenuation material =
        ReadMaterialFile(FileInFolder(state.working_folder, file_name), file_name);
    for (int n = 1; n <= kFineGridSize; ++n) {
        state.work.ArbitraryFilterMu[n] = material.Mu[n];
    }
    return material.FilterDescription;
}

std::string MaterialFileName(const std::string& material) {
    return material + ".ele";
}

std::string MaterialNameOf(const std::string& file_name) {
    return file_name.size() >= 4 ? file_name.substr(0, file_name.size() - 4) : std::string();
}

}  // namespace korvex
