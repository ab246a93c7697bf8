#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>

#include "engine/couch_scatter_table.h"

namespace korvex::refdata {

struct CouchScatterOptions {
    std::filesystem::path working_folder = "data";  // reference data in, the table out
    std::int64_t histories = 1'000'000;  // per node; fields above 12 cm side / 12 cm times more
    int batches = 100;
    std::uint64_t seed = 20261208;
    int threads = 1;
    // Refine: rerun only the nodes of the existing table whose uncertainty exceeds this, with
    // enough more histories to bring it there (at most kMaxRefinement times); 0: every node.
    double refine_above = 0;
    // Take over the nodes an existing table already has (a grid made denser).
    bool reuse = false;
};

inline constexpr double kMaxRefinement = 8;

// The grid of the bundled table: tube voltage, added copper, field side at the skin, the
// device's couch transmission and the mattress. Denser where S_c bends (small fields).
CouchScatterTable CouchScatterGrid();

// S_c of one node: a validation device (12 degree anode, 2.5 mm Al, the node's copper,
// couch transmission T for its 80 kV calibration beam) at the node's tube voltage, a
// square field of the node's side at the skin, the skin at the reference point (65 cm),
// the slab patient, a carbon-fibre plate that with the mattress transmits T (none when the
// mattress alone transmits less). Returns S_c and its standard uncertainty.
struct CouchScatterNode {
    double tube_voltage_kv = 0, copper_mm = 0, field_side_cm = 0, transmission = 0, mattress_cm = 0;
};
struct CouchScatterValue {
    double ratio = 0, uncertainty = 0, plate_cm = 0, half_value_layer_mm = 0;
};
CouchScatterValue SimulateCouchScatter(const CouchScatterNode& node,
                                       const CouchScatterOptions& options);

// Every node of CouchScatterGrid, written to "CouchScatter.dat" in the working folder;
// progress on `log`. The same seed and history indices for every node, so that the
// table's noise is smooth from node to node.
// With refine_above, reads the table and reruns its noisiest nodes instead.
void GenerateCouchScatterTable(const CouchScatterOptions& options, std::ostream& log);

}  // namespace korvex::refdata
