#pragma once

#include <optional>
#include <vector>

#include "engine/beam_quality.h"
#include "engine/engine_state.h"

namespace korvex {

// The beam a curve belongs to, for its caption: the case's tube voltage, first half-value
// layer and mean photon energy (engine/beam_quality.h).
struct CurveBeam {
    double tube_voltage_kv = 0;
    BeamQuality quality;
};

// The photon spectrum of the last calculation, on the fine grid the engine models it on.
struct SpectrumCurve {
    CurveBeam beam;
    // Bin energies 0.5 i keV for i = 2 .. 2V: 1.0, 1.5, ..., V keV.
    std::vector<double> energy_kev;
    // Photons per keV after the device's filtration, where the beam meets the couch: the
    // engine's PhotonSpectrum (the fraction of the photons in each 0.5 keV bin, summing to
    // 1) over the bin width, so that it integrates to 1 over energy. Bremsstrahlung and,
    // above 70 kV, the tungsten K lines as the model places them.
    std::vector<double> photons_per_kev;
    // The same photons behind the couch-equivalent layer, narrow beam: each bin times
    // exp(-mu_phantom(E) d_c), the attenuation the depth step gives the primary beam and the
    // couch transmission gives the air kerma. In photons per keV of the beam before the
    // couch, so that it integrates to the layer's photon transmission. Empty when d_c is 0.
    std::vector<double> behind_couch_per_kev;
    double couch_depth_cm = 0;  // d_c, CouchDepth

    bool Empty() const { return energy_kev.empty(); }
};

// The depth-dose curve on the central axis through the couch-equivalent layer into the
// phantom, from the depth step's tables for the case's beam, field and distance.
struct DepthDoseCurve {
    CurveBeam beam;
    // 0 (the phantom's surface, where the couch-equivalent layer begins), then the centres
    // of the 40 layers of 0.5 cm: 0.25, 0.75, ..., 19.75 cm.
    std::vector<double> depth_cm;
    // Dose over the dose at the surface, the validated model's normalisation: the surface
    // dose is B P(0) (MeanBackscatterFactor times the primary dose there), the dose at a
    // layer centre the primary plus the kernels' scatter there. Between the points the
    // curve runs linearly, as the depth step runs the scatter; the primary it takes at the
    // point itself, so a value read between two points differs from the step's by the
    // primary's curvature. The legacy formula's DepthFactor is relative to the first layer
    // instead: the curve at d_c over the curve at 0.25 cm.
    std::vector<double> relative_dose;
    double skin_depth_cm = 0;  // d_c, CouchDepth: the skin lies behind the layer
    // A table top under a mattress (validated model): the skin is the phantom's surface and
    // the engine carries no dose through a layer, so there is no curve.
    bool table_top = false;

    bool Empty() const { return depth_cm.empty(); }
};

struct BeamCurves {
    SpectrumCurve spectrum;
    DepthDoseCurve depth_dose;
};

// The curves of the calculation the state holds, from the engine's own arrays. They are
// meant to be taken right after a successful RunCalculation; what can be checked is: a
// curve is empty before any calculation, when an array or factor is not finite or not
// positive where it must be, when the photon spectrum no longer gives the case's mean
// energy (a later spectrum, such as a device calibration's, overwrote it), and when the
// depth tables disagree among themselves (a depth step that failed part-way). No value
// of a curve is NaN or infinite.
SpectrumCurve SpectrumCurveOf(const EngineState& state);
DepthDoseCurve DepthDoseCurveOf(const EngineState& state);
BeamCurves BeamCurvesOf(const EngineState& state);

// The curve read linearly between its points at `depth_cm`; nullopt for an empty curve, a
// depth outside it or a value that is not finite.
std::optional<double> RelativeDoseAt(const DepthDoseCurve& curve, double depth_cm);

}  // namespace korvex
