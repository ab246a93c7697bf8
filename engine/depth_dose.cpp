#include "engine/depth_dose.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "engine/checked_math.h"
#include "engine/engine_state.h"
#include "engine/errors.h"
#include "engine/spectrum.h"

namespace korvex {
namespace {

constexpr int kFirstKernelEnergy = 10;   // keV
constexpr int kKernelEnergyStep = 5;     // keV
constexpr double kLayerThickness = 0.5;  // cm
constexpr double kQuarterTurn = Pi / 2;

// Centre depth of layer z in cm: 0.25, 0.75, ..., 19.75 for z = 1..40.
double LayerCentre(long layer) {
    return kLayerThickness * static_cast<double>(layer) - 0.25;
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

// Part of the quarter disk of radius r beyond both edges, x > a and y > b: the corner where
// the two segments overlap, 0 while the circle stays inside the half diagonal.
double BeyondBothEdges(double a, double b, double r) {
    if (r * r <= a * a + b * b) {
        return 0.0;
    }
    // The integral of sqrt(r^2 - x^2) - b over x from a to where the circle meets y = b.
    const auto integral = [r, b](double x) {
        return 0.5 * (x * std::sqrt(r * r - x * x) + r * r * std::asin(std::min(1.0, x / r))) -
               b * x;
    };
    return integral(std::sqrt(r * r - b * b)) - integral(a);
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

// Everything the step writes goes back to 0 (what it never writes is 0 already).
void ClearDepthTables(DepthTables& t) {
    t.PrimaryDepthDose.Fill(0);
    t.ScatterDepthDose.Fill(0);
    t.ScatterByEnergy.Fill(0);
}

// Half sides of the field at the phantom surface (the radius of a circle); the surface must
// lie in front of the focus and the field must not be negative.
void SetSurfaceField(CalculationCase& c) {
    c.FieldHalfLong = 0.5 * c.SurfaceFieldSizeA;
    c.FieldHalfShort = 0.5 * c.SurfaceFieldSizeB;
    const double f = c.EffectiveSurfaceDistance;
    if (!(f > 0.0) || !std::isfinite(f)) {
        throw CalculationError("effective surface distance " + ReasonNumber(f) +
                               " cm is not positive");
    }
    if (!(c.FieldHalfLong >= 0.0) || !(c.FieldHalfShort >= 0.0)) {
        throw CalculationError(
            "negative field size at the surface: " + ReasonNumber(c.SurfaceFieldSizeA) + " x " +
            ReasonNumber(c.SurfaceFieldSizeB) + " cm");
    }
}

// Primary dose at depth d (cm) below a surface at distance f (cm) from the focus:
// attenuation in the phantom and the inverse square.
double PrimaryDoseAt(const EngineState& state, double f, long last_bin, double d) {
    const ReferenceTables& ref = state.tables;
    const FineArray& spectrum = state.work.PhotonSpectrum;
    double dose = 0;
    for (long e = 21; e <= last_bin; ++e) {
        dose = dose + std::exp(-ref.MuPhantom[e] * d) * ref.PrimaryFine[e] * spectrum[e] * (f * f) /
                          ((f + d) * (f + d));
    }
    return dose;
}

// Primary dose at the centre of each layer, as PrimaryDoseAt gives it. The attenuation to
// the centres depends on the phantom alone, so it is taken once for all calculations with
// the same phantom; the layers' sums run side by side, each in PrimaryDoseAt's order.
void AddPrimaryDose(const EngineState& state, double f, long last_bin, DepthTables& t) {
    LayerAttenuation& cached = t.PhantomAttenuation;
    if (!cached.filled || !(cached.mu_phantom == state.tables.MuPhantom)) {
        cached.mu_phantom = state.tables.MuPhantom;
        for (long e = 1; e <= kFineGridSize; ++e) {
            for (long z = 1; z <= kDepthLayerCount; ++z) {
                cached.values(e, z) = std::exp(-cached.mu_phantom[e] * LayerCentre(z));
            }
        }
        cached.filled = true;
    }
    const ReferenceTables& ref = state.tables;
    const FineArray& spectrum = state.work.PhotonSpectrum;
    const double f_squared = f * f;
    std::array<double, kDepthLayerCount + 1> distance_squared{};  // (f + d)^2 at each centre
    for (long z = 1; z <= kDepthLayerCount; ++z) {
        const double d = LayerCentre(z);
        distance_squared[static_cast<size_t>(z)] = (f + d) * (f + d);
    }
    for (long e = 21; e <= last_bin; ++e) {
        const double primary = ref.PrimaryFine[e];
        const double weight = spectrum[e];
        for (long z = 1; z <= kDepthLayerCount; ++z) {
            t.PrimaryDepthDose[z] =
                t.PrimaryDepthDose[z] + cached.values(e, z) * primary * weight * f_squared /
                                            distance_squared[static_cast<size_t>(z)];
        }
    }
}

// Which kernel rings the field covers in each layer, and the weight of each: the fraction of
// the ring's area inside the field (all of it for a circle) times the layer's inverse
// square. They depend only on the layer, so they are worked out once for every kernel
// energy.
struct LayerCoverage {
    std::array<long, kDepthLayerCount + 1> rings{};
    long most_rings = 0;
    std::vector<double> weights;  // ring k, layer z at k * (kDepthLayerCount + 1) + z

    double Weight(long ring, long layer) const {
        return weights[static_cast<size_t>(ring * (kDepthLayerCount + 1) + layer)];
    }
};

LayerCoverage CoverLayers(const CalculationCase& c) {
    LayerCoverage cover;
    cover.weights.assign((kKernelRingCount + 1) * (kDepthLayerCount + 1), 0.0);
    const bool circle = c.FieldShape == FieldShapeKind::Circle;
    const double f = c.EffectiveSurfaceDistance;
    for (long z = 1; z <= kDepthLayerCount; ++z) {
        const double d = LayerCentre(z);
        const double scale = (f + d) / f;  // the divergent field grows with depth
        const double inverse_square = f * f / ((f + d) * (f + d));
        const double a = c.FieldHalfLong * scale;
        const double b = c.FieldHalfShort * scale;
        const long rings = circle
                               ? WholePart(2 * a, "rings of the field") + 1
                               : WholePart(2 * std::sqrt(a * a + b * b), "rings of the field") + 1;
        if (rings > kKernelRingCount) {
            throw CalculationError("the field covers " + std::to_string(rings) +
                                   " rings at layer " + std::to_string(z) + ", the kernels " +
                                   std::to_string(kKernelRingCount));
        }
        cover.rings[static_cast<size_t>(z)] = rings;
        cover.most_rings = std::max(cover.most_rings, rings);
        for (long k = 1; k <= rings; ++k) {
            const double fraction = circle ? 1.0 : RingFraction(0.5 * k - 0.5, 0.5 * k, a, b);
            cover.weights[static_cast<size_t>(k * (kDepthLayerCount + 1) + z)] =
                fraction * inverse_square;
        }
    }
    return cover;
}

// On-axis scatter per layer at the kernel energies 10, 15, ..., 150 keV (fine bins 20, 30,
// ..., 300): the kernel summed over the covered rings, ring by ring from the axis. The
// layers' sums run side by side, each in that order.
void AddKernelScatter(const LayerCoverage& cover, const ScatterKernelSource& kernels,
                      DepthTables& t) {
    std::array<double, kDepthLayerCount + 1> y{};
    for (long e = 2 * kFirstKernelEnergy; e <= kFineGridSize; e += 2 * kKernelEnergyStep) {
        const ScatterKernel& kernel = kernels(static_cast<int>(e / 2));
        for (long z = 1; z <= kDepthLayerCount; ++z) {
            y[static_cast<size_t>(z)] = t.ScatterByEnergy(e, z);
        }
        for (long k = 1; k <= cover.most_rings; ++k) {
            for (long z = 1; z <= kDepthLayerCount; ++z) {
                const auto layer = static_cast<size_t>(z);
                if (k <= cover.rings[layer]) {
                    y[layer] = y[layer] + cover.Weight(k, z) * kernel(k, z);
                }
            }
        }
        for (long z = 1; z <= kDepthLayerCount; ++z) {
            t.ScatterByEnergy(e, z) = y[static_cast<size_t>(z)];
        }
    }
}

// Scatter between the kernel energies: ln Y linear in energy. A grid value of exactly 0
// becomes 1 before the logarithm and keeps that value. The logarithms at an interval's two
// kernel energies are taken once for the nine bins between them.
void InterpolateScatter(long last_bin, DepthTables& t) {
    std::array<double, kDepthLayerCount + 1> log_lower{};
    std::array<double, kDepthLayerCount + 1> log_upper{};
    long interval = 0;  // upper kernel bin of the interval whose logarithms are held
    for (long e = 21; e <= last_bin; ++e) {
        if (e % 10 == 0) {
            continue;
        }
        const double energy = 0.5 * static_cast<double>(e);
        long upper = 20;
        while (energy >= 0.5 * static_cast<double>(upper)) {
            upper += 10;
        }
        const long lower = upper - 10;
        if (upper != interval) {
            interval = upper;
            for (long z = 1; z <= kDepthLayerCount; ++z) {
                if (t.ScatterByEnergy(upper, z) == 0) {
                    t.ScatterByEnergy(upper, z) = 1;
                }
                if (t.ScatterByEnergy(lower, z) == 0) {
                    t.ScatterByEnergy(lower, z) = 1;
                }
                const auto layer = static_cast<size_t>(z);
                log_upper[layer] = Logarithm(t.ScatterByEnergy(upper, z), "scatter interpolation");
                log_lower[layer] = Logarithm(t.ScatterByEnergy(lower, z), "scatter interpolation");
            }
        }
        const double below_upper = 0.5 * static_cast<double>(upper) - energy;  // keV, 0 < D <= 5
        for (long z = 1; z <= kDepthLayerCount; ++z) {
            const auto layer = static_cast<size_t>(z);
            t.ScatterByEnergy(e, z) =
                std::exp(log_upper[layer] -
                         (log_upper[layer] - log_lower[layer]) * below_upper / kKernelEnergyStep);
        }
    }
}

void AddScatterDose(const FineArray& spectrum, long last_bin, DepthTables& t) {
    for (long e = 21; e <= last_bin; ++e) {
        const double weight = spectrum[e];
        for (long z = 1; z <= kDepthLayerCount; ++z) {
            t.ScatterDepthDose[z] = t.ScatterDepthDose[z] + t.ScatterByEnergy(e, z) * weight;
        }
    }
}

// Percent depth dose, primary, scatter and total, relative to the first layer's total.
void FillDepthDoseTable(DepthTables& t) {
    const double first_layer =
        Finite(t.PrimaryDepthDose[1] + t.ScatterDepthDose[1], "first-layer dose");
    for (long z = 1; z <= kDepthLayerCount; ++z) {
        t.DepthDoseTable(1, z) = Divide(100 * t.PrimaryDepthDose[z], first_layer, "depth dose");
        t.DepthDoseTable(2, z) = Divide(100 * t.ScatterDepthDose[z], first_layer, "depth dose");
        t.DepthDoseTable(3, z) = Divide(100 * (t.PrimaryDepthDose[z] + t.ScatterDepthDose[z]),
                                        first_layer, "depth dose");
    }
}

// The first layer whose centre lies at or below `depth` (beyond the first centre); below the
// 40th centre nothing has been computed.
long LayerReaching(double depth) {
    long j = 1;
    while (LayerCentre(j) < depth) {
        ++j;
        if (j > kDepthLayerCount) {
            throw CalculationError("couch depth " + ReasonNumber(depth) + " cm lies below " +
                                   ReasonNumber(LayerCentre(kDepthLayerCount)) + " cm");
        }
    }
    return j;
}

// The legacy factor at the couch depth, relative to the first layer: linear between the
// neighbouring layer centres. Down to the first centre the factor is the first layer's own
// (continuous at 0.25 cm).
double FactorAtDepth(const DepthTables& t, double depth) {
    Finite(depth, "couch depth");
    if (depth <= LayerCentre(1)) {
        return 0.01 * t.DepthDoseTable(3, 1);
    }
    const long j = LayerReaching(depth);
    if (LayerCentre(j) == depth) {
        return 0.01 * t.DepthDoseTable(3, j);
    }
    const double above = t.DepthDoseTable(3, j - 1);
    return Finite(
        0.01 * (above + 2 * (t.DepthDoseTable(3, j) - above) * (depth - LayerCentre(j - 1))),
        "depth factor");
}

// The validated factor at the couch depth: the dose there over the dose at the surface.
// The primary is taken at the point itself. The scatter of the kernels (averages over
// 0.5 cm layers) runs linearly between the layer centres; at the surface it is the
// backscatter kernel's, (B - 1) times the primary there, and from the surface to the first
// centre it runs linearly too. The backscatter kernel's 0.1 cm rings resolve the steep rise
// of the scatter in the first millimetres; extrapolating the layers to the surface, by a
// straight line or a parabola, puts 5 to 21 % more scatter there, and the doses behind a
// couch then come out 3.1 % or 1.7 % low on average against the full Monte Carlo
// (docs/validation.md).
double SurfaceFactorAtDepth(const EngineState& state, long last_bin, double depth) {
    const CalculationCase& c = state.calc;
    const DepthTables& t = state.depth;
    if (!(Finite(depth, "couch depth") >= 0.0)) {
        throw CalculationError("couch depth " + ReasonNumber(depth) + " cm is negative");
    }
    const double f = c.EffectiveSurfaceDistance;
    const double primary_surface = PrimaryDoseAt(state, f, last_bin, 0.0);
    const double backscatter = c.MeanBackscatterFactor;
    const double scatter_surface = (backscatter - 1) * primary_surface;
    double scatter = 0;
    if (depth <= LayerCentre(1)) {
        scatter =
            scatter_surface + (t.ScatterDepthDose[1] - scatter_surface) * depth / LayerCentre(1);
    } else {
        const long j = LayerReaching(depth);
        const double above = t.ScatterDepthDose[j - 1];
        scatter = above +
                  (t.ScatterDepthDose[j] - above) * (depth - LayerCentre(j - 1)) / kLayerThickness;
    }
    return Divide(PrimaryDoseAt(state, f, last_bin, depth) + scatter, backscatter * primary_surface,
                  "depth factor");
}

void RunDepthStep(EngineState& state, const ScatterKernelSource& kernels) {
    CalculationCase& c = state.calc;
    DepthTables& t = state.depth;
    ClearDepthTables(t);
    SetSurfaceField(c);
    const long last_bin = LastSpectrumBin(c.TubeVoltage);
    AddPrimaryDose(state, c.EffectiveSurfaceDistance, last_bin, t);
    AddKernelScatter(CoverLayers(c), kernels, t);
    InterpolateScatter(last_bin, t);
    AddScatterDose(state.work.PhotonSpectrum, last_bin, t);
    FillDepthDoseTable(t);
    c.DepthFactor = c.Model == DoseModel::Legacy
                        ? FactorAtDepth(t, c.CouchDepth)
                        : SurfaceFactorAtDepth(state, last_bin, c.CouchDepth);
}

}  // namespace

DepthStepResult ComputeDepthFactor(EngineState& state) {
    const std::filesystem::path folder = state.working_folder;
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
        // Both segments, and back what they both took in the corner: a field so small that
        // the ring reaches past its corner (half side below 1.21 cm) would otherwise lose
        // the corner twice, down to a negative fraction.
        return std::max(
            0.0, Divide(quarter_ring - Segment(b, r2) - Segment(a, r2) + BeyondBothEdges(a, b, r2),
                        quarter_ring, "ring fraction"));
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
