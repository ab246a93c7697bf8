#pragma once

#include <vector>

#include "tools/refdata/materials.h"
#include "tools/refdata/random_stream.h"

namespace korvex::refdata {

// Interaction data of the phantom material for photon transport, tabulated once from
// xraylib between `lowest_kev` (photons below are absorbed on the spot) and
// `highest_kev`, and the samplers of the two scatterings:
// - coherent: Thomson angular distribution times the mixture's squared atomic form
//   factor, sampled from the cumulative F^2 in x^2 and accepted with (1 + cos^2) / 2;
// - incoherent: Klein-Nishina (Kahn's method), accepted with S(x) / S(infinity) of the
//   mixture; no Doppler broadening.
// The mixture's F^2 and S are sums over the elements weighted by atoms per gram.
class PhotonTables {
  public:
    PhotonTables(const Material& phantom, double lowest_kev, double highest_kev);

    struct Interaction {
        double attenuation = 0;             // linear, with coherent scattering, 1/cm
        double photo_share = 0;             // probability that an interaction is photoabsorption
        double photo_incoherent_share = 0;  // ... photoabsorption or incoherent scattering
    };

    const Material& Phantom() const { return phantom_; }
    double LowestEnergy() const { return lowest_; }
    double HighestEnergy() const { return highest_; }

    Interaction At(double energy_kev) const;
    // E * mu_en/rho of the phantom, keV cm^2/g: the kerma per unit fluence.
    double KermaFactor(double energy_kev) const;

    double SampleCoherentCosine(double energy_kev, RandomStream& random) const;
    // Returns the scattered photon's energy and sets the cosine of the scattering angle.
    double SampleIncoherent(double energy_kev, RandomStream& random, double& cos_theta) const;

    // The shape functions exactly as the two samplers use them, for estimators that need
    // the density of a scattering angle (see ScatterDensities):
    // - the mixture's F^2 averaged over the momentum-grid interval holding s = x^2 (the
    //   coherent sampler draws s with this piecewise-constant density), x in 1/Angstrom;
    double CoherentShape(double x_squared) const;
    // - S(x) / S(infinity), interpolated linearly in x^2 as the incoherent sampler does.
    double IncoherentShape(double x) const { return IncoherentFunctionAt(x) / incoherent_s_limit_; }
    // Squared momentum transfers x_j^2 of the grid on which both are tabulated.
    const std::vector<double>& MomentumGridSquared() const { return x_squared_; }

  private:
    double IncoherentFunctionAt(double x) const;
    std::size_t MomentumIndex(double x) const;

    Material phantom_;
    double lowest_;
    double highest_;

    // Interaction data on a uniform grid.
    double step_;
    std::vector<double> attenuation_;
    std::vector<double> photo_share_;
    std::vector<double> photo_incoherent_share_;

    // Kerma factor on a coarser uniform grid (log of the value, interpolated linearly).
    double kerma_step_;
    std::vector<double> log_kerma_factor_;

    // Momentum-transfer grid x_j = x_max (j / N)^2: dense where F and S vary fastest.
    double x_max_;
    std::vector<double> x_squared_;     // s_j = x_j^2
    std::vector<double> coherent_cdf_;  // integral of F^2 ds from 0 to s_j
    std::vector<double> incoherent_s_;  // S(x_j) of the mixture
    double incoherent_s_limit_;         // S at infinite x: electrons per gram (relative)
};

}  // namespace korvex::refdata
