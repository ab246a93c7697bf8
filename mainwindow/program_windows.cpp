#include "mainwindow/program_windows.h"

#include <QGuiApplication>
#include <QScreen>

#include "mainwindow/main_window.h"
#include "mainwindow/user_name_windows.h"
#include "results/results_window.h"

namespace korvex {

ProgramWindows::ProgramWindows(ProgramState& state, MessageService& messages)
    : state_(state),
      main_(std::make_unique<MainWindow>(state.engine, messages)),
      results_(std::make_unique<ResultsWindow>(state.results, state.UserName, messages,
                                               state.engine.WorkingFolder)) {
    connect(main_.get(), &MainWindow::addResultRequested, this,
            [this] { results_->AddResult(state_.engine.calc); });
    connect(results_.get(), &ResultsWindow::tableCleared, this,
            [this] { main_->SetAddButtonEnabled(false); });
    connect(main_.get(), &MainWindow::exitRequested, this, &ProgramWindows::exitRequested);
    // Last step of the start-up: the results window is ready for the name.
    user_name_ = std::make_unique<UserNameWindows>(state, *main_, *results_, messages);
    user_name_->ReadAtStartUp();
}

ProgramWindows::~ProgramWindows() = default;

void ProgramWindows::Show() {
    main_->adjustSize();
    main_->show();
    // Beside the main window where the screen has room, else below it, made lower to fit
    // when that keeps the table readable.
    const QRect screen = main_->screen() ? main_->screen()->availableGeometry() : QRect();
    const QRect frame = main_->frameGeometry();
    constexpr int kGap = 8;
    constexpr int kLowestReadable = 400;  // pixels
    QPoint place = frame.topRight() + QPoint(kGap, 0);
    if (!screen.isEmpty() && place.x() + results_->frameGeometry().width() > screen.right()) {
        place = QPoint(frame.left(), frame.bottom() + kGap);
        const int room = screen.bottom() - place.y();
        if (room >= kLowestReadable) {
            results_->resize(results_->width(), std::min(results_->height(), room));
        } else {
            place.setY(std::max(screen.top(), screen.bottom() - results_->height()));
        }
    }
    results_->move(place);
    results_->show();
    main_->raise();
    main_->activateWindow();
}

}  // namespace korvex
