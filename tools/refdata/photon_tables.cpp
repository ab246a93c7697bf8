#include "tools/refdata/photon_tables.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

#include "tools/refdata/cross_sections.h"
#include "tools/refdata/xraylib_access.h"

namespace korvex::refdata {
namespace {

constexpr double kInteractionStep = 0.01;  // keV
constexpr double kKermaStep = 0.25;        // keV
constexpr std::size_t kMomentumPoints = 4000;

std::size_t GridSize(double lowest, double highest, double step) {
    return static_cast<std::size_t>(std::ceil((highest - lowest) / step)) + 2;
}

// Position of e on a uniform grid: index of the lower point and the fraction beyond it.
struct GridPosition {
    std::size_t index;
    double fraction;
};

GridPosition Locate(double e, double lowest, double step, std::size_t size) {
    const double t = std::max(0.0, (e - lowest) / step);
    std::size_t i = static_cast<std::size_t>(t);
    if (i > size - 2) {
        i = size - 2;
    }
    return {i, t - static_cast<double>(i)};
}

double Lerp(const std::vector<double>& values, GridPosition p) {
    return values[p.index] + p.fraction * (values[p.index + 1] - values[p.index]);
}

}  // namespace

PhotonTables::PhotonTables(const Material& phantom, double lowest_kev, double highest_kev)
    : phantom_(phantom), lowest_(lowest_kev), highest_(highest_kev) {
    if (!(lowest_kev >= xrl::kLowestEnergy) || !(highest_kev > lowest_kev) ||
        !(highest_kev <= xrl::kHighestEnergy)) {
        throw std::invalid_argument(
            "photon tables need " + std::to_string(xrl::kLowestEnergy) +
            " keV <= lowest < highest <= " + std::to_string(xrl::kHighestEnergy) + " keV");
    }

    step_ = kInteractionStep;
    const std::size_t n = GridSize(lowest_, highest_, step_);
    attenuation_.resize(n);
    photo_share_.resize(n);
    photo_incoherent_share_.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double e = std::min(lowest_ + step_ * static_cast<double>(i), xrl::kHighestEnergy);
        const MassCoefficients mass = MassInteraction(phantom_, e);
        const double total = mass.Total();
        attenuation_[i] = phantom_.density * total;
        photo_share_[i] = mass.photoelectric / total;
        photo_incoherent_share_[i] = (mass.photoelectric + mass.incoherent) / total;
    }

    kerma_step_ = kKermaStep;
    const std::size_t nk = GridSize(lowest_, highest_, kerma_step_);
    log_kerma_factor_.resize(nk);
    for (std::size_t i = 0; i < nk; ++i) {
        const double e =
            std::min(lowest_ + kerma_step_ * static_cast<double>(i), xrl::kHighestEnergy);
        log_kerma_factor_[i] = std::log(e * MassEnergyAbsorption(phantom_, e));
    }

    // Form factor and incoherent function of the mixture, per gram (the Avogadro
    // constant cancels in every ratio).
    x_max_ = 1.001 * highest_ / kHcKevAngstrom;
    x_squared_.resize(kMomentumPoints + 1);
    coherent_cdf_.resize(kMomentumPoints + 1);
    incoherent_s_.resize(kMomentumPoints + 1);
    incoherent_s_limit_ = 0.0;
    for (const ElementFraction& element : phantom_.elements) {
        incoherent_s_limit_ += element.mass_fraction / xrl::AtomicWeight(element.z) * element.z;
    }
    double previous_f2 = 0.0;
    for (std::size_t j = 0; j <= kMomentumPoints; ++j) {
        const double u = static_cast<double>(j) / kMomentumPoints;
        const double x = x_max_ * u * u;
        double f2 = 0.0;
        double s = 0.0;
        for (const ElementFraction& element : phantom_.elements) {
            const double atoms = element.mass_fraction / xrl::AtomicWeight(element.z);
            const double f = xrl::FormFactor(element.z, x);
            f2 += atoms * f * f;
            s += atoms * xrl::IncoherentFunction(element.z, x);
        }
        x_squared_[j] = x * x;
        incoherent_s_[j] = s;
        coherent_cdf_[j] = j == 0 ? 0.0
                                  : coherent_cdf_[j - 1] + 0.5 * (previous_f2 + f2) *
                                                               (x_squared_[j] - x_squared_[j - 1]);
        previous_f2 = f2;
    }
}

