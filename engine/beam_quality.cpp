#include "engine/beam_quality.h"

#include <cmath>

#include "engine/checked_math.h"
#include "engine/errors.h"
#include "engine/spectrum.h"
#include "engine/text_rules.h"

namespace korvex {
namespace {

constexpr double kMaxHalfValueLayerCm = 10;

// Narrow-beam air-kerma transmission of `t_cm` of aluminium, relative to none.
double AluminiumTransmission(const EngineState& state, long last_bin, double t_cm) {
    double unattenuated = 0;
    double attenuated = 0;
    for (long i = 2; i <= last_bin; ++i) {
        const double kerma = state.work.AirKermaSpectrum[i];
        unattenuated += kerma;
        attenuated += kerma * std::exp(-state.tables.MuAluminium[i] * t_cm);
    }
    if (!(unattenuated > 0) || !std::isfinite(unattenuated)) {
        throw CalculationError("air-kerma spectrum is empty: no half-value layer");
    }
    return attenuated / unattenuated;
}

double HalfValueLayerCm(const EngineState& state, long last_bin) {
    // The transmission falls with the thickness: bracket one half, then halve the bracket
    // down to the last bit of a double.
    double lo = 0;
    double hi = 0.1;
    while (AluminiumTransmission(state, last_bin, hi) > 0.5) {
        lo = hi;
        hi *= 2;
        if (hi > kMaxHalfValueLayerCm) {
            throw CalculationError("half-value layer beyond 100 mm Al");
        }
    }
    for (int n = 0; n < 64 && hi - lo > 1e-12 * hi; ++n) {
        const double mid = 0.5 * (lo + hi);
        (AluminiumTransmission(state, last_bin, mid) > 0.5 ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

double MeanPhotonEnergy(const EngineState& state, long last_bin) {
    double photons = 0;
    double energy = 0;
    for (long i = 2; i <= last_bin; ++i) {
        photons += state.work.PhotonSpectrum[i];
        energy += state.work.PhotonSpectrum[i] * 0.5 * static_cast<double>(i);
    }
    return Divide(energy, photons, "mean photon energy");
}

}  // namespace

BeamQuality ComputeBeamQuality(const EngineState& state, double tube_voltage_kv) {
    const long last_bin = LastSpectrumBin(tube_voltage_kv);
    BeamQuality quality;
    quality.half_value_layer_mm =
        Finite(10 * HalfValueLayerCm(state, last_bin), "half-value layer");
    quality.mean_energy_kev = Finite(MeanPhotonEnergy(state, last_bin), "mean photon energy");
    return quality;
}

UserText BeamQualityText(const BeamQuality& quality) {
    const std::string hvl = FormatNumber(quality.half_value_layer_mm, "#0.00");
    const std::string energy = FormatNumber(quality.mean_energy_kev, "##0.0");
    return {"線質：第１半価層 " + hvl + " mmAl、平均エネルギー " + energy + " keV",
            "Beam quality: first HVL " + hvl + " mm Al, mean energy " + energy + " keV"};
}

}  // namespace korvex
