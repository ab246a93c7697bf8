#include "engine/spectrum.h"

#include <cmath>
#include <string>

#include "engine/errors.h"

namespace korvex {
namespace {

constexpr double kAnodeDensity = 19.3;       // g/cm^3, tungsten
constexpr double kElectronRestEnergy = 511;  // keV
constexpr double kKLineThreshold = 70;       // kV, K lines only strictly above
constexpr double kCutOff = 1e-10;

double RequireFinite(double value, const char* what) {
    if (!std::isfinite(value)) {
        throw CalculationError(std::string(what) + " is not finite");
    }
    return value;
}

}  // namespace

double ThomsonWhiddingtonConstant(double v) {
    return 141766 + 12157 * v - 111.046 * v * v + 0.552536 * v * v * v -
           0.000970158 * v * v * v * v;
}

double KLineRatio(double v) {
    if (v > kKLineThreshold) {
        return (std::sqrt(8.79856 * v - 595.149) - 4.55528) / 4.39928;
    }
    return 0.0;
}

long LastSpectrumBin(double tube_voltage_kv) {
    const double twice = 2.0 * tube_voltage_kv;
    if (!(std::abs(twice) <= 1.0e6)) {  // also NaN; the cast below must stay defined
        throw CalculationError("tube voltage out of range: " + std::to_string(tube_voltage_kv));
    }
    return static_cast<long>(std::floor(twice));
}

SpectrumSums ComputeSpectrumShape(EngineState& state, double tube_voltage_kv) {
    const ReferenceTables& t = state.tables;
    const CalculationCase& c = state.calc;
    WorkArrays& w = state.work;
    const double v = tube_voltage_kv;
    const long last = LastSpectrumBin(v);

    // 1. Photon spectrum cleared; cotangent of the target angle.
    for (long i = 1; i <= kFineGridSize; ++i) {
        w.PhotonSpectrum[i] = 0.0;
    }
    const double tangent = std::tan(Pi * c.TargetAngle / 180.0);
    if (tangent == 0.0) {
        throw CalculationError("target angle gives a zero tangent");
    }
    const double cot_theta = RequireFinite(1.0 / tangent, "cot(target angle)");

    // 2., 3. Model constants for this voltage.
    const double tw = ThomsonWhiddingtonConstant(v);
    if (tw == 0.0) {
        throw CalculationError("Thomson-Whiddington constant is zero");
    }
    const double k_ratio = RequireFinite(KLineRatio(v), "K-line ratio");

    // 4. Bremsstrahlung: electrons slow down from V; photons of energy E are produced at
    // every electron energy T >= E and attenuated on their way out of the anode.
    for (long i = 2; i <= last; ++i) {
        const double e = 0.5 * static_cast<double>(i);
        const double mu_target = t.MuTarget[i];
        double sum = 0.0;
        for (double tk = e; tk <= v; tk += 0.5) {
            const double x = e / tk;
            const double q = (0.03658 + 2.9e-5 * e) * (1 - 5.049 * x + 10.847 * x * x -
                                                       10.516 * x * x * x + 3.842 * x * x * x * x);
            const double s = 1036.1 * std::exp(-0.04695 * tk) + 202.41;
            const double path = cot_theta * (v * v - tk * tk) / (kAnodeDensity * tw);
            const double a = std::exp(-mu_target * path);
            sum += a * q * (1 + kElectronRestEnergy / tk) / s;
        }
        w.RawSpectrum[i] = sum;
    }

    // 5. Tungsten K lines above 70 kV, scaled to the bremsstrahlung sum.
    if (v > kKLineThreshold) {
        double bremsstrahlung = 0.0;
        for (long i = 2; i <= last; ++i) {
            bremsstrahlung += w.RawSpectrum[i];
        }
        const double k_total = 0.01 * k_ratio * bremsstrahlung;
        w.RawSpectrum[119] += 0.5048 * k_total;
        w.RawSpectrum[116] += 0.2908 * k_total;
        w.RawSpectrum[134] += 0.162 * k_total;
        w.RawSpectrum[138] += 0.0424 * k_total;
    }

    // 6. Filtration.
    const double t_al = c.InherentFiltration + c.AddedAluminium;
    const double t_cu = c.AddedCopper;
    const bool arbitrary_filter = c.ArbitraryFilterOn == 1;
    for (long i = 2; i <= last; ++i) {
        const double e = 0.5 * static_cast<double>(i);
        const double f = std::exp(-t_al * t.MuAluminium[i] - t_cu * t.MuCopper[i]);
        w.AirKermaSpectrum[i] = t.MuEnAir[i] * f * w.RawSpectrum[i];
        w.TissueDoseSpectrum[i] = t.MuEnTissue[i] * f * w.RawSpectrum[i];
        w.PhotonSpectrum[i] = std::exp(-t_al * t.MuAluminium[i]) * std::exp(-t_cu * t.MuCopper[i]) *
                              w.RawSpectrum[i] / e;
        if (arbitrary_filter) {
            const double filter =
                std::exp(-c.ArbitraryFilterThickness * state.ArbitraryFilterMu[i]);
            w.AirKermaSpectrum[i] *= filter;
            w.TissueDoseSpectrum[i] *= filter;
            w.PhotonSpectrum[i] *= filter;
        }
    }

    // 7. Normalised photon spectrum; tiny bins are cut without renormalising.
    double photon_sum = 0.0;
    for (long i = 2; i <= last; ++i) {
        photon_sum += w.PhotonSpectrum[i];
    }
    if (!(photon_sum > 0.0) || !std::isfinite(photon_sum)) {
        throw CalculationError("photon spectrum is empty (sum " + std::to_string(photon_sum) + ")");
    }
    for (long i = 2; i <= last; ++i) {
        w.PhotonSpectrum[i] /= photon_sum;
        if (w.PhotonSpectrum[i] < kCutOff) {
            w.PhotonSpectrum[i] = 0.0;
        }
    }

    SpectrumSums sums;
    for (long i = 2; i <= last; ++i) {
        sums.AirKerma += w.AirKermaSpectrum[i];
        sums.TissueDose += w.TissueDoseSpectrum[i];
    }
    RequireFinite(sums.AirKerma, "air-kerma sum");
    RequireFinite(sums.TissueDose, "tissue-dose sum");
    return sums;
}

void NormaliseAirKermaSpectrum(EngineState& state, double tube_voltage_kv, double air_kerma_sum) {
    if (air_kerma_sum == 0.0) {
        throw CalculationError("air-kerma spectrum sums to zero");
    }
    const long last = LastSpectrumBin(tube_voltage_kv);
    for (long i = 2; i <= last; ++i) {
        state.work.AirKermaSpectrum[i] /= air_kerma_sum;
    }
}

void ComputeSpectrum(EngineState& state, double tube_voltage_kv) {
    const SpectrumSums sums = ComputeSpectrumShape(state, tube_voltage_kv);
    if (sums.AirKerma == 0.0) {
        throw CalculationError("air-kerma spectrum sums to zero");
    }
    state.calc.DoseToKermaRatio =
        RequireFinite(sums.TissueDose / sums.AirKerma, "dose-to-kerma ratio");
    NormaliseAirKermaSpectrum(state, tube_voltage_kv, sums.AirKerma);
}

}  // namespace korvex
