#pragma once

#include <QObject>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine_state.h"
#include "results/results_table.h"

namespace korvex {

class MainWindow;
class MessageService;
class DoseReportWindow;
class PrinterService;
class ResultsWindow;
class UserNameWindows;

// What lives as long as the program: the engine's state, the results table and the user
// name. Windows receive references to its parts; nothing is global.
struct ProgramState {
    explicit ProgramState(EngineState loaded) : engine(std::move(loaded)) {}

    EngineState engine;
    ResultsTable results;
    std::string user_name;  // line 32 of "Primary.dat", or the guest name; empty until known
};

// The main window and the results window, wired together: the add button fills the
// results table, clearing the table closes the add button, "はい" ends the program.
class ProgramWindows : public QObject {
    Q_OBJECT

  public:
    ProgramWindows(ProgramState& state, MessageService& messages, PrinterService& printer);
    ~ProgramWindows() override;

    // Start-up: the main window, and the results window beside it.
    void Show();

    // The files the program was given (`korvex2 FILE...`, the desktop entry's %F), each
    // opened in turn by its kind (mainwindow/given_file.h): a device file is offered to the
    // working folder and chosen, a results file is read into the results window, and the
    // dose reports among them open together in the dose-report window, calculated with the
    // device chosen by then. A file that cannot be used is told (program_windows_files.cpp).
    void OpenGivenFiles(const QStringList& files);

    MainWindow& Main() { return *main_; }
    ResultsWindow& Results() { return *results_; }
    // The dose-report window once a report was opened, else nullptr.
    DoseReportWindow* DoseReport() { return dose_report_.get(); }

    // The files the user picks for "線量レポート読込"; the file dialog unless a test
    // replaces it. An empty list means the user cancelled.
    using FileChooser = std::function<QStringList(QWidget* parent)>;
    void SetReportFileChooser(FileChooser chooser) { choose_reports_ = std::move(chooser); }

  signals:
    void exitRequested();

  private:
    // Asks for the files and shows them calculated with the device (empty: the first).
    void OpenDoseReports(const QString& device_file);
    // Reads the dose reports as one set and shows them calculated with the device.
    void ShowDoseReports(const std::vector<std::filesystem::path>& files,
                         const QString& device_file);
    // A device file from elsewhere: added to the working folder when the user agrees (asked
    // again before a different file of the same name is replaced), then chosen.
    void OfferDevice(const std::filesystem::path& file);

    ProgramState& state_;
    std::unique_ptr<MainWindow> main_;
    std::unique_ptr<ResultsWindow> results_;
    std::unique_ptr<DoseReportWindow> dose_report_;
    MessageService& messages_;
    PrinterService& printer_;  // the results' and the dose report's
    FileChooser choose_reports_;
    std::unique_ptr<UserNameWindows> user_name_;
};

}  // namespace korvex
