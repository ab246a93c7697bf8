#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "engine/engine_state.h"
#include "results/results_table.h"

namespace korvex {

class MainWindow;
class MessageService;
class ResultsWindow;
class UserNameWindows;

// What lives as long as the program: the engine's state, the results table and the user
// name. Windows receive references to its parts; nothing is global.
struct ProgramState {
    explicit ProgramState(EngineState loaded) : engine(std::move(loaded)) {}

    EngineState engine;
    ResultsTable results;
    std::string UserName;  // line 32 of "Primary.dat", or the guest name; empty until known
};

// The main window and the results window, wired together: the add button fills the
// results table, clearing the table closes the add button, "はい" ends the program.
class ProgramWindows : public QObject {
    Q_OBJECT

  public:
    ProgramWindows(ProgramState& state, MessageService& messages);
    ~ProgramWindows() override;

    // Start-up: the main window, and the results window beside it.
    void Show();

    MainWindow& Main() { return *main_; }
    ResultsWindow& Results() { return *results_; }
    UserNameWindows& NameWindows() { return *user_name_; }

  signals:
    void exitRequested();

  private:
    ProgramState& state_;
    std::unique_ptr<MainWindow> main_;
    std::unique_ptr<ResultsWindow> results_;
    std::unique_ptr<UserNameWindows> user_name_;
};

}  // namespace korvex
