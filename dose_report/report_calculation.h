#pragma once

#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "device/device_file.h"
#include "dose_report/dose_report.h"
#include "dose_report/dose_thresholds.h"
#include "dose_report/map_geometry.h"
#include "engine/calculation_case.h"

namespace korvex {

struct EngineState;

// A choice for the whole report that cannot be used (a focus-skin distance that is no
// positive number). what() is the user's message.
class ReportOptionError : public std::runtime_error {
  public:
    explicit ReportOptionError(const std::string& message) : std::runtime_error(message) {}
};

enum class EventStatus { Calculated, NotCalculated, Duplicate };

// Where an event's focus-skin distance comes from: its central ray on the patient model,
// the user's one distance for all, or the reference point of Ka,r.
enum class DistanceSource { Geometry, User, ReferencePoint };
// "geometry", "user", "reference-point".
const char* DistanceSourceWord(DistanceSource source);
// "幾何", "指定", "基準点"; unless `japanese` "geometry", "given", "reference point".
const char* DistanceSourceLabel(DistanceSource source, bool japanese = true);

// One event of the reports as the calculation took it: the inputs it used and what it
// gave, or why it was not calculated.
struct EventCalculation {
    size_t report_index = 0;  // into the reports given
    size_t event_index = 0;   // into that report's events
    AcquisitionPlane plane = AcquisitionPlane::Unknown;
    EventStatus status = EventStatus::NotCalculated;
    UserText reason;     // why not calculated, or of which event it is a duplicate
    std::string detail;  // the engine's own words when it failed, for the log and JSON
    // Everything the reader and the calculation noticed about the event, in order.
    std::vector<EventNote> notes;

    // Inputs; those the report gives are set even when the event is not calculated.
    std::optional<double> tube_voltage_kv;     // kV
    std::optional<double> kar_mgy;             // mGy
    std::optional<double> pka_gycm2;           // Gy*cm^2
    std::optional<double> added_aluminium_mm;  // mm
    std::optional<double> added_copper_mm;     // mm
    bool filters_from_event = false;           // else the device's
    double focus_skin_distance_cm = 0;         // cm
    DistanceSource distance_source = DistanceSource::ReferencePoint;
    bool through_couch = true;                  // its central ray crosses the table
    bool on_map = false;                        // its field is on the skin-dose map
    UserText not_on_map;                        // why a calculated event is not
    std::optional<double> primary_angle_deg;    // degrees
    std::optional<double> secondary_angle_deg;  // degrees

