#include "engine/spectrum.h"

#include <cmath>
#include <string>

#include "engine/checked_math.h"
#include "engine/errors.h"

// The anode model follows Birch and Marshall, "Computation of bremsstrahlung X-ray spectra
// and comparison with spectra measured with a Ge(Li) detector", Phys. Med. Biol. 24 (1979)
// 505-517: electrons slow down in the tungsten target by the Thomson-Whiddington law, each
// depth emits the thin-target bremsstrahlung of the electrons' energy there, and the
// photons are attenuated on their way out through the anode angle. The polynomial and
// exponential constants below are that model's fits, kept to the digits the program has
// always used, so that every device calibrated with it keeps its values.
namespace korvex {
namespace {

constexpr double kAnodeDensity = 19.3;       // g/cm^3, tungsten
constexpr double kElectronRestEnergy = 511;  // keV
constexpr double kKLineThreshold = 70;       // kV; the tungsten K edge is at 69.5 keV
constexpr double kCutOff = 1e-10;            // photon-spectrum bins below this are cut

// The four tungsten K lines on the fine grid and their shares of the K emission. Line
// energies: Kalpha2 57.98, Kalpha1 59.32, Kbeta1 67.24, Kbeta2 69.07 keV (X-ray Data
// Booklet, Lawrence Berkeley National Laboratory, table 1-2), each in its nearest 0.5 keV
// bin; shares as in Birch and Marshall's model (relative intensities Kalpha1 : Kalpha2 :
// Kbeta1 : Kbeta2 = 100 : 57.6 : 32.1 : 8.4, normalised to 1).
struct KLine {
    long bin;
    double share;
};
constexpr KLine kKLines[] = {{119, 0.5048}, {116, 0.2908}, {134, 0.162}, {138, 0.0424}};

// Thin-target bremsstrahlung shape Q(E, T) of Birch and Marshall's model, x = E / T.
double BremsstrahlungShape(double e, double x) {
    return (0.03658 + 2.9e-5 * e) *
           (1 - 5.049 * x + 10.847 * x * x - 10.516 * x * x * x + 3.842 * x * x * x * x);
}

// Electron stopping term S(T) of the same model, T in keV.
double StoppingTerm(double t) {
    return 1036.1 * std::exp(-0.04695 * t) + 202.41;
}

double CotangentOfTargetAngle(double angle_degrees) {
    const double tangent = std::tan(Pi * angle_degrees / 180.0);
    if (tangent == 0.0) {
        throw CalculationError("target angle gives a zero tangent");
    }
    return Finite(1.0 / tangent, "cot(target angle)");
}

// Bremsstrahlung leaving the anode in bin i = 2..2V: photons of energy E are produced at
// every electron energy T >= E on the way down from V.
void ComputeBremsstrahlung(const EngineState& state, double v, long last_bin, FineArray& raw) {
    const double cot_theta = CotangentOfTargetAngle(state.calc.TargetAngle);
    const double tw = ThomsonWhiddingtonConstant(v);
    if (tw == 0.0) {
        throw CalculationError("Thomson-Whiddington constant is zero");
    }
    for (long i = 2; i <= last_bin; ++i) {
        const double e = 0.5 * static_cast<double>(i);
        const double mu_target = state.tables.MuTarget[i];
        double sum = 0.0;
        for (double tk = e; tk <= v; tk += 0.5) {
            const double path = cot_theta * (v * v - tk * tk) / (kAnodeDensity * tw);
            sum += std::exp(-mu_target * path) * BremsstrahlungShape(e, e / tk) *
                   (1 + kElectronRestEnergy / tk) / StoppingTerm(tk);
        }
        raw[i] = sum;
    }
}

// The K lines above 70 kV, scaled to the bremsstrahlung sum by the ratio R (percent).
void AddKLines(double v, long last_bin, FineArray& raw) {
    if (!(v > kKLineThreshold)) {
        return;
    }
    const double k_ratio = Finite(KLineRatio(v), "K-line ratio");
    double bremsstrahlung = 0.0;
    for (long i = 2; i <= last_bin; ++i) {
        bremsstrahlung += raw[i];
    }
    const double k_total = 0.01 * k_ratio * bremsstrahlung;
    for (const KLine& line : kKLines) {
        raw[line.bin] += line.share * k_total;
    }
}

// The device's aluminium, copper and arbitrary filter applied to the raw spectrum, giving
// the air-kerma, tissue-dose and photon-number spectra.
void ApplyFiltration(EngineState& state, long last_bin) {
    const ReferenceTables& t = state.tables;
    const CalculationCase& c = state.calc;
    WorkArrays& w = state.work;
    const double t_al = c.InherentFiltration + c.AddedAluminium;
    const double t_cu = c.AddedCopper;
    const bool arbitrary_filter = c.ArbitraryFilterOn == 1;
    for (long i = 2; i <= last_bin; ++i) {
        const double e = 0.5 * static_cast<double>(i);
        const double f = std::exp(-t_al * t.MuAluminium[i] - t_cu * t.MuCopper[i]);
        w.AirKermaSpectrum[i] = t.MuEnAir[i] * f * w.RawSpectrum[i];
        w.TissueDoseSpectrum[i] = t.MuEnTissue[i] * f * w.RawSpectrum[i];
        w.PhotonSpectrum[i] = std::exp(-t_al * t.MuAluminium[i]) * std::exp(-t_cu * t.MuCopper[i]) *
                              w.RawSpectrum[i] / e;
        if (arbitrary_filter) {
            const double filter =
                std::exp(-c.ArbitraryFilterThickness * state.work.ArbitraryFilterMu[i]);
            w.AirKermaSpectrum[i] *= filter;
            w.TissueDoseSpectrum[i] *= filter;
            w.PhotonSpectrum[i] *= filter;
        }
    }
}

// Photon spectrum normalised to sum 1; tiny bins are cut without renormalising.
void NormalisePhotonSpectrum(long last_bin, FineArray& photons) {
    double photon_sum = 0.0;
    for (long i = 2; i <= last_bin; ++i) {
        photon_sum += photons[i];
    }
    if (!(photon_sum > 0.0) || !std::isfinite(photon_sum)) {
        throw CalculationError("photon spectrum is empty (sum " + ReasonNumber(photon_sum) + ")");
    }
    for (long i = 2; i <= last_bin; ++i) {
        photons[i] /= photon_sum;
        if (photons[i] < kCutOff) {
            photons[i] = 0.0;
        }
    }
}

}  // namespace

// Birch and Marshall's fit of the Thomson-Whiddington constant, evaluated at the tube
// voltage in kV.
double ThomsonWhiddingtonConstant(double v) {
    return 141766 + 12157 * v - 111.046 * v * v + 0.552536 * v * v * v -
           0.000970158 * v * v * v * v;
}

// Birch and Marshall's fit of the tungsten K-line to bremsstrahlung ratio, in percent.
double KLineRatio(double v) {
    if (v > kKLineThreshold) {
        return (std::sqrt(8.79856 * v - 595.149) - 4.55528) / 4.39928;
    }
    return 0.0;
}

long LastSpectrumBin(double tube_voltage_kv) {
    return WholePart(2.0 * tube_voltage_kv, "last bin of the tube voltage");
}

namespace {

// The model itself; ComputeSpectrumShape serves repeated inputs from the cache.
SpectrumSums ComputeSpectrumModel(EngineState& state, double tube_voltage_kv) {
    WorkArrays& w = state.work;
    const long last_bin = LastSpectrumBin(tube_voltage_kv);
    for (long i = 1; i <= kFineGridSize; ++i) {
        w.PhotonSpectrum[i] = 0.0;
    }
    ComputeBremsstrahlung(state, tube_voltage_kv, last_bin, w.RawSpectrum);
    AddKLines(tube_voltage_kv, last_bin, w.RawSpectrum);
    ApplyFiltration(state, last_bin);
    NormalisePhotonSpectrum(last_bin, w.PhotonSpectrum);

    SpectrumSums sums;
    for (long i = 2; i <= last_bin; ++i) {
        sums.AirKerma += w.AirKermaSpectrum[i];
        sums.TissueDose += w.TissueDoseSpectrum[i];
    }
    Finite(sums.AirKerma, "air-kerma sum");
    Finite(sums.TissueDose, "tissue-dose sum");
    return sums;
}

SpectrumKey KeyOf(const EngineState& state, double tube_voltage_kv) {
    const CalculationCase& c = state.calc;
    SpectrumKey key;
    key.TubeVoltage = tube_voltage_kv;
    key.TargetAngle = c.TargetAngle;
    key.InherentFiltration = c.InherentFiltration;
    key.AddedAluminium = c.AddedAluminium;
    key.AddedCopper = c.AddedCopper;
    key.ArbitraryFilterOn = c.ArbitraryFilterOn;
    if (c.ArbitraryFilterOn == 1) {
        key.ArbitraryFilterThickness = c.ArbitraryFilterThickness;
        key.ArbitraryFilterMu = state.work.ArbitraryFilterMu;
    }
    return key;
}

// Exactly the bins the model writes, so that a result from the cache leaves the work
// arrays as the model would.
void CopyWrittenBins(const FineArray& from, FineArray& to, long first, long last) {
    for (long i = first; i <= last; ++i) {
        to[i] = from[i];
    }
}

// The model writes bins 2..LastSpectrumBin of the raw, air-kerma and tissue-dose spectra
// and the whole photon spectrum.
void RestoreSpectra(const SpectrumResult& from, long last_bin, WorkArrays& to) {
    CopyWrittenBins(from.RawSpectrum, to.RawSpectrum, 2, last_bin);
    CopyWrittenBins(from.PhotonSpectrum, to.PhotonSpectrum, 1, kFineGridSize);
    CopyWrittenBins(from.AirKermaSpectrum, to.AirKermaSpectrum, 2, last_bin);
    CopyWrittenBins(from.TissueDoseSpectrum, to.TissueDoseSpectrum, 2, last_bin);
}

}  // namespace

SpectrumSums ComputeSpectrumShape(EngineState& state, double tube_voltage_kv) {
    const SpectrumKey key = KeyOf(state, tube_voltage_kv);
    if (const SpectrumResult* known = state.spectrum_cache.Find(key, state.tables)) {
        RestoreSpectra(*known, LastSpectrumBin(tube_voltage_kv), state.work);
        return {known->AirKermaSum, known->TissueDoseSum};
    }
    const SpectrumSums sums = ComputeSpectrumModel(state, tube_voltage_kv);
    const WorkArrays& w = state.work;
    SpectrumResult result;
    result.RawSpectrum = w.RawSpectrum;
    result.PhotonSpectrum = w.PhotonSpectrum;
    result.AirKermaSpectrum = w.AirKermaSpectrum;
    result.TissueDoseSpectrum = w.TissueDoseSpectrum;
    result.AirKermaSum = sums.AirKerma;
    result.TissueDoseSum = sums.TissueDose;
    state.spectrum_cache.Store(key, result);
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
    state.calc.DoseToKermaRatio = Divide(sums.TissueDose, sums.AirKerma, "dose-to-kerma ratio");
    NormaliseAirKermaSpectrum(state, tube_voltage_kv, sums.AirKerma);
}

namespace {

double Transmission(const FineArray& spectrum, const FineArray& mu, double tube_voltage_kv,
                    double thickness_cm) {
    double transmitted = 0;
    double total = 0;
    for (long i = 2; i <= LastSpectrumBin(tube_voltage_kv); ++i) {
        transmitted += spectrum[i] * std::exp(-mu[i] * thickness_cm);
        total += spectrum[i];
    }
    return Divide(transmitted, total, "couch transmission of the beam");
}

}  // namespace

double PhantomTransmission(const EngineState& state, double tube_voltage_kv, double thickness_cm) {
    return Transmission(state.work.AirKermaSpectrum, state.tables.MuPhantom, tube_voltage_kv,
                        thickness_cm);
}

double PhantomDoseTransmission(const EngineState& state, double tube_voltage_kv,
                               double thickness_cm) {
    return Transmission(state.work.TissueDoseSpectrum, state.tables.MuPhantom, tube_voltage_kv,
                        thickness_cm);
}

}  // namespace korvex
