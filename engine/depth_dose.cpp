#include "engine/depth_dose.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <string>
#include <vector>

#include "engine/engine_state.h"
#include "engine/errors.h"
#include "engine/field_stream.h"
#include "engine/spectrum.h"
#include "engine/text_file.h"
#include "engine/text_rules.h"

namespace korvex {
namespace {

constexpr int kFirstKernelEnergy = 10;   // keV
constexpr int kKernelEnergyStep = 5;     // keV
constexpr double kLayerThickness = 0.5;  // cm
constexpr double kQuarterTurn = Pi / 2;
// 6,400 numbers take some 100 kB; far larger is no kernel file.
constexpr std::size_t kMaxKernelFileBytes = 4 * 1024 * 1024;

// Centre depth of layer z in cm: 0.25, 0.75, ..., 19.75 for z = 1..40.
double LayerCentre(long layer) {
    return kLayerThickness * static_cast<double>(layer) - 0.25;
}

std::string Text(double value) {
    return std::isfinite(value) ? ShortestNumberText(value) : std::string("non-finite");
}

double Divide(double numerator, double denominator, const char* what) {
    if (denominator == 0.0) {
        throw CalculationError(std::string("division by zero in ") + what);
    }
    return numerator / denominator;
}

double SquareRoot(double value, const char* what) {
    if (!(value >= 0.0)) {
        throw CalculationError(std::string("square root of ") + Text(value) + " in " + what);
    }
    return std::sqrt(value);
}

double Logarithm(double value, const char* what) {
    if (!(value > 0.0)) {
        throw CalculationError(std::string("logarithm of ") + Text(value) + " in " + what);
    }
    return std::log(value);
}

// Int() of a non-negative ring count; anything else cannot index a table.
long WholePart(double value, const char* what) {
    if (!(value >= 0.0) || value > 1.0e6) {
        throw CalculationError(std::string(what) + " out of range: " + Text(value));
    }
    return static_cast<long>(std::floor(value));
}

// Angle from the perpendicular to an edge at distance h at which the circle of radius r
// meets the edge.
double EdgeAngle(double h, double r) {
    return std::atan(Divide(SquareRoot(r * r - h * h, "ring fraction"), h, "ring fraction"));
}

// Part of the quarter disk of radius r beyond the edge at distance h.
double Segment(double h, double r) {
    const double theta = EdgeAngle(h, r);
    return 0.5 * r * r * theta - 0.5 * h * r * std::sin(theta);
}

// Distance from the axis to the point where the inner circle meets the edge (equals r1).
double EdgePointRadius(double h, double theta_inner) {
    return Divide(h, std::cos(theta_inner), "ring fraction");
}

// Part of the quarter ring r1..r2 (r1 >= h) on the axis side of the edge at distance h.
double NearPart(double h, double r1, double r2, double quarter_ring) {
    const double theta1 = EdgeAngle(h, r1);
    const double theta2 = EdgeAngle(h, r2);
    return (kQuarterTurn - theta1) / kQuarterTurn * quarter_ring -
           (0.5 * r2 * r2 * (theta2 - theta1) -
            0.5 * r2 * EdgePointRadius(h, theta1) * std::sin(theta2 - theta1));
}

// Area between the inner circle and the edge h, from where they meet to the corner.
double CornerPart(double h, double corner_angle, double r1, double half_diagonal) {
    const double theta1 = EdgeAngle(h, r1);
    return 0.5 * half_diagonal * EdgePointRadius(h, theta1) * std::sin(corner_angle - theta1) -
           0.5 * r1 * r1 * (corner_angle - theta1);
}

void RunDepthStep(EngineState& state, const ScatterKernelSource& kernels) {
    const ReferenceTables& ref = state.tables;
    const FineArray& spectrum = state.work.PhotonSpectrum;
    CalculationCase& c = state.calc;
    DepthTables& t = state.depth;

    // 1. Clear.
    for (long z = 1; z <= kKernelLayerCount; ++z) {
        t.PrimaryDepthDose[z] = 0;
        t.ScatterDepthDose[z] = 0;
        for (long e = 1; e <= kFineGridSize; ++e) {
            t.ScatterByEnergy(e, z) = 0;
        }
    }

    // 2. Field at the phantom surface: half sides, or the radius of a circle.
    c.FieldHalfLong = 0.5 * c.SurfaceFieldSizeA;
    c.FieldHalfShort = 0.5 * c.SurfaceFieldSizeB;
    const bool circle = c.FieldShape == FieldShapeKind::Circle;
    const double f = c.EffectiveSurfaceDistance;
    if (!(f > 0.0) || !std::isfinite(f)) {
        // The phantom surface must lie in front of the focus.
        throw CalculationError("effective surface distance " + Text(f) + " cm is not positive");
    }
    if (!(c.FieldHalfLong >= 0.0) || !(c.FieldHalfShort >= 0.0)) {
        throw CalculationError("negative field size at the surface: " + Text(c.SurfaceFieldSizeA) +
                               " x " + Text(c.SurfaceFieldSizeB) + " cm");
    }
    const long last = LastSpectrumBin(c.TubeVoltage);

    // 3. Primary dose per layer: attenuation and inverse square.
    for (long e = 21; e <= last; ++e) {
        const double mu = ref.MuPhantom[e];
        const double primary = ref.PrimaryFine[e];
        const double weight = spectrum[e];
        for (long z = 1; z <= kDepthLayerCount; ++z) {
            const double d = LayerCentre(z);
            t.PrimaryDepthDose[z] = t.PrimaryDepthDose[z] + std::exp(-mu * d) * primary * weight *
                                                                (f * f) / ((f + d) * (f + d));
        }
    }

    // 4. Scatter on the kernel grid. The rings a layer covers and their fractions inside a
    // rectangular field depend only on the layer, so they are worked out once.
    std::vector<long> rings(kDepthLayerCount + 1, 0);
    std::vector<double> fractions;
    if (!circle) {
        fractions.assign((kDepthLayerCount + 1) * (kKernelRingCount + 1), 0.0);
    }
    std::vector<double> inverse_square(kDepthLayerCount + 1, 0.0);
    for (long z = 1; z <= kDepthLayerCount; ++z) {
        const double d = LayerCentre(z);
        inverse_square[z] = f * f / ((f + d) * (f + d));
        if (circle) {
            const double radius = c.FieldHalfLong * (f + d) / f;
            rings[z] = WholePart(2 * radius, "rings of the field") + 1;
        } else {
            const double a = c.FieldHalfLong * (f + d) / f;
            const double b = c.FieldHalfShort * (f + d) / f;
            const double half_diagonal = std::sqrt(a * a + b * b);
            rings[z] = WholePart(2 * half_diagonal, "rings of the field") + 1;
            if (rings[z] > kKernelRingCount) {
                throw CalculationError("the field covers " + std::to_string(rings[z]) +
                                       " rings at layer " + std::to_string(z) + ", the kernels " +
                                       std::to_string(kKernelRingCount));
            }
            for (long k = 1; k <= rings[z]; ++k) {
                fractions[z * (kKernelRingCount + 1) + k] =
                    RingFraction(0.5 * k - 0.5, 0.5 * k, a, b);
            }
        }
    }
    for (long e = 2 * kFirstKernelEnergy; e <= kFineGridSize; e += 2 * kKernelEnergyStep) {
        const ScatterKernel& kernel = kernels(static_cast<int>(e / 2));
        for (long z = 1; z <= kDepthLayerCount; ++z) {
            const double g = inverse_square[z];
            double y = t.ScatterByEnergy(e, z);
            for (long k = 1; k <= rings[z]; ++k) {
                if (circle) {
                    y = y + g * kernel(k, z);
                } else {
                    y = y + fractions[z * (kKernelRingCount + 1) + k] * g * kernel(k, z);
                }
            }
            t.ScatterByEnergy(e, z) = y;
        }
    }

    // 5. Scatter between grid energies: ln Y linear in energy. A grid value of exactly 0
    // becomes 1 before the logarithm and keeps that value.
    for (long e = 21; e <= last; ++e) {
        if (e % 10 == 0) {
            continue;
        }
        const double energy = 0.5 * static_cast<double>(e);
        long upper = 20;
        while (energy >= 0.5 * static_cast<double>(upper)) {
            upper += 10;
        }
        const long lower = upper - 10;
        const double below_upper = 0.5 * static_cast<double>(upper) - energy;  // keV, 0 < D <= 5
        for (long z = 1; z <= kDepthLayerCount; ++z) {
            if (t.ScatterByEnergy(upper, z) == 0) {
                t.ScatterByEnergy(upper, z) = 1;
            }
            if (t.ScatterByEnergy(lower, z) == 0) {
                t.ScatterByEnergy(lower, z) = 1;
            }
            const double log_upper =
                Logarithm(t.ScatterByEnergy(upper, z), "scatter interpolation");
            const double log_lower =
                Logarithm(t.ScatterByEnergy(lower, z), "scatter interpolation");
            t.ScatterByEnergy(e, z) =
                std::exp(log_upper - (log_upper - log_lower) * below_upper / kKernelEnergyStep);
        }
    }

    // 6. Scatter dose per layer.
    for (long e = 21; e <= last; ++e) {
        const double weight = spectrum[e];
        for (long z = 1; z <= kDepthLayerCount; ++z) {
            t.ScatterDepthDose[z] = t.ScatterDepthDose[z] + t.ScatterByEnergy(e, z) * weight;
        }
    }

    // 7. Percent depth dose relative to the first layer.
    const double first_layer = t.PrimaryDepthDose[1] + t.ScatterDepthDose[1];
    if (!std::isfinite(first_layer)) {
        throw CalculationError("first-layer dose is not finite");
    }
    for (long z = 1; z <= kDepthLayerCount; ++z) {
        t.DepthDoseTable(1, z) = Divide(100 * t.PrimaryDepthDose[z], first_layer, "depth dose");
        t.DepthDoseTable(2, z) = Divide(100 * t.ScatterDepthDose[z], first_layer, "depth dose");
        t.DepthDoseTable(3, z) = Divide(100 * (t.PrimaryDepthDose[z] + t.ScatterDepthDose[z]),
                                        first_layer, "depth dose");
        if (!std::isfinite(t.DepthDoseTable(3, z))) {
            throw CalculationError("depth dose of layer " + std::to_string(z) + " is not finite");
        }
    }

    // 8. Factor at the couch depth: linear between the neighbouring layer centres. Down to
    // the first centre the factor is the first layer's own (continuous at 0.25 cm); below
    // the 40th centre nothing has been computed.
    const double depth = c.CouchDepth;
    if (!std::isfinite(depth)) {
        throw CalculationError("couch depth is not finite");
    }
    double factor = 0;
    if (depth <= LayerCentre(1)) {
        factor = 0.01 * t.DepthDoseTable(3, 1);
    } else {
        long j = 1;
        while (LayerCentre(j) < depth) {
            ++j;
            if (j > kDepthLayerCount) {
                throw CalculationError("couch depth " + Text(depth) + " cm lies below " +
                                       Text(LayerCentre(kDepthLayerCount)) + " cm");
            }
        }
        if (LayerCentre(j) == depth) {
            factor = 0.01 * t.DepthDoseTable(3, j);
        } else {
            const double above = t.DepthDoseTable(3, j - 1);
            factor = 0.01 *
                     (above + 2 * (t.DepthDoseTable(3, j) - above) * (depth - LayerCentre(j - 1)));
        }
    }
    if (!std::isfinite(factor)) {
        throw CalculationError("depth factor is not finite");
    }
    c.DepthFactor = factor;
}

}  // namespace

std::string ScatterKernelFileName(int energy_kev) {
    return "PDS-data/" + std::to_string(energy_kev) + ".dat";
}

ScatterKernel ReadScatterKernelFile(const std::filesystem::path& path,
                                    const std::string& file_label) {
    return ParseScatterKernel(
        ReadTextFile(path, file_label, Decoding::Lenient, kMaxKernelFileBytes), file_label);
}

ScatterKernel ParseScatterKernel(std::string text, const std::string& file_label) {
    FieldStream stream(std::move(text), file_label);
    ScatterKernel kernel;
    for (long z = 1; z <= kKernelLayerCount; ++z) {
        for (long k = 1; k <= kKernelRingCount; ++k) {
            const double value = stream.RequireNumber();
            if (z <= kDepthLayerCount) {
                kernel(k, z) = value;
            }
        }
    }
    stream.RequireNoMoreNumbers();
    return kernel;
}

ScatterKernelCache::ScatterKernelCache() : entries_(kKernelFileCount) {}

void ScatterKernelCache::Clear() {
    for (Entry& entry : entries_) {
        entry = Entry{};
    }
}

ScatterKernelCache::FileStamp ScatterKernelCache::StampOf(const std::filesystem::path& path,
                                                          const std::string& file_label) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            throw FileError("ファイル「" + file_label + "」が見つかりません。");
        }
        throw FileError("ファイル「" + file_label + "」を開けません。");
    }
    if (!S_ISREG(info.st_mode)) {
        throw FileError("「" + file_label + "」はファイルではありません。");
    }
    FileStamp stamp;
    stamp.size = info.st_size;
    stamp.modified_ns =
        static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
    stamp.changed_ns =
        static_cast<long long>(info.st_ctim.tv_sec) * 1000000000LL + info.st_ctim.tv_nsec;
    stamp.inode = info.st_ino;
    stamp.device = info.st_dev;
    return stamp;
}

