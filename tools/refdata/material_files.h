#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tools/refdata/cross_sections.h"
#include "tools/refdata/materials.h"

namespace korvex::refdata {

// A filter material file of the working folder (".ele").
struct FilterMaterialFile {
    std::string file_name;    // "tantalum.ele"
    std::string description;  // line 1, shown by the filter dialog
    Material material;
};

// The added-filter materials that interventional units use besides aluminium and copper:
// tantalum, niobium, molybdenum, tin, erbium, lead and PMMA.
std::vector<FilterMaterialFile> FilterMaterials();

struct MaterialRow {
    double energy_kev = 0;
    MassCoefficients mass;  // cm^2/g
};

// Mass coefficients from 1 keV to 10 MeV: xraylib up to its highest energy (800 keV);
// above it, coherent and photoabsorption extrapolated log-log from 600 and 800 keV and
// incoherent scaled with the Klein-Nishina cross section. Pair production is not included.
MassCoefficients ExtendedMassInteraction(const Material& material, double energy_kev);

// The energy of the first table row above `energy_kev` and the interpolation that the
// filter table makes between that row and the one before it: log-log in the sum of the
// three coefficients. Rows must rise in energy and bracket the energy.
double InterpolateRowsLogLog(const std::vector<MaterialRow>& rows, double energy_kev);

// Absorption edges of the material's photoabsorption between 1 and 150 keV as xraylib
// tabulates them: pairs (last energy below, first energy above), keV, within 1e-5 keV.
std::vector<std::pair<double, double>> PhotoabsorptionJumps(const Material& material);

struct MaterialTable {
    std::vector<MaterialRow> rows;
    double max_relative_error = 0;  // of the interpolated sum at whole keV 1..150
};

// Rows for a material file: 1 keV, every absorption edge as a pair of rows just below and
// just above it, whole-keV rows up to 150 keV thinned while the interpolation at every
// whole keV stays within `tolerance` of xraylib, then 200 keV .. 10 MeV. Throws when more
// than `max_rows` rows would be needed.
MaterialTable MaterialFileRows(const Material& material, double tolerance, int max_rows);

// Writes the file: description line, density (g/cm^3), the number of rows (read and not
// used by the program), then rows "E (MeV), coherent, incoherent, photoabsorption,
// total with coherent, total without coherent" in cm^2/g.
void WriteMaterialFile(const std::filesystem::path& path, const FilterMaterialFile& material_file,
                       const MaterialTable& table);

}  // namespace korvex::refdata
