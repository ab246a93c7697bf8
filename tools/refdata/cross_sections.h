#pragma once

#include "tools/refdata/materials.h"

namespace korvex::refdata {

// h*c in keV*Angstrom: x = sin(theta/2) / lambda = (E / hc) sin(theta/2).
inline constexpr double kHcKevAngstrom = 12.398419843;
// Electron rest energy, keV.
inline constexpr double kElectronRestEnergy = 510.99895;

// Mass interaction coefficients of a material at one photon energy (cm^2/g), from the
// elements' xraylib cross sections by the mixture rule.
struct MassCoefficients {
    double coherent = 0;
    double incoherent = 0;
    double photoelectric = 0;

    double Total() const { return coherent + incoherent + photoelectric; }
};

MassCoefficients MassInteraction(const Material& material, double energy_kev);

// Linear attenuation coefficient with coherent scattering, 1/cm.
double LinearAttenuation(const Material& material, double energy_kev);

// Mean fraction of the photon energy given to the electron in a Compton scattering on a
// free electron (Klein-Nishina), by quadrature over the scattering angle.
double KleinNishinaTransferFraction(double energy_kev);

// The same for incoherent scattering on element z: the Klein-Nishina cross section
// weighted by the incoherent scattering function S(x, Z). Binding suppresses the
// forward, low-transfer scatterings, so this lies above the free-electron fraction.
double IncoherentTransferFraction(int z, double energy_kev);

// Mean energy (keV) that leaves a photoabsorption on element z as K fluorescence:
// probability of a K-shell absorption (from the jump factor) x K fluorescence yield x
// mean K line energy; 0 below the K edge and for H and He.
double KFluorescenceLoss(int z, double energy_kev);

// Mass energy-absorption coefficient (cm^2/g): photoabsorption less the K fluorescence
// energy, plus incoherent scattering times its mean energy-transfer fraction (binding
// included through S). Radiative losses of the secondary electrons are below 0.1 % up to
// 150 keV and are left out. Valid for materials of elements up to Z = 20, whose L-shell
// fluorescence (below 0.35 keV, yields below 1e-3) is negligible; throws
// std::invalid_argument for heavier elements.
double MassEnergyAbsorption(const Material& material, double energy_kev);

// The same with the free-electron (Klein-Nishina) transfer fraction, for comparison.
double MassEnergyAbsorptionFreeElectron(const Material& material, double energy_kev);

}  // namespace korvex::refdata
