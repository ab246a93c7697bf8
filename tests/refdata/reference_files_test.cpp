#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/field_stream.h"
#include "engine/reference_tables.h"
#include "engine/text_file.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tools/refdata/cross_sections.h"
#include "tools/refdata/generator.h"
#include "tools/refdata/material_files.h"
#include "tools/refdata/materials.h"
#include "tools/refdata/reference_writer.h"

namespace korvex::refdata {
namespace {

TEST(DataNumber, KeepsSixSignificantDigitsInTheShortestText) {
    EXPECT_EQ(DataNumber(0.000123456789), "0.000123457");
    EXPECT_EQ(DataNumber(123456789.0), "123457000");
    EXPECT_EQ(DataNumber(2.5), "2.5");
    EXPECT_EQ(DataNumber(0.15000000000000002), "0.15");
    EXPECT_EQ(DataNumber(1.0 / 3.0), "0.333333");
    EXPECT_EQ(DataNumber(-2.0 / 3.0), "-0.666667");
    EXPECT_EQ(DataNumber(1.23456789e-9), "1.23457e-09");
    EXPECT_EQ(DataNumber(0.0), "0");
    EXPECT_EQ(DataNumber(0.0880007, 9), "0.0880007");
    EXPECT_THROW(DataNumber(std::nan("")), std::invalid_argument);
    EXPECT_THROW(DataNumber(INFINITY), std::invalid_argument);
}

// A complete working folder from the generator with a few histories per energy, made
// once for the test program.
const std::filesystem::path& GeneratedFolder() {
    static fixtures::TempFolder folder;
    static const bool made = [] {
        GeneratorOptions options;
        options.output = folder.path();
        options.histories = 200;
        options.batches = 2;
        options.threads = 2;
        std::ostringstream log;
        RunGenerator(options, log);
        return true;
    }();
    (void)made;
    return folder.path();
}

TEST(GeneratedFolder, LoadsAsTheProgramReadsIt) {
    const ReferenceTables tables = LoadReferenceTables(GeneratedFolder());
    const Material tissue = IcruSoftTissue();
    // PrimaryFine on the 5 keV grid points is E * mu_en/rho of tissue (written to six
    // digits).
    for (int k = 2; k <= 30; ++k) {
        const double e = 5.0 * k;
        const double p0 = e * MassEnergyAbsorption(tissue, e);
        EXPECT_NEAR(tables.PrimaryCoarse[k] / p0, 1.0, 1e-5) << e;
        if (k >= 3) {  // the fine table starts at 10.5 keV
            EXPECT_NEAR(tables.PrimaryFine[2 * static_cast<long>(e)] / p0, 1.0, 1e-5) << e;
        }
    }
    // The air column against NIST (see the cross-section tests) and the phantom column
    // as density times the mass attenuation.
    EXPECT_NEAR(tables.MuEnAir[40] / 0.5389, 1.0, 0.005);    // 20 keV
    EXPECT_NEAR(tables.MuEnAir[160] / 0.02407, 1.0, 0.005);  // 80 keV
    EXPECT_NEAR(tables.MuPhantom[120] / (1.06 * MassInteraction(tissue, 60).Total()), 1.0, 1e-5);
    EXPECT_NEAR(tables.MuTarget[120] / (19.3 * 3.713), 1.0, 0.005);  // NIST XCOM, 60 keV
    // Each kernel column belongs to its energy: the 1 keV column holds almost nothing.
    double one_kev = 0;
    for (int r = 1; r <= kBackscatterRingCount; ++r) {
        one_kev += tables.BackscatterKernel(r, 1);
    }
    EXPECT_LT(one_kev, 0.01);
}

TEST(GeneratedFolder, PrimaryFileHasNoUserName) {
    FieldStream stream(ReadTextFile(GeneratedFolder() / kPrimaryFile, kPrimaryFile), kPrimaryFile);
    int lines = 0;
    while (stream.ReadLine()) {
        ++lines;
    }
    EXPECT_EQ(lines, 31);
}

TEST(GeneratedFolder, HasAllScatterKernelsInTheirLayout) {
    for (int e = 10; e <= 150; e += 5) {
        const std::string name = fixtures::ScatterKernelFileName(e);
        const std::string text = ReadTextFile(GeneratedFolder() / name, name);
        FieldStream lines(text, name);
        int count = 0;
        while (auto line = lines.ReadLine()) {
            ++count;
            // Four runs of 20 values per layer.
            EXPECT_EQ(std::count(line->begin(), line->end(), ','), 19) << name << " " << count;
        }
        EXPECT_EQ(count, 320) << name;
    }
}

// A material file read as the filter dialog reads it, with its interpolation onto whole
// keV (first row above the energy, log-log with the row before).
struct ParsedMaterial {
    std::string description;
    double density = 0;
    std::vector<double> energy_mev;
    std::vector<double> sum;  // coherent + incoherent + photoelectric, cm^2/g
};

ParsedMaterial ReadMaterial(const std::filesystem::path& path) {
    const std::string label = path.filename().string();
    FieldStream stream(ReadTextFile(path, label), label);
    ParsedMaterial m;
    m.description = stream.RequireLine();
    m.density = stream.RequireNumber();
    stream.RequireNumber();
    for (int row = 0; row < 100; ++row) {
        const double e = stream.RequireNumber();
        double coefficients = 0;
        for (int c = 0; c < 3; ++c) {
            const double value = stream.RequireNumber();
            EXPECT_GT(value, 0) << label << " row " << row;
            coefficients += value;
        }
        stream.RequireNumber();
        stream.RequireNumber();
        m.energy_mev.push_back(e);
        m.sum.push_back(coefficients);
        if (e >= 10) {
            break;
        }
    }
    return m;
}

double Interpolate(const ParsedMaterial& m, double e_mev) {
    std::size_t k = 0;
    while (m.energy_mev[k] <= e_mev) {
        ++k;
    }
    const double t = (std::log(e_mev) - std::log(m.energy_mev[k - 1])) /
                     (std::log(m.energy_mev[k]) - std::log(m.energy_mev[k - 1]));
    return std::exp(std::log(m.sum[k - 1]) + t * (std::log(m.sum[k]) - std::log(m.sum[k - 1])));
}

TEST(GeneratedFolder, MaterialFilesFollowTheirLayoutAndXraylib) {
    for (const FilterMaterialFile& material_file : FilterMaterials()) {
        const ParsedMaterial m = ReadMaterial(GeneratedFolder() / material_file.file_name);
        EXPECT_EQ(m.description, material_file.description);
        EXPECT_EQ(m.density, material_file.material.density);
        ASSERT_LE(m.energy_mev.size(), 100u);
        EXPECT_EQ(m.energy_mev.front(), 0.001) << material_file.file_name;
        EXPECT_EQ(m.energy_mev.back(), 10.0) << material_file.file_name;
        for (std::size_t i = 1; i < m.energy_mev.size(); ++i) {
            EXPECT_GT(m.energy_mev[i], m.energy_mev[i - 1])
                << material_file.file_name << " row " << i;
        }
        // What the program makes of the file at whole keV agrees with xraylib.
        for (int j = 1; j <= 150; ++j) {
            const double exact = MassInteraction(material_file.material, j).Total();
            EXPECT_NEAR(Interpolate(m, 0.001 * j) / exact, 1.0, 0.0025)
                << material_file.file_name << " " << j << " keV";
        }
    }
}

TEST(MaterialFiles, LeadCarriesItsKEdgeAsAPairOfRows) {
    // NIST XCOM, lead: 1.910 cm^2/g just below and 7.683 just above the K edge (88.0 keV).
    const MaterialTable table = MaterialFileRows(Element(82, "lead", 11.35), 0.002, 100);
    bool found = false;
    for (std::size_t i = 1; i < table.rows.size(); ++i) {
        const MaterialRow& below = table.rows[i - 1];
        const MaterialRow& above = table.rows[i];
        if (below.energy_kev > 87.9 && above.energy_kev < 88.1) {
            found = true;
            EXPECT_LT(above.energy_kev - below.energy_kev, 1e-3);
            EXPECT_NEAR(below.mass.Total() / 1.910, 1.0, 0.01);
            EXPECT_NEAR(above.mass.Total() / 7.683, 1.0, 0.01);
        }
    }
    EXPECT_TRUE(found);
}

TEST(MaterialFiles, ExtrapolationAboveXraylibIsContinuousAndFalling) {
    const Material lead = Element(82, "lead", 11.35);
    const MassCoefficients at_limit = ExtendedMassInteraction(lead, 800);
    const MassCoefficients just_above = ExtendedMassInteraction(lead, 800.001);
    EXPECT_NEAR(just_above.Total() / at_limit.Total(), 1.0, 1e-4);
    double previous = at_limit.Total();
    for (double e : {1000.0, 2000.0, 5000.0, 10000.0}) {
        const double total = ExtendedMassInteraction(lead, e).Total();
        EXPECT_LT(total, previous) << e;
        EXPECT_GT(total, 0) << e;
        previous = total;
    }
}

}  // namespace
}  // namespace korvex::refdata
