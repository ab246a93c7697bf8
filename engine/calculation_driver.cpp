#include "engine/calculation_driver.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "engine/backscatter.h"
#include "engine/checked_math.h"
#include "engine/depth_dose.h"
#include "engine/engine_state.h"
#include "engine/errors.h"
#include "engine/spectrum.h"
#include "engine/text_rules.h"

namespace korvex {
namespace {

// Steps 3 to 11; returns false when the depth step failed.
bool Calculate(EngineState& state, const CalculationInputs& inputs, CalculationOutcome& outcome,
               std::string& depth_reason) {
    CalculationCase& c = state.calc;
    auto show = [&outcome](DisplayIndex index, double value, const char* pattern) {
        outcome.displays[index] = FormatNumber(value, pattern);
    };

    // 3., 4.
    c.TubeVoltage = LeadingNumber(inputs.TubeVoltageText);
    c.FocusSkinDistance = LeadingNumber(inputs.FocusSkinDistanceText);
    const double k = c.KermaCorrectionFactor;
    const double transmission = c.CouchTransmission;
    c.CouchDepth = c.CouchEquivalentThickness;

    // 5. Corrected readings and the primary air kerma behind the couch.
    c.CorrectedKar = Finite(k * c.DisplayedKar, "corrected Ka,r");
    show(kCorrectedKarDisplay, c.CorrectedKar, "###0.0");
    c.CorrectedPka = Finite(k * c.DisplayedPka, "corrected P_KA");
    show(kCorrectedPkaDisplay, c.CorrectedPka, "###0.0");
    show(kCouchTransmissionDisplay, Finite(transmission, "couch transmission"), "0.000");
    c.PrimaryAirKerma = Finite(transmission * c.CorrectedKar, "primary air kerma");
    show(kPrimaryAirKermaDisplay, c.PrimaryAirKerma, "###0.0");

    // 6., 7. The field, given at the reference point, scaled to the effective surface.
    c.EffectiveSurfaceDistance =
        Finite(c.FocusSkinDistance - c.CouchDepth, "effective surface distance");
    const double field_size = LeadingNumber(inputs.FieldSizeText);
    c.ReferenceFieldSize = field_size;
    c.SurfaceFieldSizeA =
        Divide(c.EffectiveSurfaceDistance * field_size,
               c.FocusIsocentreDistance - kReferencePointOffset, "field size at the surface");
    c.SurfaceFieldSizeB = c.SurfaceFieldSizeA;

    // 8. - 10.
    ComputeSpectrum(state, c.TubeVoltage);
    show(kDoseToKermaRatioDisplay, c.DoseToKermaRatio, "0.000");
    ComputeBackscatterFactor(state);
    const DepthStepResult depth = ComputeDepthFactor(state);
    if (!depth.Succeeded) {
        depth_reason = depth.reason;
        return false;
    }

    // 11. Skin dose.
    const double d = c.DoseToKermaRatio;
    const double b = c.MeanBackscatterFactor;
    const double g = c.DepthFactor;
    const double distance_ratio =
        Divide(c.FocusSkinDistance, c.EffectiveSurfaceDistance, "inverse-square factor");
    const double layer_surface_dose = Finite(
        b * (d * ((distance_ratio * distance_ratio) * c.PrimaryAirKerma)), "layer surface dose");
    const double skin_dose = Finite(g * layer_surface_dose, "skin dose");
    const double primary_surface_dose = Finite(d * c.PrimaryAirKerma, "primary surface dose");
    const double forward_backscatter =
        Divide(skin_dose, primary_surface_dose, "forward-backscatter factor");
    c.LayerSurfaceDose = layer_surface_dose;
    c.SkinDose = skin_dose;
    c.PrimarySurfaceDose = primary_surface_dose;
    c.ForwardBackscatterFactor = forward_backscatter;
    show(kForwardBackscatterDisplay, c.ForwardBackscatterFactor, "0.000");
    show(kSkinDoseDisplay, c.SkinDose, "####0.0");
    return true;
}

}  // namespace

CalculationOutcome RunCalculation(EngineState& state, const CalculationInputs& inputs) {
    CalculationOutcome outcome;

    // 1. The body site is recorded even when the check below stops the calculation.
    state.calc.BodySite = inputs.BodySiteText.empty() ? kNoBodySite : inputs.BodySiteText;

    // 2. Every numeric input must be present and not zero. Each is tested on its own (a
    // product of tiny values could round to zero).
    for (const std::string* text : {&inputs.TubeVoltageText, &inputs.KarText, &inputs.PkaText,
                                    &inputs.FocusSkinDistanceText}) {
        if (LeadingNumber(*text) == 0.0) {
            outcome.result = CalculationOutcome::Result::MissingInput;
            outcome.message = UserMessage{kMissingInputMessage, MessageIcon::Exclamation, false};
            outcome.reason = "an input is empty, zero or not a number";
            return outcome;
        }
    }

    // 3. - 13.
    std::string depth_reason;
    try {
        if (Calculate(state, inputs, outcome, depth_reason)) {
            outcome.result = CalculationOutcome::Result::Succeeded;
            outcome.enable_add_and_clear = true;
        } else {
            outcome.result = CalculationOutcome::Result::DepthStepFailed;
            outcome.displays[kForwardBackscatterDisplay] = kNotCalculatedDisplay;
            outcome.displays[kSkinDoseDisplay] = kNotCalculatedDisplay;
            outcome.message =
                UserMessage{kDepthStepFailureMessage, MessageIcon::Exclamation, false};
            outcome.reason = depth_reason;
        }
    } catch (const CalculationError& error) {
        outcome.result = CalculationOutcome::Result::Failed;
        outcome.message = UserMessage{kCalculationFailureMessage, MessageIcon::Exclamation, true};
        outcome.reason = error.what();
    } catch (const std::invalid_argument& error) {
        // A value that cannot be shown (not finite) is a failed calculation too.
        outcome.result = CalculationOutcome::Result::Failed;
        outcome.message = UserMessage{kCalculationFailureMessage, MessageIcon::Exclamation, true};
        outcome.reason = error.what();
    }
    return outcome;
}

}  // namespace korvex
