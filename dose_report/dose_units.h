#pragma once

#include <optional>
#include <string_view>

namespace korvex {

// The quantities a dose report gives as numeric items, each converted to the program's unit.
enum class ReportQuantity {
    DoseRp,           // mGy
    DoseAreaProduct,  // Gy*cm^2
    TubeVoltage,      // kV
    Thickness,        // mm
    Angle,            // degrees
    Distance,         // cm
    Area,             // cm^2
    Mass,             // kg
};

// The factor that converts a value given in the UCUM unit `unit_code` (decoded text, so that
// "°" is itself) to the program's unit of the quantity; nullopt for a unit that is not
// known for it. Besides the standard's
// units this accepts those that real units write: mGy for Dose (RP), "Gym2" and several
// cm^2 forms for the dose-area product.
std::optional<double> UnitFactor(ReportQuantity quantity, std::string_view unit_code);

// The program's unit of the quantity as the user reads it ("mGy", "Gy·cm²", ...).
std::string_view ProgramUnit(ReportQuantity quantity);

// The unit PS3.16 (TID 10003) writes the quantity in: Gy, Gy.m2, kV, mm, deg, mm, m2. A
// value in another accepted unit is read, and noted as converted.
std::string_view TemplateUnit(ReportQuantity quantity);

}  // namespace korvex
