#include "dose_report/report_calculation.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <utility>

#include "engine/calculation_driver.h"
#include "engine/engine_state.h"
#include "engine/text_rules.h"
#include "exposure/exposure_form.h"

namespace korvex {
namespace {

const UserText kFollowUpSource = {
    "SIR ガイドライン (2009) / NCRP Report No. 168 (2010): 経過観察を要する線量",
    "SIR guidelines (2009) / NCRP Report No. 168 (2010): dose that calls for follow-up"};
const UserText kErythemaSource = {"ICRP Publication 85 (2000): 一過性紅斑のしきい線量",
                                  "ICRP Publication 85 (2000): threshold of transient erythema"};
const UserText kPeakSkinDoseName = {"推定最大皮膚線量", "Estimated peak skin dose"};

// "YYYYMMDDHHMMSS.FFFFFF" from a DT value, the time-zone suffix ignored; empty without a
// date.
std::string TimeKey(const std::string& date_time) {
    std::string digits;
    size_t i = 0;
    while (i < date_time.size() && digits.size() < 14 &&
           std::isdigit(static_cast<unsigned char>(date_time[i]))) {
        digits += date_time[i++];
    }
    if (digits.size() < 8) {
        return {};
    }
    digits.resize(14, '0');
    std::string fraction;
    if (i < date_time.size() && date_time[i] == '.') {
        ++i;
        while (i < date_time.size() && fraction.size() < 6 &&
               std::isdigit(static_cast<unsigned char>(date_time[i]))) {
            fraction += date_time[i++];
        }
    }
    fraction.resize(6, '0');
    return digits + "." + fraction;
}

// Reasons joined for the user, in both languages.
void AddReason(UserText& reasons, const UserText& reason) {
    reasons.japanese += (reasons.japanese.empty() ? "" : "、") + reason.japanese;
    reasons.english += (reasons.english.empty() ? "" : "; ") + reason.english;
}

// The value when the calculation can use it; otherwise the reason is added.
std::optional<double> Required(const ReportValue& value, const UserText& name, UserText& reasons) {
    if (!value.present) {
        AddReason(reasons, {name.japanese + "がありません", name.english + " is missing"});
        return std::nullopt;
    }
    if (!value.Usable()) {
        AddReason(reasons, {name.japanese + ": " + value.problem.japanese,
                            name.english + ": " + value.problem.english});
        return std::nullopt;
    }
    if (*value.value == 0) {
        AddReason(reasons, {name.japanese + "が 0 です", name.english + " is 0"});
    }
    return value.value;
}

UserText FilterName(const FilterLayer& layer) {
    switch (layer.material) {
        case FilterMaterial::Copper:
            return {"銅フィルター", "the copper filter"};
        case FilterMaterial::Aluminium:
            return {"アルミフィルター", "the aluminium filter"};
        case FilterMaterial::Other:
            break;
    }
    if (layer.material_code.empty()) {
        return {"材質の書かれていないフィルター", "a filter without material"};
    }
    const std::string name =
        layer.material_name.empty() ? layer.material_code : layer.material_name;
    return {"フィルター「" + name + "」", "the filter \"" + name + "\""};
}

std::string Millimetres(double mm) {
    return ShortestNumberText(mm) + " mm";
}

// The event's added filters when it lists any (a listed material at 0 mm counts 0, copper
// or aluminium not listed count 0, a container whose type is "No filter" stands for none),
// otherwise the device's.
void TakeFilters(const IrradiationEvent& event, const LoadedDevice& device, EventCalculation& out,
                 UserText& reasons) {
    if (!event.has_filter_container) {
        out.added_aluminium_mm = device.AddedAluminiumMm;
        out.added_copper_mm = device.AddedCopperMm;
        const std::string used = "Al " + Millimetres(device.AddedAluminiumMm) + "、Cu " +
                                 Millimetres(device.AddedCopperMm);
        out.notes.push_back(
            {"filters-from-device",
             {"付加フィルターの記載がないため、装置データの値（" + used + "）を使います",
              "no added filter is listed; the device's (Al " +
                  Millimetres(device.AddedAluminiumMm) + ", Cu " +
                  Millimetres(device.AddedCopperMm) + ") are used"},
             ""});
        return;
    }
    out.filters_from_event = true;
    double aluminium = 0;
    double copper = 0;
    bool known = true;
    for (const FilterLayer& layer : event.filters) {
        const ReportValue& thickness = layer.thickness_mm;
        if (layer.no_filter && layer.material_code.empty() && !thickness.present) {
            out.notes.push_back({"no-filter",
                                 {"フィルターの種類が「No filter」（付加フィルターなし）です",
                                  "the filter type is \"No filter\" (no added filter)"},
                                 ""});
            continue;
        }
        const UserText name = FilterName(layer);
        if (!thickness.Usable()) {
            AddReason(
                reasons,
                thickness.present
                    ? UserText{name.japanese + "の厚さ: " + thickness.problem.japanese,
                               "thickness of " + name.english + ": " + thickness.problem.english}
                    : UserText{name.japanese + "の厚さがありません",
                               "thickness of " + name.english + " is missing"});
            known = false;
        } else if (layer.material == FilterMaterial::Copper) {
            copper += *thickness.value;
        } else if (layer.material == FilterMaterial::Aluminium) {
            aluminium += *thickness.value;
        } else if (*thickness.value > 0) {
            AddReason(reasons,
                      {name.japanese + "が " + Millimetres(*thickness.value) +
                           " あります（銅とアルミ以外は計算に入れられません）",
                       name.english + " of " + Millimetres(*thickness.value) +
                           " (filters other than copper and aluminium cannot be calculated)"});
        } else {
            out.notes.push_back({"filter-zero",
                                 {name.japanese + "は 0 mm です（計算に影響しません）",
                                  name.english + " is 0 mm (no effect on the calculation)"},
                                 thickness.as_read});
        }
    }
    if (known) {
        out.added_aluminium_mm = aluminium;
        out.added_copper_mm = copper;
    }
}

EventCalculation TakeInputs(const IrradiationEvent& event, const LoadedDevice& device) {
    EventCalculation out;
    out.plane = event.plane;
    out.primary_angle_deg = event.primary_angle_deg.value;
    out.secondary_angle_deg = event.secondary_angle_deg.value;
    out.notes = event.notes;
    UserText reasons;
    out.kar_mgy = Required(event.kar_mgy, {"Ka,r（線量(RP)）", "Ka,r (Dose (RP))"}, reasons);
    out.pka_gycm2 =
        Required(event.pka_gycm2, {"P_KA（面積線量）", "P_KA (Dose Area Product)"}, reasons);
    out.tube_voltage_kv = Required(event.tube_voltage_kv, {"管電圧", "the tube voltage"}, reasons);
    TakeFilters(event, device, out, reasons);
    out.reason = reasons;
    return out;
}

// Every event of every report, duplicates marked, in time order (events without a start
// time last, in the order given).
std::vector<EventCalculation> CollectEvents(const std::vector<DoseReport>& reports,
                                            const LoadedDevice& device, double fsd_cm) {
    std::vector<std::pair<std::string, EventCalculation>> keyed;
    std::map<std::string, std::pair<size_t, int>> seen;  // UID -> report, event number
    for (size_t r = 0; r < reports.size(); ++r) {
        for (size_t e = 0; e < reports[r].events.size(); ++e) {
            const IrradiationEvent& event = reports[r].events[e];
            EventCalculation out = TakeInputs(event, device);
            out.report_index = r;
            out.event_index = e;
            out.focus_skin_distance_cm = fsd_cm;
            if (!event.uid.empty()) {
                const auto [first, inserted] = seen.emplace(event.uid, std::pair(r, event.number));
                if (!inserted) {
                    const std::string file = reports[first->second.first].path.filename().string();
                    const std::string number = std::to_string(first->second.second);
                    out.status = EventStatus::Duplicate;
                    out.reason = {
                        "「" + file + "」のイベント " + number +
                            " と同じ UID です（1 回だけ数えます）",
                        "the same UID as event " + number + " of \"" + file + "\" (counted once)"};
                    out.notes.push_back({"duplicate", out.reason, event.uid});
                }
            }
            keyed.emplace_back(TimeKey(event.date_time), std::move(out));
        }
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        if (a.first.empty() != b.first.empty()) {
            return b.first.empty();
        }
        return a.first < b.first;
    });
    std::vector<EventCalculation> events;
    for (auto& [key, event] : keyed) {
        events.push_back(std::move(event));
    }
    return events;
}

void CalculateEvent(EngineState& state, ExposureForm& form, const std::string& fsd_text,
                    EventCalculation& out) {
    form.UseAddedFilters(*out.added_aluminium_mm, *out.added_copper_mm);
    form.Enter(ExposureField::BodySite, "");
    form.Enter(ExposureField::TubeVoltage, ShortestNumberText(*out.tube_voltage_kv));
    form.Enter(ExposureField::Kar, ShortestNumberText(*out.kar_mgy));
    form.Enter(ExposureField::Pka, ShortestNumberText(*out.pka_gycm2));
    form.Enter(ExposureField::FocusSkinDistance, fsd_text);
    if (!form.ChooseShape(FieldShapeKind::Square)) {
        out.reason = {"照射野の大きさを求められません", "the field size cannot be found"};
        return;
    }
    const CalculationOutcome outcome = form.Calculate();
    if (outcome.result != CalculationOutcome::Result::Succeeded) {
        // The program's own message for the user; the engine's words are the detail.
        const std::string message(
            outcome.message ? Trimmed(outcome.message->text, kBlanksAndIdeographicSpace) : "");
        const char* english = outcome.result == CalculationOutcome::Result::DepthStepFailed
                                  ? "the depth dose cannot be calculated"
                              : outcome.result == CalculationOutcome::Result::MissingInput
                                  ? "an input is missing"
                                  : "the calculation failed";
        out.reason = {"計算できません（" + message + "）",
                      std::string("cannot be calculated (") + english + ")"};
        out.detail = outcome.reason;
        return;
    }
    out.status = EventStatus::Calculated;
    out.calc = state.calc;
    out.displays = outcome.displays;
    out.field_size_text = form.FieldSizeText();
}

void CountEvents(const std::vector<EventCalculation>& events, ReportSummary& s) {
    for (const EventCalculation& event : events) {
        s.event_notes += static_cast<int>(event.notes.size());
        s.events_with_notes += event.notes.empty() ? 0 : 1;
        if (event.status == EventStatus::Duplicate) {
            ++s.duplicates;
        } else if (event.status == EventStatus::Calculated) {
            ++s.calculated;
            s.kar_calculated_mgy += event.calc.DisplayedKar;
            s.pka_calculated_gycm2 += event.calc.DisplayedPka;
            s.skin_dose_sum_mgy += event.calc.SkinDose;
        } else {
            ++s.not_calculated;
            s.kar_not_included_mgy += event.kar_mgy.value_or(0);
            s.pka_not_included_gycm2 += event.pka_gycm2.value_or(0);
            s.not_included_without_kar += event.kar_mgy ? 0 : 1;
            s.not_included_without_pka += event.pka_gycm2 ? 0 : 1;
        }
    }
}

PlaneCrossCheck& PlaneEntry(std::vector<PlaneCrossCheck>& planes, AcquisitionPlane plane) {
    for (PlaneCrossCheck& entry : planes) {
        if (entry.plane == plane) {
            return entry;
        }
    }
    planes.push_back(PlaneCrossCheck{plane, 0, 0, std::nullopt, std::nullopt});
    return planes.back();
}

void Accumulate(std::optional<double>& sum, const ReportValue& value) {
    if (value.Usable()) {
        sum = sum.value_or(0) + *value.value;
    }
}

// Event sums beside the reports' own accumulated totals, plane by plane.
void CrossCheck(const std::vector<DoseReport>& reports, const std::vector<EventCalculation>& events,
                ReportSummary& s) {
    for (const EventCalculation& event : events) {
        if (event.status == EventStatus::Duplicate) {
            continue;
        }
        PlaneCrossCheck& entry = PlaneEntry(s.planes, event.plane);
        entry.kar_mgy += event.kar_mgy.value_or(0);
        entry.pka_gycm2 += event.pka_gycm2.value_or(0);
    }
    for (const DoseReport& report : reports) {
        for (const AccumulatedTotals& totals : report.totals) {
            PlaneCrossCheck& entry = PlaneEntry(s.planes, totals.plane);
            Accumulate(entry.report_kar_mgy, totals.kar_mgy);
            Accumulate(entry.report_pka_gycm2, totals.pka_gycm2);
            Accumulate(s.report_kar_mgy, totals.kar_mgy);
            Accumulate(s.report_pka_gycm2, totals.pka_gycm2);
            for (const ReportValue* value : {&totals.kar_mgy, &totals.pka_gycm2}) {
                if (value->present && !value->Usable()) {
                    const std::string file = report.path.filename().string();
                    s.notes.push_back(
                        {"「" + file + "」の累積値を使えません: " + value->problem.japanese,
                         "the accumulated totals of \"" + file +
                             "\" cannot be used: " + value->problem.english});
                }
            }
        }
    }
}

std::vector<DoseFlag> Flags(const ReportSummary& s, double map_peak_mgy, const DoseThresholds& t) {
    // Follow-up looks at the larger of the event sum and the report's own total, so that
    // events the calculation could not use never hide a high total.
    const double kar_gy =
        std::max(s.kar_calculated_mgy + s.kar_not_included_mgy, s.report_kar_mgy.value_or(0)) /
        1000;
    const double pka =
        std::max(s.pka_calculated_gycm2 + s.pka_not_included_gycm2, s.report_pka_gycm2.value_or(0));
    // The peak is the larger of the grouped estimate and the map's: the map sees fields of
    // different projections overlap, the groups see events the map could not place.
    const double peak_gy = std::max(s.peak_skin_dose_mgy, map_peak_mgy) / 1000;
    std::vector<DoseFlag> flags = {
        {kPeakSkinDoseName, peak_gy, t.peak_skin_dose_follow_up_gy, "Gy", kFollowUpSource, false},
        {{"総 Ka,r", "Total Ka,r"}, kar_gy, t.total_kar_follow_up_gy, "Gy", kFollowUpSource, false},
        {{"総 P_KA", "Total P_KA"},
         pka,
         t.total_pka_follow_up_gycm2,
         "Gy·cm²",
         kFollowUpSource,
         false},
        {kPeakSkinDoseName, peak_gy, t.peak_skin_dose_erythema_gy, "Gy", kErythemaSource, false},
    };
    for (DoseFlag& flag : flags) {
        flag.raised = flag.value >= flag.threshold;
    }
    return flags;
}

ReportSummary Summarise(const std::vector<DoseReport>& reports,
                        const std::vector<EventCalculation>& events,
                        const std::vector<ProjectionGroup>& groups, double map_peak_mgy,
                        const DoseThresholds& t) {
    ReportSummary s;
    CountEvents(events, s);
    for (size_t g = 0; g < groups.size(); ++g) {
        if (s.peak_group < 0 || groups[g].skin_dose_mgy > s.peak_skin_dose_mgy) {
            s.peak_skin_dose_mgy = groups[g].skin_dose_mgy;
            s.peak_skin_dose_uncertainty = groups[g].skin_dose_uncertainty;
            s.peak_group = static_cast<int>(g);
        }
    }
    CrossCheck(reports, events, s);
    s.flags = Flags(s, map_peak_mgy, t);
    if (s.duplicates > 0) {
        const std::string count = std::to_string(s.duplicates);
        s.notes.push_back({"同じ UID のイベント " + count +
                               " 件は 1 回だけ数えました。レポート自身の累積値は重複を含みます。",
                           count +
                               " events of a UID seen before were counted once; the report's own "
                               "accumulated totals include them again."});
    }
    if (s.not_included_without_kar + s.not_included_without_pka > 0) {
        const std::string without_kar = std::to_string(s.not_included_without_kar);
        const std::string without_pka = std::to_string(s.not_included_without_pka);
        s.notes.push_back(
            {"計算しなかったイベントのうち Ka,r 不明 " + without_kar + " 件、P_KA 不明 " +
                 without_pka + " 件は「含まれない」合計に入っていません。",
             "Of the events not calculated, " + without_kar + " without Ka,r and " + without_pka +
                 " without P_KA are not in "
                 "the \"not included\" totals."});
    }
    return s;
}

// The map's patient and, per report, its unit's table conventions and first positions.
struct MapContext {
    PatientModel patient;
    std::vector<const TableConvention*> conventions;
    std::vector<TableZeros> zeros;
    std::optional<SkinMapper> mapper;
};

void StartMap(const std::vector<DoseReport>& reports, const CalculationCase& device,
              const ReportOptions& options, SkinMapResult& result, MapContext& context) {
    const DoseReport* sized = nullptr;
    for (const DoseReport& report : reports) {
        if (sized == nullptr && report.patient_height_cm.Usable() &&
            report.patient_weight_kg.Usable()) {
            sized = &report;
        }
    }
    static const DoseReport kNoReport;
    context.patient = PatientModelOf(sized != nullptr ? *sized : kNoReport, result.patient_source);
    context.patient.mattress_cm =
        device.Couch == CouchModel::TableTop ? device.MattressThickness : 0;
    bool position_given = false;
    for (const DoseReport& report : reports) {
        context.conventions.push_back(
            &ConventionFor(options.geometry, report.manufacturer, report.model));
        context.zeros.push_back(FirstTablePositions(report));
        for (const IrradiationEvent& event : report.events) {
            const PatientPosition position = PositionOf(event);
            if (!position_given && position.given) {
                context.patient.prone = position.prone;
                position_given = true;
            }
        }
    }
    if (!position_given) {
        result.notes.push_back({"患者の向きの記載がないため、頭先・仰臥位とします。",
                                "The reports do not give the patient's position: head first, "
                                "supine is assumed."});
    }
    result.map = EmptySkinDoseMap(context.patient);
    context.mapper.emplace(result.map);
}

// The distance and the side of the couch an event is calculated with.
void ChooseDistance(const EventPlacement& placement, const ReportOptions& options,
                    double device_fsd_cm, EventCalculation& event) {
    event.through_couch = placement.central ? placement.central->through_table : true;
    if (!options.fsd_text.empty()) {
        event.distance_source = DistanceSource::User;
    } else if (placement.central) {
        event.distance_source = DistanceSource::Geometry;
        event.focus_skin_distance_cm = std::round(placement.central->distance_cm * 10) / 10;
    } else {
        event.distance_source = DistanceSource::ReferencePoint;
        event.focus_skin_distance_cm = placement.reference_distance_cm > 0
                                           ? std::round(placement.reference_distance_cm * 10) / 10
                                           : device_fsd_cm;
    }
}

// The event's field on the map: its own dose at the central ray's skin point, and where
// part of the field lies on the other side of the table's edge, the dose calculated again
// for that side.
void AddToMap(ExposureForm& form, EngineState& state, const EventPlacement& placement,
              MapContext& context, EventCalculation& event, SkinMapResult& result) {
    MapBeam beam = placement.beam;
    beam.central_distance_cm =
        placement.central ? placement.central->distance_cm : event.focus_skin_distance_cm;
    (event.through_couch ? beam.dose_through_table_mgy : beam.dose_beside_table_mgy) =
        event.calc.SkinDose;
    const BeamCrossings crossings = context.mapper->Crossings(beam);
    const bool other_side = event.through_couch ? crossings.beside_table : crossings.through_table;
    if (other_side) {
        form.UseCouch(!event.through_couch);
        const CalculationOutcome outcome = form.Calculate();
        if (outcome.result != CalculationOutcome::Result::Succeeded) {
            event.not_on_map = {"テーブルの外側を通る部分の線量を計算できません",
                                "the dose beside the table cannot be calculated"};
            return;
        }
        (event.through_couch ? beam.dose_beside_table_mgy : beam.dose_through_table_mgy) =
            state.calc.SkinDose;
    }
    context.mapper->Add(beam, result.map);
    result.beams.push_back(beam);
    event.on_map = true;
    ++result.events_on_map;
    result.largest_event_mgy = std::max(result.largest_event_mgy, event.calc.SkinDose);
}

void FinishMap(const std::vector<EventCalculation>& events, SkinMapResult& result) {
    for (const EventCalculation& event : events) {
        result.events_not_on_map +=
            event.status == EventStatus::Calculated && !event.on_map ? 1 : 0;
    }
    result.made = result.events_on_map > 0;
    SummariseSkinDoseMap(result.map);
    if (result.events_not_on_map > 0) {
        const std::string count = std::to_string(result.events_not_on_map);
        result.notes.push_back(
            {"患者モデルに置けないイベント " + count +
                 " 件はマップに入っていません（イベント表の理由を参照）。",
             count + " events that cannot be placed on the patient model are not on the map "
                     "(see the reasons in the event table)."});
    }
}

UserText DistanceNote(const std::vector<EventCalculation>& events) {
    int counts[3] = {0, 0, 0};
    for (const EventCalculation& event : events) {
        if (event.status == EventStatus::Calculated) {
            ++counts[static_cast<int>(event.distance_source)];
        }
    }
    const std::string geometry = std::to_string(counts[0]);
    const std::string reference = std::to_string(counts[2]);
    return {"焦点-入射表面間距離は、" + geometry +
                " 件を照射の幾何（中心線が患者モデルの皮膚に当たる点）から、" + reference +
                " 件を患者照射基準点から求めました。",
            "The focus-skin distance of " + geometry +
                " events comes from the geometry of the beam (where its central ray meets the "
                "patient model's skin), of " +
                reference + " from the patient entrance reference point."};
}

}  // namespace

