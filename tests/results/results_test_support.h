#pragma once

#include <ostream>

#include "engine/calculation_case.h"
#include "results/results_table.h"

namespace korvex {

// Readable cells in test failure messages.
inline void PrintTo(const ResultCell& cell, std::ostream* out) {
    *out << (cell.IsNumber() ? "number " : "text \"") << cell.StoredText()
         << (cell.IsNumber() ? "" : "\"");
}

namespace testing {

// A calculation whose row is the worked example of the results table: chest back, 80 kV,
// 2.5 mm Al inherent, 1.0 mm Al and 0.1 mm Cu added, no filter of a chosen material. It is
// the legacy formula's, whose results files keep the format of earlier programs byte for
// byte; tests of the validated model's rows set it.
inline CalculationCase ExampleCase(DoseModel model = DoseModel::Legacy) {
    CalculationCase calc;
    calc.Model = model;
    calc.BodySite = "胸部背面";
    calc.TubeVoltage = 80;
    calc.InherentFiltration = 0.25;  // cm
    calc.AddedAluminium = 0.1;
    calc.AddedCopper = 0.01;
    calc.FocusSkinDistance = 65;
    calc.FieldShape = FieldShapeKind::Square;
    calc.ReferenceFieldSize = 12.5;
    calc.DisplayedKar = 250;
    calc.DisplayedPka = 35.2;
    calc.CorrectedKar = 240;
    calc.CorrectedPka = 33.8;
    calc.DoseToKermaRatio = 1.065;
    calc.ForwardBackscatterFactor = 1.352;
    calc.SkinDose = 345.6;
    return calc;
}

}  // namespace testing
}  // namespace korvex
