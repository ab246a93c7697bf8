#include "report/report_painter.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPen>
#include <algorithm>
#include <cmath>

#include "report/qt_text.h"

namespace korvex {
namespace {

// A printer's drawing width is counted in its own pixels; 600 dpi is the resolution of
// today's office laser printers, so a heavy rule (5) is 0.21 mm and a thin one 0.04 mm.
constexpr double kPrinterPixelMm = 25.4 / 600;

}  // namespace

QStringList InstalledMinchoFamilies() {
    return InstalledFamilies({"IPAPMincho", "IPAMincho", "Noto Serif CJK JP", "DejaVu Serif"});
}

QStringList InstalledGothicFamilies() {
    return InstalledFamilies(
        {"Noto Sans CJK JP", "IPAexGothic", "IPAGothic", "VL Gothic", "TakaoGothic"});
}

QFont GothicFont(double pixel_size, bool bold) {
    static const QStringList families = InstalledGothicFamilies();
    QFont font;
    if (!families.isEmpty()) {
        font.setFamilies(families);
    }
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixel_size))));
    font.setBold(bold);
    return font;
}

QStringList InstalledFamilies(const QStringList& candidates) {
    const QStringList families = QFontDatabase::families();
    QStringList found;
    for (const QString& candidate : candidates) {
        if (families.contains(candidate, Qt::CaseInsensitive)) {
            found.append(candidate);
        }
    }
    return found;
}

void InstallPrintFontSubstitution() {
    const QString name = ToQString(kPrintFontName);
    if (QFont::substitutes(name).isEmpty()) {
        QFont::insertSubstitutions(name, InstalledMinchoFamilies());
    }
}

DevicePlacement PlaceOnDevice(QPagedPaintDevice& device, const PageExtent& extent) {
    QPageLayout layout = device.pageLayout();
    layout.setUnits(QPageLayout::Millimeter);
    const QRectF sheet = layout.fullRect();
    const QMarginsF minimum = layout.minimumMargins();
    DevicePlacement placed;
    placed.placement = PlaceReport(sheet.width(), sheet.height(),
                                   {minimum.left(), minimum.top(), sheet.width() - minimum.right(),
                                    sheet.height() - minimum.bottom()},
                                   extent);
    // A printer in full-page mode paints from the sheet's corner, otherwise from its margins.
    placed.painter_origin_mm = layout.paintRect().topLeft();
    placed.pixels_per_mm = device.logicalDpiX() / 25.4;
    return placed;
}

PainterPrintSurface::PainterPrintSurface(QPagedPaintDevice& device)
    : device_(device), font_name_(ToQString(kPrintFontName)) {
    InstallPrintFontSubstitution();
}

PainterPrintSurface::~PainterPrintSurface() {
    if (painter_.isActive()) {
        painter_.end();
    }
}

bool PainterPrintSurface::Begin() {
    if (begun_) {
        return !failed_;
    }
    begun_ = true;
    const DevicePlacement placed = PlaceOnDevice(device_, extent_);
    placement_ = placed.placement;
    painter_origin_mm_ = placed.painter_origin_mm;
    pixels_per_mm_ = placed.pixels_per_mm;
    if (!(pixels_per_mm_ > 0) || !painter_.begin(&device_)) {
        failed_ = true;
        return false;
    }
    painter_.setRenderHint(QPainter::Antialiasing);
    painter_.setRenderHint(QPainter::TextAntialiasing);
    painter_.setPen(Qt::black);
    return true;
}

QPointF PainterPrintSurface::ToDevice(double x_mm, double y_mm) const {
    const double sheet_x = placement_.origin_x_mm + placement_.scale * x_mm;
    const double sheet_y = placement_.origin_y_mm + placement_.scale * y_mm;
    return {(sheet_x - painter_origin_mm_.x()) * pixels_per_mm_,
            (sheet_y - painter_origin_mm_.y()) * pixels_per_mm_};
}

QFont PainterPrintSurface::CurrentFont() const {
    QFont font(font_name_);
    font.setPointSizeF(font_size_pt_ * placement_.scale);
    return font;
}

void PainterPrintSurface::SetOrientation(PageOrientation orientation) {
    if (!begun_) {
        device_.setPageOrientation(orientation == PageOrientation::Landscape
                                       ? QPageLayout::Landscape
                                       : QPageLayout::Portrait);
    }
}

void PainterPrintSurface::SetExtent(const PageExtent& extent) {
    if (!begun_) {
        extent_ = extent;
    }
}

void PainterPrintSurface::SetFontName(std::string_view name) {
    font_name_ = ToQString(name);
}

void PainterPrintSurface::SetFontSize(double points) {
    if (std::isfinite(points) && points > 0) {
        font_size_pt_ = points;
    }
}

void PainterPrintSurface::SetLineWidth(int printer_pixels) {
    line_width_pixels_ = printer_pixels > 0 ? printer_pixels : 1;
}

void PainterPrintSurface::Line(double x1_mm, double y1_mm, double x2_mm, double y2_mm) {
    last_point_mm_ = {x1_mm, y1_mm};
    LineTo(x2_mm, y2_mm);
}

void PainterPrintSurface::LineTo(double x_mm, double y_mm) {
    const QPointF from = last_point_mm_;
    last_point_mm_ = {x_mm, y_mm};
    if (!Begin()) {
        return;
    }
    const double width = line_width_pixels_ * kPrinterPixelMm * placement_.scale * pixels_per_mm_;
    // Square caps close the corners where the frame's edges meet.
    painter_.setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter_.drawLine(ToDevice(from.x(), from.y()), ToDevice(x_mm, y_mm));
}

void PainterPrintSurface::Text(double x_mm, double y_mm, std::string_view text) {
    if (!Begin()) {
        return;
    }
    const QFont font = CurrentFont();
    painter_.setFont(font);
    const QFontMetricsF metrics(font, &device_);
    // Placed by the top-left corner of the text, not by its baseline.
    painter_.drawText(ToDevice(x_mm, y_mm) + QPointF(0, metrics.ascent()), ToQString(text));
}

double PainterPrintSurface::TextWidth(std::string_view text) {
    if (!Begin()) {
        return 0;
    }
    const double pixels_per_report_mm = placement_.scale * pixels_per_mm_;
    return QFontMetricsF(CurrentFont(), &device_).horizontalAdvance(ToQString(text)) /
           pixels_per_report_mm;
}

void PainterPrintSurface::EndDocument() {
    if (ended_ || !Begin()) {
        return;
    }
    ended_ = true;
    if (!painter_.end()) {
        failed_ = true;
    }
}

}  // namespace korvex