const char* DistanceSourceWord(DistanceSource source) {
    switch (source) {
        case DistanceSource::Geometry:
            return "geometry";
        case DistanceSource::User:
            return "user";
        case DistanceSource::ReferencePoint:
            break;
    }
    return "reference-point";
}

const char* DistanceSourceLabel(DistanceSource source, bool japanese) {
    switch (source) {
        case DistanceSource::Geometry:
            return japanese ? "幾何" : "geometry";
        case DistanceSource::User:
            return japanese ? "指定" : "given";
        case DistanceSource::ReferencePoint:
            break;
    }
    return japanese ? "基準点" : "reference point";
}

ReportCalculation CalculateDoseReports(EngineState& state, const std::vector<DoseReport>& reports,
                                       const ReportOptions& options,
                                       const DoseThresholds& thresholds) {
    ExposureForm form(state);
    form.SetModel(options.model);
    // Every event of the reports is calculated with the same kernel files.
    const ScatterKernelCache::OneCheckPerFile kernels_checked_once(state.kernel_cache);
    ReportCalculation result;
    result.model = options.model;
    result.device_file = options.device_file;
    result.device = form.ChooseDevice(options.device_file);
    const std::string device_fsd_text = form.Text(ExposureField::FocusSkinDistance);
    result.fsd_text = options.fsd_text.empty() ? device_fsd_text : options.fsd_text;
    const double fsd_cm = LeadingNumber(result.fsd_text);
    if (!std::isfinite(fsd_cm) || fsd_cm <= 0) {
        throw ReportOptionError("焦点-入射表面間距離「" + result.fsd_text +
                                "」は正の数 (cm) で指定して下さい。");
    }
    const double device_isocentre_cm = state.calc.FocusIsocentreDistance;
    MapContext context;
    StartMap(reports, state.calc, options, result.skin_map, context);
    result.events = CollectEvents(reports, result.device, fsd_cm);
    for (EventCalculation& event : result.events) {
        if (event.status != EventStatus::NotCalculated || !event.reason.empty()) {
            continue;
        }
        const IrradiationEvent& source = reports[event.report_index].events[event.event_index];
        const EventPlacement placement =
            PlaceEvent(source, {context.patient, *context.conventions[event.report_index],
                                context.zeros[event.report_index], device_isocentre_cm,
                                *event.kar_mgy, *event.pka_gycm2});
        ChooseDistance(placement, options, fsd_cm, event);
        form.UseCouch(event.through_couch);
        CalculateEvent(state, form, ShortestNumberText(event.focus_skin_distance_cm), event);
        if (event.status != EventStatus::Calculated) {
            continue;
        }
        if (placement.placed) {
            AddToMap(form, state, placement, context, event, result.skin_map);
        } else {
            event.not_on_map = placement.not_placed;
        }
    }
    FinishMap(result.events, result.skin_map);
    result.groups = GroupProjections(result.events);
    result.summary =
        Summarise(reports, result.events, result.groups,
                  result.skin_map.made ? result.skin_map.map.peak.dose_mgy : 0.0, thresholds);
    if (options.fsd_text.empty()) {
        result.summary.notes.push_back(DistanceNote(result.events));
    }
    return result;
}

}  // namespace korvex
