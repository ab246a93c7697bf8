#pragma once

#include <vector>

#include "tools/refdata/photon_tables.h"

namespace korvex::refdata {

// Probability densities, per unit cosine of the scattering angle, of the two scatterings as
// PhotonTables samples them. A next-event estimator needs them: the expected fluence that a
// collision sends towards a point is the density of the angle to that point over 2 pi.
//   coherent:   (1 + mu^2) / 2 * F^2(x)         / C(E)
//   incoherent: KN(mu) * S(x) / S(infinity)      / I(E)
// with the samplers' own F^2 (interval means) and S (linear in x^2), and the
// normalisations C and I integrated over mu in the constructor on a logarithmic grid.
class ScatterDensities {
  public:
    explicit ScatterDensities(const PhotonTables& tables);

    double Coherent(double energy_kev, double cos_theta) const;
    double Incoherent(double energy_kev, double cos_theta) const;

    // Energy of a photon after incoherent scattering through the angle (free electron at
    // rest, no Doppler broadening), keV.
    static double ComptonEnergy(double energy_kev, double cos_theta);

  private:
    double Normalisation(const std::vector<double>& values, double energy_kev) const;

    const PhotonTables& tables_;
    double lowest_kev_;
    std::vector<double> coherent_norm_;
    std::vector<double> incoherent_norm_;
};

}  // namespace korvex::refdata
