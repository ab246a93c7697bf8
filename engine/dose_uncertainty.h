#pragma once

#include <optional>
#include <string>

namespace korvex {

// The uncertainty budget of the validated model's skin dose. Each part is a relative
// standard uncertainty (k = 1); docs/validation.md gives the source of every figure.
namespace budget {

// The method against the project's full Monte Carlo of the same exposure: the root mean
// square of the 16 exposures of the validation matrix (0.92 %), rounded up.
inline constexpr double kModel = 0.010;
// The same for the table-top couch model against the simulation of a carbon-fibre table top
// under a mattress: the root mean square of its 24 exposures (1.2 %), rounded up.
inline constexpr double kTableTopModel = 0.015;
// The bundled data: the backscatter kernel against published Monte Carlo backscatter factors
// for water (largest deviation 0.66 %) and the mass energy-absorption coefficients against
// NIST (0.1 %), combined.
inline constexpr double kData = 0.007;
// The calibration coefficient of the dosimeter that measured the air kerma behind the
// correction factor: assumed 3 % (k = 2), the order a calibration certificate of a
// diagnostic dosimeter states for the RQR qualities; the user's own certificate may differ.
inline constexpr double kDosimeterCalibration = 0.015;
// The dosimeter's energy dependence between its calibration quality and the room's beam:
// the limits of ±5 % of IEC 61674, as a rectangular distribution.
inline constexpr double kDosimeterEnergyLimit = 0.05;
// The chamber's position at the isocentre during the calibration measurement: ±0.5 cm,
// rectangular; it enters through the inverse square to the reference point.
inline constexpr double kChamberPositionLimitCm = 0.5;
// The focus-skin distance the user enters: ±2 cm, rectangular (the skin's height read off
// the couch height and the patient's thickness); it enters through the inverse square.
inline constexpr double kFocusSkinDistanceLimitCm = 2.0;
// The field area P_KA / Ka,r: assumed within ±25 %, rectangular. Both displays are
// corrected by the one factor k, so their ratio carries only what their own calibrations
// differ by. The skin dose's sensitivity to it is computed per case and small (below 2 %).
inline constexpr double kFieldAreaLimit = 0.25;

inline constexpr double kCoverageFactor = 2;

}  // namespace budget

// Standard uncertainty of a rectangular distribution of half width `limit`.
double RectangularUncertainty(double limit);

// The field side's relative standard uncertainty: half the area's.
double FieldSideUncertainty();

// The parts of one skin dose's budget (relative, k = 1) and their combination.
struct SkinDoseBudget {
    double Model = 0;
    double Data = 0;
    double Calibration = 0;
    double FocusSkinDistance = 0;
    double FieldSize = 0;

    // Relative expanded uncertainty (k = 2) of the sum of the parts in quadrature.
    double Expanded() const;
};

// The budget of a validated skin dose at the focus-skin distance and focus-isocentre
// distance (cm) given, with the field-size part already known. Throws CalculationError
// when a distance is not positive.
SkinDoseBudget ValidatedSkinDoseBudget(double focus_skin_distance_cm,
                                       double focus_isocentre_distance_cm, double field_size_part,
                                       double model_part = budget::kModel);

// A relative expanded uncertainty as the windows show it beside a dose: "± 10 %".
std::string UncertaintyText(double relative);

// The field-size part from the skin dose per unit kerma computed with the field side scaled
// by (1 - u) and (1 + u), u = FieldSideUncertainty(): half their difference relative to
// their mean. Where only one of them could be computed, its difference from the nominal
// one; nullopt when neither could.
std::optional<double> FieldSizePart(std::optional<double> smaller, double nominal,
                                    std::optional<double> larger);

}  // namespace korvex
