#include "tools/refdata/scatter_densities.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "tools/refdata/cross_sections.h"

namespace korvex::refdata {
namespace {

// Normalisations on a logarithmic energy grid, 0.5 % apart: interpolated linearly in
// log E, they are exact to about 1e-6 (C falls as about E^-2 above 20 keV).
constexpr double kNormLogStep = 0.005;

// Klein-Nishina cross section per unit cosine, up to a constant factor.
double KleinNishina(double alpha, double mu) {
    const double r = 1.0 / (1.0 + alpha * (1.0 - mu));
    return r * r * (r + 1.0 / r - (1.0 - mu * mu));
}

// Integral of (1 + mu^2) / 2 from 0 to mu.
double ThomsonIntegral(double mu) {
    return 0.5 * (mu + mu * mu * mu / 3.0);
}

// Squared momentum transfer of an angle at wave number k = E / hc.
double MomentumSquared(double k, double mu) {
    return 0.5 * k * k * (1.0 - mu);
}

// C(E): F^2 is constant on each grid interval of s = x^2, so each interval integrates
// exactly; the last is cut at s = k^2 (backscatter).
double CoherentNorm(const PhotonTables& tables, double energy_kev) {
    const std::vector<double>& s = tables.MomentumGridSquared();
    const double k = energy_kev / kHcKevAngstrom;
    const double s_max = k * k;
    double sum = 0.0;
    for (std::size_t j = 0; j + 1 < s.size() && s[j] < s_max; ++j) {
        const double s_high = std::min(s[j + 1], s_max);
        const double mu_high = 1.0 - 2.0 * s[j] / s_max;
        const double mu_low = 1.0 - 2.0 * s_high / s_max;
        sum += tables.CoherentShape(0.5 * (s[j] + s_high)) *
               (ThomsonIntegral(mu_high) - ThomsonIntegral(mu_low));
    }
    return sum;
}

// I(E): S is linear in mu on each grid interval and KN smooth, so three-point
// Gauss-Legendre per interval is exact to well below 1e-6.
double IncoherentNorm(const PhotonTables& tables, double energy_kev) {
    constexpr std::array<double, 3> kNodes{-0.7745966692414834, 0.0, 0.7745966692414834};
    constexpr std::array<double, 3> kWeights{5.0 / 9.0, 8.0 / 9.0, 5.0 / 9.0};
    const std::vector<double>& s = tables.MomentumGridSquared();
    const double alpha = energy_kev / kElectronRestEnergy;
    const double k = energy_kev / kHcKevAngstrom;
    const double s_max = k * k;
    double sum = 0.0;
    for (std::size_t j = 0; j + 1 < s.size() && s[j] < s_max; ++j) {
        const double s_high = std::min(s[j + 1], s_max);
        const double mu_high = 1.0 - 2.0 * s[j] / s_max;
        const double mu_low = 1.0 - 2.0 * s_high / s_max;
        const double half = 0.5 * (mu_high - mu_low);
        const double mid = 0.5 * (mu_high + mu_low);
        for (std::size_t n = 0; n < kNodes.size(); ++n) {
            const double mu = mid + half * kNodes[n];
            sum += kWeights[n] * half * KleinNishina(alpha, mu) *
                   tables.IncoherentShape(std::sqrt(MomentumSquared(k, mu)));
        }
    }
    return sum;
}

}  // namespace

ScatterDensities::ScatterDensities(const PhotonTables& tables)
    : tables_(tables), lowest_kev_(tables.LowestEnergy()) {
    const double span = std::log(tables.HighestEnergy() / lowest_kev_);
    const auto points = static_cast<std::size_t>(std::ceil(span / kNormLogStep)) + 2;
    coherent_norm_.resize(points);
    incoherent_norm_.resize(points);
    for (std::size_t i = 0; i < points; ++i) {
        const double e = std::min(lowest_kev_ * std::exp(kNormLogStep * static_cast<double>(i)),
                                  tables.HighestEnergy());
        coherent_norm_[i] = CoherentNorm(tables, e);
        incoherent_norm_[i] = IncoherentNorm(tables, e);
    }
}

double ScatterDensities::Normalisation(const std::vector<double>& values, double energy_kev) const {
    const double t = std::max(0.0, std::log(energy_kev / lowest_kev_) / kNormLogStep);
    const std::size_t i = std::min(static_cast<std::size_t>(t), values.size() - 2);
    const double fraction = t - static_cast<double>(i);
    return values[i] + fraction * (values[i + 1] - values[i]);
}

double ScatterDensities::Coherent(double energy_kev, double cos_theta) const {
    const double k = energy_kev / kHcKevAngstrom;
    const double shape = tables_.CoherentShape(MomentumSquared(k, cos_theta));
    return (0.5 * (1.0 + cos_theta * cos_theta)) * shape /
           Normalisation(coherent_norm_, energy_kev);
}

double ScatterDensities::Incoherent(double energy_kev, double cos_theta) const {
    const double alpha = energy_kev / kElectronRestEnergy;
    const double k = energy_kev / kHcKevAngstrom;
    const double shape = tables_.IncoherentShape(std::sqrt(MomentumSquared(k, cos_theta)));
    return KleinNishina(alpha, cos_theta) * shape / Normalisation(incoherent_norm_, energy_kev);
}

double ScatterDensities::ComptonEnergy(double energy_kev, double cos_theta) {
    return energy_kev / (1.0 + energy_kev / kElectronRestEnergy * (1.0 - cos_theta));
}

}  // namespace korvex::refdata
