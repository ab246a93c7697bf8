#pragma once

#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QSize>
#include <string>
#include <vector>

namespace korvex {

// The skin dose of each projection as a bar, for the window and the printed dose report.
// Plain values, so that the page knows nothing of how they were calculated.
struct ProjectionBarChart {
    std::vector<std::string> labels;  // UTF-8, one a bar: "LAO 30 CRA 10"
    std::vector<double> doses_mgy;    // one a label; negative and non-finite drawn as 0
    std::vector<double> thresholds_gy = {2, 3, 5};  // dashed lines where within the scale
    int emphasised = -1;                            // the peak's bar, drawn dark; -1 none
    bool japanese = true;                           // axis title and messages
};

// Where the chart's parts lie in the rectangle it was given; the drawing and the tests
// share it.
struct BarChartLayout {
    QRectF plot;               // the axes' box: 0 at its bottom, scale_maximum_mgy at its top
    double scale_maximum_mgy;  // NiceScaleMaximum of the largest dose
    std::vector<QRectF> bars;  // one a label, in order; a dose of 0 has zero height
    std::vector<double> threshold_y;  // one a threshold; NaN where outside the scale
    bool labels_slanted = false;      // the labels do not fit side by side, so run up at 45°
    double label_room = 0;            // pixels along a label; longer ones end in "…"
    double text_px = 1;               // the labels' font size, pixels
};

// The layout in `area` for labels in a font of `text_px` pixels (the window 13; a page
// its 7.5 pt in the device's pixels). Bars as many as the labels; doses missing for a label
// count as 0.
BarChartLayout LayOutBarChart(const ProjectionBarChart& chart, const QRectF& area, double text_px);

// Draws the chart in `area` of the painter's device: a bar per projection (the emphasised
// one dark, the others light grey, each outlined, its dose above it), the dose axis from 0
// with the skin-dose map's round ticks, its title "皮膚線量 (mGy)" / "Skin dose (mGy)",
// and each threshold as a labelled line in the skin-dose map's contour colour, each with
// its own dash, so that the lines tell apart in greyscale too. No projection: a message.
// Needs a QGuiApplication (fonts).
void DrawProjectionBarChart(QPainter& painter, const QRectF& area, const ProjectionBarChart& chart,
                            double text_px);

// The chart on a white image of `size` (each side clamped to 1..4000 pixels: beyond it the
// image would take hundreds of megabytes). A null image when memory for it cannot be had.
QImage ProjectionBarChartImage(const ProjectionBarChart& chart, QSize size, double text_px = 13);

}  // namespace korvex
