#include "tools/refdata/exposure_simulation.h"

#include "tools/refdata/batch_runner.h"
#include "tools/refdata/photon_direction.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <limits>
#include <mutex>
#include <numbers>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

#include "tools/refdata/cross_sections.h"

namespace korvex::refdata {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Narrows [lo, hi] to the ray parameters where p + t w lies between a and b on one axis.
void ClipAxis(double p, double w, double a, double b, double& lo, double& hi) {
    if (w == 0.0) {
        if (p < a || p > b) {
            hi = -kInfinity;
        }
        return;
    }
    const double t1 = (a - p) / w;
    const double t2 = (b - p) / w;
    lo = std::max(lo, std::min(t1, t2));
    hi = std::min(hi, std::max(t1, t2));
}

bool Overlap(const Box& a, const Box& b) {
    return a.x_min < b.x_max && b.x_min < a.x_max && a.y_min < b.y_max && b.y_min < a.y_max &&
           a.z_min < b.z_max && b.z_min < a.z_max;
}

bool ValidBox(const Box& b) {
    return b.x_min < b.x_max && b.y_min < b.y_max && b.z_min < b.z_max;
}

// Checks the blocks and the disc of a model; returns the highest of the media's lowest
// table energies, below which photons are absorbed where they are.
double CheckGeometry(const ExposureModel& model) {
    const ScoringDisc& disc = model.disc;
    if (model.blocks.empty() || model.blocks.size() > kMaxBlocks || model.dose_medium == nullptr) {
        throw std::invalid_argument("exposure model: 1 to 8 blocks and a dose medium needed");
    }
    double cutoff_kev = model.dose_medium->Tables().LowestEnergy();
    for (std::size_t i = 0; i < model.blocks.size(); ++i) {
        const Block& block = model.blocks[i];
        if (block.medium == nullptr || !ValidBox(block.box)) {
            throw std::invalid_argument("exposure model: a block without medium or extent");
        }
        cutoff_kev = std::max(cutoff_kev, block.medium->Tables().LowestEnergy());
        for (std::size_t j = 0; j < i; ++j) {
            if (Overlap(block.box, model.blocks[j].box)) {
                throw std::invalid_argument("exposure model: blocks overlap");
            }
        }
    }
    // The disc must lie in one block of the dose medium.
    const Box d{-disc.radius_cm, disc.radius_cm,        -disc.radius_cm,
                disc.radius_cm,  disc.skin_distance_cm, disc.skin_distance_cm + disc.thickness_cm};
    const bool contained = std::any_of(model.blocks.begin(), model.blocks.end(), [&](auto& b) {
        return b.medium == model.dose_medium && b.box.x_min <= d.x_min && d.x_max <= b.box.x_max &&
               b.box.y_min <= d.y_min && d.y_max <= b.box.y_max && b.box.z_min <= d.z_min &&
               d.z_max <= b.box.z_max;
    });
    if (!contained) {
        throw std::invalid_argument("exposure model: the scoring disc must lie in the patient");
    }
    return cutoff_kev;
}

}  // namespace

ExposureMedium::ExposureMedium(const Material& material, double lowest_kev, double highest_kev)
    : tables_(material, lowest_kev, highest_kev), densities_(tables_) {}

void ExposureTally::Add(const ExposureTally& other) {
    tissue_primary += other.tissue_primary;
    tissue_next_event += other.tissue_next_event;
    tissue_track += other.tissue_track;
    tissue_couch_scatter += other.tissue_couch_scatter;
    air_point += other.air_point;
    air_crossing += other.air_crossing;
    incident_energy += other.incident_energy;
    escaped_energy += other.escaped_energy;
    for (std::size_t b = 0; b < deposited_energy.size(); ++b) {
        deposited_energy[b] += other.deposited_energy[b];
    }
    histories += other.histories;
    collisions += other.collisions;
}

double ExposureTally::DepositedEnergy() const {
    double sum = 0.0;
    for (double e : deposited_energy) {
        sum += e;
    }
    return sum;
}

