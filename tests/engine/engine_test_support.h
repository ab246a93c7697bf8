#pragma once

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

}  // namespace korvex::testing
