#include "mainwindow/beam_plot_window.h"

#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>
#include <algorithm>
#include <string>

#include "report/beam_plots.h"
#include "report/qt_text.h"
#include "ui/interface_language.h"

namespace korvex {
namespace {

// Each plot's size on screen, in device-independent pixels.
constexpr QSize kPlotSize(520, 380);

QLabel* PlotLabel(const char* name) {
    auto* label = new QLabel;
    label->setObjectName(name);
    label->setFixedSize(kPlotSize);
    return label;
}

// Drawn at the screen's pixel density, so that lines and text stay sharp on a dense one.
QPixmap PlotPixmap(const QImage& drawn, double ratio) {
    QPixmap pixmap = QPixmap::fromImage(drawn);
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

}  // namespace

BeamPlotWindow::BeamPlotWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("BeamPlotWindow");
    setWindowTitle(tr("線質と深部線量"));
    auto* layout = new QVBoxLayout(this);
    auto* plots = new QHBoxLayout;
    spectrum_ = PlotLabel("SpectrumPlot");
    spectrum_->setToolTip(
        tr(" 付加フィルタ後と天板等価層の後の光子数スペクトル（1 keV あたり、"
           "全光子数 = 1）。70 kV を超えるとタングステンの K 線が現れます "));
    depth_dose_ = PlotLabel("DepthDosePlot");
    depth_dose_->setToolTip(
        tr(" 天板等価層から体内への中心軸上の線量（表面の線量 = 1）。"
           "破線が皮膚の深さ（天板等価厚）です "));
    plots->addWidget(spectrum_);
    plots->addWidget(depth_dose_);
    layout->addLayout(plots);
    quality_ = new QLabel;
    quality_->setObjectName("BeamQualityLine");
    quality_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(quality_);
    ShowCurves({});
}

void BeamPlotWindow::ShowCurves(const BeamCurves& curves) {
    const double ratio = std::max(1.0, devicePixelRatioF());
    const QSize drawn = kPlotSize * ratio;
    spectrum_->setPixmap(
        PlotPixmap(DrawSpectrumPlot(curves.spectrum, InterfaceIsJapanese(), drawn), ratio));
    depth_dose_->setPixmap(
        PlotPixmap(DrawDepthDosePlot(curves.depth_dose, InterfaceIsJapanese(), drawn), ratio));
    const std::string caption = BeamCaption(curves.spectrum.beam, InterfaceIsJapanese());
    quality_->setText(caption.empty() ? tr("計算結果がありません")
                                      : tr("管電圧 ") + ToQString(caption));
}

}  // namespace korvex
