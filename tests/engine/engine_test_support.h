#pragma once

#include <filesystem>
#include <memory>

#include "engine/engine_state.h"
#include "engine/reference_tables.h"
#include "tests/fixtures/synthetic_workdir.h"

namespace korvex::testing {

// Reference tables of a synthetic working folder, loaded once per test program.
inline const ReferenceTables& SyntheticTables() {
    static const ReferenceTables tables = [] {
        fixtures::TempFolder folder;
        fixtures::WriteSyntheticWorkdir(folder.path(), {.with_scatter_kernels = false});
        return LoadReferenceTables(folder.path());
    }();
    return tables;
}

// A device like a typical interventional unit: 12 degree anode, 2.5 mm Al inherent. The
// steps run by the legacy formula, whose arithmetic their tests pin down; the validated
// model's own tests choose it.
inline EngineState TypicalState() {
    EngineState state(SyntheticTables());
    state.calc.Model = DoseModel::Legacy;
    state.calc.TargetAngle = 12;
    state.calc.InherentFiltration = 0.25;
    state.calc.FocusReceptorDistance = 120;
    state.calc.FocusIsocentreDistance = 100;
    return state;
}

// The case a loaded device file and the typed readings leave for the calculate button:
// focus-isocentre 100 cm (reference point at 85 cm), a couch equivalent to 1 cm of phantom
// material with T = 0.8, correction factor 1.1, 100 mGy and 20 Gy cm2 displayed, a square.
inline std::unique_ptr<EngineState> DeviceState(const std::filesystem::path& folder) {
    auto state = std::make_unique<EngineState>(LoadReferenceTables(folder), folder);
    CalculationCase& c = state->calc;
    c.TargetAngle = 12;
    c.InherentFiltration = 0.25;
    c.AddedCopper = 0.01;
    c.FocusReceptorDistance = 120;
    c.FocusIsocentreDistance = 100;
    c.CouchTransmission = 0.8;
    c.KermaCorrectionFactor = 1.1;
    c.CouchEquivalentThickness = 1.0;
    c.DisplayedKar = 100;
    c.DisplayedPka = 20;
    c.FieldShape = FieldShapeKind::Square;
    return state;
}

}  // namespace korvex::testing
