#pragma once

#include <QWidget>

#include "engine/beam_curves.h"

class QLabel;

namespace korvex {

// BeamPlotWindow, "線質と深部線量": the photon spectrum and the depth-dose curve of the
// main window's calculation side by side, with the beam's tube voltage, half-value layer
// and mean energy on a line below. It shows curves it is given and computes nothing.
class BeamPlotWindow : public QWidget {
    // For tr(): its texts are translated under its own name.
    Q_OBJECT

  public:
    explicit BeamPlotWindow(QWidget* parent = nullptr);

    // Draws these curves; empty ones draw their axes and say that there is no calculation.
    void ShowCurves(const BeamCurves& curves);

  private:
    QLabel* spectrum_ = nullptr;    // SpectrumPlot
    QLabel* depth_dose_ = nullptr;  // DepthDosePlot
    QLabel* quality_ = nullptr;     // BeamQualityLine
};

}  // namespace korvex
