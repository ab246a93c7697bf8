#include "tools/refdata/couch_scatter_generator.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/beam_quality.h"
#include "engine/engine_state.h"
#include "engine/reference_tables.h"
#include "engine/spectrum.h"
#include "engine/text_rules.h"
#include "tools/refdata/exposure_comparison.h"
#include "tools/refdata/reference_writer.h"

namespace korvex::refdata {
namespace {

constexpr double kCalibrationKv = 80;
constexpr double kReferenceDistanceCm = 65;  // focus-isocentre 80 cm

// A disc of 1 cm radius and 1 mm thickness with a 0.5 cm exclusion margin: both estimators
// are then bounded, which removes the rare huge scores (collisions in the plate or mattress
// just outside a 0.1 cm margin) that made single nodes off by tens of per cent, and halves
// the uncertainty. What it averages over costs S_c 0.0013 in a 3 cm field and 0.0015 in a
// 6 cm one against the 0.25 cm disc (80 kV, T 0.84, 4 cm mattress, 6 million histories):
// 0.15 % of the skin dose (data/README.md).
constexpr ScoringDisc kTableDisc{0, 1.0, 0.1, 0.5};

// The device of a node's beam and its calibration beam, as the validation devices are made.
struct NodeBeam {
    std::unique_ptr<EngineState> state;
    FineArray calibration_air_kerma;  // normalised, at kCalibrationKv
    ExposureBeam beam;                // photon lines at the node's voltage
    double half_value_layer_mm = 0;
};

NodeBeam MakeNodeBeam(const CouchScatterOptions& options, double kv, double copper_mm) {
    NodeBeam node;
    node.state = std::make_unique<EngineState>(LoadReferenceTables(options.working_folder),
                                               options.working_folder);
    EngineState& state = *node.state;
    state.calc.TargetAngle = 12;
    state.calc.InherentFiltration = 0.25;
    state.calc.AddedCopper = 0.1 * copper_mm;
    state.calc.FocusReceptorDistance = 120;
    state.calc.FocusIsocentreDistance = 80;
    const SpectrumSums sums = ComputeSpectrumShape(state, kCalibrationKv);
    NormaliseAirKermaSpectrum(state, kCalibrationKv, sums.AirKerma);
    node.calibration_air_kerma = state.work.AirKermaSpectrum;
    AddEngineSpectrum(state, kv, node.beam);
    node.half_value_layer_mm = ComputeBeamQuality(state, kv).half_value_layer_mm;
    node.beam.reference_distance_cm = kReferenceDistanceCm;
    return node;
}

// The plate that with the mattress transmits T of the calibration beam; none when the
// mattress alone transmits less (the table's node then stands for the mattress alone).
double PlateFor(const NodeBeam& node, double transmission, double mattress_cm) {
    const long last = LastSpectrumBin(kCalibrationKv);
    if (!(MattressTransmission(node.calibration_air_kerma, last, mattress_cm) > transmission)) {
        return 0;
    }
    return CarbonPlateThickness(node.calibration_air_kerma, last, transmission, mattress_cm);
}

// Larger fields bring more of the patient's scatter, whose variance dominates: they get
// more histories, so that S_c's absolute uncertainty stays about the same.
std::int64_t HistoriesFor(const CouchScatterOptions& options, double field_side_cm) {
    const double scale = std::max(1.0, field_side_cm / 12);
    return static_cast<std::int64_t>(std::llround(scale * static_cast<double>(options.histories)));
}

CouchScatterValue SimulateNode(const NodeBeam& node, const CouchScatterNode& at,
                               const CouchScatterOptions& options) {
    const std::int64_t histories = HistoriesFor(options, at.field_side_cm);
    if (histories < options.batches) {
        throw std::invalid_argument("--histories must be at least the number of batches");
    }
    ExposureBeam beam = node.beam;
    beam.shape = ApertureShape::Square;
    beam.field_size_cm = at.field_side_cm;  // the skin lies at the reference point
    CouchScatterValue value;
    value.plate_cm = PlateFor(node, at.transmission, at.mattress_cm);
    value.half_value_layer_mm = node.half_value_layer_mm;
    const CouchGeometry geometry{CouchModel::CarbonFibre, PatientModel::Slab, kReferenceDistanceCm,
                                 value.plate_cm, at.mattress_cm};
    const ExposureResult result = SimulateGeometry(
        beam, geometry, kTableDisc,
        {histories / options.batches, options.batches, options.seed, options.threads});
    value.ratio = result.couch_scatter_ratio.mean;
    value.uncertainty = result.couch_scatter_ratio.standard_error;
    if (!std::isfinite(value.ratio) || !std::isfinite(value.uncertainty)) {
        throw std::runtime_error("couch scatter of a node is not finite");
    }
    return value;
}

}  // namespace

CouchScatterTable CouchScatterGrid() {
    CouchScatterTable grid;
    grid.axes[kTubeVoltageAxis] = {50, 80, 110, 140};
    grid.axes[kCopperAxis] = {0, 0.3, 0.9};
    grid.axes[kFieldAxis] = {3, 6, 12, 24, 32, 40};
    grid.axes[kTransmissionAxis] = {0.5, 0.7, 0.85, 0.95};
    grid.axes[kMattressAxis] = {0, 1, 2, 5, 10};
    return grid;
}

CouchScatterValue SimulateCouchScatter(const CouchScatterNode& node,
                                       const CouchScatterOptions& options) {
    return SimulateNode(MakeNodeBeam(options, node.tube_voltage_kv, node.copper_mm), node, options);
}

namespace {

void LogNode(std::ostream& log, const CouchScatterNode& at, const CouchScatterValue& v) {
    log << at.tube_voltage_kv << " kV  Cu " << at.copper_mm << " mm  field " << at.field_side_cm
        << " cm  T " << at.transmission << "  mattress " << at.mattress_cm << " cm  plate "
        << DataNumber(v.plate_cm, 4) << " cm  S_c " << DataNumber(v.ratio, 5) << " +- "
        << DataNumber(v.uncertainty, 2) << "\n";
}

template <typename Visit>
void ForEachNodeKey(const CouchScatterTable& table, Visit visit) {
    std::size_t index = 0;
    for (const double kv : table.axes[kTubeVoltageAxis]) {
        for (const double copper : table.axes[kCopperAxis]) {
            for (const double field : table.axes[kFieldAxis]) {
                for (const double t : table.axes[kTransmissionAxis]) {
                    for (const double mattress : table.axes[kMattressAxis]) {
                        visit(std::array<double, kCouchScatterAxes>{kv, copper, field, t, mattress},
                              index++);
                    }
                }
            }
        }
    }
}

// Every node of the table in file order, `visit(beam, node, index)` with the (kV, Cu) beam
// made once for all the nodes that share it.
template <typename Visit>
void ForEachNode(const CouchScatterTable& table, const CouchScatterOptions& options, Visit visit) {
    std::optional<NodeBeam> beam;
    std::pair<double, double> beam_of{-1, -1};
    ForEachNodeKey(table, [&](const std::array<double, kCouchScatterAxes>& key, std::size_t index) {
        if (!beam || beam_of != std::pair{key[kTubeVoltageAxis], key[kCopperAxis]}) {
            beam_of = {key[kTubeVoltageAxis], key[kCopperAxis]};
            beam = MakeNodeBeam(options, beam_of.first, beam_of.second);
        }
        visit(*beam, CouchScatterNode{key[0], key[1], key[2], key[3], key[4]}, index);
    });
}

// The nodes of an earlier table by their five coordinates, to be taken over unchanged: the
// same seed and histories give a node the same value bit for bit.
using NodeKey = std::array<double, kCouchScatterAxes>;
std::map<NodeKey, std::pair<double, double>> EarlierNodes(const CouchScatterOptions& options) {
    std::map<NodeKey, std::pair<double, double>> nodes;
    if (!options.reuse ||
        !std::filesystem::exists(options.working_folder / kCouchScatterFileName)) {
        return nodes;
    }
    const CouchScatterTable earlier = ReadCouchScatterTable(options.working_folder);
    ForEachNodeKey(earlier, [&](const NodeKey& key, std::size_t index) {
        nodes[key] = {earlier.values[index], earlier.uncertainties[index]};
    });
    return nodes;
}

void Store(CouchScatterTable& table, std::size_t index, const CouchScatterValue& v) {
    table.values[index] = RoundToSignificant(v.ratio, 5);
    table.uncertainties[index] = RoundToSignificant(v.uncertainty, 2);
}

}  // namespace

void GenerateCouchScatterTable(const CouchScatterOptions& options, std::ostream& log) {
    const bool refine = options.refine_above > 0;
    CouchScatterTable table =
        refine ? ReadCouchScatterTable(options.working_folder) : CouchScatterGrid();
    const std::size_t per_beam = table.axes[kFieldAxis].size() *
                                 table.axes[kTransmissionAxis].size() *
                                 table.axes[kMattressAxis].size();
    if (!refine) {
        table.values.assign(table.Count(), 0);
        table.uncertainties.assign(table.Count(), 0);
    }
    const auto earlier = refine ? decltype(EarlierNodes(options)){} : EarlierNodes(options);
    const auto start = std::chrono::steady_clock::now();
    int rerun = 0;
    std::size_t reused = 0;
    ForEachNode(
        table, options, [&](const NodeBeam& beam, const CouchScatterNode& at, std::size_t index) {
            CouchScatterOptions run = options;
            if (!refine && index % per_beam == 0) {
                table.half_value_layers.push_back(RoundToSignificant(beam.half_value_layer_mm, 6));
            }
            const auto known = earlier.find({at.tube_voltage_kv, at.copper_mm, at.field_side_cm,
                                             at.transmission, at.mattress_cm});
            if (known != earlier.end()) {
                table.values[index] = known->second.first;
                table.uncertainties[index] = known->second.second;
                ++reused;
                return;
            }
            if (refine) {
                const double u = table.uncertainties[index] / options.refine_above;
                if (u <= 1) {
                    return;
                }
                // The uncertainty falls as the square root of the histories; 20 % to spare.
                run.histories = static_cast<std::int64_t>(static_cast<double>(options.histories) *
                                                          std::min(kMaxRefinement, 1.2 * u * u));
                ++rerun;
            }
            const CouchScatterValue v = SimulateNode(beam, at, run);
            Store(table, index, v);
            LogNode(log, at, v);
        });
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double largest =
        *std::max_element(table.uncertainties.begin(), table.uncertainties.end());
    if (refine) {
        table.notes.push_back("refined: " + std::to_string(rerun) + " nodes above " +
                              DataNumber(options.refine_above, 3) + " rerun with up to " +
                              DataNumber(kMaxRefinement, 2) + " times the histories in " +
                              DataNumber(seconds, 4) + " s; largest uncertainty now " +
                              DataNumber(largest, 2));
    } else {
        table.notes = {
            "korvex-refdata couch-scatter --histories " + std::to_string(options.histories) +
                " (times side / 12 cm above 12 cm)" + " --batches " +
                std::to_string(options.batches) + " --seed " + std::to_string(options.seed),
            "S_c = skin kerma of photons scattered in table top or mattress / kerma of "
            "all others; 1 sigma absolute in the last column, largest " +
                DataNumber(largest, 2),
            "Monte Carlo wall time " + DataNumber(seconds, 4) + " s" +
                (reused > 0
                     ? ", " + std::to_string(reused) + " nodes taken over from the earlier table"
                     : std::string())};
    }
    WriteLines(options.working_folder / kCouchScatterFileName, FormatCouchScatterTable(table));
    log << "wrote " << kCouchScatterFileName << " (" << table.values.size() << " nodes, "
        << (refine ? std::to_string(rerun) + " rerun"
                   : std::to_string(table.values.size() - reused) + " simulated")
        << ") in " << seconds << " s\n";
}

}  // namespace korvex::refdata
