#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "engine/engine_state.h"
#include "engine/grid_array.h"
#include "tools/refdata/exposure_simulation.h"

namespace korvex::refdata {

enum class CouchModel {
    Tissue,       // soft tissue of the couch-equivalent thickness, in contact with the skin
    CarbonFibre,  // carbon-fibre plate under a foam mattress
};

enum class PatientModel {
    Slab,   // 30 cm wide, 40 cm long, 20 cm thick
    Large,  // 200 x 200 x 100 cm, couch as wide: the semi-infinite phantom of the kernels
};

// Couch top and mattress: 50 cm wide and 200 cm long, centred on the axis.
inline constexpr double kCouchHalfWidthCm = 25;
inline constexpr double kCouchHalfLengthCm = 100;
// Table mattress: polyurethane foam at 0.05 g/cm^3, the middle of the 0.03 to 0.08 g/cm^3
// of flexible and viscoelastic polyurethane foams; 4 cm unless the device or the request
// says otherwise.
inline constexpr double kMattressThicknessCm = 4;
inline constexpr double kMattressDensity = 0.05;

// What lies in the beam: the patient with its entrance face at `skin_distance_cm`, and the
// couch: `couch_cm` of tissue in contact, or a carbon-fibre plate of `couch_cm` under
// `mattress_cm` of foam.
struct CouchGeometry {
    CouchModel couch = CouchModel::Tissue;
    PatientModel patient = PatientModel::Slab;
    double skin_distance_cm = 0;
    double couch_cm = 0;
    double mattress_cm = kMattressThicknessCm;
};

// The simulation of a beam (field given at the reference plane) through that geometry.
ExposureResult SimulateGeometry(const ExposureBeam& beam, const CouchGeometry& geometry,
                                const ScoringDisc& disc, const ExposureRunSettings& run);

// One exposure as the program's user enters it, and how to simulate it.
struct ExposureRequest {
    std::filesystem::path working_folder = "data";
    std::string device;  // device file name in the working folder
    double tube_voltage_kv = 0;
    ApertureShape shape = ApertureShape::Square;
    double field_size_cm = 0;  // side or diameter at the reference point
    double focus_skin_distance_cm = 0;
    CouchModel couch = CouchModel::Tissue;
    // Carbon couch: the mattress; unset takes a table-top device's own, else 4 cm.
    std::optional<double> mattress_cm;
    BeamDivergence divergence = BeamDivergence::Divergent;
    PatientModel patient = PatientModel::Slab;
    ScoringDisc disc;  // skin distance taken from focus_skin_distance_cm
    std::int64_t histories = 1'000'000;
    int batches = 100;
    std::uint64_t seed = 20261208;
    int threads = 1;
    bool engine_only = false;  // compare: the dose calculation alone, no simulation
};

// The full-exposure simulation of the request, as one JSON object: the simulated ratio of
// skin kerma to air kerma at the reference point with its relative standard uncertainty,
// its parts and checks. Runs the engine's spectrum for the device and tube voltage; does
// not run the dose calculation. Throws on any failure (the message says what).
nlohmann::json SimulateExposure(const ExposureRequest& request);

// The dose calculation through the exposure form, by the validated model with the device's
// own couch model (EngineRatio), with each couch model (LayerEngineRatio,
// TableTopEngineRatio: the table top under the request's mattress, else the device's, else
// 4 cm) and by the legacy formula (LegacyEngineRatio), and the simulation of the same
// exposure: the ratios of skin dose to corrected Ka,r and their differences, added to the
// object of SimulateExposure (not with engine_only). Behind a couch thicker than 0.25 cm also the
// validated model with its surface scatter extrapolated from the kernel layers
// (SurfaceScatter...DifferencePercent).
nlohmann::json CompareExposure(const ExposureRequest& request);

// A device for the validation exposures, written as "<name>.kvx2" into `folder`: focus-
// receptor 120 cm, focus-isocentre 80 cm (reference point at 65 cm), 12 degree anode,
// 2.5 mm Al inherent, the given added copper, calibrated at 80 kV with a correction factor
// of 1, and a couch of `couch_cm` cm tissue equivalent: its transmission is that of the
// calibration beam's air kerma through that tissue (the thickness search of the device
// calibration run backwards); its couch model the layer, or a table top under
// `mattress_cm` of mattress (T then counts the mattress). Returns the file name.
std::string WriteValidationDevice(const std::filesystem::path& folder, const std::string& name,
                                  double copper_mm, double couch_cm,
                                  korvex::CouchModel couch = korvex::CouchModel::Layer,
                                  double mattress_cm = 0);

// The engine's photon spectrum of the state's device at the tube voltage as the beam's
// lines: E = 0.5 i keV with the weights PhotonSpectrum[i].
void AddEngineSpectrum(EngineState& state, double tube_voltage_kv, ExposureBeam& beam);

// Narrow-beam transmission of `mattress_cm` of the foam for the normalised air-kerma
// spectrum (fine grid, bins 2 .. last_bin).
double MattressTransmission(const FineArray& air_kerma, long last_bin, double mattress_cm);

// Thickness (cm) of carbon-fibre plate that, with `mattress_cm` of foam, transmits the fraction
// `transmission` of the air kerma of the normalised air-kerma spectrum `air_kerma` (fine
// grid, index i = 0.5 i keV, bins 2 .. last_bin), narrow beam. Throws std::invalid_argument
// when the mattress alone transmits less or the plate would need more than 20 cm.
double CarbonPlateThickness(const FineArray& air_kerma, long last_bin, double transmission,
                            double mattress_cm);

}  // namespace korvex::refdata
