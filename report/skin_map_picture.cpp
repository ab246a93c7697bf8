#include "report/skin_map_picture.h"

#include <QBuffer>
#include <QFont>
#include <QGuiApplication>
#include <QLineF>
#include <QPainter>
#include <QPen>
#include <QString>
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

#include "engine/errors.h"
#include "engine/text_file.h"
#include "report/qt_text.h"
#include "report/report_painter.h"

namespace korvex {
namespace {

// The design is drawn for this width; every length and font follows the width asked.
constexpr double kDesignWidthPx = 1400;
constexpr double kMarginLeft = 100;   // vertical axis title and tick numbers
constexpr double kPanelGap = 90;      // the table panel's tick numbers
constexpr double kRightColumn = 210;  // colour bar, its labels and the legend
constexpr double kMarginRight = 20;
constexpr double kGridTop = 70;     // panel titles above the highest grid
constexpr double kBelowGrid = 100;  // tick numbers, side labels, axis title
constexpr double kCaptionBlock = 90;
constexpr double kColourBarGap = 45;
constexpr double kColourBarWidth = 28;
constexpr double kColourBarHeight = 400;
constexpr double kLegendRow = 30;
constexpr double kMinTickSpacing = 55;
// An undrawable panel keeps a frame this wide; with no grid at all, this tall.
constexpr double kNominalWidthCm = 40;
constexpr double kNominalHeightCm = 100;
// A grid much taller than wide is scaled down so that the picture stays this tall at most.
constexpr double kMaxGridHeightPerWidth = 1.5;
// A grid reaching beyond this (10 m) is no patient's: its panel says "マップなし".
constexpr double kMaxGridExtentCm = 1000;

// YlOrRd, 9 classes (colorbrewer2.org), after white for no dose.
constexpr std::array<QRgb, 10> kDoseStops = {0xffffff, 0xffffcc, 0xffeda0, 0xfed976, 0xfeb24c,
                                             0xfd8d3c, 0xfc4e2a, 0xe31a1c, 0xbd0026, 0x800026};
constexpr std::array<double, 4> kNiceMantissas = {1, 2, 2.5, 5};

// Every text of the picture in one language; %1 and %2 stand for numbers.
struct MapWords {
    const char* trunk_title;
    const char* table_title;
    const char* below_head_axis;
    const char* trunk_axis;
    const char* table_axis;
    const char* front;
    const char* right;
    const char* back;
    const char* left;
    const char* trunk_on_table;
    const char* isodose_lines;
    const char* trunk_place;
    const char* peak_dose;
    const char* no_map;
    const char* peak_caption;
    const char* peak_place;
    const char* on_table;
    const char* on_midline;
    const char* left_of_midline;
    const char* right_of_midline;
    const char* area_above;
    const char* area_separator;
};

constexpr MapWords kJapaneseWords = {
    "体幹（展開図）",
    "天板面（頭頸部・下肢）",
    "頭頂からの距離 (cm)",
    "背の正中からの周長 (cm)",
    "左右位置 x (cm)",
    "前",
    "右",
    "背",
    "左",
    "体幹（左図）",
    "等線量線",
    "体幹の位置",
    "最大線量",
    "マップなし",
    "最大皮膚線量 %1 mGy",
    "（頭頂から %1 cm、%2）",
    "天板面 x = %1 cm",
    "背の正中",
    "背の正中から左へ %1 cm",
    "背の正中から右へ %1 cm",
    "%1 Gy 以上 %2 cm²",
    "　",
};

constexpr MapWords kEnglishWords = {
    "Trunk (unrolled)",
    "Table-top plane (head, neck, legs)",
    "Distance from the top of the head (cm)",
    "Arc length from the back's midline (cm)",
    "Lateral position x (cm)",
    "front",
    "right",
    "back",
    "left",
    "Trunk (left panel)",
    "Isodose lines",
    "Trunk position",
    "Peak dose",
    "No map",
    "Peak skin dose %1 mGy",
    " (%1 cm from the top of the head, %2)",
    "table-top plane x = %1 cm",
    "on the back's midline",
    "%1 cm left of the back's midline",
    "%1 cm right of the back's midline",
    "≥ %1 Gy %2 cm²",
    "  ",
};

const MapWords& WordsFor(bool japanese) {
    return japanese ? kJapaneseWords : kEnglishWords;
}

double ShownDose(double dose_mgy) {
    return std::isfinite(dose_mgy) && dose_mgy > 0 ? dose_mgy : 0;
}

bool Drawable(const MapGrid& grid) {
    if (grid.rows <= 0 || grid.columns <= 0 || !std::isfinite(grid.cell_cm) || grid.cell_cm <= 0) {
        return false;
    }
    const size_t cells = static_cast<size_t>(grid.rows) * static_cast<size_t>(grid.columns);
    const double right = grid.column_origin_cm + grid.cell_cm * grid.columns;
    const double bottom = grid.row_origin_cm + grid.cell_cm * grid.rows;
    return grid.dose_mgy.size() == cells &&
           (grid.is_skin.empty() || grid.is_skin.size() == cells) &&
           std::abs(grid.column_origin_cm) <= kMaxGridExtentCm &&
           std::abs(grid.row_origin_cm) <= kMaxGridExtentCm &&
           std::abs(right) <= kMaxGridExtentCm && std::abs(bottom) <= kMaxGridExtentCm;
}

// A trunk grid states every cell as skin; an is_skin left empty is read the same way.
bool IsSkin(const MapGrid& grid, int row, int column) {
    return grid.is_skin.empty() || grid.is_skin[grid.Index(row, column)] != 0;
}

double GridMaximum(const MapGrid& grid) {
    if (!Drawable(grid)) {
        return 0;
    }
    double maximum = 0;
    for (double dose : grid.dose_mgy) {
        maximum = std::max(maximum, ShownDose(dose));
    }
    return maximum;
}

// The top of the scale: the stated peak, or a cell above it should the two disagree, so
// that no cell is drawn beyond the scale.
double ScaleMaximumOf(const SkinDoseMap& map) {
    return NiceScaleMaximum(
        std::max({ShownDose(map.peak.dose_mgy), GridMaximum(map.trunk), GridMaximum(map.table)}));
}

QString FormatNumber(double value) {
    int decimals = 0;
    while (decimals < 6 && std::abs(value * std::pow(10.0, decimals) -
                                    std::round(value * std::pow(10.0, decimals))) > 1e-6) {
        ++decimals;
    }
    return QString::number(value, 'f', decimals);
}

// Lengths on the captions: to a millimetre, without a trailing ".0".
QString FormatCm(double cm) {
    return FormatNumber(std::round(cm * 10) / 10);
}

// Text placed by one point: `alignment` says which of its sides or centres lies there.
void DrawTextAt(QPainter& painter, QPointF anchor, const QString& text, Qt::Alignment alignment) {
    constexpr double kRoom = 4000;
    QRectF box(anchor.x() - kRoom / 2, anchor.y() - kRoom / 2, kRoom, kRoom);
    if (alignment & Qt::AlignLeft) {
        box.moveLeft(anchor.x());
    } else if (alignment & Qt::AlignRight) {
        box.moveRight(anchor.x());
    }
    if (alignment & Qt::AlignTop) {
        box.moveTop(anchor.y());
    } else if (alignment & Qt::AlignBottom) {
        box.moveBottom(anchor.y());
    }
    painter.drawText(box, static_cast<int>(alignment), text);
}

// The grid's values below the cells that lie at or above `level_mgy`, and the lines
// between a skin cell below and one at or above, runs of edges merged into one line so
// that a dashed pen keeps its rhythm. The trunk's silhouette and the grid's border are
// no contour: the skin goes on beyond them.
std::vector<QLineF> ContourLines(const SkinMapLayout& layout, MapPanel panel, const MapGrid& grid,
                                 double level_mgy) {
    const MapPanelGeometry& geometry = layout.Panel(panel);
    const auto above = [&](int row, int column) {
        return ShownDose(grid.At(row, column)) >= level_mgy;
    };
    const auto edge = [&](int row, int column, int other_row, int other_column) {
        return IsSkin(grid, row, column) && IsSkin(grid, other_row, other_column) &&
               above(row, column) != above(other_row, other_column);
    };
    const double step = layout.pixels_per_cm * geometry.cell_cm;
    std::vector<QLineF> lines;
    for (int row = 1; row < grid.rows; ++row) {
        const double y = geometry.frame.top() + row * step;
        for (int column = 0; column < grid.columns;) {
            int end = column;
            while (end < grid.columns && edge(row - 1, end, row, end)) {
                ++end;
            }
            if (end > column) {
                lines.emplace_back(geometry.frame.left() + column * step, y,
                                   geometry.frame.left() + end * step, y);
            }
            column = end + 1;
        }
    }
    for (int column = 1; column < grid.columns; ++column) {
        const double x = geometry.frame.left() + column * step;
        for (int row = 0; row < grid.rows;) {
            int end = row;
            while (end < grid.rows && edge(end, column - 1, end, column)) {
                ++end;
            }
            if (end > row) {
                lines.emplace_back(x, geometry.frame.top() + row * step, x,
                                   geometry.frame.top() + end * step);
            }
            row = end + 1;
        }
    }
    return lines;
}

QPen ContourPen(size_t level, double scale) {
    QPen pen(ContourColour(level), std::max(2.0, (level == 2 ? 4 : 3) * scale));
    pen.setCapStyle(Qt::FlatCap);
    if (level == 0) {
        pen.setDashPattern({3, 1.5});
    }
    return pen;
}

void DrawCells(QPainter& painter, const MapPanelGeometry& geometry, const MapGrid& grid,
               double maximum_mgy) {
    QImage cells(grid.columns, grid.rows, QImage::Format_RGB32);
    if (cells.isNull()) {
        return;
    }
    for (int row = 0; row < grid.rows; ++row) {
        for (int column = 0; column < grid.columns; ++column) {
            const QColor colour = IsSkin(grid, row, column)
                                      ? DoseColour(ShownDose(grid.At(row, column)) / maximum_mgy)
                                      : NotSkinColour();
            cells.setPixel(column, row, colour.rgb());
        }
    }
    // One image pixel a cell, enlarged without smoothing: sharp cells, no seams.
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(geometry.frame, cells);
    painter.restore();
}

// Names the trunk's place on the table plane when it is large enough to hold the words.
void LabelNotSkin(QPainter& painter, const SkinMapLayout& layout, const MapGrid& grid,
                  const MapWords& words) {
    int top = grid.rows, bottom = -1, left = grid.columns, right = -1;
    for (int row = 0; row < grid.rows; ++row) {
        for (int column = 0; column < grid.columns; ++column) {
            if (!IsSkin(grid, row, column)) {
                top = std::min(top, row);
                bottom = std::max(bottom, row);
                left = std::min(left, column);
                right = std::max(right, column);
            }
        }
    }
    if (bottom < 0) {
        return;
    }
    const QRectF box = layout.CellRect(MapPanel::Table, top, left)
                           .united(layout.CellRect(MapPanel::Table, bottom, right));
    const QString text = ToQString(words.trunk_on_table);
    painter.setFont(GothicFont(15 * layout.scale));
    if (box.width() > 1.2 * painter.fontMetrics().horizontalAdvance(text) &&
        box.height() > 3 * painter.fontMetrics().height()) {
        painter.setPen(QColor(90, 90, 90));
        DrawTextAt(painter, box.center(), text, Qt::AlignCenter);
    }
}

void DrawHorizontalAxis(QPainter& painter, const SkinMapLayout& layout,
                        const MapPanelGeometry& geometry) {
    const double s = layout.scale;
    const double right_cm = geometry.left_cm + geometry.frame.width() / layout.pixels_per_cm;
    painter.setFont(GothicFont(15 * s));
    const double first = std::ceil(geometry.left_cm / layout.tick_step_cm - 1e-9);
    for (double n = first; n * layout.tick_step_cm <= right_cm + 1e-9; ++n) {
        const double cm = n * layout.tick_step_cm;
        const double x = geometry.frame.left() + (cm - geometry.left_cm) * layout.pixels_per_cm;
        painter.drawLine(QPointF(x, geometry.frame.bottom()),
                         QPointF(x, geometry.frame.bottom() + 6 * s));
        DrawTextAt(painter, QPointF(x, geometry.frame.bottom() + 8 * s), FormatNumber(cm + 0.0),
                   Qt::AlignHCenter | Qt::AlignTop);
    }
}

void DrawVerticalAxis(QPainter& painter, const SkinMapLayout& layout,
                      const MapPanelGeometry& geometry) {
    const double s = layout.scale;
    const double bottom_cm = geometry.top_cm + geometry.frame.height() / layout.pixels_per_cm;
    painter.setFont(GothicFont(15 * s));
    const double first = std::ceil(geometry.top_cm / layout.tick_step_cm - 1e-9);
    for (double n = first; n * layout.tick_step_cm <= bottom_cm + 1e-9; ++n) {
        const double cm = n * layout.tick_step_cm;
        const double y = geometry.frame.top() + (cm - geometry.top_cm) * layout.pixels_per_cm;
        painter.drawLine(QPointF(geometry.frame.left() - 6 * s, y),
                         QPointF(geometry.frame.left(), y));
        DrawTextAt(painter, QPointF(geometry.frame.left() - 9 * s, y), FormatNumber(cm + 0.0),
                   Qt::AlignRight | Qt::AlignVCenter);
    }
}

// The ellipse's circumference by Ramanujan's first approximation (Ramanujan, Q. J. Pure
// Appl. Math. 45, 1914), within 0.001 % for the trunk's 2 : 1 axes.
double TrunkCircumferenceCm(const PatientModel& patient) {
    const double a = patient.trunk_half_width_cm, b = patient.trunk_half_depth_cm;
    return std::numbers::pi * (3 * (a + b) - std::sqrt((3 * a + b) * (a + 3 * b)));
}

// Which side of the patient each part of the unrolled trunk shows: the front at both
// ends, the sides a quarter of the way round from the back.
void DrawTrunkSides(QPainter& painter, const SkinMapLayout& layout, const PatientModel& patient,
                    const MapWords& words) {
    const MapPanelGeometry& geometry = layout.trunk;
    const double y = geometry.frame.bottom() + 32 * layout.scale;
    painter.setFont(GothicFont(17 * layout.scale, true));
    DrawTextAt(painter, QPointF(geometry.frame.left(), y), ToQString(words.front),
               Qt::AlignHCenter | Qt::AlignTop);
    DrawTextAt(painter, QPointF(geometry.frame.right(), y), ToQString(words.front),
               Qt::AlignHCenter | Qt::AlignTop);
    const double quarter = TrunkCircumferenceCm(patient) / 4;
    const double margin = 30 * layout.scale;
    for (const auto& [cm, text] :
         {std::pair{-quarter, words.right}, {0.0, words.back}, {quarter, words.left}}) {
        const QPointF at = layout.Place(MapPanel::Trunk, cm, 0);
        if (std::isfinite(at.x()) && at.x() > geometry.frame.left() + margin &&
            at.x() < geometry.frame.right() - margin) {
            DrawTextAt(painter, QPointF(at.x(), y), ToQString(text),
                       Qt::AlignHCenter | Qt::AlignTop);
        }
    }
}

void DrawPanelFrame(QPainter& painter, const SkinMapLayout& layout, MapPanel panel,
                    const SkinDoseMap& map, const MapWords& words) {
    const MapPanelGeometry& geometry = layout.Panel(panel);
    const double s = layout.scale;
    painter.setPen(QPen(Qt::black, std::max(1.0, 1.5 * s)));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(geometry.frame);
    painter.setFont(GothicFont(20 * s, true));
    const bool trunk = panel == MapPanel::Trunk;
    DrawTextAt(painter, QPointF(geometry.frame.center().x(), geometry.frame.top() - 12 * s),
               ToQString(trunk ? words.trunk_title : words.table_title),
               Qt::AlignHCenter | Qt::AlignBottom);
    if (!geometry.drawable) {
        painter.setFont(GothicFont(20 * s));
        painter.setPen(QColor(90, 90, 90));
        DrawTextAt(painter, geometry.frame.center(), ToQString(words.no_map), Qt::AlignCenter);
        return;
    }
    painter.setPen(QPen(Qt::black, std::max(1.0, 1.2 * s)));
    DrawHorizontalAxis(painter, layout, geometry);
    DrawVerticalAxis(painter, layout, geometry);
    if (trunk) {
        DrawTrunkSides(painter, layout, map.patient, words);
    } else {
        painter.setFont(GothicFont(17 * s, true));
        const double y = geometry.frame.bottom() + 32 * s;
        DrawTextAt(painter, QPointF(geometry.frame.left(), y), ToQString(words.right),
                   Qt::AlignLeft | Qt::AlignTop);
        DrawTextAt(painter, QPointF(geometry.frame.right(), y), ToQString(words.left),
                   Qt::AlignRight | Qt::AlignTop);
    }
    painter.setFont(GothicFont(17 * s));
    DrawTextAt(painter, QPointF(geometry.frame.center().x(), geometry.frame.bottom() + 62 * s),
               ToQString(trunk ? words.trunk_axis : words.table_axis),
               Qt::AlignHCenter | Qt::AlignTop);
}

void DrawPanel(QPainter& painter, const SkinMapLayout& layout, MapPanel panel,
               const SkinDoseMap& map, double maximum_mgy, const MapWords& words) {
    const MapGrid& grid = panel == MapPanel::Trunk ? map.trunk : map.table;
    const MapPanelGeometry& geometry = layout.Panel(panel);
    if (geometry.drawable) {
        DrawCells(painter, geometry, grid, maximum_mgy);
        if (panel == MapPanel::Table) {
            LabelNotSkin(painter, layout, grid, words);
        }
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setClipRect(geometry.frame);
        for (size_t level = 0; level < kMapAreaThresholdsGy.size(); ++level) {
            const std::vector<QLineF> lines =
                ContourLines(layout, panel, grid, kMapAreaThresholdsGy[level] * 1000);
            painter.setPen(ContourPen(level, layout.scale));
            painter.drawLines(lines.data(), static_cast<int>(lines.size()));
        }
        painter.restore();
    }
    DrawPanelFrame(painter, layout, panel, map, words);
}

// Both panels share the vertical scale, so one title in the left margin serves them both.
void DrawBelowHeadAxisTitle(QPainter& painter, const SkinMapLayout& layout, const MapWords& words) {
    const QRectF grids = layout.trunk.frame.united(layout.table.frame);
    painter.save();
    painter.setPen(Qt::black);
    painter.setFont(GothicFont(17 * layout.scale));
    painter.translate(30 * layout.scale, grids.center().y());
    painter.rotate(-90);
    DrawTextAt(painter, QPointF(0, 0), ToQString(words.below_head_axis), Qt::AlignCenter);
    painter.restore();
}

void DrawPeakMarker(QPainter& painter, QPointF centre, double scale) {
    const double radius = 10 * scale;
    painter.save();
    painter.setBrush(Qt::NoBrush);
    for (const auto& [colour, width] : {std::pair{QColor(Qt::white), 5.0}, {Qt::black, 2.0}}) {
        painter.setPen(QPen(colour, std::max(1.0, width * scale)));
        painter.drawEllipse(centre, radius, radius);
        painter.drawLine(centre - QPointF(1.6 * radius, 0), centre + QPointF(1.6 * radius, 0));
        painter.drawLine(centre - QPointF(0, 1.6 * radius), centre + QPointF(0, 1.6 * radius));
    }
    painter.restore();
}

bool PeakShown(const SkinDoseMap& map, const SkinMapLayout& layout) {
    const MapPeak& peak = map.peak;
    return ShownDose(peak.dose_mgy) > 0 && std::isfinite(peak.across_cm) &&
           std::isfinite(peak.below_head_top_cm) &&
           layout.Panel(peak.on_trunk ? MapPanel::Trunk : MapPanel::Table).drawable;
}

void DrawColourBar(QPainter& painter, const SkinMapLayout& layout, double maximum_mgy) {
    const QRectF& bar = layout.colour_bar;
    const double s = layout.scale;
    const int steps = std::max(2, static_cast<int>(bar.height()));
    QImage ramp(1, steps, QImage::Format_RGB32);
    for (int i = 0; i < steps; ++i) {
        ramp.setPixel(0, i, DoseColour(1 - (i + 0.5) / steps).rgb());
    }
    painter.drawImage(bar, ramp);
    painter.setPen(QPen(Qt::black, std::max(1.0, 1.2 * s)));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bar);
    painter.setFont(GothicFont(17 * s, true));
    DrawTextAt(painter, QPointF(bar.center().x(), bar.top() - 10 * s), "mGy",
               Qt::AlignHCenter | Qt::AlignBottom);
    painter.setFont(GothicFont(15 * s));
    for (double tick : ScaleTicks(maximum_mgy)) {
        const double y = bar.bottom() - tick / maximum_mgy * bar.height();
        painter.drawLine(QPointF(bar.right(), y), QPointF(bar.right() + 6 * s, y));
        DrawTextAt(painter, QPointF(bar.right() + 9 * s, y), FormatNumber(tick),
                   Qt::AlignLeft | Qt::AlignVCenter);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (size_t level = 0; level < kMapAreaThresholdsGy.size(); ++level) {
        const double level_mgy = kMapAreaThresholdsGy[level] * 1000;
        if (level_mgy <= maximum_mgy) {
            const double y = bar.bottom() - level_mgy / maximum_mgy * bar.height();
            painter.setPen(ContourPen(level, s));
            painter.drawLine(QPointF(bar.left() - 8 * s, y), QPointF(bar.right(), y));
        }
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
}

void DrawLegend(QPainter& painter, const SkinMapLayout& layout, const MapWords& words) {
    const double s = layout.scale;
    const double x = layout.legend_top_left.x();
    double y = layout.legend_top_left.y();
    painter.setFont(GothicFont(17 * s, true));
    painter.setPen(Qt::black);
    DrawTextAt(painter, QPointF(x, y), ToQString(words.isodose_lines),
               Qt::AlignLeft | Qt::AlignTop);
    painter.setFont(GothicFont(16 * s));
    const double sample = 36 * s;
    for (size_t level = 0; level < kMapAreaThresholdsGy.size(); ++level) {
        y += kLegendRow * s;
        const double middle = y + 12 * s;
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(ContourPen(level, s));
        painter.drawLine(QPointF(x, middle), QPointF(x + sample, middle));
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(Qt::black);
        DrawTextAt(painter, QPointF(x + sample + 10 * s, middle),
                   FormatNumber(kMapAreaThresholdsGy[level]) + " Gy",
                   Qt::AlignLeft | Qt::AlignVCenter);
    }
    y += kLegendRow * s * 1.5;
    const double middle = y + 12 * s;
    painter.fillRect(QRectF(x, middle - 9 * s, sample, 18 * s), NotSkinColour());
    DrawTextAt(painter, QPointF(x + sample + 10 * s, middle), ToQString(words.trunk_place),
               Qt::AlignLeft | Qt::AlignVCenter);
    y += kLegendRow * s;
    DrawPeakMarker(painter, QPointF(x + sample / 2, y + 12 * s), s * 0.8);
    painter.setPen(Qt::black);
    DrawTextAt(painter, QPointF(x + sample + 10 * s, y + 12 * s), ToQString(words.peak_dose),
               Qt::AlignLeft | Qt::AlignVCenter);
}

}  // namespace

std::string SkinMapPeakCaption(const SkinDoseMap& map, bool japanese) {
    const MapWords& words = WordsFor(japanese);
    const MapPeak& peak = map.peak;
    const QString dose =
        ToQString(words.peak_caption).arg(QString::number(ShownDose(peak.dose_mgy), 'f', 0));
    if (ShownDose(peak.dose_mgy) == 0 || !std::isfinite(peak.across_cm) ||
        !std::isfinite(peak.below_head_top_cm)) {
        return ToUtf8(dose);
    }
    const double across = std::round(peak.across_cm * 10) / 10;
    QString side;
    if (!peak.on_trunk) {
        side = ToQString(words.on_table).arg(FormatCm(across));
    } else if (across == 0) {
        side = ToQString(words.on_midline);
    } else {
        side = ToQString(across > 0 ? words.left_of_midline : words.right_of_midline)
                   .arg(FormatCm(std::abs(across)));
    }
    return ToUtf8(dose + ToQString(words.peak_place).arg(FormatCm(peak.below_head_top_cm), side));
}

std::string SkinMapAreaCaption(const SkinDoseMap& map, bool japanese) {
    const MapWords& words = WordsFor(japanese);
    QString text;
    for (size_t level = 0; level < kMapAreaThresholdsGy.size(); ++level) {
        if (level > 0) {
            text += ToQString(words.area_separator);
        }
        text += ToQString(words.area_above)
                    .arg(FormatNumber(kMapAreaThresholdsGy[level]),
                         QString::number(std::round(ShownDose(map.area_above_cm2[level])), 'f', 0));
    }
    return ToUtf8(text);
}

namespace {

// Where a grid lies in cm, or a nominal frame for one that cannot be drawn.
MapPanelGeometry PanelExtent(const MapGrid& grid) {
    MapPanelGeometry geometry;
    geometry.drawable = Drawable(grid);
    if (geometry.drawable) {
        geometry.left_cm = grid.column_origin_cm;
        geometry.top_cm = grid.row_origin_cm;
        geometry.cell_cm = grid.cell_cm;
        geometry.rows = grid.rows;
        geometry.columns = grid.columns;
    }
    return geometry;
}

double WidthCm(const MapPanelGeometry& geometry) {
    return geometry.drawable ? geometry.cell_cm * geometry.columns : kNominalWidthCm;
}

double HeightCm(const MapPanelGeometry& geometry) {
    return geometry.cell_cm * geometry.rows;
}

// Axis ticks at least kMinTickSpacing apart: every 10 cm at the usual sizes.
double TickStepCm(double pixels_per_cm, double scale) {
    for (double decade = 1; decade < kMaxGridExtentCm; decade *= 10) {
        for (double mantissa : {1.0, 2.0, 5.0}) {
            if (mantissa * decade * pixels_per_cm >= kMinTickSpacing * scale) {
                return mantissa * decade;
            }
        }
    }
    return kMaxGridExtentCm;
}

// The finest step of 1, 2, 2.5 or 5 × 10^n that cuts the scale into at most 6 equal
// parts; a maximum no such step divides gets the finest step with at most 6 below it.
double TickStep(double maximum_mgy) {
    const double decade = std::pow(10.0, std::floor(std::log10(maximum_mgy)) - 1);
    for (bool whole_parts : {true, false}) {
        for (double scale : {1.0, 10.0, 100.0}) {
            for (double mantissa : kNiceMantissas) {
                const double parts = maximum_mgy / (mantissa * decade * scale);
                if (parts <= 6 + 1e-9 &&
                    (!whole_parts || std::abs(parts - std::round(parts)) < 1e-9)) {
                    return mantissa * decade * scale;
                }
            }
        }
    }
    return maximum_mgy;
}

}  // namespace

double NiceScaleMaximum(double peak_mgy) {
    if (!std::isfinite(peak_mgy) || peak_mgy <= 0) {
        return 1;
    }
    // Beyond any dose a map could hold, yet with room for the next step below the limit.
    const double peak = std::min(peak_mgy, 1e300);
    const double decade = std::pow(10.0, std::floor(std::log10(peak)));
    for (double mantissa : kNiceMantissas) {
        // A peak that is a nice number already, up to rounding, is its own maximum.
        if (mantissa * decade >= peak * (1 - 1e-12)) {
            return mantissa * decade;
        }
    }
    return 10 * decade;
}

std::vector<double> ScaleTicks(double maximum_mgy) {
    if (!std::isfinite(maximum_mgy) || maximum_mgy <= 0) {
        return {0};
    }
    const double step = TickStep(maximum_mgy);
    std::vector<double> ticks;
    const int count = static_cast<int>(std::floor(maximum_mgy / step + 1e-9));
    for (int i = 0; i <= count; ++i) {
        ticks.push_back(i * step);
    }
    return ticks;
}

QColor DoseColour(double fraction) {
    const double clamped = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    const double position = clamped * (kDoseStops.size() - 1);
    const size_t lower = std::min(static_cast<size_t>(position), kDoseStops.size() - 2);
    const double t = position - static_cast<double>(lower);
    const auto mix = [t](int from, int to) {
        return static_cast<int>(std::lround(from + (to - from) * t));
    };
    const QRgb a = kDoseStops[lower], b = kDoseStops[lower + 1];
    return QColor(mix(qRed(a), qRed(b)), mix(qGreen(a), qGreen(b)), mix(qBlue(a), qBlue(b)));
}

QColor NotSkinColour() {
    return QColor(205, 205, 205);
}

QColor ContourColour(size_t level) {
    switch (level) {
        case 0:
            return QColor(0, 130, 240);  // 2 Gy, dashed
        case 1:
            return QColor(120, 40, 200);  // 3 Gy
        default:
            return QColor(0, 0, 0);  // 5 Gy, the heaviest line
    }
}

QPointF SkinMapLayout::Place(MapPanel panel, double across_cm, double below_head_top_cm) const {
    const MapPanelGeometry& geometry = Panel(panel);
    return {geometry.frame.left() + (across_cm - geometry.left_cm) * pixels_per_cm,
            geometry.frame.top() + (below_head_top_cm - geometry.top_cm) * pixels_per_cm};
}

QRectF SkinMapLayout::CellRect(MapPanel panel, int row, int column) const {
    const MapPanelGeometry& geometry = Panel(panel);
    const double step = geometry.cell_cm * pixels_per_cm;
    return {geometry.frame.left() + column * step, geometry.frame.top() + row * step, step, step};
}

SkinMapLayout LayOutSkinDoseMap(const SkinDoseMap& map, int width_px) {
    SkinMapLayout layout;
    layout.width_px = std::clamp(width_px, kMinSkinMapWidthPx, kMaxSkinMapWidthPx);
    const double s = layout.width_px / kDesignWidthPx;
    layout.scale = s;
    layout.trunk = PanelExtent(map.trunk);
    layout.table = PanelExtent(map.table);

    // One vertical range for both panels, from the top of the head (or above, should a grid
    // start there) to the lowest row of either grid; an undrawable panel spans all of it.
    double top_cm = 0, bottom_cm = 0;
    for (const MapPanelGeometry* geometry : {&layout.trunk, &layout.table}) {
        if (geometry->drawable) {
            top_cm = std::min(top_cm, geometry->top_cm);
            bottom_cm = std::max(bottom_cm, geometry->top_cm + HeightCm(*geometry));
        }
    }
    if (bottom_cm <= top_cm) {
        bottom_cm = top_cm + kNominalHeightCm;
    }
    const double grids_width =
        layout.width_px - (kMarginLeft + kPanelGap + kRightColumn + kMarginRight) * s;
    layout.pixels_per_cm =
        std::min(grids_width / (WidthCm(layout.trunk) + WidthCm(layout.table)),
                 kMaxGridHeightPerWidth * layout.width_px / (bottom_cm - top_cm));
    layout.tick_step_cm = TickStepCm(layout.pixels_per_cm, s);

    const double grid_top = kGridTop * s;
    double left = kMarginLeft * s;
    for (MapPanelGeometry* geometry : {&layout.trunk, &layout.table}) {
        const double height_cm = geometry->drawable ? HeightCm(*geometry) : bottom_cm - top_cm;
        if (!geometry->drawable) {
            geometry->top_cm = top_cm;
        }
        geometry->frame =
            QRectF(left, grid_top + (geometry->top_cm - top_cm) * layout.pixels_per_cm,
                   WidthCm(*geometry) * layout.pixels_per_cm, height_cm * layout.pixels_per_cm);
        left = geometry->frame.right() + kPanelGap * s;
    }
    layout.colour_bar = QRectF(left - kPanelGap * s + kColourBarGap * s, grid_top + 30 * s,
                               kColourBarWidth * s, kColourBarHeight * s);
    layout.legend_top_left = QPointF(layout.colour_bar.left(), layout.colour_bar.bottom() + 50 * s);
    const double content_bottom = std::max({layout.trunk.frame.bottom() + kBelowGrid * s,
                                            layout.table.frame.bottom() + kBelowGrid * s,
                                            layout.legend_top_left.y() + 7 * kLegendRow * s});
    layout.caption_top_left = QPointF(kMarginLeft * s, content_bottom + 10 * s);
    layout.height_px = static_cast<int>(std::ceil(layout.caption_top_left.y() + kCaptionBlock * s));
    return layout;
}

QImage DrawSkinDoseMap(const SkinDoseMap& map, int width_px, bool japanese) {
    if (QGuiApplication::instance() == nullptr) {
        throw std::logic_error("the skin-dose map needs a QGuiApplication for its fonts");
    }
    const SkinMapLayout layout = LayOutSkinDoseMap(map, width_px);
    QImage image(layout.width_px, layout.height_px, QImage::Format_RGB32);
    if (image.isNull()) {
        return image;
    }
    image.fill(Qt::white);
    const double maximum_mgy = ScaleMaximumOf(map);
    const MapWords& words = WordsFor(japanese);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    DrawPanel(painter, layout, MapPanel::Trunk, map, maximum_mgy, words);
    DrawPanel(painter, layout, MapPanel::Table, map, maximum_mgy, words);
    DrawBelowHeadAxisTitle(painter, layout, words);
    if (PeakShown(map, layout)) {
        const MapPanel panel = map.peak.on_trunk ? MapPanel::Trunk : MapPanel::Table;
        DrawPeakMarker(painter, layout.Place(panel, map.peak.across_cm, map.peak.below_head_top_cm),
                       layout.scale);
    }
    DrawColourBar(painter, layout, maximum_mgy);
    DrawLegend(painter, layout, words);
    painter.setPen(Qt::black);
    painter.setFont(GothicFont(20 * layout.scale));
    DrawTextAt(painter, layout.caption_top_left, ToQString(SkinMapPeakCaption(map, japanese)),
               Qt::AlignLeft | Qt::AlignTop);
    DrawTextAt(painter, layout.caption_top_left + QPointF(0, 36 * layout.scale),
               ToQString(SkinMapAreaCaption(map, japanese)), Qt::AlignLeft | Qt::AlignTop);
    return image;
}

std::string SkinDoseMapPng(const QImage& image, const std::string& file_label) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    // Quality 80 is zlib's fastest level for Qt's PNG writer: a map of flat colours encodes
    // in three quarters of the default's time and comes out a fifth larger (about 100 kB).
    constexpr int kPngQuality = 80;
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) ||
        !image.save(&buffer, "PNG", kPngQuality)) {
        throw FileError("ファイル「" + file_label + "」の画像を作れませんでした。");
    }
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void WriteSkinDoseMapPng(const SkinDoseMap& map, const std::filesystem::path& path, int width_px,
                         bool japanese) {
    const std::string file_label = path.filename().string();
    WriteFileAtomically(path, SkinDoseMapPng(DrawSkinDoseMap(map, width_px, japanese), file_label),
                        file_label);
}

}  // namespace korvex
