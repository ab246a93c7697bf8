#include "tools/refdata/cross_sections.h"

#include <stdexcept>
#include <string>

#include "tools/refdata/xraylib_access.h"

namespace korvex::refdata {
namespace {

// Klein-Nishina angular distribution per unit cos(theta), up to a constant, and the
// ratio r = E'/E of the scattered photon's energy.
struct KleinNishinaPoint {
    double weight;
    double energy_ratio;
};

KleinNishinaPoint KleinNishinaAt(double kappa, double cos_theta) {
    const double r = 1.0 / (1.0 + kappa * (1.0 - cos_theta));
    return {r * r * (r + 1.0 / r - (1.0 - cos_theta * cos_theta)), r};
}

// Mean of (1 - E'/E) over incoherent scattering whose angular distribution is
// Klein-Nishina times `binding(x)`, integrated by Simpson's rule in x = k sin(theta/2),
// the variable in which S varies (k = E / hc, cos(theta) = 1 - 2 x^2 / k^2).
template <typename Binding>
double TransferFraction(double energy_kev, Binding binding) {
    constexpr int kIntervals = 512;  // even; converged to 1e-6 against 4096
    const double kappa = energy_kev / kElectronRestEnergy;
    const double k = energy_kev / kHcKevAngstrom;
    const double h = k / kIntervals;
    double transferred = 0.0;
    double total = 0.0;
    for (int i = 0; i <= kIntervals; ++i) {
        const double x = h * i;
        const double simpson = (i == 0 || i == kIntervals) ? 1.0 : (i % 2 == 1 ? 4.0 : 2.0);
        const double cos_theta = 1.0 - 2.0 * (x / k) * (x / k);
        const KleinNishinaPoint kn = KleinNishinaAt(kappa, cos_theta);
        // d(cos theta) = -4 x / k^2 dx; the constant cancels in the ratio.
        const double w = simpson * kn.weight * binding(x) * x;
        transferred += w * (1.0 - kn.energy_ratio);
        total += w;
    }
    if (!(total > 0.0)) {
        throw std::runtime_error("incoherent transfer fraction undefined at " +
                                 std::to_string(energy_kev) + " keV");
    }
    return transferred / total;
}

void RequireLightElements(const Material& material) {
    for (const ElementFraction& element : material.elements) {
        if (element.z > 20) {
            throw std::invalid_argument(
                "energy absorption of " + material.name +
                " needs L-shell fluorescence (Z = " + std::to_string(element.z) + ")");
        }
    }
}

}  // namespace

MassCoefficients MassInteraction(const Material& material, double energy_kev) {
    MassCoefficients sum;
    for (const ElementFraction& element : material.elements) {
        sum.coherent += element.mass_fraction * xrl::Coherent(element.z, energy_kev);
        sum.incoherent += element.mass_fraction * xrl::Incoherent(element.z, energy_kev);
        sum.photoelectric += element.mass_fraction * xrl::Photoelectric(element.z, energy_kev);
    }
    return sum;
}

double LinearAttenuation(const Material& material, double energy_kev) {
    return material.density * MassInteraction(material, energy_kev).Total();
}

double KleinNishinaTransferFraction(double energy_kev) {
    // Gauss-Legendre would do as well; the same rule as below keeps one integrator.
    return TransferFraction(energy_kev, [](double) { return 1.0; });
}

double IncoherentTransferFraction(int z, double energy_kev) {
    return TransferFraction(energy_kev, [z](double x) { return xrl::IncoherentFunction(z, x); });
}

double KFluorescenceLoss(int z, double energy_kev) {
    if (z <= 2 || energy_kev <= xrl::KEdge(z)) {
        return 0.0;
    }
    const double k_shell_share = 1.0 - 1.0 / xrl::KJumpFactor(z);
    return k_shell_share * xrl::KFluorescenceYield(z) * xrl::MeanKLineEnergy(z);
}

double MassEnergyAbsorption(const Material& material, double energy_kev) {
    RequireLightElements(material);
    double sum = 0.0;
    for (const ElementFraction& element : material.elements) {
        const double photo = xrl::Photoelectric(element.z, energy_kev) *
                             (1.0 - KFluorescenceLoss(element.z, energy_kev) / energy_kev);
        const double incoherent = xrl::Incoherent(element.z, energy_kev) *
                                  IncoherentTransferFraction(element.z, energy_kev);
        sum += element.mass_fraction * (photo + incoherent);
    }
    return sum;
}

double MassEnergyAbsorptionFreeElectron(const Material& material, double energy_kev) {
    RequireLightElements(material);
    const double fraction = KleinNishinaTransferFraction(energy_kev);
    double sum = 0.0;
    for (const ElementFraction& element : material.elements) {
        const double photo = xrl::Photoelectric(element.z, energy_kev) *
                             (1.0 - KFluorescenceLoss(element.z, energy_kev) / energy_kev);
        sum += element.mass_fraction * (photo + xrl::Incoherent(element.z, energy_kev) * fraction);
    }
    return sum;
}

}  // namespace korvex::refdata
