#include "tools/refdata/exposure_comparison.h"

#include <chrono>
#include <cmath>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "device/device_file.h"
#include "engine/calculation_driver.h"
#include "engine/engine_state.h"
#include "engine/reference_tables.h"
#include "engine/spectrum.h"
#include "engine/text_rules.h"
#include "exposure/exposure_form.h"
#include "tools/refdata/cross_sections.h"
#include "tools/refdata/materials.h"

namespace korvex::refdata {
namespace {

constexpr double kLowestKev = 1.0;  // photons below are absorbed where they are
constexpr double kHighestKev = 150.0;
constexpr double kDisplayedKarMgy = 10;  // any value: only ratios to Ka,r are compared
constexpr double kPatientSlabHalfWidthCm = 15;
constexpr double kPatientSlabHalfLengthCm = 20;
constexpr double kPatientSlabThicknessCm = 20;
constexpr double kLargeHalfSizeCm = 100;
constexpr double kLargeThicknessCm = 100;
constexpr double kMaxPlateCm = 20;

// The media every exposure may use, built once per process (their tables take a while).
struct Media {
    ExposureMedium tissue{IcruSoftTissue(), kLowestKev, kHighestKev};
    ExposureMedium carbon{CarbonFibreComposite(), kLowestKev, kHighestKev};
    ExposureMedium foam{PolyurethaneFoam(kMattressDensity), kLowestKev, kHighestKev};
};

const Media& SharedMedia() {
    static const Media media;
    return media;
}

// The device loaded through the exposure form, as the main window would load it.
struct LoadedExposure {
    std::unique_ptr<EngineState> state;
    std::unique_ptr<ExposureForm> form;
    double field_size_cm = 0;  // as the form shows it ("#0.00") and the engine uses it
};

LoadedExposure LoadExposure(const ExposureRequest& request) {
    if (request.device.empty() ||
        std::filesystem::path(request.device).filename().string() != request.device) {
        throw std::invalid_argument("--device takes a file name in the working folder, not \"" +
                                    request.device + "\"");
    }
    LoadedExposure loaded;
    loaded.state = std::make_unique<EngineState>(LoadReferenceTables(request.working_folder),
                                                 request.working_folder);
    loaded.form = std::make_unique<ExposureForm>(*loaded.state);
    ExposureForm& form = *loaded.form;
    form.ChooseDevice(request.device);
    // Readings whose ratio gives the requested field: area = P_KA / (0.001 Ka,r) cm^2.
    const double area_cm2 = request.shape == ApertureShape::Square
                                ? request.field_size_cm * request.field_size_cm
                                : Pi * 0.25 * request.field_size_cm * request.field_size_cm;
    form.Enter(ExposureField::TubeVoltage, ShortestNumberText(request.tube_voltage_kv));
    form.Enter(ExposureField::Kar, ShortestNumberText(kDisplayedKarMgy));
    form.Enter(ExposureField::Pka, ShortestNumberText(area_cm2 * 0.001 * kDisplayedKarMgy));
    form.Enter(ExposureField::FocusSkinDistance,
               ShortestNumberText(request.focus_skin_distance_cm));
    const FieldShapeKind shape =
        request.shape == ApertureShape::Square ? FieldShapeKind::Square : FieldShapeKind::Circle;
    if (!form.ChooseShape(shape)) {
        throw std::invalid_argument("the field size gives no field shape");
    }
    loaded.field_size_cm = LeadingNumber(form.FieldSizeText());
    return loaded;
}

}  // namespace

void AddEngineSpectrum(EngineState& state, double tube_voltage_kv, ExposureBeam& beam) {
    ComputeSpectrum(state, tube_voltage_kv);
    for (long i = 2; i <= LastSpectrumBin(tube_voltage_kv); ++i) {
        if (state.work.PhotonSpectrum[i] > 0) {
            beam.energy_kev.push_back(0.5 * static_cast<double>(i));
            beam.weight.push_back(state.work.PhotonSpectrum[i]);
        }
    }
}

namespace {

// The couch's plate thickness for the device's calibration beam (its usual voltage).
double DevicePlateThickness(EngineState& state, const ExposureForm& form, double mattress_cm) {
    const double kvn = LeadingNumber(form.Device().TypicalTubeVoltage);
    const SpectrumSums sums = ComputeSpectrumShape(state, kvn);
    NormaliseAirKermaSpectrum(state, kvn, sums.AirKerma);
    return CarbonPlateThickness(state.work.AirKermaSpectrum, LastSpectrumBin(kvn),
                                state.calc.CouchTransmission, mattress_cm);
}

// The mattress of a carbon couch: the request's, else a table-top device's own, else 4 cm.
double MattressOf(const ExposureRequest& request, const CalculationCase& calc) {
    if (request.mattress_cm) {
        return *request.mattress_cm;
    }
    return calc.Couch == korvex::CouchModel::TableTop ? calc.MattressThickness
                                                      : kMattressThicknessCm;
}

// Patient, and the couch under it: the tissue layer in contact, or the carbon-fibre plate
// under the mattress. Couch blocks are marked so that their scatter is scored apart.
std::vector<Block> Geometry(const CouchGeometry& g, const Media& media) {
    const bool large = g.patient == PatientModel::Large;
    const double px = large ? kLargeHalfSizeCm : kPatientSlabHalfWidthCm;
    const double py = large ? kLargeHalfSizeCm : kPatientSlabHalfLengthCm;
    const double pz = large ? kLargeThicknessCm : kPatientSlabThicknessCm;
    const double cx = large ? kLargeHalfSizeCm : kCouchHalfWidthCm;
    const double cy = large ? kLargeHalfSizeCm : kCouchHalfLengthCm;
    const double fsd = g.skin_distance_cm;
    std::vector<Block> blocks{{{-px, px, -py, py, fsd, fsd + pz}, &media.tissue, false}};
    if (g.couch == CouchModel::Tissue) {
        if (g.couch_cm > 0) {
            blocks.push_back({{-cx, cx, -cy, cy, fsd - g.couch_cm, fsd}, &media.tissue, true});
        }
    } else {
        const double top = fsd - g.mattress_cm;
        if (g.mattress_cm > 0) {
            blocks.push_back({{-cx, cx, -cy, cy, top, fsd}, &media.foam, true});
        }
        if (g.couch_cm > 0) {
            blocks.push_back({{-cx, cx, -cy, cy, top - g.couch_cm, top}, &media.carbon, true});
        }
    }
    return blocks;
}

ExposureModel ModelOf(const ExposureBeam& beam, const CouchGeometry& geometry,
                      const ScoringDisc& disc) {
    const Media& media = SharedMedia();
    ExposureModel model;
    model.beam = beam;
    model.disc = disc;
    model.disc.skin_distance_cm = geometry.skin_distance_cm;
    model.dose_medium = &media.tissue;
    model.blocks = Geometry(geometry, media);
    return model;
}

nlohmann::json Simulate(const ExposureRequest& request, LoadedExposure& loaded) {
    if (request.histories < request.batches) {
        throw std::invalid_argument("--histories must be at least the number of batches");
    }
    EngineState& state = *loaded.state;
    const CalculationCase& calc = state.calc;
    nlohmann::json out;
    CouchGeometry geometry{request.couch, request.patient, request.focus_skin_distance_cm,
                           calc.CouchEquivalentThickness, MattressOf(request, calc)};
    if (request.couch == CouchModel::CarbonFibre) {
        geometry.couch_cm = DevicePlateThickness(state, *loaded.form, geometry.mattress_cm);
        out["CarbonPlateThickness"] = geometry.couch_cm;
        out["MattressThickness"] = geometry.mattress_cm;
    }
    ExposureBeam beam;
    beam.shape = request.shape;
    beam.field_size_cm = loaded.field_size_cm;
    beam.reference_distance_cm = calc.FocusIsocentreDistance - kReferencePointOffset;
    beam.divergence = request.divergence;
    AddEngineSpectrum(state, request.tube_voltage_kv, beam);
    ScoringDisc disc = request.disc;
    disc.skin_distance_cm = request.focus_skin_distance_cm;

    const auto start = std::chrono::steady_clock::now();
    const ExposureResult result = SimulateGeometry(
        beam, geometry, disc,
        {request.histories / request.batches, request.batches, request.seed, request.threads});
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto histories = result.total.histories;
    std::cerr << "korvex-refdata: " << histories << " histories in " << seconds << " s ("
              << static_cast<double>(histories) / seconds << " per second, " << request.threads
              << " threads)\n";

    const ExposureTally& t = result.total;
    out["ReferenceDistance"] = beam.reference_distance_cm;
    out["FieldSize"] = loaded.field_size_cm;
    out["SimulationRatio"] = result.ratio.mean;
    out["SimulationUncertainty"] = result.ratio.Relative();
    out["SimulationPrimaryFraction"] = t.tissue_primary / t.TissueKerma();
    out["SimulationTrackFraction"] = t.tissue_track / t.TissueKerma();
    out["CouchScatterRatio"] = result.couch_scatter_ratio.mean;
    out["CouchScatterRatioUncertainty"] = result.couch_scatter_ratio.standard_error;
    out["AirKermaAnalytic"] = ExposureSimulation(ModelOf(beam, geometry, disc)).AnalyticAirKerma();
    out["AirKermaPoint"] = result.air_kerma.mean;
    out["AirKermaCrossing"] = result.air_kerma_crossing.mean;
    out["AirKermaCrossingUncertainty"] = result.air_kerma_crossing.Relative();
    out["EnergyBalance"] = (t.DepositedEnergy() + t.escaped_energy) / t.incident_energy - 1.0;
    out["Histories"] = histories;
    out["Collisions"] = t.collisions;
    return out;
}

nlohmann::json RequestJson(const ExposureRequest& request) {
    return {{"Device", request.device},
            {"TubeVoltage", request.tube_voltage_kv},
            {"Shape", request.shape == ApertureShape::Square ? "square" : "circle"},
            {"Size", request.field_size_cm},
            {"FocusSkinDistance", request.focus_skin_distance_cm},
            {"Couch", request.couch == CouchModel::Tissue ? "tissue" : "carbon"},
            {"Beam", request.divergence == BeamDivergence::Divergent ? "divergent" : "parallel"},
            {"Patient", request.patient == PatientModel::Slab ? "slab" : "large"},
            {"DiscRadius", request.disc.radius_cm},
            {"DiscThickness", request.disc.thickness_cm},
            {"ExclusionMargin", request.disc.exclusion_margin_cm},
            {"Seed", request.seed},
            {"Batches", request.batches}};
}

}  // namespace

ExposureResult SimulateGeometry(const ExposureBeam& beam, const CouchGeometry& geometry,
                                const ScoringDisc& disc, const ExposureRunSettings& run) {
    return ExposureSimulation(ModelOf(beam, geometry, disc)).Run(run);
}

double MattressTransmission(const FineArray& air_kerma, long last_bin, double mattress_cm) {
    const Material foam = PolyurethaneFoam(kMattressDensity);
    double transmitted = 0.0;
    double total = 0.0;
    for (long i = 2; i <= last_bin; ++i) {
        const double e = 0.5 * static_cast<double>(i);
        transmitted += air_kerma[i] * std::exp(-LinearAttenuation(foam, e) * mattress_cm);
        total += air_kerma[i];
    }
    return transmitted / total;
}

double CarbonPlateThickness(const FineArray& air_kerma, long last_bin, double transmission,
                            double mattress_cm) {
    const Material carbon = CarbonFibreComposite();
    const Material foam = PolyurethaneFoam(kMattressDensity);
    std::vector<double> weight;
    std::vector<double> mu_carbon;
    std::vector<double> mattress;
    double total = 0.0;
    for (long i = 2; i <= last_bin; ++i) {
        const double e = 0.5 * static_cast<double>(i);
        weight.push_back(air_kerma[i]);
        mu_carbon.push_back(LinearAttenuation(carbon, e));
        mattress.push_back(std::exp(-LinearAttenuation(foam, e) * mattress_cm));
        total += air_kerma[i];
    }
    auto transmitted = [&](double plate_cm) {
        double sum = 0.0;
        for (std::size_t k = 0; k < weight.size(); ++k) {
            sum += weight[k] * mattress[k] * std::exp(-mu_carbon[k] * plate_cm);
        }
        return sum / total;
    };
    if (!(total > 0) || !(transmission > transmitted(kMaxPlateCm)) ||
        !(transmission <= transmitted(0.0))) {
        throw std::invalid_argument("no carbon-fibre plate under the mattress transmits " +
                                    ShortestNumberText(transmission) + " of the beam");
    }
    double lo = 0.0;
    double hi = kMaxPlateCm;
    for (int n = 0; n < 60; ++n) {
        const double mid = 0.5 * (lo + hi);
        (transmitted(mid) > transmission ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

std::string WriteValidationDevice(const std::filesystem::path& folder, const std::string& name,
                                  double copper_mm, double couch_cm, korvex::CouchModel couch,
                                  double mattress_cm) {
    constexpr double kCalibrationKv = 80;
    EngineState state(LoadReferenceTables(folder), folder);
    CalculationCase& calc = state.calc;
    calc.TargetAngle = 12;
    calc.InherentFiltration = 0.25;
    calc.AddedAluminium = 0;
    calc.AddedCopper = 0.1 * copper_mm;
    calc.ArbitraryFilterOn = 0;
    calc.FocusReceptorDistance = 120;
    calc.FocusIsocentreDistance = 80;
    const SpectrumSums sums = ComputeSpectrumShape(state, kCalibrationKv);
    NormaliseAirKermaSpectrum(state, kCalibrationKv, sums.AirKerma);
    double transmitted = 0.0;
    double total = 0.0;
    for (long i = 2; i <= LastSpectrumBin(kCalibrationKv); ++i) {
        const double w = state.work.AirKermaSpectrum[i];
        transmitted += w * std::exp(-state.tables.MuPhantom[i] * couch_cm);
        total += w;
    }
    calc.CouchTransmission = transmitted / total;
    calc.CouchEquivalentThickness = couch_cm;
    calc.KermaCorrectionFactor = 1;
    calc.Couch = couch;
    calc.MattressThickness = couch == korvex::CouchModel::TableTop ? mattress_cm : 0;
    const DeviceDialogTexts texts{name,
                                  "2.50",
                                  "0.00",
                                  FormatNumber(copper_mm, "0.00"),
                                  "---",
                                  "0",
                                  ShortestNumberText(kCalibrationKv)};
    return SaveDeviceFile(folder, texts, calc);
}

// Every number of a result must be finite: a NaN or infinity is never printed.
nlohmann::json Checked(nlohmann::json out) {
    for (const auto& [key, value] : out.items()) {
        if (value.is_number_float() && !std::isfinite(value.get<double>())) {
            throw std::runtime_error(key + " is not a finite number");
        }
    }
    return out;
}

nlohmann::json SimulateExposure(const ExposureRequest& request) {
    LoadedExposure loaded = LoadExposure(request);
    nlohmann::json out = RequestJson(request);
    out.update(Simulate(request, loaded));
    return Checked(std::move(out));
}

namespace {

// The dose calculation of the loaded exposure by one model: skin dose per corrected Ka,r.
double EngineRatio(LoadedExposure& loaded, DoseModel model) {
    loaded.form->SetModel(model);
    const CalculationOutcome outcome = loaded.form->Calculate();
    if (outcome.result != CalculationOutcome::Result::Succeeded) {
        throw std::runtime_error("the dose calculation failed: " + outcome.reason);
    }
    return loaded.state->calc.SkinDose / loaded.state->calc.CorrectedKar;
}

// The validated ratio with the surface scatter extrapolated from the layer centres (a
// straight line through the first two, a parabola through the first three) instead of
// taken from the backscatter kernel: what docs/validation.md compares to choose. Only for
// couch depths beyond the first centre, where the variants interpolate alike. Reads the
// state as the validated calculation left it.
struct SurfaceScatterVariants {
    double line = 0;
    double parabola = 0;
};

std::optional<SurfaceScatterVariants> SurfaceScatterRatios(const EngineState& state,
                                                           double validated_ratio) {
    const CalculationCase& c = state.calc;
    if (!(c.CouchDepth > 0.25)) {
        return std::nullopt;
    }
    double primary_surface = 0;
    for (long e = 21; e <= LastSpectrumBin(c.TubeVoltage); ++e) {
        primary_surface += state.tables.PrimaryFine[e] * state.work.PhotonSpectrum[e];
    }
    const auto& scatter = state.depth.ScatterDepthDose;
    const double surface_dose = c.MeanBackscatterFactor * primary_surface;
    const double line = primary_surface + 1.5 * scatter[1] - 0.5 * scatter[2];
    const double parabola =
        primary_surface + (15 * scatter[1] - 10 * scatter[2] + 3 * scatter[3]) / 8;
    return SurfaceScatterVariants{validated_ratio * surface_dose / line,
                                  validated_ratio * surface_dose / parabola};
}

}  // namespace

nlohmann::json CompareExposure(const ExposureRequest& request) {
    LoadedExposure loaded = LoadExposure(request);
    CalculationCase& device = loaded.state->calc;
    const korvex::CouchModel own_couch = device.Couch;
    const double own_mattress = device.MattressThickness;
    nlohmann::json out = RequestJson(request);

    // Each couch model on the same exposure; a layer device behind a table top under the
    // carbon couch's mattress.
    const double mattress = MattressOf(request, device);
    device.Couch = korvex::CouchModel::TableTop;
    device.MattressThickness = mattress;
    const double table_top = EngineRatio(loaded, DoseModel::Validated);
    out["TableTopEngineRatio"] = table_top;
    out["TableTopMattressThickness"] = device.MattressThickness;
    out["CouchScatterRatioEngine"] = device.CouchScatterRatio;
    out["TableTopTransmission"] = device.TableTopTransmission;
    out["TableTopSkinDoseUncertainty"] = device.SkinDoseUncertainty;
    out["TableTopBackscatterFactor"] = device.MeanBackscatterFactor;
    device.Couch = korvex::CouchModel::Layer;
    const double legacy = EngineRatio(loaded, DoseModel::Legacy);
    const double legacy_depth_factor = device.DepthFactor;
    const double layer = EngineRatio(loaded, DoseModel::Validated);
    const std::optional<SurfaceScatterVariants> variants =
        SurfaceScatterRatios(*loaded.state, layer);
    const CalculationCase calc = device;
    device.Couch = own_couch;
    device.MattressThickness = own_mattress;
    const double validated = own_couch == korvex::CouchModel::TableTop ? table_top : layer;

    out["DeviceCouchModel"] = std::string(CouchModelKey(own_couch));
    out["EngineRatio"] = validated;
    out["LayerEngineRatio"] = layer;
    out["LegacyEngineRatio"] = legacy;
    out["DoseToKermaRatio"] = calc.DoseToKermaRatio;
    out["MeanBackscatterFactor"] = calc.MeanBackscatterFactor;
    out["DepthFactor"] = calc.DepthFactor;
    out["LegacyDepthFactor"] = legacy_depth_factor;
    out["CouchTransmission"] = calc.CouchTransmission;
    out["AddedCopper"] = calc.AddedCopper / kMmToCm;
    out["CouchEquivalentThickness"] = calc.CouchEquivalentThickness;
    out["SkinDoseUncertainty"] = calc.SkinDoseUncertainty;
    if (request.engine_only) {
        return Checked(std::move(out));
    }
    out.update(Simulate(request, loaded));
    const double simulated = out["SimulationRatio"].get<double>();
    const auto difference = [simulated](double ratio) { return 100.0 * (ratio / simulated - 1.0); };
    out["DifferencePercent"] = difference(validated);
    out["LayerDifferencePercent"] = difference(layer);
    out["TableTopDifferencePercent"] = difference(table_top);
    out["LegacyDifferencePercent"] = difference(legacy);
    out["DifferenceUncertaintyPercent"] =
        100.0 * validated / simulated * out["SimulationUncertainty"].get<double>();
    if (variants) {
        out["SurfaceScatterLineDifferencePercent"] = difference(variants->line);
        out["SurfaceScatterParabolaDifferencePercent"] = difference(variants->parabola);
    }
    return Checked(std::move(out));
}

}  // namespace korvex::refdata
