#pragma once

#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <string>
#include <vector>

#include "engine/beam_curves.h"

namespace korvex {

// One curve of a line plot, its points joined in order. A point that is not finite breaks
// the line there and is not drawn.
struct PlotLine {
    std::vector<double> x;
    std::vector<double> y;   // as many as x; the shorter of the two counts
    bool emphasised = true;  // solid black; otherwise a thinner mid-grey line
    std::string label;       // UTF-8, in the legend; empty for none
};

// A dashed vertical line across the plot at `x`, labelled at its top.
struct PlotMarker {
    double x = 0;
    std::string label;  // UTF-8
};

// A plot of curves over x and y axes that both begin at 0. Texts are UTF-8.
struct LinePlot {
    std::string x_title;  // with the unit: "エネルギー (keV)"
    std::string y_title;
    std::string caption;     // above the plot
    std::string empty_text;  // in the plot when no line has a point to draw
    std::vector<PlotLine> lines;
    std::vector<PlotMarker> markers;
};

// Where a plot's parts lie in the rectangle it was given; the drawing and the tests share
// it. Each axis ends at a round value at or above the largest finite value drawn on it,
// a multiple of its tick step from the skin-dose map's scale (NiceScaleMaximum, ScaleTicks).
struct LinePlotLayout {
    QRectF plot;  // the axes' box: (0, 0) at its bottom left
    double x_maximum = 1;
    double y_maximum = 1;
    double text_px = 1;  // font size of the tick numbers and titles, pixels

    QPointF Place(double x, double y) const;
};

LinePlotLayout LayOutLinePlot(const LinePlot& plot, const QRectF& area);

// Draws the plot in `area` of the painter's device: the frame with the ticks of both axes
// and their titles, the caption above it, the curves (the emphasised solid black, the
// others mid-grey, so that they tell apart in greyscale), the markers dashed and
// labelled, and a legend of the labelled curves. Works on any QPainter, so a page on a
// QPdfWriter takes it as vector graphics. Needs a QGuiApplication (fonts).
void DrawLinePlot(QPainter& painter, const QRectF& area, const LinePlot& plot);

// The plot on a white image of `size` (each side clamped to 1..4000 pixels: beyond it the
// image would take hundreds of megabytes). A null image when memory for it cannot be had.
QImage LinePlotImage(const LinePlot& plot, QSize size);

// "80 kV　第１半価層 3.01 mmAl　平均エネルギー 44.7 keV" / "80 kV, HVL 3.01 mm Al, mean
// energy 44.7 keV"; empty for a beam of no voltage or values that are not finite.
std::string BeamCaption(const CurveBeam& beam, bool japanese);

// The photon spectrum over energy: photons per keV after the filtration (black) and behind
// the couch-equivalent layer (grey), a marker at the mean energy.
LinePlot SpectrumPlot(const SpectrumCurve& curve, bool japanese);
// The depth-dose curve relative to the surface, a marker "皮膚 1.0 cm" / "skin 1.0 cm" at
// the skin's depth. A table top under a mattress says why it has no curve.
LinePlot DepthDosePlot(const DepthDoseCurve& curve, bool japanese);

QImage DrawSpectrumPlot(const SpectrumCurve& curve, bool japanese, QSize size);
QImage DrawDepthDosePlot(const DepthDoseCurve& curve, bool japanese, QSize size);

}  // namespace korvex
