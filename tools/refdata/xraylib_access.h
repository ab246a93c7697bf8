#pragma once

#include <string>

namespace korvex::refdata {

// Error-checked access to the xraylib functions the generator uses. xraylib reports
// failures through an error argument; these wrappers turn every failure into a
// std::runtime_error naming the function and its arguments, so no silent zero ever
// reaches a data file. Energies in keV, cross sections in cm^2/g, momentum transfer
// x = sin(theta/2) / lambda in 1/Angstrom.
namespace xrl {

double Photoelectric(int z, double energy_kev);
double Coherent(int z, double energy_kev);
double Incoherent(int z, double energy_kev);
double KleinNishinaPerElectron(double energy_kev);  // barn per electron
double AtomicWeight(int z);                         // g/mol
double ElementDensity(int z);                       // g/cm^3
double FormFactor(int z, double x);                 // F(x, Z), Z at x = 0
double IncoherentFunction(int z, double x);         // S(x, Z), 0 at x = 0
double KEdge(int z);                                // keV
double KJumpFactor(int z);
double KFluorescenceYield(int z);
// Mean energy of the K fluorescence lines weighted by their radiative rates, keV.
double MeanKLineEnergy(int z);

// Lowest and highest photon energy (keV) for which this xraylib serves the three cross
// sections of every element.
inline constexpr double kLowestEnergy = 0.1;
inline constexpr double kHighestEnergy = 800.0;

// Version of the library the generator was built against ("4.0.0").
std::string Version();

}  // namespace xrl
}  // namespace korvex::refdata
