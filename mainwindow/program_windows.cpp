#include "mainwindow/program_windows.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QScreen>

#include "dose_report/dose_report_window.h"
#include "mainwindow/main_window.h"
#include "mainwindow/user_name_windows.h"
#include "report/qt_text.h"
#include "results/results_window.h"

namespace korvex {

ProgramWindows::ProgramWindows(ProgramState& state, MessageService& messages,
                               PrinterService& printer)
    : state_(state),
      main_(std::make_unique<MainWindow>(state.engine, messages)),
      results_(std::make_unique<ResultsWindow>(state.results, state.user_name, messages, printer,
                                               state.engine.working_folder)),
      messages_(messages),
      printer_(printer),
      choose_reports_([](QWidget* parent) {
          return QFileDialog::getOpenFileNames(
              parent, tr("線量レポートを開く"), QString(),
              tr("線量レポート (*.dcm *.DCM);;すべてのファイル (*)"));
      }) {
    connect(main_.get(), &MainWindow::addResultRequested, this,
            [this] { results_->AddResult(state_.engine.calc); });
    connect(results_.get(), &ResultsWindow::tableCleared, this,
            [this] { main_->SetAddButtonEnabled(false); });
    connect(main_.get(), &MainWindow::exitRequested, this, &ProgramWindows::exitRequested);
    connect(main_.get(), &MainWindow::doseReportRequested, this,
            [this](const QString& device) { OpenDoseReports(device); });
    // One model for the whole program: a report on show is calculated again by the new one.
    connect(main_.get(), &MainWindow::doseModelChanged, this, [this](DoseModel model) {
        if (dose_report_) {
            dose_report_->SetModel(model);
        }
    });
    // Last step of the start-up: the results window is ready for the name.
    user_name_ = std::make_unique<UserNameWindows>(state, *main_, *results_, messages);
    user_name_->ReadAtStartUp();
}

void ProgramWindows::OpenDoseReports(const QString& device_file) {
    const QStringList files = choose_reports_(main_.get());
    if (files.isEmpty()) {
        return;
    }
    std::vector<std::filesystem::path> paths;
    for (const QString& file : files) {
        paths.emplace_back(ToUtf8(file));
    }
    ShowDoseReports(paths, device_file);
}

void ProgramWindows::ShowDoseReports(const std::vector<std::filesystem::path>& paths,
                                     const QString& device_file) {
    if (!dose_report_) {
        // The report's own engine state: reading a report leaves the main window's case.
        dose_report_ =
            std::make_unique<DoseReportWindow>(state_.engine.tables, state_.engine.working_folder,
                                               state_.results, *results_, messages_, &printer_);
    }
    dose_report_->SetModel(main_->Model());
    if (dose_report_->Open(paths, ToUtf8(device_file))) {
        dose_report_->show();
        dose_report_->raise();
        dose_report_->activateWindow();
    }
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
