#include "device/material_file.h"

#include <gtest/gtest.h>

#include "engine/engine_state.h"
#include "engine/errors.h"
#include "tests/engine/engine_test_support.h"
#include "tests/fixtures/synthetic_workdir.h"

namespace korvex {
namespace {

using fixtures::MaterialBreakage;

class MaterialFiles : public ::testing::Test {
  protected:
    EngineState State() { return EngineState(testing::SyntheticTables(), folder_.path()); }
    std::string Write(const std::string& name, MaterialBreakage breakage = MaterialBreakage::None) {
        return fixtures::WriteSyntheticMaterial(folder_.path() / name, breakage);
    }
    // Linear attenuation of the synthetic material at a photon energy, 1/cm.
    static double Mu(double energy_mev) {
        return fixtures::kSyntheticMaterialDensity *
               fixtures::SyntheticMaterialCoefficient(energy_mev);
    }

    fixtures::TempFolder folder_;
};

TEST_F(MaterialFiles, CoefficientsOnTheFineGrid) {
    const std::string description = Write("lead.ele");
    EngineState state = State();
    state.work.ArbitraryFilterMu[0] = -7;
    EXPECT_EQ(BuildFilterAttenuation(state, "lead.ele"), description);
    const FineArray& mu = state.work.ArbitraryFilterMu;

    // The material follows a power law on each side of its edge at 88.5 keV, so log-log
    // interpolation between its rows gives the law itself at every whole keV.
    for (int kev : {1, 2, 3, 10, 40, 88, 89, 100, 149, 150}) {
        EXPECT_NEAR(mu[2 * kev] / Mu(0.001 * kev), 1, 1e-12) << kev << " keV";
    }
    // Half keV: the mean of the neighbours; 0.5 keV takes the 1 keV value.
    EXPECT_NEAR(mu[3] / ((Mu(0.001) + Mu(0.002)) / 2), 1, 1e-12);
    EXPECT_NEAR(mu[177] / ((Mu(0.088) + Mu(0.089)) / 2), 1, 1e-12);
    EXPECT_NEAR(mu[1] / Mu(0.001), 1, 1e-12);
    EXPECT_EQ(mu[0], -7);
}

TEST_F(MaterialFiles, RowExactlyAtOneKev) {
    Write("tin.ele", MaterialBreakage::FirstRowAtOneKev);
    EngineState state = State();
    BuildFilterAttenuation(state, "tin.ele");
    EXPECT_NEAR(state.work.ArbitraryFilterMu[2] / Mu(0.001), 1, 1e-14);
    EXPECT_NEAR(state.work.ArbitraryFilterMu[20] / Mu(0.010), 1, 1e-12);
}

TEST_F(MaterialFiles, HundredRowsEndingAtTenMevAreAccepted) {
    Write("long.ele", MaterialBreakage::Exactly100Rows);
    EngineState state = State();
    EXPECT_NO_THROW(BuildFilterAttenuation(state, "long.ele"));
    EXPECT_NEAR(state.work.ArbitraryFilterMu[20] / Mu(0.010), 1, 1e-12);
}

TEST_F(MaterialFiles, BrokenFileIsRefusedAndTheTableKept) {
    Write("lead.ele");
    EngineState state = State();
    BuildFilterAttenuation(state, "lead.ele");
    const FineArray before = state.work.ArbitraryFilterMu;

    const MaterialBreakage broken[] = {
        MaterialBreakage::ShortFile,
        MaterialBreakage::No10MevRowWithin100,
        MaterialBreakage::FirstEnergyAboveOneKev,
        MaterialBreakage::NonPositiveCoefficient,
        MaterialBreakage::TextInRow,
        MaterialBreakage::NonPositiveDensity,
    };
    for (MaterialBreakage breakage : broken) {
        Write("bad.ele", breakage);
        try {
            BuildFilterAttenuation(state, "bad.ele");
            ADD_FAILURE() << "accepted breakage " << static_cast<int>(breakage);
        } catch (const FileError& error) {
            EXPECT_NE(std::string(error.what()).find("bad.ele"), std::string::npos) << error.what();
        }
        for (int n = 0; n <= 300; ++n) {
            ASSERT_EQ(state.work.ArbitraryFilterMu[n], before[n]) << static_cast<int>(breakage);
        }
    }

    fixtures::WriteCp932Lines(folder_.path() / "empty.ele", {"only a description"});
    EXPECT_THROW(BuildFilterAttenuation(state, "empty.ele"), FileError);
    EXPECT_THROW(BuildFilterAttenuation(state, "missing.ele"), FileError);
    EXPECT_EQ(state.work.ArbitraryFilterMu[100], before[100]);
}

}  // namespace
}  // namespace korvex
