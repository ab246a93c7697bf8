#include "tools/refdata/cross_sections.h"

#include <gtest/gtest.h>
#include <xraylib/xraylib.h>

#include <cmath>
#include <numbers>
#include <stdexcept>

#include "tools/refdata/materials.h"

namespace korvex::refdata {
namespace {

// Mass energy-absorption coefficients of dry air near sea level, cm^2/g: Hubbell &
// Seltzer, NIST Standard Reference Database 126 (1995/2004).
struct Reference {
    double energy_kev;
    double value;
};
constexpr Reference kNistDryAir[] = {{10, 4.742},    {15, 1.334},   {20, 0.5389},  {30, 0.1537},
                                     {40, 0.06833},  {50, 0.04098}, {60, 0.03041}, {80, 0.02407},
                                     {100, 0.02325}, {150, 0.02496}};

TEST(EnergyAbsorption, DryAirMatchesNistFrom10To150keV) {
    // A clinical estimate tolerates 2 %. The method reproduces the table to 0.06 %; 0.5 % still
    // leaves room for another xraylib release but fails the free-electron transfer
    // fraction (1.3 % low at 60-80 keV) and a missing fluorescence or photo term.
    const Material air = DryAir();
    for (const Reference& nist : kNistDryAir) {
        const double value = MassEnergyAbsorption(air, nist.energy_kev);
        EXPECT_NEAR(value / nist.value, 1.0, 0.005) << nist.energy_kev << " keV";
    }
}

TEST(EnergyAbsorption, FreeElectronTransferStaysWithinTheIssuesTwoPerCent) {
    const Material air = DryAir();
    for (const Reference& nist : kNistDryAir) {
        const double value = MassEnergyAbsorptionFreeElectron(air, nist.energy_kev);
        EXPECT_NEAR(value / nist.value, 1.0, 0.02) << nist.energy_kev << " keV";
    }
}

TEST(EnergyAbsorption, RefusesElementsWithUnmodelledLShellFluorescence) {
    EXPECT_THROW(MassEnergyAbsorption(Tungsten(), 60), std::invalid_argument);
    EXPECT_THROW(MassEnergyAbsorption(Copper(), 60), std::invalid_argument);
    EXPECT_NO_THROW(MassEnergyAbsorption(IcruSoftTissue(), 60));
}

// sigma_tr / sigma of the Klein-Nishina cross section in closed form (e.g. Attix,
// Introduction to Radiological Physics, ch. 7), k = E / m c^2.
double KleinNishinaTransferClosedForm(double k) {
    const double l = std::log(1 + 2 * k);
    const double sigma = (1 + k) / (k * k) * (2 * (1 + k) / (1 + 2 * k) - l / k) + l / (2 * k) -
                         (1 + 3 * k) / ((1 + 2 * k) * (1 + 2 * k));
    const double transfer =
        2 * (1 + k) * (1 + k) / (k * k * (1 + 2 * k)) - (1 + 3 * k) / ((1 + 2 * k) * (1 + 2 * k)) -
        (1 + k) * (2 * k * k - 2 * k - 1) / (k * k * (1 + 2 * k) * (1 + 2 * k)) -
        4 * k * k / (3 * (1 + 2 * k) * (1 + 2 * k) * (1 + 2 * k)) -
        ((1 + k) / (k * k * k) - 1 / (2 * k) + 1 / (2 * k * k * k)) * l;
    return transfer / sigma;
}

TEST(TransferFraction, KleinNishinaMatchesTheClosedForm) {
    for (double e : {10.0, 60.0, 150.0, 500.0}) {
        EXPECT_NEAR(KleinNishinaTransferFraction(e),
                    KleinNishinaTransferClosedForm(e / kElectronRestEnergy), 2e-6)
            << e << " keV";
    }
}

// Mean (1 - E'/E) over xraylib's own differential incoherent cross section (Klein-Nishina
// times S), integrated over the polar angle: an independent route to the same number.
double TransferFromXraylib(int z, double e) {
    constexpr int n = 20000;
    double transferred = 0;
    double total = 0;
    for (int i = 0; i < n; ++i) {
        const double theta = std::numbers::pi * (i + 0.5) / n;
        xrl_error* error = nullptr;
        // xraylib's S starts at x = 0.001 / Angstrom; the few angles below add nothing
        // measurable (S ~ x^2 there).
        if (MomentTransf(e, theta, &error) < 0.001) {
            continue;
        }
        const double dcs = DCS_Compt(z, e, theta, &error) * std::sin(theta);
        const double scattered = ComptonEnergy(e, theta, &error);
        EXPECT_EQ(error, nullptr);
        if (error != nullptr) {
            xrl_error_free(error);
        }
        transferred += dcs * (1 - scattered / e);
        total += dcs;
    }
    return transferred / total;
}

TEST(TransferFraction, IncoherentAgreesWithXraylibsDifferentialCrossSection) {
    for (int z : {1, 8, 20}) {
        for (double e : {20.0, 60.0, 150.0}) {
            const double reference = TransferFromXraylib(z, e);
            EXPECT_NEAR(IncoherentTransferFraction(z, e) / reference, 1.0, 2e-3)
                << "Z " << z << ", " << e << " keV";
            // Binding suppresses the low-transfer forward scatterings.
            EXPECT_GE(IncoherentTransferFraction(z, e), KleinNishinaTransferFraction(e));
        }
    }
}

TEST(Fluorescence, ArgonKLinesLeaveTheirShareAboveTheEdge) {
    // By hand from standard atomic data: K-shell share (1 - 1/J) ~ 0.9, yield 0.118,
    // K lines near 3.0 keV: about 0.32 keV per photoabsorption above 3.206 keV.
    EXPECT_EQ(KFluorescenceLoss(18, 3.1), 0.0);
    EXPECT_NEAR(KFluorescenceLoss(18, 20), 0.32, 0.03);
    EXPECT_EQ(KFluorescenceLoss(1, 20), 0.0);
}

TEST(Attenuation, MixtureRuleReproducesNistXcom) {
    // NIST XCOM mass attenuation coefficients with coherent scattering, cm^2/g.
    const Material water = LiquidWater();
    EXPECT_NEAR(MassInteraction(water, 20).Total() / 0.8096, 1.0, 0.005);
    EXPECT_NEAR(MassInteraction(water, 60).Total() / 0.2059, 1.0, 0.005);
    EXPECT_NEAR(MassInteraction(water, 150).Total() / 0.1505, 1.0, 0.005);
    EXPECT_NEAR(LinearAttenuation(Aluminium(), 30) / (2.699 * 1.128), 1.0, 0.005);
    EXPECT_NEAR(LinearAttenuation(Copper(), 50) / (8.96 * 2.613), 1.0, 0.005);
    EXPECT_NEAR(LinearAttenuation(Tungsten(), 60) / (19.3 * 3.713), 1.0, 0.005);
}

TEST(Materials, CompositionsAreComplete) {
    for (const Material& m : {IcruSoftTissue(), DryAir(), LiquidWater(), Pmma()}) {
        double sum = 0;
        for (const ElementFraction& e : m.elements) {
            sum += e.mass_fraction;
        }
        EXPECT_NEAR(sum, 1.0, 1e-4) << m.name;
    }
    EXPECT_EQ(IcruSoftTissue().density, 1.06);
    EXPECT_THROW(PhantomByName("bone"), std::invalid_argument);
}

}  // namespace
}  // namespace korvex::refdata
