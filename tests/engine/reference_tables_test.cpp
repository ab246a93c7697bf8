#include "engine/reference_tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "engine/errors.h"
#include "tests/fixtures/synthetic_workdir.h"

namespace korvex {
namespace {

using fixtures::Breakage;

class ReferenceTablesTest : public ::testing::Test {
  protected:
    ReferenceTables Load(fixtures::WorkdirOptions options = {}) {
        options.with_scatter_kernels = false;
        fixtures::WriteSyntheticWorkdir(folder_.path(), options);
        return LoadReferenceTables(folder_.path());
    }

    // The start-up message for a broken folder; fails the test when loading succeeds.
    std::string FailureMessage(Breakage breakage) {
        try {
            Load({.breakage = breakage});
        } catch (const FileError& error) {
            return error.what();
        }
        ADD_FAILURE() << "a broken working folder loaded";
        return {};
    }

    fixtures::TempFolder folder_;
};

TEST_F(ReferenceTablesTest, KernelEnergyIsOneKeVThenStepsOfFive) {
    const ReferenceTables t = Load();
    EXPECT_EQ(t.KernelEnergy[1], 1.0);
    for (int j = 2; j <= 31; ++j) {
        EXPECT_EQ(t.KernelEnergy[j], 5.0 * (j - 1)) << "column " << j;
    }
}

TEST_F(ReferenceTablesTest, RowsLandOnTheirGridPositions) {
    const ReferenceTables t = Load();
    for (int i : {1, 2, 139, 140, 300}) {
        const double e = 0.5 * i;
        EXPECT_DOUBLE_EQ(t.MuTarget[i], fixtures::SyntheticMuTarget(e)) << i;
        EXPECT_DOUBLE_EQ(t.MuAluminium[i], fixtures::SyntheticMuAluminium(e)) << i;
        EXPECT_DOUBLE_EQ(t.MuCopper[i], fixtures::SyntheticMuCopper(e)) << i;
        EXPECT_DOUBLE_EQ(t.MuEnAir[i], fixtures::SyntheticMuEnAir(e)) << i;
        EXPECT_DOUBLE_EQ(t.MuEnTissue[i], fixtures::SyntheticMuEnTissue(e)) << i;
        EXPECT_DOUBLE_EQ(t.MuPhantom[i], fixtures::SyntheticMuPhantom(e)) << i;
    }
    EXPECT_DOUBLE_EQ(t.BackscatterKernel(1, 1), fixtures::SyntheticBackscatterKernel(1, 1.0));
    EXPECT_DOUBLE_EQ(t.BackscatterKernel(1, 2), fixtures::SyntheticBackscatterKernel(1, 5.0));
    EXPECT_DOUBLE_EQ(t.BackscatterKernel(150, 17), fixtures::SyntheticBackscatterKernel(150, 80));
    EXPECT_DOUBLE_EQ(t.BackscatterKernel(300, 31), fixtures::SyntheticBackscatterKernel(300, 150));
    for (int k = 2; k <= 30; ++k) {
        EXPECT_DOUBLE_EQ(t.PrimaryCoarse[k], fixtures::SyntheticPrimary(5.0 * k)) << k;
    }
}

TEST_F(ReferenceTablesTest, PrimaryFineIsLogLinearBetweenCoarsePoints) {
    const ReferenceTables t = Load();
    // On coarse points the value itself.
    EXPECT_NEAR(t.PrimaryFine[30] / t.PrimaryCoarse[3], 1.0, 1e-13);
    EXPECT_NEAR(t.PrimaryFine[20 * 7] / t.PrimaryCoarse[14], 1.0, 1e-13);
    EXPECT_EQ(t.PrimaryFine[300], t.PrimaryCoarse[30]);
    // 10.5 keV lies a tenth of the way from 10 to 15 keV on the logarithmic line.
    const double expected_21 =
        t.PrimaryCoarse[2] * std::pow(t.PrimaryCoarse[3] / t.PrimaryCoarse[2], 0.1);
    EXPECT_NEAR(t.PrimaryFine[21] / expected_21, 1.0, 1e-13);
    // 147.5 keV halfway between 145 and 150 keV: the geometric mean.
    const double expected_295 = std::sqrt(t.PrimaryCoarse[29] * t.PrimaryCoarse[30]);
    EXPECT_NEAR(t.PrimaryFine[295] / expected_295, 1.0, 1e-13);
    // Below 10.5 keV nothing is filled.
    EXPECT_EQ(t.PrimaryFine[20], 0.0);
}

TEST_F(ReferenceTablesTest, UserNameLineIsNotNeededAndNotRead) {
    const ReferenceTables without = Load();
    const ReferenceTables with = Load({.with_user_name = true});
    EXPECT_EQ(without.PrimaryCoarse[30], with.PrimaryCoarse[30]);
}

TEST_F(ReferenceTablesTest, AStrayByteInATextLineDoesNotStopStartUp) {
    fixtures::WriteSyntheticWorkdir(folder_.path(), {.with_scatter_kernels = false});
    std::ofstream(folder_.path() / "Primary.dat", std::ios::binary | std::ios::app)
        << "\xFF\xFE broken name\r\n";
    EXPECT_NO_THROW(LoadReferenceTables(folder_.path()));
}

TEST_F(ReferenceTablesTest, EachStartUpFailureNamesTheFileAndTheFault) {
    struct Case {
        Breakage breakage;
        const char* file;
        const char* fault;
    };
    const Case cases[] = {
        {Breakage::MissingBackscatter, "dBSF-SoftDose-SoftPhantom.dat", "見つかりません"},
        {Breakage::MissingAttenuation, "Att_coeff2021.dat", "見つかりません"},
        {Breakage::MissingPrimary, "Primary.dat", "見つかりません"},
        {Breakage::ShortBackscatter, "dBSF-SoftDose-SoftPhantom.dat", "途中で終わって"},
        {Breakage::ShortAttenuation, "Att_coeff2021.dat", "途中で終わって"},
        {Breakage::ShortPrimary, "Primary.dat", "途中で終わって"},
        {Breakage::TextInBackscatter, "dBSF-SoftDose-SoftPhantom.dat", "x0.5"},
        {Breakage::TextInAttenuation, "Att_coeff2021.dat", "n/a"},
        {Breakage::TextInPrimary, "Primary.dat", "abc"},
        {Breakage::NonPositivePrimary, "Primary.dat", "正の値ではありません"},
    };
    for (const Case& c : cases) {
        fixtures::TempFolder fresh;
        fixtures::WriteSyntheticWorkdir(fresh.path(),
                                        {.breakage = c.breakage, .with_scatter_kernels = false});
        try {
            LoadReferenceTables(fresh.path());
            ADD_FAILURE() << "loaded a folder broken in " << c.file;
        } catch (const FileError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(c.file), std::string::npos) << message;
            EXPECT_NE(message.find(c.fault), std::string::npos) << message;
        }
    }
}

TEST_F(ReferenceTablesTest, TextValueReportsItsLine) {
    const std::string message = FailureMessage(Breakage::TextInAttenuation);
    EXPECT_NE(message.find("200 行目"), std::string::npos) << message;
    const std::string primary = FailureMessage(Breakage::NonPositivePrimary);
    EXPECT_NE(primary.find("6 行目"), std::string::npos) << primary;
}

}  // namespace
}  // namespace korvex
