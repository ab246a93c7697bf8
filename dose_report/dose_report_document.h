#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "dose_report/dose_report.h"
#include "dose_report/report_calculation.h"
#include "report/bar_chart.h"
#include "report/report_pdf.h"

class QPagedPaintDevice;

namespace korvex {

inline constexpr const char* kDoseReportTitle = "線量レポート（皮膚線量の推定）";
inline constexpr const char* kDoseReportTitleEnglish = "Dose report (skin dose estimate)";

// The printed dose report holds at most this many pages; not-calculated events beyond them
// are counted and sent to the window's event table and the command line's JSON and CSV.
inline constexpr int kDoseReportMaxPages = 2;

struct DoseReportPrintOptions {
    std::string user_name;      // the working folder's registered user; empty: the guest
    std::string printed_on;     // "2024-05-01 14:30", as PrintedOnNow gives it
    bool with_patient = false;  // the patient's name and ID as the reports hold them
    bool japanese = true;       // else every text the program writes in English
};

// The projection groups as bars: the label (with its plane on a biplane unit, "A LAO 30"),
// the group's skin dose, the peak group emphasised.
ProjectionBarChart ProjectionChartOf(const ReportCalculation& result, bool japanese = true);

// A projection group's name: the angles' abbreviations in both languages ("LAO 30 CRA 10");
// only the group of events without both angles has a name of each language.
std::string ProjectionText(const ProjectionGroup& group, bool japanese);
// ProjectionText with the plane before it on a biplane unit ("A LAO 30").
std::string GroupLabel(const ProjectionGroup& group, bool japanese);
// An acquisition plane: "単一", "A", "B", "不明" / "Single", "A", "B", "Unknown".
std::string PlaneText(AcquisitionPlane plane, bool japanese);

// "2024-01-15 10:15" of a DA and a TM value; the values as given when they are no date.
std::string StudyDateTimeText(const std::string& study_date, const std::string& study_time);

// The local date and time now, "2024-05-01 14:30".
std::string PrintedOnNow();

// Paints the dose report on A4 portrait pages of `device` (a printer or a PDF writer),
// placed inside its printable area: the study, the summary with its flags, the projection
// groups with their bar chart, the skin-dose map with its captions, every event not
// calculated with its reason, and on each page the program, the user, the date and the page
// number. In English unless `options.japanese`, but for what the dose-report reader says in
// Japanese only: its notes about the files and the events' kinds. Returns the pages
// painted, 0 when the device could not be painted on.
int DrawDoseReportDocument(QPagedPaintDevice& device, const std::vector<DoseReport>& reports,
                           const ReportCalculation& result, const DoseReportPrintOptions& options);

// DrawDoseReportDocument as a PagedDrawing. Holds references: call it while the reports and
// the result live.
PagedDrawing DoseReportDrawing(const std::vector<DoseReport>& reports,
                               const ReportCalculation& result,
                               const DoseReportPrintOptions& options);

// The document as PDF bytes. Needs a QGuiApplication (fonts); throws FileError when it
// cannot be drawn.
std::string DoseReportPdf(const std::vector<DoseReport>& reports, const ReportCalculation& result,
                          const DoseReportPrintOptions& options);

// The document as a PDF, written atomically. Needs a QGuiApplication (fonts); throws
// FileError naming the file.
void WriteDoseReportPdf(const std::filesystem::path& path, const std::vector<DoseReport>& reports,
                        const ReportCalculation& result, const DoseReportPrintOptions& options);

}  // namespace korvex
