#pragma once

#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dose_report/dose_report.h"
#include "dose_report/dose_thresholds.h"
#include "dose_report/report_calculation.h"
#include "engine/reference_tables.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace korvex {

struct EngineState;
class MessageService;
class PrinterService;
struct DoseReportPrintOptions;
class ResultsTable;
class ResultsWindow;

// The dose reports of one procedure, every event calculated with a device: the events with
// their inputs and skin doses (or the reason in red), the projection groups to add to the
// results table, the summary with its flags and the reports' own totals. Works on an engine
// state of its own, so that opening a report never changes the main window's case.
class DoseReportWindow : public QWidget {
    Q_OBJECT

  public:
    // Without a printer service the window prints through the default printer (Qt
    // PrintSupport).
    DoseReportWindow(const ReferenceTables& tables, std::filesystem::path working_folder,
                     const ResultsTable& results, ResultsWindow& results_window,
                     MessageService& messages, PrinterService* printer = nullptr,
                     QWidget* parent = nullptr);
    ~DoseReportWindow() override;

    // Reads the files and calculates them with the device (a bare name; empty: the first
    // device of the working folder). A file that is no dose report is told and nothing
    // changes; returns whether the reports are now shown.
    bool Open(const std::vector<std::filesystem::path>& files, const std::string& device_file);

    // The main window's dose model: the reports shown are calculated again by it.
    void SetModel(DoseModel model);

    const ReportCalculation& Result() const { return result_; }

  private:
    // The device list and the focus-skin distance changed: everything again.
    void Recalculate();
    // "表に追加": every checked group as one results-table row.
    void AddCheckedGroups();
    void BuildWindow();
    void FillDevices(const std::string& preferred);
    void ShowHeader();
    void ShowEvents();
    void ShowGroups();
    void ShowSummary();
    bool Calculate(const std::string& device, const std::string& fsd_text);
    // The distance field's text: the user's distance, or empty for each event's own.
    QString ShownDistance() const;
    void ShowMap();
    QWidget* BuildMapPage();
    QWidget* BuildChartPage();
    void ShowChart();

    // The printed dose report (dose_report_window_print.cpp): printed after the print
    // dialog, previewed, or saved as a PDF; without a printer the PDF is offered instead.
    QLayout* BuildPrintRow();
    void PrintReport();
    void PreviewReport();
    void SaveReportPdf();
    DoseReportPrintOptions PrintOptions() const;

    std::unique_ptr<EngineState> state_;
    const ResultsTable& results_;
    ResultsWindow& results_window_;
    MessageService& messages_;
    std::unique_ptr<PrinterService> own_printer_;  // when none was given
    PrinterService& printer_;
    std::filesystem::path pdf_folder_;  // where the last PDF went; first the working folder
    std::vector<DoseReport> reports_;
    ReportCalculation result_;
    DoseThresholds thresholds_;
    bool fsd_typed_ = false;     // the field holds the user's distance for all events
    bool result_typed_ = false;  // the result shown was calculated with it
    DoseModel model_ = kDefaultDoseModel;

    QLabel* header_ = nullptr;                // ReportFiles
    QComboBox* device_ = nullptr;             // ReportDevice
    QLineEdit* fsd_ = nullptr;                // ReportFsd
    QTableWidget* events_ = nullptr;          // ReportEvents
    QTableWidget* groups_ = nullptr;          // ReportGroups
    QLabel* summary_ = nullptr;               // ReportSummary
    QLabel* flags_ = nullptr;                 // ReportFlags
    QLabel* notes_ = nullptr;                 // ReportNotes
    QPushButton* add_button_ = nullptr;       // ReportAdd
    QLabel* map_summary_ = nullptr;           // ReportMapSummary
    QLabel* map_ = nullptr;                   // ReportMap: the map's picture
    QLabel* chart_ = nullptr;                 // ReportBarChart: skin dose per projection
    QCheckBox* with_patient_ = nullptr;       // ReportWithPatient
    QPushButton* print_button_ = nullptr;     // ReportPrint
    QPushButton* preview_button_ = nullptr;   // ReportPreview
    QPushButton* save_pdf_button_ = nullptr;  // ReportSavePdf
};

}  // namespace korvex