ExposureSimulation::ExposureSimulation(ExposureModel model) : model_(std::move(model)) {
    const ExposureBeam& beam = model_.beam;
    const ScoringDisc& disc = model_.disc;
    if (!(beam.field_size_cm > 0) || !(beam.reference_distance_cm > 0) ||
        !(disc.skin_distance_cm > 0) || !(disc.radius_cm > 0) || !(disc.thickness_cm > 0) ||
        !(disc.exclusion_margin_cm >= 0) || !(model_.air_disc_radius_cm > 0)) {
        throw std::invalid_argument("exposure model: sizes and distances must be positive");
    }
    cutoff_kev_ = CheckGeometry(model_);
    // The disc must lie inside the beam, or its kerma would be that of the field's edge.
    if (0.5 * beam.field_size_cm * disc.skin_distance_cm / beam.reference_distance_cm <
        disc.radius_cm) {
        throw std::invalid_argument(
            "exposure model: the field at the skin is narrower than "
            "the scoring disc");
    }
    disc_volume_ = std::numbers::pi * disc.radius_cm * disc.radius_cm * disc.thickness_cm;

    if (beam.energy_kev.empty() || beam.energy_kev.size() != beam.weight.size()) {
        throw std::invalid_argument("exposure model: empty spectrum");
    }
    const Material air = DryAir();
    double sum = 0.0;
    for (std::size_t i = 0; i < beam.energy_kev.size(); ++i) {
        const double e = beam.energy_kev[i];
        for (const Block& block : model_.blocks) {
            if (!(e >= block.medium->Tables().LowestEnergy()) ||
                !(e <= block.medium->Tables().HighestEnergy())) {
                throw std::invalid_argument("spectrum energy " + std::to_string(e) +
                                            " keV lies outside the photon tables");
            }
        }
        if (!(beam.weight[i] >= 0) || !std::isfinite(beam.weight[i])) {
            throw std::invalid_argument("exposure model: spectrum weights must be finite, >= 0");
        }
        sum += beam.weight[i];
        cumulative_.push_back(sum);
        air_kerma_factor_.push_back(e * MassEnergyAbsorption(air, e));
    }
    if (!(sum > 0)) {
        throw std::invalid_argument("exposure model: the spectrum holds no photons");
    }

    const double d_ref = beam.reference_distance_cm;
    if (beam.divergence == BeamDivergence::Divergent) {
        const double a = beam.field_size_cm;
        spread_ = beam.shape == ApertureShape::Square
                      ? 4.0 * std::asin(a * a / (a * a + 4.0 * d_ref * d_ref))
                      : 2.0 * std::numbers::pi * (1.0 - d_ref / std::hypot(d_ref, 0.5 * a));
    } else {
        const double a = beam.field_size_cm * disc.skin_distance_cm / d_ref;
        spread_ = beam.shape == ApertureShape::Square ? a * a : std::numbers::pi * 0.25 * a * a;
    }
}

double ExposureSimulation::AnalyticAirKerma() const {
    double sum = 0.0;
    for (std::size_t i = 0; i < air_kerma_factor_.size(); ++i) {
        sum += model_.beam.weight[i] * air_kerma_factor_[i];
    }
    sum /= cumulative_.back();
    if (model_.beam.divergence == BeamDivergence::Divergent) {
        const double d = model_.beam.reference_distance_cm;
        return sum / (spread_ * d * d);
    }
    return sum / spread_;
}

std::size_t ExposureSimulation::SampleEnergy(RandomStream& random) const {
    const double target = random.Uniform() * cumulative_.back();
    const auto it = std::upper_bound(cumulative_.begin(), cumulative_.end(), target);
    return std::min(static_cast<std::size_t>(it - cumulative_.begin()), cumulative_.size() - 1);
}

