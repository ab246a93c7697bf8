#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/user_message.h"

namespace korvex {

// A file that cannot be read as an X-ray radiation dose report at all. what() is a complete
// Japanese message for the user that names the file.
class DoseReportError : public std::runtime_error {
  public:
    explicit DoseReportError(const std::string& message) : std::runtime_error(message) {}
};

// One value of a report, in the program's unit for its quantity. A value that was given but
// cannot be used keeps the reason, so that nothing is left out without a word.
struct ReportValue {
    bool present = false;         // the report holds the item
    std::optional<double> value;  // finite, in the program's unit
    std::string unit;             // the report's unit code (UCUM), as given (decoded)
    std::string as_read;          // the value and its unit as the report writes them
    UserText problem;             // why a present item has no usable value

    bool Usable() const { return value.has_value(); }
};

// Something about an event that the user should know: a value not used, a unit read under
// another spelling, an angle or a distance missing, a duplicate, a default assumed.
struct EventNote {
    std::string code;   // stable, for scripts: "value-not-used", "angle-missing", ...
    UserText text;      // what happened and what the program did about it
    std::string value;  // the value as the report gives it; empty when nothing was given
    bool operator==(const EventNote&) const = default;
};

// A coded value as given: its code value and, for the user, its meaning.
struct CodedText {
    std::string code;
    std::string meaning;
    bool empty() const { return code.empty() && meaning.empty(); }
};

enum class AcquisitionPlane { Unknown, Single, A, B };

enum class FilterMaterial { Copper, Aluminium, Other };

// One X-Ray Filters container of an irradiation event.
struct FilterLayer {
    bool no_filter = false;  // its type says "No filter": the container stands for none
    FilterMaterial material = FilterMaterial::Other;
    std::string material_code;  // code value as given; empty when no material is listed
    std::string material_name;  // code meaning, for the user
    ReportValue thickness_mm;   // mean of the minimum and maximum thickness
};

// One irradiation event (container 113706) with everything the calculation or the user
// needs. Values in the program's units: kV, mGy, Gy*cm^2, mm, degrees, cm, cm^2.
struct IrradiationEvent {
    int number = 0;               // 1-based position in its report
    std::string uid;              // Irradiation Event UID, empty when absent
    std::string date_time;        // DateTime Started as given (DT)
    std::string event_type_code;  // e.g. 113611, 44491008
    std::string event_type;       // short Japanese label, or the report's meaning
    AcquisitionPlane plane = AcquisitionPlane::Unknown;
    std::string plane_text;       // the report's meaning when the plane is not known
    ReportValue tube_voltage_kv;  // mean of the non-zero KVP values
    ReportValue kar_mgy;          // Dose (RP)
    ReportValue pka_gycm2;        // Dose Area Product
    bool has_filter_container = false;
    std::vector<FilterLayer> filters;
    ReportValue primary_angle_deg;
    ReportValue secondary_angle_deg;
    ReportValue source_isocentre_cm;
    ReportValue source_reference_cm;
    ReportValue field_area_cm2;  // collimated field area
    // Collimated field at the image receptor's plane, and the distance to that plane.
    ReportValue field_width_cm;
    ReportValue field_height_cm;
    ReportValue source_detector_cm;
    // Table positions from a reference and in directions of the unit's own choosing.
    ReportValue table_longitudinal_cm;
    ReportValue table_lateral_cm;
    ReportValue table_height_cm;
    // The patient's position: Patient Table Relationship, Patient Orientation and its
    // Modifier; empty codes when not given.
    CodedText patient_table_relationship;    // headfirst, feet-first
    CodedText patient_orientation;           // recumbent, erect
    CodedText patient_orientation_modifier;  // supine, prone
    std::vector<EventNote> notes;            // what the reader noticed, with the value as read
};

// The report's own accumulated totals of one plane (TID 10002).
struct AccumulatedTotals {
    AcquisitionPlane plane = AcquisitionPlane::Unknown;
    ReportValue pka_gycm2;  // Dose Area Product Total
    ReportValue kar_mgy;    // Dose (RP) Total
};

struct DoseReport {
    std::filesystem::path path;
    std::string manufacturer;
    std::string model;
    std::string station_name;
    std::string study_date;  // DA as given
    std::string study_time;  // TM as given
    // Identity of the object and its study; not checked here (IsValidUid says whether a
    // value may name a file).
    std::string study_instance_uid;
    std::string sop_instance_uid;
    std::string sop_class_uid;
    // The AE title that sent the object to a node (meta header 0002,0017, else 0002,0016).
    std::string sending_ae_title;
    std::string patient_name;  // decoded, or escaped where the character set is unknown
    std::string patient_id;
    // Patient's Size and Weight of the header, else the report's Patient Height and Weight.
    ReportValue patient_height_cm;
    ReportValue patient_weight_kg;
    std::string reference_point_definition;  // code meaning (with its code) or text
    std::vector<AccumulatedTotals> totals;
    std::vector<IrradiationEvent> events;
    std::vector<std::string> notes;  // what the reader could not use, for the user
};

// Short labels of a plane for tables ("A", "B", "単一", "不明").
std::string PlaneLabel(AcquisitionPlane plane);
// The same in stable English words for scripts ("A", "B", "Single", "Unknown").
std::string PlaneWord(AcquisitionPlane plane);

}  // namespace korvex
