#pragma once

#include <string>
#include <vector>

#include "dose_report/dose_report.h"
#include "dose_report/dose_units.h"

namespace korvex {

// A NUM content item as given: its numbers (several where a value holds several), its unit
// code, and what made a number unreadable.
struct NumericItem {
    std::vector<double> values;
    std::string unit;        // decoded, so that "°" compares as itself
    std::string unreadable;  // escaped text of a value that is no number
    std::string qualifier;   // meaning of a Numeric Value Qualifier, e.g. "Value unknown"
    std::string text;        // the value as written (escaped), for the user
};

// The value and its unit as the report writes them; a long list is cut after a few
// numbers.
std::string AsRead(const NumericItem& num);

// A quantity's name in the user's languages.
struct QuantityName {
    const char* japanese;
    const char* english;
};
inline constexpr QuantityName kDapTotalName{"面積線量の合計", "Dose Area Product Total"};
inline constexpr QuantityName kDoseRpTotalName{"線量(RP)の合計", "Dose (RP) Total"};

// The first item of a concept in the program's unit; a second one is noted, not silently
// ignored. Empty (not present) without items.
ReportValue FirstOf(const std::vector<NumericItem>& items, ReportQuantity quantity,
                    bool negative_allowed, const QuantityName& name, std::vector<EventNote>& notes);

// The numeric items of one event, as read, before conversion.
struct EventNumbers {
    std::vector<NumericItem> kvp;
    std::vector<NumericItem> kar;
    std::vector<NumericItem> pka;
    std::vector<NumericItem> primary;
    std::vector<NumericItem> secondary;
    std::vector<NumericItem> source_isocentre;
    std::vector<NumericItem> source_reference;
    std::vector<NumericItem> field_area;
    std::vector<NumericItem> field_width;
    std::vector<NumericItem> field_height;
    std::vector<NumericItem> source_detector;
    std::vector<NumericItem> table_longitudinal;
    std::vector<NumericItem> table_lateral;
    std::vector<NumericItem> table_height;
};

// Sets the event's values from its numeric items and appends to its notes, in this order:
// an unknown plane, the tube voltage (several values give the mean of those not 0), then
// every value given but not used or read in another unit, then the missing angles and
// distances.
void TakeEventValues(const EventNumbers& numbers, IrradiationEvent& event);

// A report's value (the patient's height or weight) in the program's unit; not present
// without items, the first item used and a second one noted.
ReportValue ReportLevelValue(const std::vector<NumericItem>& items, ReportQuantity quantity,
                             const QuantityName& name, std::vector<std::string>& report_notes);

// A filter's thickness from its minimum and maximum items: the middle of a range (noted),
// or the one that cannot be used with its reason.
ReportValue FilterThickness(const std::vector<NumericItem>& minimum,
                            const std::vector<NumericItem>& maximum, std::vector<EventNote>& notes);

}  // namespace korvex