bool ExposureSimulation::InsideAperture(const Vec& w) const {
    if (!(w.z > 0)) {
        return false;
    }
    const double half = 0.5 * model_.beam.field_size_cm / model_.beam.reference_distance_cm;
    const double tx = w.x / w.z;
    const double ty = w.y / w.z;
    if (model_.beam.shape == ApertureShape::Square) {
        return std::abs(tx) <= half && std::abs(ty) <= half;
    }
    return tx * tx + ty * ty <= half * half;
}

void ExposureSimulation::SampleSource(RandomStream& random, Vec& p, Vec& w) const {
    const ExposureBeam& beam = model_.beam;
    if (beam.divergence == BeamDivergence::Parallel) {
        const double a =
            beam.field_size_cm * model_.disc.skin_distance_cm / beam.reference_distance_cm;
        w = {0.0, 0.0, 1.0};
        if (beam.shape == ApertureShape::Square) {
            p = {a * (random.Uniform() - 0.5), a * (random.Uniform() - 0.5), 0.0};
        } else {
            const double r = 0.5 * a * std::sqrt(random.Uniform());
            const double phi = 2.0 * std::numbers::pi * random.Uniform();
            p = {r * std::cos(phi), r * std::sin(phi), 0.0};
        }
        return;
    }
    // Uniform in solid angle over the cap around the aperture, the square's corners cut off
    // by rejection (accepts about 2 / pi of the draws).
    const double half = 0.5 * beam.field_size_cm / beam.reference_distance_cm;
    const double tan_cap = beam.shape == ApertureShape::Square ? half * std::numbers::sqrt2 : half;
    const double cos_cap = 1.0 / std::sqrt(1.0 + tan_cap * tan_cap);
    p = {0.0, 0.0, 0.0};
    for (;;) {
        const double cos_theta = 1.0 - random.Uniform() * (1.0 - cos_cap);
        const double sin_theta = std::sqrt(std::max(0.0, 1.0 - cos_theta * cos_theta));
        const double phi = 2.0 * std::numbers::pi * random.Uniform();
        w = {sin_theta * std::cos(phi), sin_theta * std::sin(phi), cos_theta};
        if (InsideAperture(w)) {
            return;
        }
    }
}

ExposureSimulation::Vec ExposureSimulation::SampleDiscPoint(RandomStream& random) const {
    const ScoringDisc& disc = model_.disc;
    const double r = disc.radius_cm * std::sqrt(random.Uniform());
    const double phi = 2.0 * std::numbers::pi * random.Uniform();
    return {r * std::cos(phi), r * std::sin(phi),
            disc.skin_distance_cm + disc.thickness_cm * random.Uniform()};
}

bool ExposureSimulation::InsideExclusion(const Vec& p) const {
    const ScoringDisc& disc = model_.disc;
    const double m = disc.exclusion_margin_cm;
    const double r = disc.radius_cm + m;
    return p.x * p.x + p.y * p.y <= r * r && p.z >= disc.skin_distance_cm - m &&
           p.z <= disc.skin_distance_cm + disc.thickness_cm + m;
}

ExposureSimulation::Path ExposureSimulation::Trace(const Vec& p, const Vec& w) const {
    Path path;
    for (std::size_t b = 0; b < model_.blocks.size(); ++b) {
        const Box& box = model_.blocks[b].box;
        double lo = -kInfinity;
        double hi = kInfinity;
        ClipAxis(p.x, w.x, box.x_min, box.x_max, lo, hi);
        ClipAxis(p.y, w.y, box.y_min, box.y_max, lo, hi);
        ClipAxis(p.z, w.z, box.z_min, box.z_max, lo, hi);
        lo = std::max(lo, 0.0);
        if (hi > lo) {
            // Insertion in order along the ray (the blocks do not overlap).
            int k = path.count++;
            while (k > 0 && path.parts[static_cast<std::size_t>(k - 1)].t_in > lo) {
                path.parts[static_cast<std::size_t>(k)] =
                    path.parts[static_cast<std::size_t>(k - 1)];
                --k;
            }
            path.parts[static_cast<std::size_t>(k)] = {static_cast<int>(b), lo, hi};
        }
    }
    return path;
}

