#include <QPushButton>

#include "engine/beam_curves.h"
#include "mainwindow/beam_plot_window.h"
#include "mainwindow/main_window.h"
#include "ui/owned_window.h"

// The beam part of Form1: the button that opens the spectrum and depth-dose window, and
// the curves of the calculation on show that the window draws.
namespace korvex {

QPushButton* MainWindow::BuildBeamPlotsButton() {
    beam_plots_button_ = new QPushButton(tr("線質・深部線量"));
    beam_plots_button_->setObjectName("CommandBeamPlots");
    beam_plots_button_->setToolTip(tr(" この計算の光子スペクトルと深部線量曲線を表示します "));
    beam_plots_button_->setEnabled(false);
    connect(beam_plots_button_, &QPushButton::clicked, this, [this] { OpenBeamPlots(); });
    return beam_plots_button_;
}

// The curves are taken while the state still holds this calculation: choosing another
// device models the room's spectrum in the same arrays.
void MainWindow::UpdateBeamPlots(bool calculation_on_show) {
    beam_curves_ =
        std::make_unique<BeamCurves>(calculation_on_show ? BeamCurvesOf(state_) : BeamCurves{});
    beam_plots_button_->setEnabled(!beam_curves_->spectrum.Empty());
    if (beam_plot_window_) {
        beam_plot_window_->ShowCurves(*beam_curves_);
    }
}

void MainWindow::OpenBeamPlots() {
    if (!beam_plot_window_) {
        beam_plot_window_ = std::make_unique<BeamPlotWindow>();
        StayAboveOwner(beam_plot_window_.get(), this);
    }
    beam_plot_window_->ShowCurves(beam_curves_ ? *beam_curves_ : BeamCurves{});
    beam_plot_window_->show();
    beam_plot_window_->raise();
    beam_plot_window_->activateWindow();
}

}  // namespace korvex
