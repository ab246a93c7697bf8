#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>

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