const ScatterKernel& ScatterKernelCache::Kernel(const std::filesystem::path& working_folder,
                                                int energy_kev) {
    const int offset = energy_kev - kFirstKernelEnergy;
    if (offset < 0 || offset % kKernelEnergyStep != 0 ||
        offset / kKernelEnergyStep >= kKernelFileCount) {
        throw CalculationError("no kernel file for " + std::to_string(energy_kev) + " keV");
    }
    Entry& entry = entries_[static_cast<size_t>(offset / kKernelEnergyStep)];
    const std::string label = ScatterKernelFileName(energy_kev);
    const std::filesystem::path path = working_folder / label;
    try {
        // Taken before reading: a change while the file is read shows at the next request.
        const FileStamp stamp = StampOf(path, label);
        if (entry.valid && entry.path == path && entry.stamp == stamp) {
            return *entry.kernel;
        }
        entry = Entry{};
        auto kernel = std::make_shared<const ScatterKernel>(ReadScatterKernelFile(path, label));
        entry.path = path;
        entry.stamp = stamp;
        entry.kernel = std::move(kernel);
        entry.valid = true;
        return *entry.kernel;
    } catch (...) {
        entry = Entry{};
        throw;
    }
}

DepthStepResult ComputeDepthFactor(EngineState& state) {
    const std::filesystem::path folder = state.WorkingFolder;
    return ComputeDepthFactor(state, [&state, &folder](int energy_kev) -> const ScatterKernel& {
        return state.kernel_cache.Kernel(folder, energy_kev);
    });
}

