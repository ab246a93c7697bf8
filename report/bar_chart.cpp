#include "report/bar_chart.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPen>
#include <QString>
#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <numbers>

#include "report/qt_text.h"
#include "report/report_painter.h"
#include "report/skin_map_picture.h"

namespace korvex {
namespace {

// Greys that stay apart when printed in black and white: the peak dark, the rest light.
const QColor kEmphasisedFill(0x40, 0x40, 0x40);
const QColor kBarFill(0xC8, 0xC8, 0xC8);
const QColor kAxisColour(0x20, 0x20, 0x20);
constexpr double kBarShareOfSlot = 0.6;
constexpr double kWidestBarInText = 6;    // a lone bar is no wider than six letters' height
constexpr double kLabelAreaShare = 0.45;  // slanted labels take at most this of the height
constexpr int kMaxImageSide = 4000;
// A slanted label runs up to the left from its bar at this angle.
constexpr double kSlant = std::numbers::pi / 4;

double ShownDose(double dose_mgy) {
    return std::isfinite(dose_mgy) && dose_mgy > 0 ? dose_mgy : 0;
}

double DoseOf(const ProjectionBarChart& chart, size_t index) {
    return index < chart.doses_mgy.size() ? ShownDose(chart.doses_mgy[index]) : 0;
}

// 0, 500, 1000, 2500; 0.25 where the scale is below 1 mGy.
QString TickText(double mgy) {
    return QString::number(mgy, 'g', 6);
}

// Whole mGy from 10 mGy up, tenths below: the precision the group table shows.
QString DoseText(double mgy) {
    return QString::number(mgy, 'f', mgy >= 10 ? 0 : 1);
}

QString ThresholdText(double gy) {
    return QString::number(gy, 'g', 4) + " Gy";
}

QString AxisTitle(bool japanese) {
    return japanese ? ToQString("皮膚線量 (mGy)") : QStringLiteral("Skin dose (mGy)");
}

QString NoProjectionText(bool japanese) {
    return japanese ? ToQString("計算できた投影がありません")
                    : QStringLiteral("No projection calculated");
}

double WidestText(const QFontMetricsF& metrics, const QStringList& texts) {
    double widest = 0;
    for (const QString& text : texts) {
        widest = std::max(widest, metrics.horizontalAdvance(text));
    }
    return widest;
}

QStringList LabelTexts(const ProjectionBarChart& chart) {
    QStringList labels;
    for (const std::string& label : chart.labels) {
        labels << ToQString(label);
    }
    return labels;
}

QPen ThresholdPen(size_t level, double text_px) {
    QPen pen(ContourColour(level), std::max(1.5, text_px * 0.16));
    pen.setCapStyle(Qt::FlatCap);
    // Dash, dot, dash-dot: told apart without colour.
    static const QList<QList<qreal>> dashes = {{6, 3}, {1.5, 2.5}, {8, 3, 1.5, 3}};
    pen.setDashPattern(dashes[level % dashes.size()]);
    return pen;
}

// The rotated axis title, centred on the plot's height at the area's left edge.
void DrawAxisTitle(QPainter& painter, const BarChartLayout& layout, const QRectF& area,
                   bool japanese) {
    painter.save();
    painter.setFont(GothicFont(layout.text_px));
    painter.translate(area.left() + 0.2 * layout.text_px, layout.plot.center().y());
    painter.rotate(-90);
    const QRectF box(-layout.plot.height() / 2, 0, layout.plot.height(), 1.4 * layout.text_px);
    painter.drawText(box, Qt::AlignCenter, AxisTitle(japanese));
    painter.restore();
}

void DrawAxes(QPainter& painter, const BarChartLayout& layout) {
    const QRectF& plot = layout.plot;
    const double t = layout.text_px;
    painter.setFont(GothicFont(t * 0.9));
    for (const double tick : ScaleTicks(layout.scale_maximum_mgy)) {
        const double y = plot.bottom() - tick / layout.scale_maximum_mgy * plot.height();
        painter.setPen(QPen(QColor(0xE0, 0xE0, 0xE0), std::max(1.0, t / 13)));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(QPen(kAxisColour, std::max(1.0, t / 13)));
        painter.drawLine(QPointF(plot.left() - 0.4 * t, y), QPointF(plot.left(), y));
        painter.drawText(QRectF(plot.left() - 10 * t, y - t, 9.4 * t, 2 * t),
                         Qt::AlignRight | Qt::AlignVCenter, TickText(tick));
    }
    painter.setPen(QPen(kAxisColour, std::max(1.0, t / 10)));
    painter.drawLine(plot.bottomLeft(), plot.topLeft());
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
}

void DrawLabel(QPainter& painter, const BarChartLayout& layout, const QRectF& bar,
               const QString& label) {
    const double t = layout.text_px;
    const double room = layout.label_room;
    const QFontMetricsF metrics(painter.font());
    const QString shown = metrics.elidedText(label, Qt::ElideRight, room);
    if (!layout.labels_slanted) {
        painter.drawText(
            QRectF(bar.center().x() - room / 2, layout.plot.bottom() + 0.3 * t, room, 1.4 * t),
            Qt::AlignHCenter | Qt::AlignTop, shown);
        return;
    }
    painter.save();
    painter.translate(bar.center().x(), layout.plot.bottom() + 0.4 * t);
    painter.rotate(-kSlant * 180 / std::numbers::pi);
    painter.drawText(QRectF(-room, 0, room, 1.4 * t), Qt::AlignRight | Qt::AlignTop, shown);
    painter.restore();
}

void DrawBars(QPainter& painter, const BarChartLayout& layout, const ProjectionBarChart& chart) {
    const double t = layout.text_px;
    const QStringList labels = LabelTexts(chart);
    const double slot = layout.plot.width() / std::max<qsizetype>(1, labels.size());
    const QFont value_font = GothicFont(t * 0.85);
    const bool values_fit = WidestText(QFontMetricsF(value_font), [&] {
                                QStringList texts;
                                for (size_t i = 0; i < layout.bars.size(); ++i) {
                                    texts << DoseText(DoseOf(chart, i));
                                }
                                return texts;
                            }()) <= slot;
    for (size_t i = 0; i < layout.bars.size(); ++i) {
        const QRectF& bar = layout.bars[i];
        const bool emphasised = static_cast<int>(i) == chart.emphasised;
        painter.setPen(QPen(Qt::black, std::max(1.0, t / (emphasised ? 6 : 12))));
        painter.setBrush(emphasised ? kEmphasisedFill : kBarFill);
        painter.drawRect(bar);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(Qt::black);
        if (values_fit) {
            painter.setFont(GothicFont(t * 0.85, emphasised));
            painter.drawText(
                QRectF(bar.center().x() - slot / 2, bar.top() - 1.3 * t, slot, 1.2 * t),
                Qt::AlignHCenter | Qt::AlignBottom, DoseText(DoseOf(chart, i)));
        }
        painter.setFont(GothicFont(t, emphasised));
        DrawLabel(painter, layout, bar, labels[static_cast<qsizetype>(i)]);
    }
}

void DrawThresholds(QPainter& painter, const BarChartLayout& layout,
                    const ProjectionBarChart& chart) {
    const double t = layout.text_px;
    painter.setFont(GothicFont(t * 0.9));
    for (size_t i = 0; i < layout.threshold_y.size(); ++i) {
        const double y = layout.threshold_y[i];
        if (!std::isfinite(y)) {
            continue;
        }
        painter.setPen(ThresholdPen(i, t));
        painter.drawLine(QPointF(layout.plot.left(), y), QPointF(layout.plot.right(), y));
        painter.setPen(ContourColour(i));
        painter.drawText(QRectF(layout.plot.right() + 0.3 * t, y - t, 6 * t, 2 * t),
                         Qt::AlignLeft | Qt::AlignVCenter, ThresholdText(chart.thresholds_gy[i]));
    }
}

}  // namespace

BarChartLayout LayOutBarChart(const ProjectionBarChart& chart, const QRectF& area, double text_px) {
    BarChartLayout layout;
    const double t = std::isfinite(text_px) && text_px > 0 ? text_px : 1;
    layout.text_px = t;
    double largest = 0;
    for (size_t i = 0; i < chart.labels.size(); ++i) {
        largest = std::max(largest, DoseOf(chart, i));
    }
    layout.scale_maximum_mgy = NiceScaleMaximum(largest);
    QStringList ticks;
    for (const double tick : ScaleTicks(layout.scale_maximum_mgy)) {
        ticks << TickText(tick);
    }
    QStringList thresholds;
    for (const double gy : chart.thresholds_gy) {
        thresholds << ThresholdText(gy);
    }
    const double left = 2.8 * t + WidestText(QFontMetricsF(GothicFont(t * 0.9)), ticks);
    const double right = 0.8 * t + WidestText(QFontMetricsF(GothicFont(t * 0.9)), thresholds);
    const QStringList labels = LabelTexts(chart);
    const double slot = (area.width() - left - right) / std::max<qsizetype>(1, labels.size());
    const double widest_label = WidestText(QFontMetricsF(GothicFont(t, true)), labels);
    layout.labels_slanted = widest_label + 0.5 * t > slot;
    const double label_area =
        layout.labels_slanted
            ? std::min(widest_label * std::sin(kSlant) + 1.5 * t, area.height() * kLabelAreaShare)
            : 1.9 * t;
    layout.label_room = layout.labels_slanted ? (label_area - 1.5 * t) / std::sin(kSlant) : slot;
    layout.plot = QRectF(area.left() + left, area.top() + 1.6 * t, area.width() - left - right,
                         area.height() - 1.6 * t - label_area);
    const double bar_width = std::min(slot * kBarShareOfSlot, kWidestBarInText * t);
    for (size_t i = 0; i < static_cast<size_t>(labels.size()); ++i) {
        const double height = DoseOf(chart, i) / layout.scale_maximum_mgy * layout.plot.height();
        const double centre = layout.plot.left() + slot * (static_cast<double>(i) + 0.5);
        layout.bars.emplace_back(centre - bar_width / 2, layout.plot.bottom() - height, bar_width,
                                 height);
    }
    for (const double gy : chart.thresholds_gy) {
        const double mgy = gy * 1000;
        layout.threshold_y.push_back(
            std::isfinite(mgy) && mgy > 0 && mgy <= layout.scale_maximum_mgy
                ? layout.plot.bottom() - mgy / layout.scale_maximum_mgy * layout.plot.height()
                : std::numeric_limits<double>::quiet_NaN());
    }
    return layout;
}

void DrawProjectionBarChart(QPainter& painter, const QRectF& area, const ProjectionBarChart& chart,
                            double text_px) {
    const BarChartLayout layout = LayOutBarChart(chart, area, text_px);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(kAxisColour);
    DrawAxisTitle(painter, layout, area, chart.japanese);
    DrawAxes(painter, layout);
    if (layout.bars.empty()) {
        painter.setFont(GothicFont(layout.text_px));
        painter.setPen(kAxisColour);
        painter.drawText(layout.plot, Qt::AlignCenter, NoProjectionText(chart.japanese));
    }
    DrawBars(painter, layout, chart);
    DrawThresholds(painter, layout, chart);
    painter.restore();
}

QImage ProjectionBarChartImage(const ProjectionBarChart& chart, QSize size, double text_px) {
    const QSize clamped(std::clamp(size.width(), 1, kMaxImageSide),
                        std::clamp(size.height(), 1, kMaxImageSide));
    QImage image;
    try {
        image = QImage(clamped, QImage::Format_RGB32);
    } catch (const std::bad_alloc&) {
        return QImage();
    }
    if (image.isNull()) {
        return image;
    }
    image.fill(Qt::white);
    QPainter painter(&image);
    DrawProjectionBarChart(painter, QRectF(QPointF(0, 0), QSizeF(clamped)), chart, text_px);
    return image;
}

}  // namespace korvex
