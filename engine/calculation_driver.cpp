#include "engine/calculation_driver.h"

#include <cmath>
#include <numbers>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "engine/backscatter.h"
#include "engine/beam_quality.h"
#include "engine/checked_math.h"
#include "engine/couch_scatter_table.h"
#include "engine/depth_dose.h"
#include "engine/dose_uncertainty.h"
#include "engine/engine_state.h"
#include "engine/errors.h"
#include "engine/spectrum.h"
#include "engine/text_rules.h"

namespace korvex {
namespace {

void Show(CalculationOutcome& outcome, DisplayIndex index, double value, const char* pattern) {
    outcome.displays[index] = FormatNumber(value, pattern);
}

// Distance from the focus to the reference point, cm, from the device's own distance.
double ReferenceDistance(const CalculationCase& c) {
    const double distance = c.FocusIsocentreDistance - kReferencePointOffset;
    if (!(distance > 0.0)) {
        throw CalculationError("reference point at " + ReasonNumber(distance) +
                               " cm does not lie in front of the focus");
    }
    return distance;
}

// The validated model with a table top under a mattress: no tissue layer, the phantom
// surface at the skin, the table top's transmission and scatter instead.
bool UsesTableTop(const CalculationCase& c) {
    return c.Model == DoseModel::Validated && c.Couch == CouchModel::TableTop;
}

// S_c for the case's beam, field at the skin, couch and mattress; reads the table once.
double CouchScatterRatioOfCase(EngineState& state) {
    const CalculationCase& c = state.calc;
    if (!state.couch_scatter) {
        try {
            state.couch_scatter = ReadCouchScatterTable(state.working_folder);
        } catch (const FileError& error) {
            throw CalculationError(std::string("couch-scatter table: ") + error.what());
        }
    }
    CouchScatterQuery query;
    query.tube_voltage_kv = c.TubeVoltage;
    query.half_value_layer_mm = c.HalfValueLayer;
    // A circle enters as the square of its area.
    query.field_side_cm = c.FieldShape == FieldShapeKind::Circle
                              ? c.SurfaceFieldSizeA * std::sqrt(std::numbers::pi) / 2
                              : std::sqrt(c.SurfaceFieldSizeA * c.SurfaceFieldSizeB);
    query.transmission = c.CouchTransmission;
    query.mattress_cm = c.MattressThickness;
    CouchScatterLookup lookup = LookUpCouchScatter(*state.couch_scatter, query);
    state.calc.CouchScatterBeyondTable = std::move(lookup.clamped);
    return Finite(lookup.ratio, "couch scatter ratio");
}

// The table-top model's dose at the skin per unit primary air kerma there, before the
// couch: B of the beam behind the couch times 1 + S_c.
double TableTopDosePerKerma(EngineState& state) {
    CalculationCase& c = state.calc;
    ComputeBackscatterFactor(state, c.CouchDepth);
    c.CouchScatterRatio = CouchScatterRatioOfCase(state);
    c.DepthFactor = 1;
    return c.MeanBackscatterFactor * (1 + c.CouchScatterRatio);
}

// The backscatter and depth steps with the field side scaled by `scale`: the skin dose per
// unit air kerma at the layer's surface, B G (B (1 + S_c) behind a table top); nullopt
// when the steps fail for that field.
std::optional<double> DosePerKermaForField(EngineState& state, double scale) {
    CalculationCase& c = state.calc;
    const double a = c.SurfaceFieldSizeA;
    const double b = c.SurfaceFieldSizeB;
    c.SurfaceFieldSizeA = a * scale;
    c.SurfaceFieldSizeB = b * scale;
    std::optional<double> result;
    try {
        if (UsesTableTop(c)) {
            result = TableTopDosePerKerma(state);
        } else {
            ComputeBackscatterFactor(state);
            if (ComputeDepthFactor(state).succeeded) {
                result = c.MeanBackscatterFactor * c.DepthFactor;
            }
        }
    } catch (const CalculationError&) {
    }
    c.SurfaceFieldSizeA = a;
    c.SurfaceFieldSizeB = b;
    return result;
}

// Both models: the skin dose is the layer's surface dose carried to the couch depth, and
// the factor shown beside it relates it to the primary dose at the skin.
void StoreSkinDose(CalculationCase& c, double layer_surface_dose) {
    const double skin_dose = Finite(c.DepthFactor * layer_surface_dose, "skin dose");
    const double primary_surface_dose =
        Finite(c.DoseToKermaRatio * c.PrimaryAirKerma, "primary surface dose");
    const double forward_backscatter =
        Divide(skin_dose, primary_surface_dose, "forward-backscatter factor");
    c.LayerSurfaceDose = layer_surface_dose;
    c.SkinDose = skin_dose;
    c.PrimarySurfaceDose = primary_surface_dose;
    c.ForwardBackscatterFactor = forward_backscatter;
}

// The validated model's skin dose and its budget, after the depth step. The field-size part
// compares the doses of the two scaled fields, computed before the nominal one so that the
// steps leave their tables as the nominal field made them.
void CombineValidated(EngineState& state, const std::optional<double>& smaller,
                      const std::optional<double>& larger, CalculationOutcome& outcome) {
    CalculationCase& c = state.calc;
    const double d = c.DoseToKermaRatio;
    const double b = c.MeanBackscatterFactor;
    const double to_layer =
        Divide(ReferenceDistance(c), c.EffectiveSurfaceDistance, "inverse square to the layer");
    const double layer_kerma =
        Finite(c.CorrectedKar * (to_layer * to_layer), "air kerma at the layer surface");
    // Behind a table top the layer's surface is the skin: the primary dose there is D T_n
    // of the transmitted beam's own dose-to-kerma ratio, and the table top adds S_c.
    const bool table_top = UsesTableTop(c);
    const double behind_couch = table_top
                                    ? PhantomDoseTransmission(state, c.TubeVoltage, c.CouchDepth) *
                                          (1 + c.CouchScatterRatio)
                                    : 1.0;
    StoreSkinDose(c, Finite(b * d * behind_couch * layer_kerma, "layer surface dose"));

    c.SkinDoseUncertainty = 0;
    c.UncertaintyBudget = {};
    outcome.uncertainty_display = "";
    const double nominal = table_top ? b * (1 + c.CouchScatterRatio) : b * c.DepthFactor;
    if (const std::optional<double> field = FieldSizePart(smaller, nominal, larger)) {
        c.UncertaintyBudget =
            ValidatedSkinDoseBudget(c.FocusSkinDistance, c.FocusIsocentreDistance, *field,
                                    table_top ? budget::kTableTopModel : budget::kModel);
        c.SkinDoseUncertainty = Finite(c.UncertaintyBudget.Expanded(), "uncertainty");
        outcome.uncertainty_display = UncertaintyText(c.SkinDoseUncertainty);
    } else {
        outcome.reason = "the uncertainty of the field size could not be computed";
    }
}

void CombineLegacy(CalculationCase& c, CalculationOutcome& outcome) {
    const double d = c.DoseToKermaRatio;
    const double b = c.MeanBackscatterFactor;
    const double distance_ratio =
        Divide(c.FocusSkinDistance, c.EffectiveSurfaceDistance, "inverse-square factor");
    StoreSkinDose(c, Finite(b * (d * ((distance_ratio * distance_ratio) * c.PrimaryAirKerma)),
                            "layer surface dose"));
    c.SkinDoseUncertainty = 0;
    c.UncertaintyBudget = {};
    outcome.uncertainty_display = "";
}

// The case's own readings: model, tube voltage, distance, the couch from the device.
void ReadCase(CalculationCase& c, const CalculationInputs& inputs) {
    c.Model = inputs.Model;
    c.TubeVoltage = LeadingNumber(inputs.TubeVoltageText);
    c.FocusSkinDistance = LeadingNumber(inputs.FocusSkinDistanceText);
    c.CouchDepth = c.CouchEquivalentThickness;
    c.TableTopTransmission = 0;
    c.CouchScatterRatio = 0;
    c.CouchScatterBeyondTable.clear();
}

// The displayed readings times the device's correction factor; the legacy formula takes
// T cKa,r as the kerma at the skin.
void CorrectReadings(CalculationCase& c, CalculationOutcome& outcome) {
    const double k = c.KermaCorrectionFactor;
    const double transmission = c.CouchTransmission;
    c.CorrectedKar = Finite(k * c.DisplayedKar, "corrected Ka,r");
    Show(outcome, kCorrectedKarDisplay, c.CorrectedKar, "###0.0");
    c.CorrectedPka = Finite(k * c.DisplayedPka, "corrected P_KA");
    Show(outcome, kCorrectedPkaDisplay, c.CorrectedPka, "###0.0");
    Show(outcome, kCouchTransmissionDisplay, Finite(transmission, "couch transmission"), "0.000");
    if (c.Model == DoseModel::Legacy) {
        c.PrimaryAirKerma = Finite(transmission * c.CorrectedKar, "primary air kerma");
        Show(outcome, kPrimaryAirKermaDisplay, c.PrimaryAirKerma, "###0.0");
    }
}

// The field, given at the reference point, scaled to the effective surface.
void ScaleFieldToSurface(CalculationCase& c, const CalculationInputs& inputs) {
    // Behind a table top the phantom's surface is the skin; a layer's surface lies d_c nearer.
    c.EffectiveSurfaceDistance = Finite(c.FocusSkinDistance - (UsesTableTop(c) ? 0 : c.CouchDepth),
                                        "effective surface distance");
    const double field_size = LeadingNumber(inputs.FieldSizeText);
    c.ReferenceFieldSize = field_size;
    c.SurfaceFieldSizeA =
        Divide(c.EffectiveSurfaceDistance * field_size,
               c.FocusIsocentreDistance - kReferencePointOffset, "field size at the surface");
    c.SurfaceFieldSizeB = c.SurfaceFieldSizeA;
}

// The skin dose per kerma of fields a field-size uncertainty smaller and larger; the
// nominal field's factors are computed afterwards, so they are the ones the case keeps.
struct FieldSizeBounds {
    std::optional<double> smaller;
    std::optional<double> larger;
};

// The validated model's primary air kerma at the skin: the reference point's kerma
// carried to the skin's own distance and through the couch layer, for this beam.
FieldSizeBounds CarryKermaToSkin(EngineState& state, CalculationOutcome& outcome) {
    CalculationCase& c = state.calc;
    const double to_skin =
        Divide(ReferenceDistance(c), c.FocusSkinDistance, "inverse square to the skin");
    const double transmission = PhantomTransmission(state, c.TubeVoltage, c.CouchDepth);
    c.TableTopTransmission = UsesTableTop(c) ? transmission : 0;
    c.PrimaryAirKerma =
        Finite(c.CorrectedKar * (to_skin * to_skin) * transmission, "primary air kerma");
    Show(outcome, kPrimaryAirKermaDisplay, c.PrimaryAirKerma, "###0.0");
    const double depth_factor = c.DepthFactor;
    const double backscatter = c.MeanBackscatterFactor;
    FieldSizeBounds bounds{DosePerKermaForField(state, 1 - FieldSideUncertainty()),
                           DosePerKermaForField(state, 1 + FieldSideUncertainty())};
    c.DepthFactor = depth_factor;  // a failure below leaves them as they were
    c.MeanBackscatterFactor = backscatter;
    return bounds;
}

void CombineSkinDose(EngineState& state, const FieldSizeBounds& bounds,
                     CalculationOutcome& outcome) {
    CalculationCase& c = state.calc;
    if (c.Model == DoseModel::Legacy) {
        CombineLegacy(c, outcome);
    } else {
        CombineValidated(state, bounds.smaller, bounds.larger, outcome);
    }
    Show(outcome, kForwardBackscatterDisplay, c.ForwardBackscatterFactor, "0.000");
    Show(outcome, kSkinDoseDisplay, c.SkinDose, "####0.0");
}

// From the readings to the skin dose; returns false when the depth step failed.
bool Calculate(EngineState& state, const CalculationInputs& inputs, CalculationOutcome& outcome,
               std::string& depth_reason) {
    CalculationCase& c = state.calc;
    ReadCase(c, inputs);
    CorrectReadings(c, outcome);
    ScaleFieldToSurface(c, inputs);
    ComputeSpectrum(state, c.TubeVoltage);
    Show(outcome, kDoseToKermaRatioDisplay, c.DoseToKermaRatio, "0.000");
    const BeamQuality quality = ComputeBeamQuality(state, c.TubeVoltage);
    c.HalfValueLayer = quality.half_value_layer_mm;
    c.MeanEnergy = quality.mean_energy_kev;
    outcome.beam_quality_display = BeamQualityText(quality);
    const FieldSizeBounds bounds =
        c.Model == DoseModel::Legacy ? FieldSizeBounds{} : CarryKermaToSkin(state, outcome);
    if (UsesTableTop(c)) {
        TableTopDosePerKerma(state);
    } else {
        ComputeBackscatterFactor(state);
        const DepthStepResult depth = ComputeDepthFactor(state);
        if (!depth.succeeded) {
            depth_reason = depth.reason;
            return false;
        }
    }
    CombineSkinDose(state, bounds, outcome);
    return true;
}

// Every numeric input must be present and not zero. Each is tested on its own (a product
// of tiny values could round to zero).
bool HasEveryInput(const CalculationInputs& inputs) {
    for (const std::string* text : {&inputs.TubeVoltageText, &inputs.KarText, &inputs.PkaText,
                                    &inputs.FocusSkinDistanceText}) {
        if (LeadingNumber(*text) == 0.0) {
            return false;
        }
    }
    return true;
}

}  // namespace

CalculationOutcome RunCalculation(EngineState& state, const CalculationInputs& inputs) {
    CalculationOutcome outcome;

    // The body site is recorded even when a missing input stops the calculation.
    state.calc.BodySite = inputs.BodySiteText.empty() ? kNoBodySite : inputs.BodySiteText;
    if (!HasEveryInput(inputs)) {
        outcome.result = CalculationOutcome::Result::MissingInput;
        outcome.message = UserMessage{kMissingInputMessage, MessageIcon::Exclamation, false};
        outcome.reason = "an input is empty, zero or not a number";
        return outcome;
    }

    std::string depth_reason;
    const ScatterKernelCache::OneCheckPerFile kernels_checked_once(state.kernel_cache);
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
