#include "cli/dose_report_command.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "cli/command_options.h"
#include "cli/exposure.h"
#include "cli/failure.h"
#include "cli/table_pdf.h"
#include "dose_report/dose_report_reader.h"
#include "dose_report/dose_thresholds.h"
#include "engine/errors.h"
#include "engine/text_rules.h"
#include "settings/user_name.h"

namespace korvex::cli {
namespace {

Json Optional(const std::optional<double>& value) {
    return value ? Json(JsonNumber(*value)) : Json(nullptr);
}

// A relative expanded uncertainty; null where none is stated (the legacy formula).
Json Uncertainty(double relative) {
    return relative > 0 ? Json(JsonNumber(relative)) : Json(nullptr);
}

Json Texts(const std::vector<std::string>& texts) {
    Json array = Json::array();
    for (const std::string& text : texts) {
        array.push_back(text);
    }
    return array;
}

Json FileJson(const DoseReport& report, bool with_patient) {
    Json json;
    json["File"] = report.path.string();
    json["Manufacturer"] = report.manufacturer;
    json["Model"] = report.model;
    json["StationName"] = report.station_name;
    json["StudyDate"] = report.study_date;
    json["StudyTime"] = report.study_time;
    if (with_patient) {
        json["PatientName"] = report.patient_name;
        json["PatientId"] = report.patient_id;
    }
    json["ReferencePointDefinition"] = report.reference_point_definition;
    json["Events"] = report.events.size();
    Json totals = Json::array();
    for (const AccumulatedTotals& plane : report.totals) {
        totals.push_back({{"Plane", PlaneWord(plane.plane)},
                          {"Kar", Optional(plane.kar_mgy.value)},
                          {"Pka", Optional(plane.pka_gycm2.value)}});
    }
    json["Totals"] = totals;
    json["Notes"] = Texts(report.notes);
    return json;
}

Json NotesJson(const std::vector<EventNote>& notes, bool japanese) {
    Json array = Json::array();
    for (const EventNote& note : notes) {
        array.push_back(
            {{"Code", note.code}, {"Text", note.text.In(japanese)}, {"Value", note.value}});
    }
    return array;
}

Json EventJson(const IrradiationEvent& event, const EventCalculation& e, bool japanese) {
    Json json;
    json["FileIndex"] = e.report_index;  // into Files: "File" is always a path
    json["Event"] = event.number;
    json["Uid"] = event.uid;
    json["DateTimeStarted"] = event.date_time;
    json["EventType"] = event.event_type;
    json["EventTypeCode"] = event.event_type_code;
    json["Plane"] = PlaneWord(event.plane);
    json["TubeVoltage"] = Optional(e.tube_voltage_kv);
    json["Kar"] = Optional(e.kar_mgy);
    json["Pka"] = Optional(e.pka_gycm2);
    json["AddedAl"] = Optional(e.added_aluminium_mm);
    json["AddedCu"] = Optional(e.added_copper_mm);
    json["FiltersFrom"] = e.filters_from_event ? "event" : "device";
    json["FocusSkinDistance"] = JsonNumber(e.focus_skin_distance_cm);
    json["FocusSkinDistanceFrom"] = DistanceSourceWord(e.distance_source);
    json["PrimaryAngle"] = Optional(e.primary_angle_deg);
    json["SecondaryAngle"] = Optional(e.secondary_angle_deg);
    if (e.status == EventStatus::Calculated) {
        json["Group"] = e.group;
        ExposureResult shown;
        shown.outcome.result = CalculationOutcome::Result::Succeeded;
        shown.outcome.displays = e.displays;
        shown.field_size_text = e.field_size_text;
        json.update(CalculationJson(e.calc, shown));
        json["ThroughCouch"] = e.through_couch;
        json["OnMap"] = e.on_map;
        if (!e.on_map) {
            json["NotOnMap"] = e.not_on_map.In(japanese);
        }
    } else if (e.status == EventStatus::Duplicate) {
        json["Duplicate"] = e.reason.In(japanese);
    } else {
        json["NotCalculated"] = e.reason.In(japanese);
        if (!e.detail.empty()) {
            json["NotCalculatedDetail"] = e.detail;
        }
    }
    // The event's geometry as read (cm, cm^2).
    json["DistanceSourceToIsocenter"] = Optional(event.source_isocentre_cm.value);
    json["DistanceSourceToReferencePoint"] = Optional(event.source_reference_cm.value);
    json["DistanceSourceToDetector"] = Optional(event.source_detector_cm.value);
    json["CollimatedFieldArea"] = Optional(event.field_area_cm2.value);
    json["CollimatedFieldWidth"] = Optional(event.field_width_cm.value);
    json["CollimatedFieldHeight"] = Optional(event.field_height_cm.value);
    json["TableLongitudinalPosition"] = Optional(event.table_longitudinal_cm.value);
    json["TableLateralPosition"] = Optional(event.table_lateral_cm.value);
    json["TableHeightPosition"] = Optional(event.table_height_cm.value);
    json["Notes"] = NotesJson(e.notes, japanese);
    return json;
}

Json GroupJson(const ProjectionGroup& group) {
    return {{"Plane", PlaneWord(group.plane)},
            {"Label", group.label},
            {"PrimaryAngle", Optional(group.primary_angle_deg)},
            {"SecondaryAngle", Optional(group.secondary_angle_deg)},
            {"Events", group.events},
            {"Kar", JsonNumber(group.kar_mgy)},
            {"Pka", JsonNumber(group.pka_gycm2)},
            {"SkinDose", JsonNumber(group.skin_dose_mgy)},
            {"SkinDoseUncertainty", Uncertainty(group.skin_dose_uncertainty)}};
}

Json Texts(const std::vector<UserText>& texts, bool japanese) {
    Json array = Json::array();
    for (const UserText& text : texts) {
        array.push_back(text.In(japanese));
    }
    return array;
}

Json SummaryJson(const ReportSummary& s, bool japanese) {
    Json json;
    json["Calculated"] = s.calculated;
    json["NotCalculated"] = s.not_calculated;
    json["Duplicates"] = s.duplicates;
    json["PeakSkinDose"] = JsonNumber(s.peak_skin_dose_mgy);
    json["PeakSkinDoseUncertainty"] = Uncertainty(s.peak_skin_dose_uncertainty);
    json["PeakGroup"] = s.peak_group < 0 ? Json(nullptr) : Json(s.peak_group);
    json["SkinDoseSum"] = JsonNumber(s.skin_dose_sum_mgy);
    json["KarCalculated"] = JsonNumber(s.kar_calculated_mgy);
    json["PkaCalculated"] = JsonNumber(s.pka_calculated_gycm2);
    json["KarNotIncluded"] = JsonNumber(s.kar_not_included_mgy);
    json["PkaNotIncluded"] = JsonNumber(s.pka_not_included_gycm2);
    json["ReportKar"] = Optional(s.report_kar_mgy);
    json["ReportPka"] = Optional(s.report_pka_gycm2);
    Json planes = Json::array();
    for (const PlaneCrossCheck& plane : s.planes) {
        planes.push_back({{"Plane", PlaneWord(plane.plane)},
                          {"Kar", JsonNumber(plane.kar_mgy)},
                          {"Pka", JsonNumber(plane.pka_gycm2)},
                          {"ReportKar", Optional(plane.report_kar_mgy)},
                          {"ReportPka", Optional(plane.report_pka_gycm2)}});
    }
    json["Planes"] = planes;
    Json flags = Json::array();
    for (const DoseFlag& flag : s.flags) {
        flags.push_back({{"Name", flag.name.In(japanese)},
                         {"Value", JsonNumber(flag.value)},
                         {"Threshold", JsonNumber(flag.threshold)},
                         {"Unit", flag.unit},
                         {"Source", flag.source.In(japanese)},
                         {"Raised", flag.raised}});
    }
    json["Flags"] = flags;
    json["Notes"] = Texts(s.notes, japanese);
    json["EventNotes"] = s.event_notes;
    json["EventsWithNotes"] = s.events_with_notes;
    return json;
}

// Map values to a thousandth of a mGy: finer than any dose the map can tell apart, and
// a 500-event map stays a few hundred kilobytes.
Json GridJson(const MapGrid& grid, bool with_skin) {
    Json values = Json::array();
    Json skin = Json::array();
    for (int r = 0; r < grid.rows; ++r) {
        Json row = Json::array();
        Json skin_row = Json::array();
        for (int c = 0; c < grid.columns; ++c) {
            row.push_back(JsonNumber(std::round(grid.At(r, c) * 1000) / 1000));
            skin_row.push_back(grid.is_skin[grid.Index(r, c)] != 0 ? 1 : 0);
        }
        values.push_back(row);
        skin.push_back(skin_row);
    }
    Json json = {{"Columns", grid.columns},
                 {"Rows", grid.rows},
                 {"ColumnOrigin", JsonNumber(grid.column_origin_cm)},
                 {"RowOrigin", JsonNumber(grid.row_origin_cm)},
                 {"Values", values}};
    if (with_skin) {
        json["Skin"] = skin;
    }
    return json;
}

Json PatientJson(const PatientModel& p, const UserText& source, bool japanese) {
    return {{"Height", JsonNumber(p.height_cm)},
            {"Weight", JsonNumber(p.weight_kg)},
            {"TrunkWidth", JsonNumber(2 * p.trunk_half_width_cm)},
            {"TrunkDepth", JsonNumber(2 * p.trunk_half_depth_cm)},
            {"TrunkTop", JsonNumber(p.trunk_top_cm)},
            {"TrunkLength", JsonNumber(p.trunk_length_cm)},
            {"TableWidth", JsonNumber(2 * p.table_half_width_cm)},
            {"Mattress", JsonNumber(p.mattress_cm)},
            {"Prone", p.prone},
            {"Source", source.In(japanese)}};
}

Json MapJson(const ReportCalculation& result, bool japanese) {
    const SkinMapResult& m = result.skin_map;
    Json json;
    json["Made"] = m.made;
    json["EventsOnMap"] = m.events_on_map;
    json["EventsNotOnMap"] = m.events_not_on_map;
    json["Notes"] = Texts(m.notes, japanese);
    if (!m.made) {
        return json;
    }
    const MapPeak& peak = m.map.peak;
    json["Patient"] = PatientJson(m.map.patient, m.patient_source, japanese);
    json["CellSize"] = JsonNumber(m.map.trunk.cell_cm);
    json["Trunk"] = GridJson(m.map.trunk, false);
    json["TablePlane"] = GridJson(m.map.table, true);
    json["Peak"] = {{"Dose", JsonNumber(peak.dose_mgy)},
                    {"OnTrunk", peak.on_trunk},
                    {"FromHeadTop", JsonNumber(peak.below_head_top_cm)},
                    {"Across", JsonNumber(peak.across_cm)},
                    {"Angle", JsonNumber(peak.angle_deg)}};
    Json areas = Json::array();
    for (size_t i = 0; i < kMapAreaThresholdsGy.size(); ++i) {
        areas.push_back({{"Threshold", JsonNumber(kMapAreaThresholdsGy[i])},
                         {"Area", JsonNumber(m.map.area_above_cm2[i])}});
    }
    json["AreaAbove"] = areas;
    json["LargestEventDose"] = JsonNumber(m.largest_event_mgy);
    json["GroupedPeak"] = JsonNumber(result.summary.peak_skin_dose_mgy);
    return json;
}

std::string NotesText(const std::vector<EventNote>& notes, bool japanese) {
    std::string text;
    for (const EventNote& note : notes) {
        text += (text.empty() ? "" : " | ") + note.code + ": " + note.text.In(japanese) +
                (note.value.empty() ? "" : " [" + note.value + "]");
    }
    return text;
}

std::string CsvNumber(const std::optional<double>& value) {
    return value ? ShortestNumberText(*value) : std::string();
}

const char* StatusWord(EventStatus status) {
    switch (status) {
        case EventStatus::Calculated:
            return "calculated";
        case EventStatus::Duplicate:
            return "duplicate";
        case EventStatus::NotCalculated:
            break;
    }
    return "not_calculated";
}

}  // namespace

Json ReportJson(const std::vector<DoseReport>& reports, const ReportCalculation& result,
                bool with_patient, bool japanese) {
    Json json;
    json["Model"] = DoseModelKey(result.model);
    json["Device"] = result.device_file;
    json["FocusSkinDistance"] = JsonNumber(LeadingNumber(result.fsd_text));
    Json files = Json::array();
    for (const DoseReport& report : reports) {
        files.push_back(FileJson(report, with_patient));
    }
    json["Files"] = files;
    Json events = Json::array();
    for (const EventCalculation& e : result.events) {
        events.push_back(EventJson(reports[e.report_index].events[e.event_index], e, japanese));
    }
    json["Events"] = events;
    Json groups = Json::array();
    for (const ProjectionGroup& group : result.groups) {
        groups.push_back(GroupJson(group));
    }
    json["Groups"] = groups;
    json["Summary"] = SummaryJson(result.summary, japanese);
    json["Map"] = MapJson(result, japanese);
    return json;
}

void WriteReportCsv(std::ostream& out, const std::vector<DoseReport>& reports,
                    const ReportCalculation& result, bool japanese) {
    out << "File,Event,Uid,DateTimeStarted,EventType,Plane,TubeVoltage,Kar,Pka,AddedAl,AddedCu,"
           "FocusSkinDistance,FocusSkinDistanceFrom,PrimaryAngle,SecondaryAngle,Status,Reason,"
           "Group,GroupLabel,"
           "CorrectedKar,CorrectedPka,DoseToKermaRatio,ForwardBackscatterFactor,SkinDose,"
           "SkinDoseUncertainty,Model,Notes\r\n";
    for (const EventCalculation& e : result.events) {
        const IrradiationEvent& event = reports[e.report_index].events[e.event_index];
        const bool done = e.status == EventStatus::Calculated;
        const auto result_number = [&](double value) {
            return done ? ShortestNumberText(value) : std::string();
        };
        const std::vector<std::string> fields = {
            reports[e.report_index].path.string(),
            std::to_string(event.number),
            event.uid,
            event.date_time,
            event.event_type,
            PlaneWord(event.plane),
            CsvNumber(e.tube_voltage_kv),
            CsvNumber(e.kar_mgy),
            CsvNumber(e.pka_gycm2),
            CsvNumber(e.added_aluminium_mm),
            CsvNumber(e.added_copper_mm),
            ShortestNumberText(e.focus_skin_distance_cm),
            DistanceSourceWord(e.distance_source),
            CsvNumber(e.primary_angle_deg),
            CsvNumber(e.secondary_angle_deg),
            StatusWord(e.status),
            e.reason.In(japanese),
            done ? std::to_string(e.group) : std::string(),
            done ? result.groups[static_cast<size_t>(e.group)].label : std::string(),
            result_number(e.calc.CorrectedKar),
            result_number(e.calc.CorrectedPka),
            result_number(e.calc.DoseToKermaRatio),
            result_number(e.calc.ForwardBackscatterFactor),
            result_number(e.calc.SkinDose),
            done && e.calc.SkinDoseUncertainty > 0 ? ShortestNumberText(e.calc.SkinDoseUncertainty)
                                                   : std::string(),
            std::string(DoseModelKey(result.model)),
            NotesText(e.notes, japanese)};
        for (size_t i = 0; i < fields.size(); ++i) {
            out << (i == 0 ? "" : ",") << CsvField(fields[i]);
        }
        out << "\r\n";
    }
}

void AddReportCommand(CLI::App& app, const Help& help, ReportRequest& r) {
    CLI::App* report = app.add_subcommand(
        "report", help({"線量レポート (RDSR) の全照射イベントの皮膚線量を計算します",
                        "estimate the skin dose of every irradiation event of dose reports "
                        "(RDSR)"}));
    report
        ->add_option("files", r.files,
                     help({"線量レポートのファイル (同じ検査の複数のファイル可)",
                           "dose report files (several of one study allowed)"}))
        ->required();
    report
        ->add_option("--device", r.device,
                     help({"作業フォルダーの装置データファイル名 (.kvx2 または .kvx)",
                           "device data file in the working folder (.kvx2 or .kvx)"}))
        ->required();
    report->add_option("--fsd", r.fsd,
                       help({"全イベント共通の焦点-入射表面間距離 (cm)。省略時は "
                             "焦点-アイソセンター間距離 - 15",
                             "focus-skin distance for every event (cm); default: "
                             "focus-isocentre distance - 15"}));
    report->add_option("--format", r.format, help({"出力形式 json または csv", "json or csv"}))
        ->check(CLI::IsMember({"json", "csv"}));
    AddModelOption(report, help, r.model);
    report->add_option("--map", r.map_png,
                       help({"皮膚線量マップを PNG 画像に書き出します",
                             "write the skin-dose map as a PNG picture"}));
    report->add_option("--pdf", r.pdf,
                       help({"印刷用の線量レポート (A4、1〜2 ページ) を PDF に書き出します",
                             "write the printed dose report (A4, one or two pages) as a PDF"}));
    report->add_flag("--with-patient", r.with_patient,
                     help({"患者氏名と ID も出力します (PDF にも)",
                           "include the patient's name and ID (in the PDF too)"}));
    report->footer(
        help({"計算できないイベントがあっても、全ファイルを読めれば終了コードは 0 です。"
              "--format csv ではエラーを標準エラーにだけ出力します。",
              "Events that cannot be calculated still exit with 0 when every file "
              "was read. With --format csv errors go to standard error only."}));
}

int RunReport(EngineState& state, const ReportRequest& request, std::ostream& out,
              std::ostream& err) {
    std::vector<DoseReport> reports;
    for (const std::string& file : request.files) {
        try {
            reports.push_back(ReadDoseReport(file));
        } catch (const DoseReportError& error) {
            throw InputFileFailure(error.what(), file);
        }
    }
    const LoadedThresholds thresholds = LoadDoseThresholds(state.working_folder);
    if (!thresholds.problem.empty()) {
        err << thresholds.problem << '\n';
    }
    const LoadedMapGeometry geometry = LoadMapGeometry(state.working_folder);
    if (!geometry.problem.empty()) {
        err << geometry.problem << '\n';
    }
    ReportCalculation result;
    try {
        result = CalculateDoseReports(
            state, reports, {request.device, request.fsd, request.model, geometry.settings},
            thresholds.thresholds);
    } catch (const ReportOptionError& error) {
        throw UsageError(error.what());
    } catch (const FileError& error) {
        throw InputFileFailure(error.what(), request.device);
    }
    if (!request.map_png.empty()) {
        if (!result.skin_map.made) {
            err << (request.japanese
                        ? "患者モデルに置けるイベントがないため、皮膚線量マップは空です。\n"
                        : "No event could be placed on the patient model: the skin-dose map is "
                          "empty.\n");
        }
        try {
            WriteSkinMapPng(request.map_png, result.skin_map.map, request.japanese);
        } catch (const FileError& error) {
            throw CommandFailure(
                Failure{ExitCode::OutputFile, error.what(), {}, request.map_png, {}, {}});
        }
    }
    if (!request.pdf.empty()) {
        try {
            WriteDoseReportDocumentPdf(request.pdf, reports, result,
                                       ReadUserName(state.working_folder).value_or(std::string()),
                                       request.with_patient, request.japanese);
        } catch (const FileError& error) {
            throw CommandFailure(
                Failure{ExitCode::OutputFile, error.what(), {}, request.pdf, {}, {}});
        }
    }
    if (request.format == "csv") {
        WriteReportCsv(out, reports, result, request.japanese);
    } else {
        Json json = ReportJson(reports, result, request.with_patient, request.japanese);
        if (!request.pdf.empty()) {
            json["Pdf"] = request.pdf;
        }
        WriteJson(out, json);
    }
    return ExitStatus(ExitCode::Success);
}

}  // namespace korvex::cli
