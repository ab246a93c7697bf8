#include <cmath>
#include <string>

#include "dose_report/report_calculation.h"

namespace korvex {
namespace {

bool WithinTolerance(double a, double b) {
    return std::fabs(a - b) <= kProjectionToleranceDeg;
}

bool HasAngles(const EventCalculation& event) {
    return event.primary_angle_deg.has_value() && event.secondary_angle_deg.has_value();
}

bool Joins(const ProjectionGroup& group, const EventCalculation& event) {
    if (group.plane != event.plane) {
        return false;
    }
    if (!HasAngles(event) || !group.primary_angle_deg || !group.secondary_angle_deg) {
        return !HasAngles(event) && !(group.primary_angle_deg && group.secondary_angle_deg);
    }
    return WithinTolerance(*group.primary_angle_deg, *event.primary_angle_deg) &&
           WithinTolerance(*group.secondary_angle_deg, *event.secondary_angle_deg);
}

// Whole degrees, half away from zero; -0 becomes 0.
long WholeDegrees(double angle) {
    const long rounded = std::lround(angle);
    return rounded == 0 ? 0 : rounded;
}

}  // namespace

std::string ProjectionLabel(std::optional<double> primary_deg,
                            std::optional<double> secondary_deg) {
    if (!primary_deg || !secondary_deg || !std::isfinite(*primary_deg) ||
        !std::isfinite(*secondary_deg)) {
        return "角度不明";
    }
    const long primary = WholeDegrees(*primary_deg);
    const long secondary = WholeDegrees(*secondary_deg);
    if (primary == 0 && secondary == 0) {
        return "AP";
    }
    std::string label;
    if (primary != 0) {
        label = (primary > 0 ? "LAO " : "RAO ") + std::to_string(std::labs(primary));
    }
    if (secondary != 0) {
        label += label.empty() ? "" : " ";
        label += (secondary > 0 ? "CRA " : "CAU ") + std::to_string(std::labs(secondary));
    }
    return label;
}

std::vector<ProjectionGroup> GroupProjections(std::vector<EventCalculation>& events) {
    std::vector<ProjectionGroup> groups;
    for (size_t i = 0; i < events.size(); ++i) {
        EventCalculation& event = events[i];
        event.group = -1;
        if (event.status != EventStatus::Calculated) {
            continue;
        }
        size_t g = 0;
        while (g < groups.size() && !Joins(groups[g], event)) {
            ++g;
        }
        if (g == groups.size()) {
            ProjectionGroup group;
            group.plane = event.plane;
            if (HasAngles(event)) {
                group.primary_angle_deg = event.primary_angle_deg;
                group.secondary_angle_deg = event.secondary_angle_deg;
            }
            group.label = ProjectionLabel(group.primary_angle_deg, group.secondary_angle_deg);
            groups.push_back(group);
        }
        ProjectionGroup& group = groups[g];
        group.events.push_back(i);
        group.kar_mgy += event.calc.DisplayedKar;
        group.pka_gycm2 += event.calc.DisplayedPka;
        group.skin_dose_mgy += event.calc.SkinDose;
        group.skin_dose_uncertainty += event.calc.SkinDoseUncertainty * event.calc.SkinDose;
        event.group = static_cast<int>(g);
    }
    // The events of a report share the device, the distance and the method, the parts that
    // dominate their budgets: taken as fully correlated, the relative uncertainty of their
    // sum is the dose-weighted mean of theirs.
    for (ProjectionGroup& group : groups) {
        group.skin_dose_uncertainty =
            group.skin_dose_mgy > 0 ? group.skin_dose_uncertainty / group.skin_dose_mgy : 0.0;
    }
    return groups;
}

}  // namespace korvex
