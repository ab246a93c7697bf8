#include "engine/dose_uncertainty.h"

#include <cmath>

#include "engine/checked_math.h"
#include "engine/text_rules.h"

namespace korvex {

double RectangularUncertainty(double limit) {
    return limit / std::sqrt(3.0);
}

double FieldSideUncertainty() {
    return 0.5 * RectangularUncertainty(budget::kFieldAreaLimit);
}

std::string UncertaintyText(double relative) {
    return "± " + FormatNumber(100 * relative, "#0") + " %";
}

double SkinDoseBudget::Expanded() const {
    return budget::kCoverageFactor *
           std::sqrt(Model * Model + Data * Data + Calibration * Calibration +
                     FocusSkinDistance * FocusSkinDistance + FieldSize * FieldSize);
}

SkinDoseBudget ValidatedSkinDoseBudget(double focus_skin_distance_cm,
                                       double focus_isocentre_distance_cm, double field_size_part,
                                       double model_part) {
    if (!(focus_skin_distance_cm > 0.0) || !(focus_isocentre_distance_cm > 0.0)) {
        throw CalculationError("distances of the uncertainty budget are not positive");
    }
    // A distance error dx in an inverse square changes the dose by 2 dx / x.
    const double position =
        2 * RectangularUncertainty(budget::kChamberPositionLimitCm) / focus_isocentre_distance_cm;
    const double energy = RectangularUncertainty(budget::kDosimeterEnergyLimit);
    SkinDoseBudget parts;
    parts.Model = model_part;
    parts.Data = budget::kData;
    parts.Calibration = std::sqrt(budget::kDosimeterCalibration * budget::kDosimeterCalibration +
                                  energy * energy + position * position);
    parts.FocusSkinDistance = Finite(
        2 * RectangularUncertainty(budget::kFocusSkinDistanceLimitCm) / focus_skin_distance_cm,
        "focus-skin distance uncertainty");
    parts.FieldSize = Finite(field_size_part, "field-size uncertainty");
    return parts;
}

std::optional<double> FieldSizePart(std::optional<double> smaller, double nominal,
                                    std::optional<double> larger) {
    if (smaller && larger && *smaller + *larger > 0.0) {
        return std::abs(*larger - *smaller) / (*smaller + *larger);
    }
    const std::optional<double> one = smaller ? smaller : larger;
    if (one && nominal > 0.0) {
        return std::abs(*one - nominal) / nominal;
    }
    return std::nullopt;
}

}  // namespace korvex
