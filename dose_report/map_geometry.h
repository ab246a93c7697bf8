#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "dose_report/dose_report.h"
#include "engine/skin_dose_map.h"

namespace korvex {

// Where a unit's table moves when the reported position grows, in the room as a patient
// lying head first and supine sees it.
enum class TableDirection { Head, Feet, Left, Right, Down, Up };

struct TableAxisConvention {
    TableDirection growing = TableDirection::Head;
    // The reported position (cm) at which the isocentre lies at the patient model's
    // reference point; none: the report's first event that gives the position.
    std::optional<double> zero_cm;
};

// One line of the geometry settings: a unit, matched by parts of its Manufacturer and
// Manufacturer's Model Name ("*" for any), and its table's conventions.
struct TableConvention {
    std::string maker = "*";
    std::string model = "*";
    TableAxisConvention longitudinal{TableDirection::Head, std::nullopt};
    TableAxisConvention lateral{TableDirection::Left, std::nullopt};
    TableAxisConvention height{TableDirection::Down, std::nullopt};
    int line = 0;  // in the settings file; 0 for the built-in default
};

// The settings file in the working folder (code page 932, CR LF): comment lines start with
// '#'; every other line is
// "maker,model,longitudinal,zero,lateral,zero,height,zero" with the directions head|feet,
// left|right, down|up and each zero a number of cm or "first". The first line that matches
// a report's unit is used; the built-in default (the directions PS3.16 gives, zero at the
// first event) where none does.
inline constexpr const char* kMapGeometryFile = "SkinMapGeometry.txt";

struct MapGeometrySettings {
    std::vector<TableConvention> conventions;
};

struct LoadedMapGeometry {
    MapGeometrySettings settings;
    // A message for the user when the file could not be read or made; the built-in
    // default is then used and a broken file is left as it is.
    std::string problem;
};

// Reads the settings; a missing file is made with the shipped lines.
LoadedMapGeometry LoadMapGeometry(const std::filesystem::path& working_folder);
std::vector<std::string> MapGeometryLines(const MapGeometrySettings& settings);
MapGeometrySettings DefaultMapGeometry();
// Throws FileError naming the line.
MapGeometrySettings ParseMapGeometry(const std::string& text);

const TableConvention& ConventionFor(const MapGeometrySettings& settings, const std::string& maker,
                                     const std::string& model);

// How the patient lies, from the event's codes; head first and supine where it says nothing.
struct PatientPosition {
    bool feet_first = false;
    bool prone = false;
    bool given = false;  // the event says how the patient lies
};
PatientPosition PositionOf(const IrradiationEvent& event);

// The patient model of a report: the report's height and weight where both are given and
// plausible, the adult default otherwise; `source` says which, for the user.
PatientModel PatientModelOf(const DoseReport& report, UserText& source);

// Table positions of a report's first event that gives each (cm), for zeros of "first".
struct TableZeros {
    std::optional<double> longitudinal;
    std::optional<double> lateral;
    std::optional<double> height;
};
TableZeros FirstTablePositions(const DoseReport& report);

// One event placed on the patient model: its beam (doses not yet set) and where its central
// ray meets the skin.
struct EventPlacement {
    bool placed = false;  // both angles known: the beam has a place
    MapBeam beam;
    std::optional<SkinHit> central;
    double reference_distance_cm = 0;  // focus to the reference point of Ka,r
    UserText not_placed;               // why not placed
};

struct PlacementInputs {
    const PatientModel& patient;
    const TableConvention& convention;
    const TableZeros& zeros;
    double device_isocentre_cm;  // focus-isocentre distance of the device
    double kar_mgy;              // for the field from P_KA / Ka,r
    double pka_gycm2;
};

EventPlacement PlaceEvent(const IrradiationEvent& event, const PlacementInputs& in);

}  // namespace korvex