PhotonTables::Interaction PhotonTables::At(double energy_kev) const {
    const GridPosition p = Locate(energy_kev, lowest_, step_, attenuation_.size());
    return {Lerp(attenuation_, p), Lerp(photo_share_, p), Lerp(photo_incoherent_share_, p)};
}

double PhotonTables::KermaFactor(double energy_kev) const {
    const GridPosition p = Locate(energy_kev, lowest_, kerma_step_, log_kerma_factor_.size());
    return std::exp(Lerp(log_kerma_factor_, p));
}

std::size_t PhotonTables::MomentumIndex(double x) const {
    const double u = std::sqrt(std::max(0.0, x) / x_max_);
    std::size_t j = static_cast<std::size_t>(u * kMomentumPoints);
    return std::min(j, kMomentumPoints - 1);
}

double PhotonTables::IncoherentFunctionAt(double x) const {
    const std::size_t j = MomentumIndex(x);
    const double s = x * x;
    const double fraction = (s - x_squared_[j]) / (x_squared_[j + 1] - x_squared_[j]);
    return incoherent_s_[j] + fraction * (incoherent_s_[j + 1] - incoherent_s_[j]);
}

double PhotonTables::CoherentShape(double x_squared) const {
    const std::size_t j = MomentumIndex(std::sqrt(std::max(0.0, x_squared)));
    return (coherent_cdf_[j + 1] - coherent_cdf_[j]) / (x_squared_[j + 1] - x_squared_[j]);
}

double PhotonTables::SampleCoherentCosine(double energy_kev, RandomStream& random) const {
    const double k = energy_kev / kHcKevAngstrom;
    const double s_max = k * k;
    const std::size_t j_max = MomentumIndex(k);
    const double cdf_max =
        coherent_cdf_[j_max] + (coherent_cdf_[j_max + 1] - coherent_cdf_[j_max]) *
                                   (s_max - x_squared_[j_max]) /
                                   (x_squared_[j_max + 1] - x_squared_[j_max]);
    const auto first = coherent_cdf_.begin();
    const auto last = first + static_cast<std::ptrdiff_t>(j_max + 2);
    for (;;) {
        const double target = random.Uniform() * cdf_max;
        // First grid point above the target; the sample lies in the interval below it.
        const auto above = std::upper_bound(first + 1, last, target);
        const std::size_t j = static_cast<std::size_t>(above - first) - 1;
        const double s = x_squared_[j] + (target - coherent_cdf_[j]) /
                                             (coherent_cdf_[j + 1] - coherent_cdf_[j]) *
                                             (x_squared_[j + 1] - x_squared_[j]);
        const double cos_theta = std::clamp(1.0 - 2.0 * s / s_max, -1.0, 1.0);
        if (2.0 * random.Uniform() <= 1.0 + cos_theta * cos_theta) {
            return cos_theta;
        }
    }
}

double PhotonTables::SampleIncoherent(double energy_kev, RandomStream& random,
                                      double& cos_theta) const {
    const double alpha = energy_kev / kElectronRestEnergy;
    const double k = energy_kev / kHcKevAngstrom;
    const double branch = (1.0 + 2.0 * alpha) / (9.0 + 2.0 * alpha);
    for (;;) {
        // Kahn's method; eta = E / E'.
        const double r1 = random.Uniform();
        const double r2 = random.Uniform();
        const double r3 = random.Uniform();
        double eta;
        double mu;
        if (r1 <= branch) {
            eta = 1.0 + 2.0 * alpha * r2;
            if (r3 > 4.0 * (1.0 / eta - 1.0 / (eta * eta))) {
                continue;
            }
            mu = 1.0 - (eta - 1.0) / alpha;
        } else {
            eta = (1.0 + 2.0 * alpha) / (1.0 + 2.0 * alpha * r2);
            mu = 1.0 - (eta - 1.0) / alpha;
            if (r3 > 0.5 * (mu * mu + 1.0 / eta)) {
                continue;
            }
        }
        mu = std::clamp(mu, -1.0, 1.0);
        // Binding: accept with S(x) / S(infinity).
        const double x = k * std::sqrt(0.5 * (1.0 - mu));
        if (random.Uniform() * incoherent_s_limit_ <= IncoherentFunctionAt(x)) {
            cos_theta = mu;
            return energy_kev / eta;
        }
    }
}

}  // namespace korvex::refdata
