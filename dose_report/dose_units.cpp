#include "dose_report/dose_units.h"

#include <array>
#include <numbers>
#include <string_view>

namespace korvex {
namespace {

struct UnitEntry {
    ReportQuantity quantity;
    std::string_view code;  // UCUM code value, case-sensitive as UCUM requires
    double factor;          // to the program's unit
};

// The standard gives Dose (RP) in Gy and the dose-area product in Gy.m2 (PS3.16 TID 10003);
// the other forms were found in files of real units.
constexpr double kDegreesPerRadian = 180 / std::numbers::pi;

constexpr std::array<UnitEntry, 26> kUnits{{
    {ReportQuantity::DoseRp, "Gy", 1000.0},
    {ReportQuantity::DoseRp, "mGy", 1.0},
    {ReportQuantity::DoseAreaProduct, "Gy.m2", 1.0e4},
    {ReportQuantity::DoseAreaProduct, "Gym2", 1.0e4},
    {ReportQuantity::DoseAreaProduct, "dGy.cm2", 0.1},
    {ReportQuantity::DoseAreaProduct, "cGy.cm2", 0.01},
    {ReportQuantity::DoseAreaProduct, "mGy.cm2", 0.001},
    {ReportQuantity::DoseAreaProduct, "uGy.m2", 0.01},
    {ReportQuantity::DoseAreaProduct, "Gy.cm2", 1.0},
    {ReportQuantity::TubeVoltage, "kV", 1.0},
    {ReportQuantity::Thickness, "mm", 1.0},
    {ReportQuantity::Thickness, "cm", 10.0},
    {ReportQuantity::Thickness, "um", 0.001},
    {ReportQuantity::Angle, "deg", 1.0},
    {ReportQuantity::Angle, "rad", kDegreesPerRadian},
    {ReportQuantity::Distance, "mm", 0.1},
    {ReportQuantity::Distance, "cm", 1.0},
    {ReportQuantity::Distance, "m", 100.0},
    {ReportQuantity::Area, "m2", 1.0e4},
    {ReportQuantity::Area, "cm2", 1.0},
    {ReportQuantity::Area, "mm2", 0.01},
    {ReportQuantity::Mass, "kg", 1.0},
    {ReportQuantity::Mass, "g", 0.001},
    // Angles and kV appear with these non-UCUM spellings; their meaning is not in doubt.
    {ReportQuantity::Angle, "degrees", 1.0},
    {ReportQuantity::Angle, "°", 1.0},
    {ReportQuantity::TubeVoltage, "kVp", 1.0},
}};

}  // namespace

std::optional<double> UnitFactor(ReportQuantity quantity, std::string_view unit_code) {
    for (const UnitEntry& entry : kUnits) {
        if (entry.quantity == quantity && entry.code == unit_code) {
            return entry.factor;
        }
    }
    return std::nullopt;
}

namespace {

// Per quantity: the unit the program shows it in, and the one PS3.16 (TID 10003) writes.
struct QuantityUnits {
    ReportQuantity quantity;
    std::string_view program;
    std::string_view standard;
};

constexpr std::array<QuantityUnits, 8> kQuantityUnits{{
    {ReportQuantity::DoseRp, "mGy", "Gy"},
    {ReportQuantity::DoseAreaProduct, "Gy·cm²", "Gy.m2"},
    {ReportQuantity::TubeVoltage, "kV", "kV"},
    {ReportQuantity::Thickness, "mm", "mm"},
    {ReportQuantity::Angle, "度", "deg"},
    {ReportQuantity::Distance, "cm", "mm"},
    {ReportQuantity::Area, "cm²", "m2"},
    {ReportQuantity::Mass, "kg", "kg"},
}};

const QuantityUnits& UnitsOf(ReportQuantity quantity) {
    for (const QuantityUnits& units : kQuantityUnits) {
        if (units.quantity == quantity) {
            return units;
        }
    }
    return kQuantityUnits.front();  // every quantity is listed above
}

}  // namespace

std::string_view ProgramUnit(ReportQuantity quantity) {
    return UnitsOf(quantity).program;
}

std::string_view TemplateUnit(ReportQuantity quantity) {
    return UnitsOf(quantity).standard;
}

}  // namespace korvex
