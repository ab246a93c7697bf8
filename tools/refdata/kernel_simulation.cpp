#include "tools/refdata/kernel_simulation.h"

#include "tools/refdata/batch_runner.h"
#include "tools/refdata/photon_direction.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <mutex>
#include <numbers>
#include <stdexcept>
#include <string>
#include <thread>

namespace korvex::refdata {
namespace {

void DepositScatter(KernelTally& tally, double x, double y, double z, double energy) {
    const double rho = std::sqrt(x * x + y * y);
    const double rings = rho / kScatterVoxelSize;
    const double layers = z / kScatterVoxelSize;
    if (rings < kScatterRings && layers < kScatterLayers) {
        const int ring = static_cast<int>(rings);
        const int layer = static_cast<int>(layers);
        tally.scatter_energy[static_cast<std::size_t>(layer * kScatterRings + ring)] += energy;
    } else {
        tally.scatter_energy_elsewhere += energy;
    }
}

double RingMidpoint(int ring) {
    return kBackscatterRingWidth * (ring - 0.5);
}

}  // namespace

KernelTally::KernelTally()
    : scatter_energy(static_cast<std::size_t>(kScatterRings * kScatterLayers), 0.0),
      backscatter_kerma(kBackscatterRings, 0.0) {}

void KernelTally::Add(const KernelTally& other) {
    for (std::size_t i = 0; i < scatter_energy.size(); ++i) {
        scatter_energy[i] += other.scatter_energy[i];
    }
    for (std::size_t i = 0; i < backscatter_kerma.size(); ++i) {
        backscatter_kerma[i] += other.backscatter_kerma[i];
    }
    primary_energy += other.primary_energy;
    scatter_energy_elsewhere += other.scatter_energy_elsewhere;
    escaped_energy += other.escaped_energy;
    histories += other.histories;
}

double KernelTally::AccountedEnergy() const {
    double sum = primary_energy + scatter_energy_elsewhere + escaped_energy;
    for (double e : scatter_energy) {
        sum += e;
    }
    return sum;
}

void TransportHistory(const PhotonTables& tables, double e0, RandomStream& random,
                      KernelTally& tally) {
    ++tally.histories;
    const double cutoff = tables.LowestEnergy();
    double x = 0, y = 0, z = 0;
    double u = 0, v = 0, w = 1;
    double e = e0;
    bool primary = true;
    if (e < cutoff) {
        tally.primary_energy += e;
        return;
    }
    for (int n = 0; n < kMaxInteractions; ++n) {
        const PhotonTables::Interaction data = tables.At(e);
        const double step = -std::log(random.UniformOpenZero()) / data.attenuation;
        const double z_next = z + step * w;
        if (z_next < 0.0) {
            // Leaves through the entrance plane (only scattered photons can).
            const double t = -z / w;
            const double xe = x + t * u;
            const double ye = y + t * v;
            const double rings = std::sqrt(xe * xe + ye * ye) / kBackscatterRingWidth;
            if (rings < kBackscatterRings) {
                const double cosine = -w;
                const double inverse_cosine =
                    cosine < kGrazingCosine ? 2.0 / kGrazingCosine : 1.0 / cosine;
                tally.backscatter_kerma[static_cast<std::size_t>(rings)] +=
                    tables.KermaFactor(e) * inverse_cosine;
            }
            tally.escaped_energy += e;
            return;
        }
        x += step * u;
        y += step * v;
        z = z_next;

        const double pick = random.Uniform();
        if (pick < data.photo_share) {
            if (primary) {
                tally.primary_energy += e;
            } else {
                DepositScatter(tally, x, y, z, e);
            }
            return;
        }
        double cos_theta;
        if (pick < data.photo_incoherent_share) {
            const double scattered = tables.SampleIncoherent(e, random, cos_theta);
            if (primary) {
                tally.primary_energy += e - scattered;
            } else {
                DepositScatter(tally, x, y, z, e - scattered);
            }
            e = scattered;
        } else {
            cos_theta = tables.SampleCoherentCosine(e, random);
        }
        primary = false;
        RotateDirection(u, v, w, cos_theta, random);
        if (e < cutoff) {
            DepositScatter(tally, x, y, z, e);
            return;
        }
    }
    throw std::runtime_error("photon history of " + std::to_string(e0) +
                             " keV did not end within " + std::to_string(kMaxInteractions) +
                             " interactions");
}

std::uint64_t EnergyStream(double energy_kev) {
    return static_cast<std::uint64_t>(std::llround(energy_kev * 1000.0));
}

SimulationResult SimulateKernels(const PhotonTables& tables, const SimulationSettings& settings) {
    if (settings.batches < 2 || settings.histories_per_batch < 1 || settings.threads < 1) {
        throw std::invalid_argument(
            "a simulation needs at least 2 batches, 1 history per batch "
            "and 1 thread");
    }
    if (!(settings.energy_kev >= tables.LowestEnergy()) ||
        !(settings.energy_kev <= tables.HighestEnergy())) {
        throw std::invalid_argument("energy " + std::to_string(settings.energy_kev) +
                                    " keV lies outside the photon tables");
    }
    SimulationResult result;
    result.energy_kev = settings.energy_kev;
    result.batches.resize(static_cast<std::size_t>(settings.batches));
    const std::uint64_t stream = EnergyStream(settings.energy_kev);

    RunBatches(settings.batches, settings.threads, [&](int batch) {
        KernelTally tally;
        const std::int64_t first = batch * settings.histories_per_batch;
        for (std::int64_t h = first; h < first + settings.histories_per_batch; ++h) {
            RandomStream random(settings.seed, stream, static_cast<std::uint64_t>(h));
            TransportHistory(tables, settings.energy_kev, random, tally);
        }
        result.batches[static_cast<std::size_t>(batch)] = std::move(tally);
    });
    for (const KernelTally& batch : result.batches) {
        result.total.Add(batch);
    }
    return result;
}

std::vector<double> ScatterKernel(const KernelTally& tally, double density) {
    std::vector<double> kernel(tally.scatter_energy.size());
    const double scale = 1.0 / (static_cast<double>(tally.histories) * density * kScatterVoxelSize);
    for (std::size_t i = 0; i < kernel.size(); ++i) {
        kernel[i] = tally.scatter_energy[i] * scale;
    }
    return kernel;
}

std::vector<double> BackscatterKernel(const KernelTally& tally, double primary_kerma_factor) {
    std::vector<double> kernel(tally.backscatter_kerma.size());
    const double scale = 1.0 / (static_cast<double>(tally.histories) * primary_kerma_factor);
    for (std::size_t i = 0; i < kernel.size(); ++i) {
        kernel[i] = tally.backscatter_kerma[i] * scale;
    }
    return kernel;
}

double CircleBackscatterFactor(const std::vector<double>& kernel, double diameter_cm,
                               double distance_cm) {
    const double l2 = distance_cm * distance_cm;
    const int rings = static_cast<int>(std::floor(10.0 * 0.5 * diameter_cm + 1e-9));
    double sum = 0.0;
    for (int r = 1; r <= rings && r <= static_cast<int>(kernel.size()); ++r) {
        const double rho = RingMidpoint(r);
        sum += l2 / (l2 + rho * rho) * kernel[static_cast<std::size_t>(r - 1)];
    }
    return 1.0 + sum;
}

double SquareBackscatterFactor(const std::vector<double>& kernel, double side_cm,
                               double distance_cm) {
    const double l2 = distance_cm * distance_cm;
    const double a = 0.5 * side_cm;
    double sum = 0.0;
    for (int r = 1; r <= static_cast<int>(kernel.size()); ++r) {
        const double rho = RingMidpoint(r);
        double inside = 1.0;
        if (rho > a * std::numbers::sqrt2) {
            break;
        }
        if (rho > a) {
            inside = 1.0 - 4.0 * std::acos(a / rho) / std::numbers::pi;
        }
        sum += l2 / (l2 + rho * rho) * inside * kernel[static_cast<std::size_t>(r - 1)];
    }
    return 1.0 + sum;
}

Estimate BatchEstimate(const SimulationResult& result,
                       const std::function<double(const KernelTally&)>& quantity) {
    const double n = static_cast<double>(result.batches.size());
    std::vector<double> values;
    double sum = 0.0;
    for (const KernelTally& batch : result.batches) {
        values.push_back(quantity(batch));
        sum += values.back();
    }
    const double mean = sum / n;
    double squares = 0.0;
    for (double value : values) {
        squares += (value - mean) * (value - mean);
    }
    const double variance = squares / (n - 1.0);
    return {mean, std::sqrt(variance / n)};
}

}  // namespace korvex::refdata
