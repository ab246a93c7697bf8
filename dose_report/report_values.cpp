#include "dose_report/report_values.h"

#include <algorithm>
#include <cmath>

#include "engine/text_rules.h"

namespace korvex {
namespace {

// No quantity of a dose report comes near this in the program's units (mGy, Gy*cm^2, kV,
// mm, degrees, cm, cm^2); a larger value is a damaged one, and refusing it keeps the sums
// over many events finite.
constexpr double kMaxMagnitude = 1e9;

// At most this many of a value's numbers are quoted back to the user (per-pulse lists run
// to hundreds).
constexpr size_t kQuotedNumbers = 8;

constexpr QuantityName kTubeVoltageName{"管電圧", "KVP"};
constexpr QuantityName kDoseRpName{"線量(RP)", "Dose (RP)"};
constexpr QuantityName kDapName{"面積線量", "Dose Area Product"};
constexpr QuantityName kPrimaryName{"第一角度", "Positioner Primary Angle"};
constexpr QuantityName kSecondaryName{"第二角度", "Positioner Secondary Angle"};
constexpr QuantityName kIsocentreName{"焦点-アイソセンター間距離", "Distance Source to Isocenter"};
constexpr QuantityName kReferenceName{"焦点-基準点間距離", "Distance Source to Reference Point"};
constexpr QuantityName kAreaName{"照射野面積", "Collimated Field Area"};
constexpr QuantityName kFieldWidthName{"照射野の幅", "Collimated Field Width"};
constexpr QuantityName kFieldHeightName{"照射野の高さ", "Collimated Field Height"};
constexpr QuantityName kDetectorName{"焦点-受像面間距離", "Distance Source to Detector"};
constexpr QuantityName kLongitudinalName{"寝台の長軸位置", "Table Longitudinal Position"};
constexpr QuantityName kLateralName{"寝台の横位置", "Table Lateral Position"};
constexpr QuantityName kHeightName{"寝台の高さ", "Table Height Position"};
constexpr QuantityName kThicknessName{"フィルター厚", "X-Ray Filter Thickness"};

// A value whose absence is noted, and what follows from it.
struct Missing {
    const char* code;
    UserText consequence;
};

// What not using a value means for the event.
const UserText kNotUsed{"使いません", "not used"};
const UserText kUnknownProjection{"使いません。投影は「角度不明」に入ります",
                                  "not used; the event counts as of unknown projection"};

double FirstValue(const std::vector<double>& values) {
    return values.front();
}

// Several tube voltages (per pulse or per frame) stand for one event: the mean of those
// that are not 0; 0 when all are.
double MeanOfNonZero(const std::vector<double>& values) {
    double sum = 0;
    int count = 0;
    for (double v : values) {
        if (v != 0.0) {
            sum += v;
            ++count;
        }
    }
    return count == 0 ? 0.0 : sum / count;
}

UserText NoValueProblem(const NumericItem& num) {
    if (!num.unreadable.empty()) {
        return {"数値として読めません（\"" + num.unreadable + "\"）",
                "not a number (\"" + num.unreadable + "\")"};
    }
    if (num.qualifier.empty()) {
        return {"値が空です", "no value"};
    }
    return {"値が空です（" + num.qualifier + "）", "no value (" + num.qualifier + ")"};
}

ReportValue ToValue(const NumericItem& num, ReportQuantity quantity, bool negative_allowed,
                    double (*combine)(const std::vector<double>&) = FirstValue) {
    ReportValue result;
    result.present = true;
    result.unit = num.unit;
    result.as_read = AsRead(num);
    if (num.values.empty()) {
        result.problem = NoValueProblem(num);
        return result;
    }
    const std::optional<double> factor = UnitFactor(quantity, num.unit);
    if (!factor) {
        result.problem = num.unit.empty() ? UserText{"単位がありません", "no unit"}
                                          : UserText{"単位「" + num.unit + "」は使えません",
                                                     "the unit \"" + num.unit + "\" is not known"};
        return result;
    }
    const double value = combine(num.values) * *factor;
    if (!std::isfinite(value) || std::fabs(value) > kMaxMagnitude) {
        result.problem = {"値が大きすぎます", "the value is too large"};
    } else if (!negative_allowed && value < 0) {
        result.problem = {"負の値です（" + ShortestNumberText(value) + "）",
                          "negative value (" + ShortestNumberText(value) + ")"};
    } else {
        result.value = value;
    }
    return result;
}

// What became of a value that was given: not used (with the reason and what follows), or
// read in another unit than the one PS3.16 writes it in.
void NoteValue(std::vector<EventNote>& notes, const QuantityName& name, ReportQuantity quantity,
               const ReportValue& value, const UserText& when_not_used = kNotUsed) {
    const std::string ja = name.japanese;
    const std::string en = name.english;
    if (value.present && !value.Usable()) {
        notes.push_back({"value-not-used",
                         {ja + ": " + value.problem.japanese + "（" + when_not_used.japanese + "）",
                          en + ": " + value.problem.english + " (" + when_not_used.english + ")"},
                         value.as_read});
    } else if (value.Usable() && value.unit != TemplateUnit(quantity)) {
        const std::string standard(TemplateUnit(quantity));
        notes.push_back({"unit-converted",
                         {ja + "は規格の単位 " + standard + " ではなく「" + value.unit +
                              "」で書かれています（換算して使います）",
                          en + " is given in \"" + value.unit + "\", not the standard's " +
                              standard + " (converted)"},
                         value.as_read});
    }
}

ReportValue MixedUnits(const NumericItem& first, const NumericItem& other) {
    ReportValue mixed;
    mixed.present = true;
    mixed.unit = first.unit;
    mixed.as_read = AsRead(first) + " / " + AsRead(other);
    mixed.problem = {
        "管電圧の単位が一定ではありません（" + first.unit + "、" + other.unit + "）",
        "the tube voltages are given in several units (" + first.unit + ", " + other.unit + ")"};
    return mixed;
}

// All tube-voltage items of the event count; they must share one unit. Several values (per
// pulse or per frame) are noted with the mean that stands for them.
ReportValue TubeVoltageOf(const std::vector<NumericItem>& items, std::vector<EventNote>& notes) {
    if (items.empty()) {
        return {};
    }
    NumericItem merged = items.front();
    for (size_t i = 1; i < items.size(); ++i) {
        if (items[i].unit != merged.unit) {
            return MixedUnits(merged, items[i]);
        }
        merged.values.insert(merged.values.end(), items[i].values.begin(), items[i].values.end());
        merged.text += "\\" + items[i].text;
        if (merged.unreadable.empty()) {
            merged.unreadable = items[i].unreadable;
        }
    }
    const ReportValue value = ToValue(merged, ReportQuantity::TubeVoltage, false, MeanOfNonZero);
    if (value.Usable() && merged.values.size() > 1 && *value.value > 0) {
        const auto non_zero = std::count_if(merged.values.begin(), merged.values.end(),
                                            [](double v) { return v != 0.0; });
        const std::string mean = ShortestNumberText(*value.value);
        const std::string all = std::to_string(merged.values.size());
        const std::string used = std::to_string(non_zero);
        notes.push_back({"kv-mean",
                         {"管電圧の値 " + all + " 個のうち 0 でない " + used + " 個の平均 " + mean +
                              " kV を使います",
                          "the mean " + mean + " kV of the " + used + " non-zero of " + all +
                              " tube voltages is used"},
                         value.as_read});
    }
    return value;
}

}  // namespace

std::string AsRead(const NumericItem& num) {
    std::string quoted;
    size_t count = 0;
    size_t start = 0;
    while (start <= num.text.size() && count < kQuotedNumbers) {
        size_t end = num.text.find('\\', start);
        if (end == std::string::npos) {
            end = num.text.size();
        }
        quoted += (count == 0 ? "" : "\\") + num.text.substr(start, end - start);
        ++count;
        start = end + 1;
    }
    if (start <= num.text.size()) {
        quoted += "\\…";
    }
    if (!num.unit.empty()) {
        quoted += (quoted.empty() ? "" : " ") + num.unit;
    }
    return quoted;
}

ReportValue FirstOf(const std::vector<NumericItem>& items, ReportQuantity quantity,
                    bool negative_allowed, const QuantityName& name,
                    std::vector<EventNote>& notes) {
    if (items.empty()) {
        return {};
    }
    if (items.size() > 1) {
        std::string all;
        for (const NumericItem& item : items) {
            all += (all.empty() ? "" : " / ") + AsRead(item);
        }
        const std::string count = std::to_string(items.size());
        notes.push_back(
            {"several-values",
             {std::string(name.japanese) + "が " + count + " 個あります。最初の値を使います。",
              count + " values of " + name.english + "; the first is used."},
             all});
    }
    return ToValue(items.front(), quantity, negative_allowed);
}

void TakeEventValues(const EventNumbers& numbers, IrradiationEvent& event) {
    std::vector<EventNote>& notes = event.notes;
    if (event.plane == AcquisitionPlane::Unknown) {
        notes.push_back({"plane-unknown",
                         {"撮影面（単一・A・B）が分からないため「不明」の面として数えます",
                          "the acquisition plane (single, A, B) is not known; counted as unknown"},
                         event.plane_text});
    }
    event.tube_voltage_kv = TubeVoltageOf(numbers.kvp, notes);
    NoteValue(notes, kTubeVoltageName, ReportQuantity::TubeVoltage, event.tube_voltage_kv);
    // Without both angles the event joins its plane's group of unknown projection; the
    // distances are read for the user and not used by the calculation.
    const Missing unknown_projection{
        "angle-missing",
        {"。投影は「角度不明」に入ります", "; the event counts as of unknown projection"}};
    const Missing isocentre_missing{
        "distance-missing", {"（装置データの値を使います）", " (the device's distance is used)"}};
    const Missing reference_missing{"distance-missing",
                                    {"（基準点はアイソセンターの 15 cm 手前とします）",
                                     " (the reference point is taken 15 cm before the isocentre)"}};
    const struct {
        ReportValue IrradiationEvent::*member;
        const std::vector<NumericItem>& items;
        ReportQuantity quantity;
        bool negative_allowed;
        const QuantityName& name;
        const Missing* when_missing;  // noted when absent; null: the reason says it
    } values[] = {
        {&IrradiationEvent::kar_mgy, numbers.kar, ReportQuantity::DoseRp, false, kDoseRpName,
         nullptr},
        {&IrradiationEvent::pka_gycm2, numbers.pka, ReportQuantity::DoseAreaProduct, false,
         kDapName, nullptr},
        {&IrradiationEvent::primary_angle_deg, numbers.primary, ReportQuantity::Angle, true,
         kPrimaryName, &unknown_projection},
        {&IrradiationEvent::secondary_angle_deg, numbers.secondary, ReportQuantity::Angle, true,
         kSecondaryName, &unknown_projection},
        {&IrradiationEvent::source_isocentre_cm, numbers.source_isocentre, ReportQuantity::Distance,
         false, kIsocentreName, &isocentre_missing},
        {&IrradiationEvent::source_reference_cm, numbers.source_reference, ReportQuantity::Distance,
         false, kReferenceName, &reference_missing},
        {&IrradiationEvent::field_area_cm2, numbers.field_area, ReportQuantity::Area, false,
         kAreaName, nullptr},
        {&IrradiationEvent::field_width_cm, numbers.field_width, ReportQuantity::Distance, false,
         kFieldWidthName, nullptr},
        {&IrradiationEvent::field_height_cm, numbers.field_height, ReportQuantity::Distance, false,
         kFieldHeightName, nullptr},
        {&IrradiationEvent::source_detector_cm, numbers.source_detector, ReportQuantity::Distance,
         false, kDetectorName, nullptr},
        {&IrradiationEvent::table_longitudinal_cm, numbers.table_longitudinal,
         ReportQuantity::Distance, true, kLongitudinalName, nullptr},
        {&IrradiationEvent::table_lateral_cm, numbers.table_lateral, ReportQuantity::Distance, true,
         kLateralName, nullptr},
        {&IrradiationEvent::table_height_cm, numbers.table_height, ReportQuantity::Distance, true,
         kHeightName, nullptr},
    };
    for (const auto& v : values) {
        event.*v.member = FirstOf(v.items, v.quantity, v.negative_allowed, v.name, notes);
        NoteValue(notes, v.name, v.quantity, event.*v.member,
                  v.quantity == ReportQuantity::Angle ? kUnknownProjection : kNotUsed);
    }
    for (const auto& v : values) {
        if (v.when_missing != nullptr && !(event.*v.member).present) {
            notes.push_back({v.when_missing->code,
                             {std::string(v.name.japanese) + "がありません" +
                                  v.when_missing->consequence.japanese,
                              std::string(v.name.english) + " is missing" +
                                  v.when_missing->consequence.english},
                             ""});
        }
    }
}

ReportValue FilterThickness(const std::vector<NumericItem>& minimum,
                            const std::vector<NumericItem>& maximum,
                            std::vector<EventNote>& notes) {
    const ReportValue low =
        FirstOf(minimum, ReportQuantity::Thickness, false, kThicknessName, notes);
    const ReportValue high =
        FirstOf(maximum, ReportQuantity::Thickness, false, kThicknessName, notes);
    ReportValue thickness;
    if (low.Usable() && high.Usable()) {
        // A range (minimum != maximum) counts as its middle.
        thickness = low;
        thickness.value = (*low.value + *high.value) / 2;
        if (*low.value != *high.value) {
            const std::string middle = ShortestNumberText(*thickness.value);
            thickness.as_read = low.as_read + " – " + high.as_read;
            notes.push_back(
                {"filter-range",
                 {"フィルター厚が範囲で書かれているため、中央の " + middle + " mm を使います",
                  "the filter thickness is a range; its middle, " + middle + " mm, is used"},
                 thickness.as_read});
        }
    } else if (low.present && !low.Usable()) {
        thickness = low;
    } else if (high.present && !high.Usable()) {
        thickness = high;
    } else {
        thickness = low.present ? low : high;
    }
    if (thickness.Usable()) {
        NoteValue(notes, kThicknessName, ReportQuantity::Thickness, thickness);
    }
    return thickness;
}

ReportValue ReportLevelValue(const std::vector<NumericItem>& items, ReportQuantity quantity,
                             const QuantityName& name, std::vector<std::string>& report_notes) {
    std::vector<EventNote> notes;
    ReportValue value = FirstOf(items, quantity, false, name, notes);
    NoteValue(notes, name, quantity, value);
    for (const EventNote& note : notes) {
        if (note.code != "unit-converted") {
            report_notes.push_back(note.text.japanese);
        }
    }
    return value;
}

}  // namespace korvex
