#include "engine/backscatter.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/errors.h"
#include "engine/spectrum.h"

namespace korvex {
namespace {

constexpr double kQuarterTurn = Pi / 2;  // 1.570795
constexpr double kSquareSideMax = 40;    // cm
constexpr double kSquareSideMin = 1;     // cm
constexpr double kCircleRadiusMax = 40;  // cm

double RingMidpoint(long ring) {
    return 0.1 * static_cast<double>(ring) - 0.05;
}

// Whole 0.1 cm rings within a length in cm.
long RingsWithin(double length_cm) {
    const double rings = std::floor(10.0 * length_cm);
    if (!(rings >= 0.0 && rings <= 1.0e6)) {  // also NaN; the cast below must stay defined
        throw CalculationError("field size out of range");
    }
    return static_cast<long>(rings);
}

// First kernel column, from 2 upwards, whose energy satisfies `reached`.
template <typename Predicate>
long FirstKernelColumn(const ReferenceTables& tables, Predicate reached, double energy) {
    for (long j = 2; j <= kKernelEnergyCount; ++j) {
        if (reached(tables.KernelEnergy[j])) {
            return j;
        }
    }
    throw CalculationError("no kernel energy above " + std::to_string(energy) + " keV");
}

void SquareFieldFactors(EngineState& state, long top_column, double inverse_square_length) {
    const ReferenceTables& t = state.tables;
    CalculationCase& c = state.calc;
    const double l2 = inverse_square_length * inverse_square_length;

    c.FieldHalfLong = std::max(c.SurfaceFieldSizeA, c.SurfaceFieldSizeB);
    c.FieldHalfShort = std::min(c.SurfaceFieldSizeA, c.SurfaceFieldSizeB);
    c.FieldHalfLong = std::max(std::min(c.FieldHalfLong, kSquareSideMax), kSquareSideMin);
    c.FieldHalfShort = std::max(std::min(c.FieldHalfShort, kSquareSideMax), kSquareSideMin);
    c.FieldHalfLong /= 2;
    c.FieldHalfShort /= 2;
    const double a = c.FieldHalfLong;
    const double b = c.FieldHalfShort;
    const long rings_short = RingsWithin(b);
    const long rings_long = RingsWithin(a);
    const long rings_diagonal = RingsWithin(std::sqrt(a * a + b * b));

    for (long j = 1; j <= top_column; ++j) {
        double sum = 0.0;
        // Rings wholly inside the square.
        for (long r = 1; r <= rings_short; ++r) {
            const double rho = RingMidpoint(r);
            sum += l2 / (l2 + rho * rho) * t.BackscatterKernel(r, j);
        }
        // Rings between the two long sides of a true rectangle.
        if (rings_long > rings_short) {
            for (long r = rings_short + 1; r <= rings_long; ++r) {
                const double rho = RingMidpoint(r);
                if (rho * rho - b * b >= 0) {
                    const double phi_b = std::atan(std::sqrt(rho * rho - b * b) / b);
                    const double fraction = (kQuarterTurn - phi_b) / kQuarterTurn;
                    sum += l2 / (l2 + rho * rho) * fraction * t.BackscatterKernel(r, j);
                }
            }
        }
        // Rings that reach into the corners.
        for (long r = rings_long + 1; r <= rings_diagonal; ++r) {
            const double rho = RingMidpoint(r);
            if (rho * rho - b * b >= 0 && rho * rho - a * a >= 0) {
                const double phi_b = std::atan(std::sqrt(rho * rho - b * b) / b);
                const double phi_a = std::atan(std::sqrt(rho * rho - a * a) / a);
                const double fraction = (kQuarterTurn - phi_b - phi_a) / kQuarterTurn;
                sum += l2 / (l2 + rho * rho) * fraction * t.BackscatterKernel(r, j);
            }
        }
        state.work.FieldBackscatter[j] = 1 + sum;
    }
}

void CircleFieldFactors(EngineState& state, long top_column, double inverse_square_length) {
    const ReferenceTables& t = state.tables;
    CalculationCase& c = state.calc;
    const double l2 = inverse_square_length * inverse_square_length;

    double radius = 0.5 * c.SurfaceFieldSizeA;
    if (c.Model == DoseModel::Legacy) {
        if (c.FocusReceptorDistance == 0.0) {
            throw CalculationError("focus to receptor distance is zero");
        }
        // The legacy formula scales the field size at the surface once more by L over the
        // focus-receptor distance and takes that as the radius.
        radius = inverse_square_length * c.SurfaceFieldSizeA / c.FocusReceptorDistance;
    }
    if (radius > kCircleRadiusMax) {
        radius = kCircleRadiusMax;
    }
    c.FieldHalfLong = radius;
    const long rings = RingsWithin(radius);
    if (rings > kBackscatterRingCount) {
        throw CalculationError("circle of " + std::to_string(rings) + " rings exceeds the kernel");
    }
    for (long j = 1; j <= top_column; ++j) {
        double sum = 0.0;
        for (long r = 1; r <= rings; ++r) {
            const double rho = RingMidpoint(r);
            sum += l2 / (l2 + rho * rho) * t.BackscatterKernel(r, j);
        }
        state.work.FieldBackscatter[j] = 1 + sum;
    }
}

}  // namespace

void ComputeBackscatterFactor(EngineState& state, double hardening_cm) {
    const ReferenceTables& t = state.tables;
    CalculationCase& c = state.calc;
    WorkArrays& w = state.work;
    const double v = c.TubeVoltage;
    const long last = LastSpectrumBin(v);

    // 1. Normalised tissue-dose spectrum of the photon spectrum.
    double dose_sum = 0.0;
    for (long i = 2; i <= last; ++i) {
        w.DoseSpectrum[i] = 0.5 * static_cast<double>(i) * w.PhotonSpectrum[i] * t.MuEnTissue[i];
        if (hardening_cm != 0) {
            w.DoseSpectrum[i] *= std::exp(-t.MuPhantom[i] * hardening_cm);
        }
        dose_sum += w.DoseSpectrum[i];
    }
    if (!(dose_sum != 0.0) || !std::isfinite(dose_sum)) {
        throw CalculationError("tissue-dose spectrum sums to " + std::to_string(dose_sum));
    }
    for (long i = 2; i <= last; ++i) {
        w.DoseSpectrum[i] /= dose_sum;
    }

    // 2. Highest kernel column needed for this voltage.
    const long top_column = FirstKernelColumn(
        t, [v](double energy) { return energy >= v; }, v);

    // 3. Factor of the field per kernel energy.
    const double l = c.EffectiveSurfaceDistance;
    if (c.FieldShape == FieldShapeKind::Square) {
        SquareFieldFactors(state, top_column, l);
    } else {
        CircleFieldFactors(state, top_column, l);
    }

    // 4. Average over the dose spectrum, interpolating between kernel energies.
    double mean = 0.0;
    for (long i = 2; i <= last; ++i) {
        if (w.DoseSpectrum[i] > 0) {
            const double e = 0.5 * static_cast<double>(i);
            const long col = FirstKernelColumn(
                t, [e](double energy) { return energy > e; }, e);
            const double factor =
                w.FieldBackscatter[col] - (w.FieldBackscatter[col] - w.FieldBackscatter[col - 1]) *
                                              (t.KernelEnergy[col] - e) /
                                              (t.KernelEnergy[col] - t.KernelEnergy[col - 1]);
            mean += factor * w.DoseSpectrum[i];
        }
    }
    if (!std::isfinite(mean)) {
        throw CalculationError("mean backscatter factor is not finite");
    }
    c.MeanBackscatterFactor = mean;
}

}  // namespace korvex
