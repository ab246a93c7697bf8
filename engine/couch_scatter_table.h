#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace korvex {

// The table top's scatter at the skin, S_c: the tissue kerma at the centre of the skin of
// the photons scattered in the table top or the mattress, over the kerma of all others
// (those that crossed them unscattered, with the patient's own scatter), from the project's
// full-exposure Monte Carlo (korvex-refdata couch-scatter). "CouchScatter.dat" in the
// working folder; data/README.md says how it is made.
inline constexpr const char* kCouchScatterFileName = "CouchScatter.dat";

// The five axes, in the order the values run (the last fastest).
enum CouchScatterAxis {
    kTubeVoltageAxis,   // kV
    kCopperAxis,        // added copper of the table's beams, mm (looked up by HVL)
    kFieldAxis,         // side of the square field at the skin, cm
    kTransmissionAxis,  // the couch transmission T of the device (mattress in the beam)
    kMattressAxis,      // mattress thickness, cm
    kCouchScatterAxes
};

struct CouchScatterTable {
    std::array<std::vector<double>, kCouchScatterAxes> axes;
    // First half-value layer (mm Al) of the beam of each tube voltage and copper node,
    // [voltage index * copper count + copper index]: the filtration axis is found by HVL.
    std::vector<double> half_value_layers;
    std::vector<double> values;         // S_c, axes in order, the last fastest
    std::vector<double> uncertainties;  // standard uncertainty of each value (absolute)
    std::vector<std::string> notes;     // provenance lines ("# ..."), kept as read

    std::size_t Count() const;
    std::size_t Index(const std::array<std::size_t, kCouchScatterAxes>& node) const;
};

// Where a beam lies for the lookup. A value beyond an axis takes the nearest edge.
struct CouchScatterQuery {
    double tube_voltage_kv = 0;
    double half_value_layer_mm = 0;
    double field_side_cm = 0;  // a circle enters as the square of its area
    double transmission = 0;
    double mattress_cm = 0;
};

struct CouchScatterLookup {
    double ratio = 0;
    // The axes on which the query lay beyond the table and took its edge, by name.
    std::vector<std::string> clamped;
};

// Multilinear interpolation between the 32 nodes around the query: tube voltage and HVL
// (at the query's voltage, each voltage node's HVLs interpolated) linearly, field side and
// transmission by their logarithms, the mattress m by 1 / (m + 3 cm): the coordinates in
// which S_c runs nearly straight. Exact at nodes.
CouchScatterLookup LookUpCouchScatter(const CouchScatterTable& table,
                                      const CouchScatterQuery& query);

// The file's text (UTF-8, '\n' lines) and back. The reader checks everything the lookup
// relies on (axes rising, 2 to 64 nodes, each row's node, finite values from 0 to 10) and
// throws FileError naming the line.
std::vector<std::string> FormatCouchScatterTable(const CouchScatterTable& table);
CouchScatterTable ParseCouchScatterTable(const std::string& text, const std::string& file_label);

// Reads "CouchScatter.dat" of the working folder (code page 932, CR LF).
CouchScatterTable ReadCouchScatterTable(const std::filesystem::path& working_folder);

}  // namespace korvex