double ExposureSimulation::OpticalDepth(const Path& path, double length, double energy_kev) const {
    double tau = 0.0;
    for (int k = 0; k < path.count; ++k) {
        const Interval& part = path.parts[static_cast<std::size_t>(k)];
        if (part.t_in >= length) {
            break;
        }
        const ExposureMedium& medium = *model_.blocks[static_cast<std::size_t>(part.block)].medium;
        tau +=
            medium.Tables().At(energy_kev).attenuation * (std::min(part.t_out, length) - part.t_in);
    }
    return tau;
}

double ExposureSimulation::DiscChord(const Vec& p, const Vec& w, double length) const {
    const ScoringDisc& disc = model_.disc;
    double lo = 0.0;
    double hi = length;
    ClipAxis(p.z, w.z, disc.skin_distance_cm, disc.skin_distance_cm + disc.thickness_cm, lo, hi);
    if (!(hi > lo)) {
        return 0.0;
    }
    const double a = w.x * w.x + w.y * w.y;
    const double b = p.x * w.x + p.y * w.y;
    const double c = p.x * p.x + p.y * p.y - disc.radius_cm * disc.radius_cm;
    if (a < 1e-300) {
        return c <= 0.0 ? hi - lo : 0.0;
    }
    const double discriminant = b * b - a * c;
    if (discriminant <= 0.0) {
        return 0.0;
    }
    const double root = std::sqrt(discriminant);
    lo = std::max(lo, (-b - root) / a);
    hi = std::min(hi, (-b + root) / a);
    return hi > lo ? hi - lo : 0.0;
}

void ExposureSimulation::ScoreSource(std::size_t bin, const Vec& p, const Vec& w,
                                     RandomStream& random, ExposureTally& tally) const {
    const ExposureBeam& beam = model_.beam;
    const double e = beam.energy_kev[bin];
    const double d_ref = beam.reference_distance_cm;
    const bool divergent = beam.divergence == BeamDivergence::Divergent;
    tally.incident_energy += e;

    // Free in air: the point estimator, and the crossings of a disc at the reference plane.
    const double air = air_kerma_factor_[bin];
    tally.air_point += divergent ? air / (spread_ * d_ref * d_ref) : air / spread_;
    const double t = (d_ref - p.z) / w.z;
    const double x = p.x + t * w.x;
    const double y = p.y + t * w.y;
    const double r_air = model_.air_disc_radius_cm;
    if (x * x + y * y <= r_air * r_air) {
        tally.air_crossing += air / (std::numbers::pi * r_air * r_air * w.z);
    }

    // Unscattered photons in the disc: the expected fluence at a point drawn in it.
    const Vec point = SampleDiscPoint(random);
    double fluence = 0.0;
    if (divergent) {
        const double r = std::sqrt(point.x * point.x + point.y * point.y + point.z * point.z);
        const Vec u{point.x / r, point.y / r, point.z / r};
        if (InsideAperture(u)) {
            const double tau = OpticalDepth(Trace({0.0, 0.0, 0.0}, u), r, e);
            fluence = std::exp(-tau) / (spread_ * r * r);
        }
    } else {
        const double half = 0.5 * beam.field_size_cm * model_.disc.skin_distance_cm / d_ref;
        const bool inside = beam.shape == ApertureShape::Square
                                ? std::abs(point.x) <= half && std::abs(point.y) <= half
                                : point.x * point.x + point.y * point.y <= half * half;
        if (inside) {
            const double tau =
                OpticalDepth(Trace({point.x, point.y, 0.0}, {0.0, 0.0, 1.0}), point.z, e);
            fluence = std::exp(-tau) / spread_;
        }
    }
    tally.tissue_primary += fluence * model_.dose_medium->Tables().KermaFactor(e);
}

