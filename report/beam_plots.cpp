#include "report/beam_plots.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainterPath>
#include <QPen>
#include <QString>
#include <algorithm>
#include <cmath>

#include "engine/text_rules.h"
#include "report/qt_text.h"
#include "report/report_painter.h"
#include "report/skin_map_picture.h"

namespace korvex {
namespace {

const QColor kCurveBlack(0, 0, 0);
const QColor kCurveGrey(0x80, 0x80, 0x80);
const QColor kAxisColour(0x20, 0x20, 0x20);
constexpr int kMaxImageSide = 4000;
// Margins around the axes' box, in text heights: tick numbers and the rotated title on the
// left, tick numbers and the title below, the caption above.
constexpr double kLeftMargin = 5.2;
constexpr double kBottomMargin = 3.6;
constexpr double kTopMargin = 2.4;
constexpr double kRightMargin = 1.2;

// 0, 20, 0.025: as many digits as the value needs.
QString TickText(double value) {
    return QString::number(value, 'g', 6);
}

// An axis on the skin-dose map's round scale, as short as its ticks allow: the first
// multiple of the finer scale's step at or above `largest` whose own ticks end on it (a
// relative dose of 1.01 on an axis to 1.2, not 2; 80 kV to 80, not 100).
double AxisMaximum(double largest) {
    const double nice = NiceScaleMaximum(largest);
    const std::vector<double> finer = ScaleTicks(nice / 2);
    if (!std::isfinite(largest) || largest <= 0 || finer.size() < 2) {
        return nice;
    }
    const double step = finer[1];
    for (double k = std::ceil(largest / step - 1e-9); k * step < nice; ++k) {
        const double candidate = k * step;
        const std::vector<double> ticks = ScaleTicks(candidate);
        if (ticks.size() > 1 && std::abs(ticks.back() - candidate) <= 1e-9 * candidate) {
            return candidate;
        }
    }
    return nice;
}

struct Extent {
    double x = 0;
    double y = 0;
    bool any = false;
};

Extent ExtentOf(const LinePlot& plot) {
    Extent extent;
    for (const PlotLine& line : plot.lines) {
        const size_t count = std::min(line.x.size(), line.y.size());
        for (size_t i = 0; i < count; ++i) {
            if (std::isfinite(line.x[i]) && std::isfinite(line.y[i])) {
                extent.x = std::max(extent.x, line.x[i]);
                extent.y = std::max(extent.y, line.y[i]);
                extent.any = true;
            }
        }
    }
    for (const PlotMarker& marker : plot.markers) {
        if (std::isfinite(marker.x)) {
            extent.x = std::max(extent.x, marker.x);
        }
    }
    return extent;
}

QPen LinePen(const PlotLine& line, double text_px) {
    QPen pen(line.emphasised ? kCurveBlack : kCurveGrey,
             std::max(1.0, (line.emphasised ? 0.16 : 0.12) * text_px));
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

void DrawAxes(QPainter& painter, const LinePlotLayout& layout) {
    const QRectF& box = layout.plot;
    const double tick = 0.4 * layout.text_px;
    painter.setPen(QPen(kAxisColour, std::max(1.0, 0.08 * layout.text_px)));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(box);
    painter.setFont(GothicFont(layout.text_px));
    const QFontMetricsF metrics(painter.font());
    for (double x : ScaleTicks(layout.x_maximum)) {
        const QPointF at = layout.Place(x, 0);
        painter.drawLine(at, at + QPointF(0, tick));
        const QString text = TickText(x);
        painter.drawText(QRectF(at.x() - 50 * layout.text_px, at.y() + tick, 100 * layout.text_px,
                                metrics.height()),
                         Qt::AlignHCenter | Qt::AlignTop, text);
    }
    for (double y : ScaleTicks(layout.y_maximum)) {
        const QPointF at = layout.Place(0, y);
        painter.drawLine(at, at - QPointF(tick, 0));
        painter.drawText(
            QRectF(box.left() - 100 * layout.text_px - 1.5 * tick, at.y() - metrics.height() / 2,
                   100 * layout.text_px, metrics.height()),
            Qt::AlignRight | Qt::AlignVCenter, TickText(y));
    }
}

void DrawTitles(QPainter& painter, const LinePlotLayout& layout, const LinePlot& plot) {
    const QRectF& box = layout.plot;
    const double h = layout.text_px;
    painter.setPen(kAxisColour);
    painter.setFont(GothicFont(h));
    painter.drawText(QRectF(box.left(), box.bottom() + 1.9 * h, box.width(), 1.6 * h),
                     Qt::AlignHCenter | Qt::AlignTop, ToQString(plot.x_title));
    painter.save();
    painter.translate(box.left() - (kLeftMargin - 0.2) * h, box.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-box.height() / 2, 0, box.height(), 1.6 * h),
                     Qt::AlignHCenter | Qt::AlignTop, ToQString(plot.y_title));
    painter.restore();
    painter.drawText(QRectF(box.left(), box.top() - kTopMargin * h, box.width(), 2 * h),
                     Qt::AlignLeft | Qt::AlignVCenter, ToQString(plot.caption));
}

void DrawCurve(QPainter& painter, const LinePlotLayout& layout, const PlotLine& line) {
    QPainterPath path;
    bool drawing = false;
    const size_t count = std::min(line.x.size(), line.y.size());
    for (size_t i = 0; i < count; ++i) {
        if (!std::isfinite(line.x[i]) || !std::isfinite(line.y[i])) {
            drawing = false;
            continue;
        }
        const QPointF at = layout.Place(line.x[i], line.y[i]);
        if (drawing) {
            path.lineTo(at);
        } else {
            path.moveTo(at);
            drawing = true;
        }
    }
    painter.setPen(LinePen(line, layout.text_px));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

void DrawMarkers(QPainter& painter, const LinePlotLayout& layout, const LinePlot& plot) {
    const double h = layout.text_px;
    QPen pen(kCurveBlack, std::max(1.0, 0.08 * h));
    pen.setDashPattern({6, 4});
    painter.setFont(GothicFont(0.9 * h));
    for (const PlotMarker& marker : plot.markers) {
        if (!std::isfinite(marker.x) || marker.x < 0 || marker.x > layout.x_maximum) {
            continue;
        }
        const QPointF top = layout.Place(marker.x, layout.y_maximum);
        painter.setPen(pen);
        painter.drawLine(top, layout.Place(marker.x, 0));
        painter.setPen(kCurveBlack);
        // Beside the line, on the side with room.
        const bool right_half = top.x() > layout.plot.center().x();
        const QRectF room = right_half
                                ? QRectF(top.x() - 30 * h - 0.3 * h, top.y(), 30 * h, 1.4 * h)
                                : QRectF(top.x() + 0.3 * h, top.y(), 30 * h, 1.4 * h);
        painter.drawText(room, (right_half ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop,
                         ToQString(marker.label));
    }
}

void DrawLegend(QPainter& painter, const LinePlotLayout& layout, const LinePlot& plot) {
    const double h = layout.text_px;
    painter.setFont(GothicFont(0.9 * h));
    const QFontMetricsF metrics(painter.font());
    double widest = 0;
    for (const PlotLine& line : plot.lines) {
        widest = std::max(widest, metrics.horizontalAdvance(ToQString(line.label)));
    }
    const double sample = 2.2 * h;
    const double x = layout.plot.right() - widest - sample - 1.0 * h;
    double y = layout.plot.top() + 1.8 * h;
    for (const PlotLine& line : plot.lines) {
        if (line.label.empty()) {
            continue;
        }
        painter.setPen(LinePen(line, h));
        painter.drawLine(QPointF(x, y), QPointF(x + sample, y));
        painter.setPen(kCurveBlack);
        painter.drawText(QRectF(x + sample + 0.4 * h, y - h, widest + h, 2 * h),
                         Qt::AlignLeft | Qt::AlignVCenter, ToQString(line.label));
        y += 1.3 * h;
    }
}

}  // namespace

QPointF LinePlotLayout::Place(double x, double y) const {
    return {plot.left() + x / x_maximum * plot.width(),
            plot.bottom() - y / y_maximum * plot.height()};
}

LinePlotLayout LayOutLinePlot(const LinePlot& plot, const QRectF& area) {
    LinePlotLayout layout;
    layout.text_px = std::clamp(std::min(area.width(), area.height()) / 28, 9.0, 28.0);
    const double h = layout.text_px;
    const Extent extent = ExtentOf(plot);
    layout.x_maximum = AxisMaximum(extent.x);
    layout.y_maximum = AxisMaximum(extent.y);
    layout.plot = QRectF(area.left() + kLeftMargin * h, area.top() + kTopMargin * h,
                         std::max(1.0, area.width() - (kLeftMargin + kRightMargin) * h),
                         std::max(1.0, area.height() - (kTopMargin + kBottomMargin) * h));
    return layout;
}

void DrawLinePlot(QPainter& painter, const QRectF& area, const LinePlot& plot) {
    const LinePlotLayout layout = LayOutLinePlot(plot, area);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    DrawAxes(painter, layout);
    DrawTitles(painter, layout, plot);
    if (!ExtentOf(plot).any) {
        painter.setPen(kAxisColour);
        painter.setFont(GothicFont(layout.text_px));
        painter.drawText(layout.plot.adjusted(layout.text_px, 0, -layout.text_px, 0),
                         Qt::AlignCenter | Qt::TextWordWrap, ToQString(plot.empty_text));
        painter.restore();
        return;
    }
    painter.save();
    painter.setClipRect(layout.plot.adjusted(-2, -2, 2, 2));
    for (auto line = plot.lines.rbegin(); line != plot.lines.rend(); ++line) {
        DrawCurve(painter, layout, *line);  // the first on top
    }
    painter.restore();
    DrawMarkers(painter, layout, plot);
    DrawLegend(painter, layout, plot);
    painter.restore();
}

QImage LinePlotImage(const LinePlot& plot, QSize size) {
    const QSize clamped(std::clamp(size.width(), 1, kMaxImageSide),
                        std::clamp(size.height(), 1, kMaxImageSide));
    QImage image(clamped, QImage::Format_RGB32);
    if (image.isNull()) {
        return image;
    }
    image.fill(Qt::white);
    QPainter painter(&image);
    DrawLinePlot(painter, QRectF(QPointF(0, 0), QSizeF(clamped)), plot);
    return image;
}

std::string BeamCaption(const CurveBeam& beam, bool japanese) {
    const double kv = beam.tube_voltage_kv;
    const double hvl = beam.quality.half_value_layer_mm;
    const double mean = beam.quality.mean_energy_kev;
    if (!(kv > 0) || !std::isfinite(kv) || !std::isfinite(hvl) || !std::isfinite(mean)) {
        return {};
    }
    const std::string voltage = FormatNumber(kv, "##0.#") + " kV";
    const std::string layer = FormatNumber(hvl, "#0.00");
    const std::string energy = FormatNumber(mean, "##0.0");
    return japanese ? voltage + "　第１半価層 " + layer + " mmAl　平均エネルギー " + energy + " keV"
                    : voltage + ", HVL " + layer + " mm Al, mean energy " + energy + " keV";
}

LinePlot SpectrumPlot(const SpectrumCurve& curve, bool japanese) {
    LinePlot plot;
    plot.x_title = japanese ? "エネルギー (keV)" : "Energy (keV)";
    plot.y_title = japanese ? "相対フルエンス (1/keV)" : "Relative fluence (1/keV)";
    plot.caption = BeamCaption(curve.beam, japanese);
    plot.empty_text = japanese ? "計算結果がありません" : "No calculation";
    if (curve.Empty()) {
        return plot;
    }
    plot.lines.push_back({curve.energy_kev, curve.photons_per_kev, true,
                          japanese ? "付加フィルタ後" : "After filtration"});
    if (!curve.behind_couch_per_kev.empty()) {
        plot.lines.push_back({curve.energy_kev, curve.behind_couch_per_kev, false,
                              japanese ? "天板等価層の後" : "Behind the couch layer"});
    }
    const double mean = curve.beam.quality.mean_energy_kev;
    if (std::isfinite(mean) && mean > 0) {
        plot.markers.push_back(
            {mean, (japanese ? "平均 " : "mean ") + FormatNumber(mean, "##0.0") + " keV"});
    }
    return plot;
}

LinePlot DepthDosePlot(const DepthDoseCurve& curve, bool japanese) {
    LinePlot plot;
    plot.x_title = japanese ? "深さ (cm)" : "Depth (cm)";
    plot.y_title = japanese ? "相対線量 (表面 = 1)" : "Relative dose (surface = 1)";
    plot.caption = BeamCaption(curve.beam, japanese);
    if (curve.table_top) {
        plot.empty_text = japanese ? "天板＋マットの装置：皮膚が表面（深さ 0 cm）にあり、"
                                     "天板等価層の深部線量は計算しません"
                                   : "Table top under a mattress: the skin is the surface "
                                     "(depth 0 cm); no depth dose through a layer is computed";
    } else {
        plot.empty_text = japanese ? "計算結果がありません" : "No calculation";
    }
    if (curve.Empty()) {
        return plot;
    }
    plot.lines.push_back({curve.depth_cm, curve.relative_dose, true, ""});
    if (std::isfinite(curve.skin_depth_cm)) {
        plot.markers.push_back(
            {curve.skin_depth_cm,
             (japanese ? "皮膚 " : "skin ") + FormatNumber(curve.skin_depth_cm, "#0.0#") + " cm"});
    }
    return plot;
}

QImage DrawSpectrumPlot(const SpectrumCurve& curve, bool japanese, QSize size) {
    return LinePlotImage(SpectrumPlot(curve, japanese), size);
}

QImage DrawDepthDosePlot(const DepthDoseCurve& curve, bool japanese, QSize size) {
    return LinePlotImage(DepthDosePlot(curve, japanese), size);
}

}  // namespace korvex