    // Results of a calculated event: the case after the calculation, the seven displays
    // and the field size at the reference point as shown ("#0.00", square).
    CalculationCase calc;
    std::array<std::optional<std::string>, 7> displays;
    std::string field_size_text;
    int group = -1;  // index of its projection group
};

// Calculated events of one plane and beam direction.
struct ProjectionGroup {
    AcquisitionPlane plane = AcquisitionPlane::Unknown;
    std::string label;                          // "LAO 30 CRA 10", "AP", "角度不明"
    std::optional<double> primary_angle_deg;    // of its first event, degrees
    std::optional<double> secondary_angle_deg;  // of its first event, degrees
    std::vector<size_t> events;                 // indices into ReportCalculation::events
    double kar_mgy = 0;                         // sum, mGy
    double pka_gycm2 = 0;                       // sum, Gy*cm^2
    double skin_dose_mgy = 0;                   // sum, mGy: all its fields overlapping
    double skin_dose_uncertainty = 0;           // relative, k = 2; 0 under the legacy formula
};

struct DoseFlag {
    UserText name;     // what is compared, for the user
    double value = 0;  // in `unit`
    double threshold = 0;
    std::string unit;
    UserText source;  // the publication the level comes from
    bool raised = false;
};

// Event sums against the report's own accumulated totals, per plane.
struct PlaneCrossCheck {
    AcquisitionPlane plane = AcquisitionPlane::Unknown;
    double kar_mgy = 0;                      // all events read, calculated or not, mGy
    double pka_gycm2 = 0;                    // Gy*cm^2
    std::optional<double> report_kar_mgy;    // the reports' totals, mGy
    std::optional<double> report_pka_gycm2;  // Gy*cm^2
};

struct ReportSummary {
    int calculated = 0;
    int not_calculated = 0;
    int duplicates = 0;
    double peak_skin_dose_mgy = 0;  // largest group sum, mGy (estimate of the peak skin dose)
    double peak_skin_dose_uncertainty = 0;  // relative, k = 2; 0 under the legacy formula
    int peak_group = -1;
    double skin_dose_sum_mgy = 0;       // all calculated events, mGy (upper bound)
    double kar_calculated_mgy = 0;      // mGy
    double pka_calculated_gycm2 = 0;    // Gy*cm^2
    double kar_not_included_mgy = 0;    // not calculated events whose Ka,r is known, mGy
    double pka_not_included_gycm2 = 0;  // Gy*cm^2
    int not_included_without_kar = 0;   // not calculated events whose Ka,r is unknown
    int not_included_without_pka = 0;
    int event_notes = 0;                     // notes of all events
    int events_with_notes = 0;               // events with at least one note
    std::optional<double> report_kar_mgy;    // sum of the reports' own totals, mGy
    std::optional<double> report_pka_gycm2;  // Gy*cm^2
    std::vector<PlaneCrossCheck> planes;
    std::vector<DoseFlag> flags;
    std::vector<UserText> notes;
};

// The skin-dose map of the calculated events that could be placed on the patient model.
struct SkinMapResult {
    bool made = false;  // at least one event is on it
    SkinDoseMap map;
    UserText patient_source;  // where the patient model's size comes from
    int events_on_map = 0;
    int events_not_on_map = 0;
    double largest_event_mgy = 0;  // largest skin dose of one event on the map
    std::vector<MapBeam> beams;    // the fields on the map, in the events' order
    std::vector<UserText> notes;
};

struct ReportCalculation {
    DoseModel model = kDefaultDoseModel;  // of every event's skin dose
    std::string device_file;
    LoadedDevice device;
    std::string fsd_text;                  // as used
    std::vector<EventCalculation> events;  // every event of every report, in time order
    std::vector<ProjectionGroup> groups;
    ReportSummary summary;
    SkinMapResult skin_map;
};

struct ReportOptions {
    std::string device_file;  // bare name in the working folder
    std::string fsd_text;     // cm; empty: each event's own distance
    DoseModel model = kDefaultDoseModel;
    MapGeometrySettings geometry = DefaultMapGeometry();
};

// Calculates every event of the reports, each as one exposure of the exposure form: the
// device, the event's kV, Ka,r and P_KA, a square field, its focus-skin distance and the
// event's added filters (the device's when the event lists none). The distance is the
// user's where given, else where the event's central ray meets the patient model, else the
// reference point's; the couch counts where the central ray crosses the table. Events
// with a UID already seen count once. Then the projection groups, the skin-dose map and the
// summary with its flags.
// Works on `state`, whose case it overwrites: give it a state of its own. Throws
// FileError when the device cannot be loaded and ReportOptionError for a distance that is
// no positive number.
ReportCalculation CalculateDoseReports(EngineState& state, const std::vector<DoseReport>& reports,
                                       const ReportOptions& options,
                                       const DoseThresholds& thresholds);

// Groups the calculated events (given in time order): an event joins the first group of
// its plane whose first event's primary and secondary angles both lie within
// kProjectionToleranceDeg of its own; events without both angles form one group per plane.
inline constexpr double kProjectionToleranceDeg = 10;
std::vector<ProjectionGroup> GroupProjections(std::vector<EventCalculation>& events);

// "LAO 30 CRA 10" from angles in degrees (rounded to whole degrees): primary > 0 LAO,
// < 0 RAO; secondary > 0 CRA, < 0 CAU; both 0 "AP"; without both angles "角度不明".
std::string ProjectionLabel(std::optional<double> primary_deg, std::optional<double> secondary_deg);

}  // namespace korvex