DepthStepResult ComputeDepthFactor(EngineState& state, const ScatterKernelSource& kernels) {
    try {
        RunDepthStep(state, kernels);
        return {true, {}};
    } catch (const CalculationError& error) {
        return {false, error.what()};
    } catch (const FileError& error) {
        return {false, error.what()};
    }
}

double RingFraction(double r1, double r2, double a, double b) {
    const double quarter_ring = (Pi / 4) * (r2 * r2 - r1 * r1);
    const double c = std::sqrt(a * a + b * b);
    if (r2 <= a && r2 <= b) {
        return 1;
    }
    if (r2 <= a && r1 <= b && r2 > b) {
        return Divide(quarter_ring - Segment(b, r2), quarter_ring, "ring fraction");
    }
    if (r2 <= a && r1 > b) {
        return Divide(NearPart(b, r1, r2, quarter_ring), quarter_ring, "ring fraction");
    }
    if (r1 <= a && r2 > a && r1 <= b && r2 > b) {
        return Divide(quarter_ring - Segment(b, r2) - Segment(a, r2), quarter_ring,
                      "ring fraction");
    }
    if (r1 <= a && r2 > a && r1 >= b) {
        return Divide(NearPart(b, r1, r2, quarter_ring) - Segment(a, r2), quarter_ring,
                      "ring fraction");
    }
    if (r1 > a && r1 > b && r2 <= c) {
        return Divide(
            NearPart(a, r1, r2, quarter_ring) + NearPart(b, r1, r2, quarter_ring) - quarter_ring,
            quarter_ring, "ring fraction");
    }
    if (r1 < c && r2 > c) {
        const double corner_b = std::atan(Divide(a, b, "ring fraction"));
        const double corner_a = std::atan(Divide(b, a, "ring fraction"));
        return Divide(CornerPart(b, corner_b, r1, c) + CornerPart(a, corner_a, r1, c), quarter_ring,
                      "ring fraction");
    }
    return 0;
}

}  // namespace korvex
