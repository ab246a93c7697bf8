#include "dose_report/group_result_row.h"

#include "engine/checked_math.h"
#include "results/add_result_row.h"

namespace korvex {

ResultRow GroupResultRow(const ReportCalculation& result, std::size_t group) {
    const ProjectionGroup& g = result.groups.at(group);
    if (g.events.empty()) {
        throw std::out_of_range("projection group without events");
    }
    // The device's values come with the first event's case.
    CalculationCase row = result.events.at(g.events.front()).calc;
    row.BodySite = g.label;
    double weight = 0;
    double kv = 0, aluminium = 0, copper = 0, ratio = 0, backscatter = 0, distance = 0;
    row.DisplayedKar = row.DisplayedPka = row.CorrectedKar = row.CorrectedPka = row.SkinDose = 0;
    for (const std::size_t index : g.events) {
        const CalculationCase& c = result.events.at(index).calc;
        const double w = c.DisplayedKar;
        weight += w;
        kv += w * c.TubeVoltage;
        aluminium += w * c.AddedAluminium;
        copper += w * c.AddedCopper;
        distance += w * c.FocusSkinDistance;
        ratio += w * c.DoseToKermaRatio;
        backscatter += w * c.ForwardBackscatterFactor;
        row.DisplayedKar += c.DisplayedKar;
        row.DisplayedPka += c.DisplayedPka;
        row.CorrectedKar += c.CorrectedKar;
        row.CorrectedPka += c.CorrectedPka;
        row.SkinDose += c.SkinDose;
    }
    row.TubeVoltage = Divide(kv, weight, "weighted tube voltage");
    row.AddedAluminium = Divide(aluminium, weight, "weighted aluminium");
    row.AddedCopper = Divide(copper, weight, "weighted copper");
    row.FocusSkinDistance = Divide(distance, weight, "weighted focus-skin distance");
    row.DoseToKermaRatio = Divide(ratio, weight, "weighted dose-to-kerma ratio");
    row.ForwardBackscatterFactor = Divide(backscatter, weight, "weighted backscatter factor");
    ResultRow cells = FormatResultRow(row);
    cells[ResultColumn::Field] = TextCell(kGroupFieldCell);
    return cells;
}

}  // namespace korvex
