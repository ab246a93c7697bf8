#include "engine/beam_curves.h"

#include <algorithm>
#include <cmath>

#include "engine/dose_model.h"
#include "engine/errors.h"
#include "engine/spectrum.h"

namespace korvex {
namespace {

constexpr double kBinWidthKev = 0.5;  // the fine grid
// The kernel files' layers, which the depth step's tables hold: 0.5 cm each, the first
// centred at 0.25 cm.
constexpr double kLayerThicknessCm = 0.5;
// The depth step's primary sums start at this bin (10.5 keV): the kernels begin at 10 keV.
constexpr long kFirstPrimaryBin = 21;
// Two sums of the same terms in the same order agree to the last bits; anything further
// apart was computed from other arrays.
constexpr double kSameSumTolerance = 1e-9;

double LayerCentreCm(long layer) {
    return kLayerThicknessCm * static_cast<double>(layer) - kLayerThicknessCm / 2;
}

bool PositiveFinite(double value) {
    return std::isfinite(value) && value > 0;
}

bool Agree(double a, double b) {
    return std::abs(a - b) <= kSameSumTolerance * std::max(std::abs(a), std::abs(b));
}

// Highest bin of the case's spectrum, or 0 when the case has no voltage on the grid.
long LastBinOfCase(const CalculationCase& c) {
    if (!PositiveFinite(c.TubeVoltage)) {
        return 0;
    }
    try {
        const long last = LastSpectrumBin(c.TubeVoltage);
        return last >= 2 && last <= kFineGridSize ? last : 0;
    } catch (const CalculationError&) {
        return 0;
    }
}

// The work arrays hold the case's beam: the photon spectrum is finite, not empty, and gives
// the mean energy ComputeBeamQuality recorded, by the same sum.
bool HoldsCaseBeam(const EngineState& state, long last_bin) {
    const CalculationCase& c = state.calc;
    if (last_bin == 0 || !PositiveFinite(c.MeanEnergy) || !PositiveFinite(c.HalfValueLayer)) {
        return false;
    }
    double photons = 0;
    double energy = 0;
    for (long i = 2; i <= last_bin; ++i) {
        const double n = state.work.PhotonSpectrum[i];
        if (!std::isfinite(n) || n < 0) {
            return false;
        }
        photons += n;
        energy += n * kBinWidthKev * static_cast<double>(i);
    }
    return photons > 0 && Agree(energy / photons, c.MeanEnergy);
}

CurveBeam BeamOfCase(const CalculationCase& c) {
    return {c.TubeVoltage, {c.HalfValueLayer, c.MeanEnergy}};
}

// Primary dose at the surface, as the depth step sums it at depth 0 (no attenuation, no
// inverse square): the photon spectrum weighted by PrimaryFine.
double PrimaryAtSurface(const EngineState& state, long last_bin) {
    double dose = 0;
    for (long e = kFirstPrimaryBin; e <= last_bin; ++e) {
        dose += state.tables.PrimaryFine[e] * state.work.PhotonSpectrum[e];
    }
    return dose;
}

// The depth step's tables hold one finished run: finite doses, a positive first layer and
// the percent table that FillDepthDoseTable makes from them.
bool DepthTablesComplete(const DepthTables& t) {
    const double first = t.PrimaryDepthDose[1] + t.ScatterDepthDose[1];
    if (!PositiveFinite(first)) {
        return false;
    }
    for (long z = 1; z <= kDepthLayerCount; ++z) {
        const double total = t.PrimaryDepthDose[z] + t.ScatterDepthDose[z];
        if (!std::isfinite(total) || total < 0 ||
            !Agree(t.DepthDoseTable(3, z), 100 * total / first)) {
            return false;
        }
    }
    return true;
}

}  // namespace

SpectrumCurve SpectrumCurveOf(const EngineState& state) {
    const CalculationCase& c = state.calc;
    const long last_bin = LastBinOfCase(c);
    if (!HoldsCaseBeam(state, last_bin) || !std::isfinite(c.CouchDepth) || c.CouchDepth < 0) {
        return {};
    }
    SpectrumCurve curve;
    curve.beam = BeamOfCase(c);
    curve.couch_depth_cm = c.CouchDepth;
    for (long i = 2; i <= last_bin; ++i) {
        const double per_kev = state.work.PhotonSpectrum[i] / kBinWidthKev;
        curve.energy_kev.push_back(kBinWidthKev * static_cast<double>(i));
        curve.photons_per_kev.push_back(per_kev);
        if (c.CouchDepth > 0) {
            const double behind = per_kev * std::exp(-state.tables.MuPhantom[i] * c.CouchDepth);
            if (!std::isfinite(behind)) {
                return {};
            }
            curve.behind_couch_per_kev.push_back(behind);
        }
    }
    return curve;
}

DepthDoseCurve DepthDoseCurveOf(const EngineState& state) {
    const CalculationCase& c = state.calc;
    const long last_bin = LastBinOfCase(c);
    if (!HoldsCaseBeam(state, last_bin)) {
        return {};
    }
    if (c.Model == DoseModel::Validated && c.Couch == CouchModel::TableTop) {
        DepthDoseCurve curve;
        curve.beam = BeamOfCase(c);
        curve.table_top = true;
        return curve;
    }
    const double surface_dose = c.MeanBackscatterFactor * PrimaryAtSurface(state, last_bin);
    if (!PositiveFinite(surface_dose) || !DepthTablesComplete(state.depth) ||
        !std::isfinite(c.CouchDepth) || c.CouchDepth < 0) {
        return {};
    }
    DepthDoseCurve curve;
    curve.beam = BeamOfCase(c);
    curve.skin_depth_cm = c.CouchDepth;
    curve.depth_cm.push_back(0);
    curve.relative_dose.push_back(1);
    for (long z = 1; z <= kDepthLayerCount; ++z) {
        curve.depth_cm.push_back(LayerCentreCm(z));
        curve.relative_dose.push_back(
            (state.depth.PrimaryDepthDose[z] + state.depth.ScatterDepthDose[z]) / surface_dose);
    }
    return curve;
}

BeamCurves BeamCurvesOf(const EngineState& state) {
    return {SpectrumCurveOf(state), DepthDoseCurveOf(state)};
}

std::optional<double> RelativeDoseAt(const DepthDoseCurve& curve, double depth_cm) {
    const std::vector<double>& x = curve.depth_cm;
    const std::vector<double>& y = curve.relative_dose;
    if (x.empty() || x.size() != y.size() || !(depth_cm >= x.front()) || !(depth_cm <= x.back())) {
        return std::nullopt;
    }
    for (size_t k = 1; k < x.size(); ++k) {
        if (depth_cm <= x[k]) {
            const double width = x[k] - x[k - 1];
            const double value =
                width > 0 ? y[k - 1] + (y[k] - y[k - 1]) * (depth_cm - x[k - 1]) / width : y[k];
            return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
        }
    }
    return y.front();  // a curve of one point
}

}  // namespace korvex