double ExposureSimulation::NextEvent(const Vec& p, const Vec& w, double energy_kev,
                                     const ExposureMedium& medium, RandomStream& random) const {
    const Vec point = SampleDiscPoint(random);
    const Vec d{point.x - p.x, point.y - p.y, point.z - p.z};
    const double r2 = d.x * d.x + d.y * d.y + d.z * d.z;
    const double r = std::sqrt(r2);
    const Vec u{d.x / r, d.y / r, d.z / r};
    const double mu = std::clamp(w.x * u.x + w.y * u.y + w.z * u.z, -1.0, 1.0);
    const PhotonTables::Interaction data = medium.Tables().At(energy_kev);
    const double coherent = 1.0 - data.photo_incoherent_share;
    const double incoherent = data.photo_incoherent_share - data.photo_share;
    const PhotonTables& dose = model_.dose_medium->Tables();
    const Path path = Trace(p, u);
    double sum = 0.0;
    if (coherent > 0.0) {
        sum += coherent * medium.Densities().Coherent(energy_kev, mu) *
               std::exp(-OpticalDepth(path, r, energy_kev)) * dose.KermaFactor(energy_kev);
    }
    const double scattered = ScatterDensities::ComptonEnergy(energy_kev, mu);
    if (incoherent > 0.0 && scattered >= cutoff_kev_) {
        sum += incoherent * medium.Densities().Incoherent(energy_kev, mu) *
               std::exp(-OpticalDepth(path, r, scattered)) * dose.KermaFactor(scattered);
    }
    return sum / (2.0 * std::numbers::pi * r2);
}

void ExposureSimulation::RunHistory(RandomStream& random, ExposureTally& tally) const {
    ++tally.histories;
    const std::size_t bin = SampleEnergy(random);
    Vec p{};
    Vec w{};
    SampleSource(random, p, w);
    ScoreSource(bin, p, w, random, tally);
    double e = model_.beam.energy_kev[bin];
    bool from_exclusion = false;  // the focus lies far from the disc
    bool couch_scattered = false;
    for (int n = 0; n < kMaxInteractions; ++n) {
        const Path path = Trace(p, w);
        double tau = -std::log(random.UniformOpenZero());
        int block = -1;
        double distance = kInfinity;
        for (int k = 0; k < path.count && block < 0; ++k) {
            const Interval& part = path.parts[static_cast<std::size_t>(k)];
            const double mu = model_.blocks[static_cast<std::size_t>(part.block)]
                                  .medium->Tables()
                                  .At(e)
                                  .attenuation;
            const double length = part.t_out - part.t_in;
            if (tau < mu * length) {
                block = part.block;
                distance = part.t_in + tau / mu;
            } else {
                tau -= mu * length;
            }
        }
        if (from_exclusion) {
            const double track = DiscChord(p, w, distance) *
                                 model_.dose_medium->Tables().KermaFactor(e) / disc_volume_;
            tally.tissue_track += track;
            tally.tissue_couch_scatter += couch_scattered ? track : 0.0;
        }
        if (block < 0) {
            tally.escaped_energy += e;
            return;
        }
        p = {p.x + distance * w.x, p.y + distance * w.y, p.z + distance * w.z};
        ++tally.collisions;
        const auto b = static_cast<std::size_t>(block);
        const ExposureMedium& medium = *model_.blocks[b].medium;
        const bool inside = InsideExclusion(p);
        couch_scattered = couch_scattered || model_.blocks[b].couch;
        if (!inside) {
            // The next event is the photon scattered here: couch scatter if here is the couch.
            const double next_event = NextEvent(p, w, e, medium, random);
            tally.tissue_next_event += next_event;
            tally.tissue_couch_scatter += couch_scattered ? next_event : 0.0;
        }
        const PhotonTables::Interaction data = medium.Tables().At(e);
        const double pick = random.Uniform();
        if (pick < data.photo_share) {
            tally.deposited_energy[b] += e;
            return;
        }
        double cos_theta = 1.0;
        if (pick < data.photo_incoherent_share) {
            const double scattered = medium.Tables().SampleIncoherent(e, random, cos_theta);
            tally.deposited_energy[b] += e - scattered;
            e = scattered;
        } else {
            cos_theta = medium.Tables().SampleCoherentCosine(e, random);
        }
        RotateDirection(w.x, w.y, w.z, cos_theta, random);
        if (e < cutoff_kev_) {
            tally.deposited_energy[b] += e;
            return;
        }
        from_exclusion = inside;
    }
    throw std::runtime_error("exposure history did not end within " +
                             std::to_string(kMaxInteractions) + " interactions");
}

