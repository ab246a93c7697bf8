#include "tools/refdata/material_files.h"

#include <xraylib/xraylib.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "tools/refdata/reference_writer.h"
#include "tools/refdata/xraylib_access.h"

namespace korvex::refdata {
namespace {

constexpr double kFirstEnergy = 1.0;        // keV
constexpr double kLastTableEnergy = 150.0;  // keV: the program uses the table up to here
constexpr double kJumpResolution = 1e-5;    // keV
// Rows above the program's range, keV; those above xraylib's 800 keV are extrapolated.
constexpr double kHighRows[] = {200,  300,  400,  500,  600,  800,  1000,
                                1500, 2000, 3000, 5000, 8000, 10000};

double PhotoSum(const Material& material, double e) {
    double sum = 0.0;
    for (const ElementFraction& element : material.elements) {
        sum += element.mass_fraction * xrl::Photoelectric(element.z, e);
    }
    return sum;
}

double LogLog(double e, double e1, double v1, double e2, double v2) {
    return std::exp(std::log(v1) + (std::log(e) - std::log(e1)) / (std::log(e2) - std::log(e1)) *
                                       (std::log(v2) - std::log(v1)));
}

// Largest relative error of the interpolated rows at the whole keV energies between
// rows[first] and rows[last] (exclusive of energies beyond the table's range).
double SpanError(const std::vector<MaterialRow>& rows, const std::vector<double>& exact,
                 double from_kev, double to_kev) {
    double worst = 0.0;
    const int start = std::max(1, static_cast<int>(std::ceil(from_kev)));
    const int stop =
        std::min(static_cast<int>(kLastTableEnergy), static_cast<int>(std::floor(to_kev)));
    for (int j = start; j <= stop; ++j) {
        const double value = InterpolateRowsLogLog(rows, j);
        worst = std::max(worst, std::fabs(value / exact[static_cast<std::size_t>(j)] - 1.0));
    }
    return worst;
}

}  // namespace

std::vector<FilterMaterialFile> FilterMaterials() {
    const std::string source = " xraylib " + xrl::Version();
    auto element = [&](const char* file, const char* japanese, const char* symbol, int z,
                       const char* english) {
        const double density = xrl::ElementDensity(z);
        return FilterMaterialFile{file,
                                  std::string(japanese) + " " + symbol +
                                      " (Z=" + std::to_string(z) + ", " + DataNumber(density) +
                                      " g/cm3)" + source,
                                  Element(z, english, density)};
    };
    std::vector<FilterMaterialFile> specs{
        element("tantalum.ele", "タンタル", "Ta", 73, "tantalum"),
        element("niobium.ele", "ニオブ", "Nb", 41, "niobium"),
        element("molybdenum.ele", "モリブデン", "Mo", 42, "molybdenum"),
        element("tin.ele", "スズ", "Sn", 50, "tin"),
        element("erbium.ele", "エルビウム", "Er", 68, "erbium"),
        element("lead.ele", "鉛", "Pb", 82, "lead"),
    };
    const Material pmma = Pmma();
    specs.push_back({"pmma.ele",
                     "アクリル PMMA (C5H8O2, " + DataNumber(pmma.density) + " g/cm3)" + source,
                     pmma});
    return specs;
}

MassCoefficients ExtendedMassInteraction(const Material& material, double energy_kev) {
    if (energy_kev <= xrl::kHighestEnergy) {
        return MassInteraction(material, energy_kev);
    }
    const double e1 = 600.0;
    const double e2 = xrl::kHighestEnergy;
    const MassCoefficients low = MassInteraction(material, e1);
    const MassCoefficients high = MassInteraction(material, e2);
    MassCoefficients result;
    result.coherent = LogLog(energy_kev, e1, low.coherent, e2, high.coherent);
    result.photoelectric = LogLog(energy_kev, e1, low.photoelectric, e2, high.photoelectric);
    result.incoherent = high.incoherent * xrl::KleinNishinaPerElectron(energy_kev) /
                        xrl::KleinNishinaPerElectron(e2);
    return result;
}

double InterpolateRowsLogLog(const std::vector<MaterialRow>& rows, double energy_kev) {
    for (std::size_t k = 1; k < rows.size(); ++k) {
        if (rows[k].energy_kev > energy_kev) {
            const MaterialRow& a = rows[k - 1];
            const MaterialRow& b = rows[k];
            if (a.energy_kev > energy_kev) {
                break;
            }
            return LogLog(energy_kev, a.energy_kev, a.mass.Total(), b.energy_kev, b.mass.Total());
        }
    }
    throw std::invalid_argument("material rows do not bracket " + std::to_string(energy_kev) +
                                " keV");
}

std::vector<std::pair<double, double>> PhotoabsorptionJumps(const Material& material) {
    constexpr int kShells[] = {K_SHELL,  L1_SHELL, L2_SHELL, L3_SHELL, M1_SHELL,
                               M2_SHELL, M3_SHELL, M4_SHELL, M5_SHELL};
    constexpr double kWindow = 0.015;  // keV: xraylib's data place edges a few eV off
    std::vector<std::pair<double, double>> jumps;
    for (const ElementFraction& element : material.elements) {
        for (int shell : kShells) {
            xrl_error* error = nullptr;
            const double edge = EdgeEnergy(element.z, shell, &error);
            if (error != nullptr) {
                xrl_error_free(error);
                continue;  // the element has no such shell
            }
            if (edge - kWindow <= kFirstEnergy || edge + kWindow > kLastTableEnergy) {
                continue;
            }
            double lo = edge - kWindow;
            double hi = edge + kWindow;
            double f_lo = PhotoSum(material, lo);
            double f_hi = PhotoSum(material, hi);
            if (!(f_hi > 1.02 * f_lo)) {
                continue;  // no resolvable jump
            }
            while (hi - lo > kJumpResolution) {
                const double mid = 0.5 * (lo + hi);
                const double f_mid = PhotoSum(material, mid);
                if (f_mid / f_lo > f_hi / f_mid) {
                    hi = mid;
                    f_hi = f_mid;
                } else {
                    lo = mid;
                    f_lo = f_mid;
                }
            }
            jumps.emplace_back(std::floor(lo / kJumpResolution) * kJumpResolution,
                               std::ceil(hi / kJumpResolution) * kJumpResolution);
        }
    }
    std::sort(jumps.begin(), jumps.end());
    return jumps;
}

MaterialTable MaterialFileRows(const Material& material, double tolerance, int max_rows) {
    const auto jumps = PhotoabsorptionJumps(material);
    // Exact sums at whole keV, index = keV.
    std::vector<double> exact(static_cast<std::size_t>(kLastTableEnergy) + 1, 0.0);
    for (int j = 1; j <= static_cast<int>(kLastTableEnergy); ++j) {
        exact[static_cast<std::size_t>(j)] = MassInteraction(material, j).Total();
        for (const auto& [below, above] : jumps) {
            if (j > below && j < above) {
                throw std::runtime_error(material.name + ": an absorption edge lies within " +
                                         std::to_string(kJumpResolution) + " keV of " +
                                         std::to_string(j) + " keV");
            }
        }
    }

    struct Candidate {
        double energy;
        bool removable;
    };
    std::vector<Candidate> candidates;
    for (int j = 1; j <= static_cast<int>(kLastTableEnergy); ++j) {
        candidates.push_back(
            {static_cast<double>(j), j != 1 && j != static_cast<int>(kLastTableEnergy)});
    }
    for (const auto& [below, above] : jumps) {
        candidates.push_back({below, false});
        candidates.push_back({above, false});
    }
    for (double e : kHighRows) {
        candidates.push_back({e, false});
    }
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate& a, const Candidate& b) { return a.energy < b.energy; });

    std::vector<MaterialRow> rows;
    std::vector<bool> removable;
    for (const Candidate& c : candidates) {
        rows.push_back({c.energy, ExtendedMassInteraction(material, c.energy)});
        removable.push_back(c.removable);
    }

    // Thin the whole-keV rows: remove, one at a time, the row whose removal keeps the
    // interpolation error smallest, as long as it stays within the tolerance.
    for (;;) {
        double best_error = std::numeric_limits<double>::infinity();
        std::size_t best = 0;
        for (std::size_t i = 1; i + 1 < rows.size(); ++i) {
            if (!removable[i]) {
                continue;
            }
            std::vector<MaterialRow> trial = rows;
            trial.erase(trial.begin() + static_cast<std::ptrdiff_t>(i));
            const double error =
                SpanError(trial, exact, rows[i - 1].energy_kev, rows[i + 1].energy_kev);
            if (error < best_error) {
                best_error = error;
                best = i;
            }
        }
        if (best == 0 || best_error > tolerance) {
            break;
        }
        rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(best));
        removable.erase(removable.begin() + static_cast<std::ptrdiff_t>(best));
    }

    if (static_cast<int>(rows.size()) > max_rows) {
        throw std::runtime_error(material.name + " needs " + std::to_string(rows.size()) +
                                 " rows, more than " + std::to_string(max_rows));
    }
    return {rows, SpanError(rows, exact, kFirstEnergy, kLastTableEnergy)};
}

void WriteMaterialFile(const std::filesystem::path& path, const FilterMaterialFile& material_file,
                       const MaterialTable& table) {
    std::vector<std::string> lines{material_file.description,
                                   DataNumber(material_file.material.density),
                                   std::to_string(table.rows.size())};
    for (const MaterialRow& row : table.rows) {
        const MassCoefficients& m = row.mass;
        lines.push_back(DataNumber(row.energy_kev / 1000.0, 9) + ", " + DataNumber(m.coherent) +
                        ", " + DataNumber(m.incoherent) + ", " + DataNumber(m.photoelectric) +
                        ", " + DataNumber(m.Total()) + ", " +
                        DataNumber(m.incoherent + m.photoelectric));
    }
    WriteLines(path, lines);
}

}  // namespace korvex::refdata
