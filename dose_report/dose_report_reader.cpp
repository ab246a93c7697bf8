#include "dose_report/dose_report_reader.h"

// DCMTK's configuration header comes before its other headers.
#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcitem.h>
#include <dcmtk/dcmdata/dcsequen.h>
#include <dcmtk/dcmsr/codes/dcm.h>
#include <dcmtk/oflog/oflog.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <mutex>
#include <system_error>

#include "dose_report/dicom_text.h"
#include "dose_report/dose_units.h"
#include "engine/text_rules.h"

namespace korvex {
namespace {

// Deeper nesting than any template of PS3.16 needs is not followed (a damaged file could
// otherwise nest without end).
constexpr int kMaxContentDepth = 32;
// No quantity of a dose report comes near this in the program's units (mGy, Gy*cm^2, kV,
// mm, degrees, cm, cm^2); a larger value is a damaged one, and refusing it keeps the sums
// over many events finite.
constexpr double kMaxMagnitude = 1e9;

std::string CodeValueOf(const DSRBasicCodedEntry& code) {
    return code.CodeValue.c_str();
}

// Concept code values, from DCMTK's constants of the DCM coding scheme.
struct ConceptCodes {
    std::string report = CodeValueOf(CODE_DCM_XRayRadiationDoseReport);
    std::string event = CodeValueOf(CODE_DCM_IrradiationEventXRayData);
    std::string accumulated = CodeValueOf(CODE_DCM_AccumulatedXRayDoseData);
    std::string ct_acquisition = CodeValueOf(CODE_DCM_CTAcquisition);
    std::string event_uid = CodeValueOf(CODE_DCM_IrradiationEventUID);
    std::string started = CodeValueOf(CODE_DCM_DateTimeStarted);
    std::string event_type = CodeValueOf(CODE_DCM_IrradiationEventType);
    std::string plane = CodeValueOf(CODE_DCM_AcquisitionPlane);
    std::string kvp = CodeValueOf(CODE_DCM_KVP);
    std::string dose_rp = CodeValueOf(CODE_DCM_Dose_RP);
    std::string dap = CodeValueOf(CODE_DCM_DoseAreaProduct);
    std::string filters = CodeValueOf(CODE_DCM_XRayFilters);
    std::string filter_type = CodeValueOf(CODE_DCM_XRayFilterType);
    std::string no_filter = CodeValueOf(CODE_DCM_NoFilter);
    std::string filter_material = CodeValueOf(CODE_DCM_XRayFilterMaterial);
    std::string thickness_min = CodeValueOf(CODE_DCM_XRayFilterThicknessMinimum);
    std::string thickness_max = CodeValueOf(CODE_DCM_XRayFilterThicknessMaximum);
    std::string primary_angle = CodeValueOf(CODE_DCM_PositionerPrimaryAngle);
    std::string secondary_angle = CodeValueOf(CODE_DCM_PositionerSecondaryAngle);
    std::string source_isocentre = CodeValueOf(CODE_DCM_DistanceSourceToIsocenter);
    std::string source_reference = CodeValueOf(CODE_DCM_DistanceSourceToReferencePoint);
    std::string field_area = CodeValueOf(CODE_DCM_CollimatedFieldArea);
    std::string reference_point = CodeValueOf(CODE_DCM_ReferencePointDefinition);
    std::string dap_total = CodeValueOf(CODE_DCM_DoseAreaProductTotal);
    std::string dose_rp_total = CodeValueOf(CODE_DCM_Dose_RP_Total);
    std::string plane_a = CodeValueOf(CODE_DCM_PlaneA);
    std::string plane_b = CodeValueOf(CODE_DCM_PlaneB);
    std::string single_plane = CodeValueOf(CODE_DCM_SinglePlane);
    std::string stationary = CodeValueOf(CODE_DCM_StationaryAcquisition_113611);
    std::string stepping = CodeValueOf(CODE_DCM_SteppingAcquisition);
    std::string rotational = CodeValueOf(CODE_DCM_RotationalAcquisition);
};

const ConceptCodes& Codes() {
    static const ConceptCodes codes;
    return codes;
}

// Fluoroscopy as an event type (SRT, SCT); filter materials under any scheme designator.
bool IsFluoroscopy(const std::string& code) {
    return code == "P5-06000" || code == "44491008";
}
bool IsCopper(const std::string& code) {
    return code == "C-127F9" || code == "66925006";
}
bool IsAluminium(const std::string& code) {
    return code == "C-120F9" || code == "12503006" || code == "105830007";
}

// The element's whole value as stored (all values, backslashes kept), no conversion.
std::string Raw(DcmItem& item, const DcmTagKey& tag) {
    OFString value;
    if (item.findAndGetOFStringArray(tag, value).bad()) {
        return {};
    }
    return std::string(value.c_str(), value.length());
}

struct Code {
    std::string value;
    std::string meaning;  // raw bytes in the data set's character set
};

Code ReadCode(DcmItem& item, const DcmTagKey& sequence) {
    DcmItem* code_item = nullptr;
    if (item.findAndGetSequenceItem(sequence, code_item, 0).bad() || code_item == nullptr) {
        return {};
    }
    Code code;
    code.value = Trimmed(Raw(*code_item, DCM_CodeValue));
    if (code.value.empty()) {
        code.value = Trimmed(Raw(*code_item, DCM_LongCodeValue));
    }
    if (code.value.empty()) {
        code.value = Trimmed(Raw(*code_item, DCM_URNCodeValue));
    }
    code.meaning = Raw(*code_item, DCM_CodeMeaning);
    return code;
}

std::vector<DcmItem*> Children(DcmItem& item) {
    std::vector<DcmItem*> children;
    DcmSequenceOfItems* sequence = nullptr;
    if (item.findAndGetSequence(DCM_ContentSequence, sequence).bad() || sequence == nullptr) {
        return children;
    }
    for (unsigned long i = 0; i < sequence->card(); ++i) {
        if (DcmItem* child = sequence->getItem(i)) {
            children.push_back(child);
        }
    }
    return children;
}

// A NUM content item as given: its numbers (several where a value holds several), its unit
// code, and what made a number unreadable.
struct NumericItem {
    std::vector<double> values;
    std::string unit;        // decoded, so that "°" compares as itself
    std::string unreadable;  // escaped text of a value that is no number
    std::string qualifier;   // meaning of a Numeric Value Qualifier, e.g. "Value unknown"
    std::string text;        // the value as written (escaped), for the user
};

// At most this many of a value's numbers are quoted back to the user (per-pulse lists run
// to hundreds).
constexpr size_t kQuotedNumbers = 8;

// The value and its unit as the report writes them.
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

void ReadNumbers(DcmItem& measured, NumericItem& num) {
    const std::string text = Raw(measured, DCM_NumericValue);
    num.text = EscapeBytes(Trimmed(text));
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\\', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string part(Trimmed(text.substr(start, end - start)));
        if (!part.empty()) {
            const std::optional<double> value = ParseDecimal(part);
            if (value && std::isfinite(*value)) {
                num.values.push_back(*value);
            } else {
                num.unreadable = EscapeBytes(part);
            }
        }
        start = end + 1;
    }
    if (num.values.empty() && num.unreadable.empty()) {
        // The optional binary value, used only where the text is empty.
        Float64 value = 0;
        for (unsigned long i = 0;
             measured.findAndGetFloat64(DCM_FloatingPointValue, value, i).good(); ++i) {
            if (std::isfinite(value)) {
                num.values.push_back(value);
            } else {
                num.unreadable = "NaN/Inf";
            }
            num.text += (i == 0 ? "" : "\\") +
                        (std::isfinite(value) ? ShortestNumberText(value) : std::string("NaN/Inf"));
        }
    }
}

NumericItem ReadNumeric(DcmItem& item, const std::vector<std::string>& charset) {
    NumericItem num;
    num.qualifier =
        DecodeDicomText(ReadCode(item, DCM_NumericValueQualifierCodeSequence).meaning, charset);
    DcmItem* measured = nullptr;
    if (item.findAndGetSequenceItem(DCM_MeasuredValueSequence, measured, 0).bad() ||
        measured == nullptr) {
        return num;
    }
    ReadNumbers(*measured, num);
    num.unit =
        DecodeDicomText(ReadCode(*measured, DCM_MeasurementUnitsCodeSequence).value, charset);
    if (num.qualifier.empty()) {
        num.qualifier = DecodeDicomText(
            ReadCode(*measured, DCM_NumericValueQualifierCodeSequence).meaning, charset);
    }
    return num;
}

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

ReportValue ToValue(const NumericItem& num, ReportQuantity quantity, bool negative_allowed,
                    double (*combine)(const std::vector<double>&) = FirstValue) {
    ReportValue result;
    result.present = true;
    result.unit = num.unit;
    result.as_read = AsRead(num);
    if (num.values.empty()) {
        if (!num.unreadable.empty()) {
            result.problem = {"数値として読めません（\"" + num.unreadable + "\"）",
                              "not a number (\"" + num.unreadable + "\")"};
        } else if (num.qualifier.empty()) {
            result.problem = {"値が空です", "no value"};
        } else {
            result.problem = {"値が空です（" + num.qualifier + "）",
                              "no value (" + num.qualifier + ")"};
        }
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

// A quantity's name in the user's languages.
struct Name {
    const char* japanese;
    const char* english;
};
constexpr Name kTubeVoltageName{"管電圧", "KVP"};
constexpr Name kDoseRpName{"線量(RP)", "Dose (RP)"};
constexpr Name kDapName{"面積線量", "Dose Area Product"};
constexpr Name kPrimaryName{"第一角度", "Positioner Primary Angle"};
constexpr Name kSecondaryName{"第二角度", "Positioner Secondary Angle"};
constexpr Name kIsocentreName{"焦点-アイソセンター間距離", "Distance Source to Isocenter"};
constexpr Name kReferenceName{"焦点-基準点間距離", "Distance Source to Reference Point"};
constexpr Name kAreaName{"照射野面積", "Collimated Field Area"};
constexpr Name kThicknessName{"フィルター厚", "X-Ray Filter Thickness"};
constexpr Name kDapTotalName{"面積線量の合計", "Dose Area Product Total"};
constexpr Name kDoseRpTotalName{"線量(RP)の合計", "Dose (RP) Total"};

// A value whose absence is noted, and what follows from it.
struct Missing {
    const char* code;
    UserText consequence;
};

// What not using a value means for the event.
const UserText kNotUsed{"使いません", "not used"};
const UserText kUnknownProjection{"使いません。投影は「角度不明」に入ります",
                                  "not used; the event counts as of unknown projection"};

// What became of a value that was given: not used (with the reason and what follows), or
// read in another unit than the one PS3.16 writes it in.
void NoteValue(std::vector<EventNote>& notes, const Name& name, ReportQuantity quantity,
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

// Visits the content items below `container`, depth first. `take` returns true for an item
// it has consumed; containers it leaves are entered, down to kMaxContentDepth.
using ItemVisitor = std::function<bool(DcmItem& item, const std::string& value_type,
                                       const Code& concept_name, int depth)>;

void Visit(DcmItem& container, int depth, bool& too_deep, const ItemVisitor& take) {
    for (DcmItem* child : Children(container)) {
        const std::string value_type(Trimmed(Raw(*child, DCM_ValueType)));
        const Code concept_name = ReadCode(*child, DCM_ConceptNameCodeSequence);
        if (take(*child, value_type, concept_name, depth)) {
            continue;
        }
        if (value_type == "CONTAINER" || !Children(*child).empty()) {
            if (depth + 1 >= kMaxContentDepth) {
                too_deep = true;
            } else {
                Visit(*child, depth + 1, too_deep, take);
            }
        }
    }
}

class Reader {
  public:
    Reader(DcmDataset& dataset, DoseReport& report) : dataset_(dataset), report_(report) {}
    void Read();

  private:
    void ReadHeader();
    IrradiationEvent ReadEvent(DcmItem& container, int number);
    FilterLayer ReadFilter(DcmItem& container, std::vector<EventNote>& notes);
    void ReadAccumulated(DcmItem& container);
    void ReadReferencePoint(DcmItem& item, const std::string& value_type);
    AcquisitionPlane PlaneOf(DcmItem& item, std::string& text);
    std::string Text(std::string_view bytes);

    DcmDataset& dataset_;
    DoseReport& report_;
    std::vector<std::string> charset_;
    bool escaped_text_ = false;
    bool too_deep_ = false;
};

std::string Reader::Text(std::string_view bytes) {
    if (std::optional<std::string> decoded = TryDecodeDicomText(bytes, charset_)) {
        return *decoded;
    }
    escaped_text_ = true;
    return DecodeDicomText(bytes, charset_);
}

void Reader::ReadHeader() {
    charset_ = CharacterSetTerms(Raw(dataset_, DCM_SpecificCharacterSet));
    report_.manufacturer = Text(Trimmed(Raw(dataset_, DCM_Manufacturer)));
    report_.model = Text(Trimmed(Raw(dataset_, DCM_ManufacturerModelName)));
    report_.station_name = Text(Trimmed(Raw(dataset_, DCM_StationName)));
    report_.study_date = EscapeBytes(Trimmed(Raw(dataset_, DCM_StudyDate)));
    report_.study_time = EscapeBytes(Trimmed(Raw(dataset_, DCM_StudyTime)));
    report_.patient_name = Text(Trimmed(Raw(dataset_, DCM_PatientName)));
    report_.patient_id = Text(Trimmed(Raw(dataset_, DCM_PatientID)));
}

AcquisitionPlane Reader::PlaneOf(DcmItem& item, std::string& text) {
    const Code plane = ReadCode(item, DCM_ConceptCodeSequence);
    const ConceptCodes& c = Codes();
    if (plane.value == c.plane_a) {
        return AcquisitionPlane::A;
    }
    if (plane.value == c.plane_b) {
        return AcquisitionPlane::B;
    }
    if (plane.value == c.single_plane) {
        return AcquisitionPlane::Single;
    }
    text = Text(Trimmed(plane.meaning));
    return AcquisitionPlane::Unknown;
}

std::string EventTypeLabel(const Code& type, const std::string& meaning) {
    const ConceptCodes& c = Codes();
    if (IsFluoroscopy(type.value)) {
        return "透視";
    }
    if (type.value == c.stationary) {
        return "撮影";
    }
    if (type.value == c.stepping) {
        return "ステップ撮影";
    }
    if (type.value == c.rotational) {
        return "回転撮影";
    }
    return meaning.empty() ? EscapeBytes(type.value) : meaning;
}

// The numeric items of one event that hold one value each, as read, before conversion.
struct EventNumbers {
    std::vector<NumericItem> kvp;
    std::vector<NumericItem> kar;
    std::vector<NumericItem> pka;
    std::vector<NumericItem> primary;
    std::vector<NumericItem> secondary;
    std::vector<NumericItem> source_isocentre;
    std::vector<NumericItem> source_reference;
    std::vector<NumericItem> field_area;

    std::vector<NumericItem>* Slot(const std::string& code) {
        const ConceptCodes& c = Codes();
        const std::pair<const std::string*, std::vector<NumericItem>*> slots[] = {
            {&c.kvp, &kvp},
            {&c.dose_rp, &kar},
            {&c.dap, &pka},
            {&c.primary_angle, &primary},
            {&c.secondary_angle, &secondary},
            {&c.source_isocentre, &source_isocentre},
            {&c.source_reference, &source_reference},
            {&c.field_area, &field_area},
        };
        for (const auto& [slot_code, slot] : slots) {
            if (*slot_code == code) {
                return slot;
            }
        }
        return nullptr;
    }
};

// The first item of a concept; a second one is noted, not silently ignored.
ReportValue FirstOf(const std::vector<NumericItem>& items, ReportQuantity quantity,
                    bool negative_allowed, const Name& name, std::vector<EventNote>& notes) {
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

// All tube-voltage items of the event count; they must share one unit. Several values (per
// pulse or per frame) are noted with the mean that stands for them.
ReportValue TubeVoltageOf(const std::vector<NumericItem>& items, std::vector<EventNote>& notes) {
    if (items.empty()) {
        return {};
    }
    NumericItem merged = items.front();
    for (size_t i = 1; i < items.size(); ++i) {
        if (items[i].unit != merged.unit) {
            ReportValue mixed;
            mixed.present = true;
            mixed.unit = merged.unit;
            mixed.as_read = AsRead(merged) + " / " + AsRead(items[i]);
            mixed.problem = {
                "管電圧の単位が一定ではありません（" + merged.unit + "、" + items[i].unit + "）",
                "the tube voltages are given in several units (" + merged.unit + ", " +
                    items[i].unit + ")"};
            return mixed;
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

IrradiationEvent Reader::ReadEvent(DcmItem& container, int number) {
    const ConceptCodes& c = Codes();
    IrradiationEvent event;
    event.number = number;
    EventNumbers numbers;
    Visit(container, 0, too_deep_,
          [&](DcmItem& item, const std::string& value_type, const Code& name, int) {
              if (value_type == "CONTAINER" && name.value == c.filters) {
                  event.has_filter_container = true;
                  event.filters.push_back(ReadFilter(item, event.notes));
              } else if (name.value == c.event_uid) {
                  event.uid = EscapeBytes(Trimmed(Raw(item, DCM_UID)));
              } else if (name.value == c.started) {
                  event.date_time = EscapeBytes(Trimmed(Raw(item, DCM_DateTime)));
              } else if (name.value == c.event_type) {
                  const Code type = ReadCode(item, DCM_ConceptCodeSequence);
                  event.event_type_code = EscapeBytes(type.value);
                  event.event_type = EventTypeLabel(type, Text(Trimmed(type.meaning)));
              } else if (name.value == c.plane) {
                  event.plane = PlaneOf(item, event.plane_text);
              } else if (std::vector<NumericItem>* slot = numbers.Slot(name.value)) {
                  slot->push_back(ReadNumeric(item, charset_));
              } else {
                  return false;
              }
              return true;
          });
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
    const Missing unused_distance{"distance-missing",
                                  {"（計算には使いません）", " (the calculation does not use it)"}};
    const struct {
        ReportValue IrradiationEvent::*member;
        const std::vector<NumericItem>& items;
        ReportQuantity quantity;
        bool negative_allowed;
        const Name& name;
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
         false, kIsocentreName, &unused_distance},
        {&IrradiationEvent::source_reference_cm, numbers.source_reference, ReportQuantity::Distance,
         false, kReferenceName, &unused_distance},
        {&IrradiationEvent::field_area_cm2, numbers.field_area, ReportQuantity::Area, false,
         kAreaName, nullptr},
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
    return event;
}

FilterLayer Reader::ReadFilter(DcmItem& container, std::vector<EventNote>& notes) {
    const ConceptCodes& c = Codes();
    FilterLayer layer;
    std::vector<NumericItem> minimum;
    std::vector<NumericItem> maximum;
    Visit(container, 0, too_deep_, [&](DcmItem& item, const std::string&, const Code& name, int) {
        if (name.value == c.filter_type) {
            layer.no_filter = ReadCode(item, DCM_ConceptCodeSequence).value == c.no_filter;
        } else if (name.value == c.filter_material) {
            const Code material = ReadCode(item, DCM_ConceptCodeSequence);
            layer.material_code = EscapeBytes(material.value);
            layer.material_name = Text(Trimmed(material.meaning));
            layer.material = IsCopper(material.value)      ? FilterMaterial::Copper
                             : IsAluminium(material.value) ? FilterMaterial::Aluminium
                                                           : FilterMaterial::Other;
        } else if (name.value == c.thickness_min) {
            minimum.push_back(ReadNumeric(item, charset_));
        } else if (name.value == c.thickness_max) {
            maximum.push_back(ReadNumeric(item, charset_));
        } else {
            return false;
        }
        return true;
    });
    // A range (minimum != maximum) counts as its middle.
    const ReportValue low =
        FirstOf(minimum, ReportQuantity::Thickness, false, kThicknessName, notes);
    const ReportValue high =
        FirstOf(maximum, ReportQuantity::Thickness, false, kThicknessName, notes);
    if (low.present && high.present && low.Usable() && high.Usable()) {
        layer.thickness_mm = low;
        layer.thickness_mm.value = (*low.value + *high.value) / 2;
        if (*low.value != *high.value) {
            const std::string middle = ShortestNumberText(*layer.thickness_mm.value);
            layer.thickness_mm.as_read = low.as_read + " – " + high.as_read;
            notes.push_back(
                {"filter-range",
                 {"フィルター厚が範囲で書かれているため、中央の " + middle + " mm を使います",
                  "the filter thickness is a range; its middle, " + middle + " mm, is used"},
                 layer.thickness_mm.as_read});
        }
    } else if (low.present && !low.Usable()) {
        layer.thickness_mm = low;
    } else if (high.present && !high.Usable()) {
        layer.thickness_mm = high;
    } else {
        layer.thickness_mm = low.present ? low : high;
    }
    if (layer.thickness_mm.Usable()) {
        NoteValue(notes, kThicknessName, ReportQuantity::Thickness, layer.thickness_mm);
    }
    return layer;
}

void Reader::ReadReferencePoint(DcmItem& item, const std::string& value_type) {
    std::string definition;
    if (value_type == "CODE") {
        const Code code = ReadCode(item, DCM_ConceptCodeSequence);
        definition = Text(Trimmed(code.meaning)) + "（" + EscapeBytes(code.value) + "）";
    } else {
        definition = Text(Trimmed(Raw(item, DCM_TextValue)));
    }
    if (definition.empty()) {
        return;
    }
    std::string& known = report_.reference_point_definition;
    if (known.empty()) {
        known = definition;
    } else if (known.find(definition) == std::string::npos) {
        known += " / " + definition;
    }
}

void Reader::ReadAccumulated(DcmItem& container) {
    const ConceptCodes& c = Codes();
    AccumulatedTotals totals;
    std::string plane_text;
    std::vector<EventNote> notes;
    std::vector<NumericItem> pka;
    std::vector<NumericItem> kar;
    Visit(container, 0, too_deep_,
          [&](DcmItem& item, const std::string& value_type, const Code& name, int) {
              if (name.value == c.plane) {
                  totals.plane = PlaneOf(item, plane_text);
              } else if (name.value == c.dap_total) {
                  pka.push_back(ReadNumeric(item, charset_));
              } else if (name.value == c.dose_rp_total) {
                  kar.push_back(ReadNumeric(item, charset_));
              } else if (name.value == c.reference_point) {
                  ReadReferencePoint(item, value_type);
              } else {
                  return false;
              }
              return true;
          });
    totals.pka_gycm2 = FirstOf(pka, ReportQuantity::DoseAreaProduct, false, kDapTotalName, notes);
    totals.kar_mgy = FirstOf(kar, ReportQuantity::DoseRp, false, kDoseRpTotalName, notes);
    for (const EventNote& note : notes) {
        report_.notes.push_back("累積線量（" + PlaneLabel(totals.plane) +
                                "）: " + note.text.japanese);
    }
    report_.totals.push_back(totals);
}

void Reader::Read() {
    ReadHeader();
    const ConceptCodes& c = Codes();
    int event_count = 0;
    int ct_count = 0;
    Visit(dataset_, 0, too_deep_,
          [&](DcmItem& item, const std::string& value_type, const Code& name, int) {
              if (value_type == "CONTAINER" && name.value == c.event) {
                  report_.events.push_back(ReadEvent(item, ++event_count));
              } else if (value_type == "CONTAINER" && name.value == c.accumulated) {
                  ReadAccumulated(item);
              } else if (value_type == "CONTAINER" && name.value == c.ct_acquisition) {
                  ++ct_count;
              } else if (name.value == c.reference_point) {
                  ReadReferencePoint(item, value_type);
              } else {
                  return false;
              }
              return true;
          });
    if (report_.events.empty()) {
        report_.notes.push_back("照射イベントがありません。");
    }
    if (ct_count > 0) {
        report_.notes.push_back("CT の照射 " + std::to_string(ct_count) +
                                " 件は透視・撮影の照射ではないため計算しません。");
    }
    if (too_deep_) {
        report_.notes.push_back("入れ子が深すぎる部分（" + std::to_string(kMaxContentDepth) +
                                " 段を超える）は読んでいません。");
    }
    if (escaped_text_) {
        report_.notes.push_back("文字セットで読めない文字は \\xNN で示しています。");
    }
}

std::string FileLabel(const std::filesystem::path& path) {
    return path.filename().string();
}

void SilenceDcmtkLog() {
    static std::once_flag once;
    // DCMTK's warnings about the files it reads would go to the console; the reader
    // reports what matters itself.
    std::call_once(once, [] { OFLog::configure(OFLogger::OFF_LOG_LEVEL); });
}

void CheckFile(const std::filesystem::path& path) {
    const std::string label = FileLabel(path);
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status)) {
        throw DoseReportError("ファイル「" + label + "」が見つかりません。");
    }
    if (!std::filesystem::is_regular_file(status)) {
        throw DoseReportError("「" + label + "」はファイルではありません。");
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        throw DoseReportError("ファイル「" + label + "」を開けません。");
    }
    if (size > kMaxDoseReportBytes) {
        throw DoseReportError("ファイル「" + label + "」は線量レポートとしては大きすぎます（" +
                              std::to_string(size / (1024 * 1024)) + " MB）。");
    }
}

}  // namespace

std::string PlaneLabel(AcquisitionPlane plane) {
    switch (plane) {
        case AcquisitionPlane::Single:
            return "単一";
        case AcquisitionPlane::A:
            return "A";
        case AcquisitionPlane::B:
            return "B";
        case AcquisitionPlane::Unknown:
            break;
    }
    return "不明";
}

DoseReport ReadDoseReport(const std::filesystem::path& path) {
    SilenceDcmtkLog();
    CheckFile(path);
    const std::string label = FileLabel(path);
    DcmFileFormat file;
    OFCondition status = file.loadFile(OFFilename(path.c_str()), EXS_Unknown, EGL_noChange,
                                       DCM_MaxReadLength, ERM_autoDetect);
    if (status.good()) {
        status = file.loadAllDataIntoMemory();
    }
    if (status.bad()) {
        throw DoseReportError("「" + label + "」は DICOM ファイルとして読めません（" +
                              status.text() + "）。");
    }
    DcmDataset& dataset = *file.getDataset();
    if (ReadCode(dataset, DCM_ConceptNameCodeSequence).value != Codes().report) {
        throw DoseReportError("「" + label + "」は X 線線量構造化レポート（RDSR）ではありません。");
    }
    DoseReport report;
    report.path = path;
    Reader(dataset, report).Read();
    return report;
}

}  // namespace korvex