namespace {

Estimate MeanOfBatches(const std::vector<ExposureTally>& batches,
                       double (*quantity)(const ExposureTally&)) {
    const double n = static_cast<double>(batches.size());
    double sum = 0.0;
    for (const ExposureTally& b : batches) {
        sum += quantity(b);
    }
    const double mean = sum / n;
    double squares = 0.0;
    for (const ExposureTally& b : batches) {
        squares += (quantity(b) - mean) * (quantity(b) - mean);
    }
    return {mean, std::sqrt(squares / (n - 1.0) / n)};
}

double PerHistory(double value, const ExposureTally& t) {
    return value / static_cast<double>(t.histories);
}

// Ratio of two batch means with its standard error to first order, their covariance
// included (both come from the same histories).
Estimate RatioOfBatches(const std::vector<ExposureTally>& batches, const Estimate& top,
                        const Estimate& bottom, double (*top_of)(const ExposureTally&),
                        double (*bottom_of)(const ExposureTally&)) {
    const double n = static_cast<double>(batches.size());
    double covariance = 0.0;
    for (const ExposureTally& b : batches) {
        covariance += (top_of(b) - top.mean) * (bottom_of(b) - bottom.mean);
    }
    covariance /= (n - 1.0) * n;
    const double ratio = top.mean / bottom.mean;
    const double relative2 = top.Relative() * top.Relative() +
                             bottom.Relative() * bottom.Relative() -
                             2.0 * covariance / (top.mean * bottom.mean);
    return {ratio, ratio * std::sqrt(std::max(0.0, relative2))};
}

}  // namespace

ExposureResult ExposureSimulation::Run(const ExposureRunSettings& settings) const {
    if (settings.batches < 2 || settings.histories_per_batch < 1 || settings.threads < 1) {
        throw std::invalid_argument(
            "a simulation needs at least 2 batches, 1 history per batch and 1 thread");
    }
    ExposureResult result;
    result.batches.resize(static_cast<std::size_t>(settings.batches));
    RunBatches(settings.batches, settings.threads, [&](int batch) {
        ExposureTally tally;
        const std::int64_t first = batch * settings.histories_per_batch;
        for (std::int64_t h = first; h < first + settings.histories_per_batch; ++h) {
            RandomStream random(settings.seed, kExposureStream, static_cast<std::uint64_t>(h));
            RunHistory(random, tally);
        }
        result.batches[static_cast<std::size_t>(batch)] = tally;
    });
    for (const ExposureTally& batch : result.batches) {
        result.total.Add(batch);
    }
    auto tissue = [](const ExposureTally& t) { return PerHistory(t.TissueKerma(), t); };
    auto air = [](const ExposureTally& t) { return PerHistory(t.air_point, t); };
    auto crossing = [](const ExposureTally& t) { return PerHistory(t.air_crossing, t); };
    result.tissue_kerma = MeanOfBatches(result.batches, tissue);
    result.air_kerma = MeanOfBatches(result.batches, air);
    result.air_kerma_crossing = MeanOfBatches(result.batches, crossing);
    result.ratio =
        RatioOfBatches(result.batches, result.tissue_kerma, result.air_kerma, tissue, air);
    auto couch = [](const ExposureTally& t) { return PerHistory(t.tissue_couch_scatter, t); };
    auto rest = [](const ExposureTally& t) {
        return PerHistory(t.TissueKerma() - t.tissue_couch_scatter, t);
    };
    result.couch_scatter_ratio =
        RatioOfBatches(result.batches, MeanOfBatches(result.batches, couch),
                       MeanOfBatches(result.batches, rest), couch, rest);
    return result;
}

}  // namespace korvex::refdata
