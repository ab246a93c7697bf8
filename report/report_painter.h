#pragma once

#include <QFont>
#include <QPainter>
#include <QPointF>
#include <QStringList>

#include "report/print_surface.h"

class QPagedPaintDevice;

namespace korvex {

// The installed families among the candidates, in the order of preference.
QStringList InstalledFamilies(const QStringList& candidates);
// The Mincho faces installed here, best first: what "ＭＳ 明朝" is printed with.
QStringList InstalledMinchoFamilies();
// The Gothic (sans-serif) faces installed here, best first: the pictures' labels.
QStringList InstalledGothicFamilies();
// A label font of the pictures: the Gothic faces at a size in pixels (at least 1).
QFont GothicFont(double pixel_size, bool bold = false);
// Maps "ＭＳ 明朝" to them unless the program has mapped it already.
void InstallPrintFontSubstitution();

// Where a report of `extent` lies on the device's sheet (inside its printable area), and
// how the device's painter turns millimetres of the sheet into its pixels.
struct DevicePlacement {
    ReportPlacement placement;
    QPointF painter_origin_mm;  // where the painter's origin lies on the sheet
    double pixels_per_mm = 0;
};
DevicePlacement PlaceOnDevice(QPagedPaintDevice& device, const PageExtent& extent);

// A PrintSurface on a printer (QPrinter) or a PDF (QPdfWriter). The report is placed on
// the sheet by PlaceReport, inside the device's printable area. Painting begins at the
// first drawing operation, so the orientation is set on the device first; a device that
// cannot be painted on makes every operation do nothing and Failed() true.
class PainterPrintSurface : public PrintSurface {
  public:
    explicit PainterPrintSurface(QPagedPaintDevice& device);
    ~PainterPrintSurface() override;
    PainterPrintSurface(const PainterPrintSurface&) = delete;
    PainterPrintSurface& operator=(const PainterPrintSurface&) = delete;

    bool Failed() const { return failed_; }

    void SetOrientation(PageOrientation orientation) override;
    void SetExtent(const PageExtent& extent) override;
    void SetFontName(std::string_view name) override;
    void SetFontSize(double points) override;
    void SetLineWidth(int printer_pixels) override;
    void Line(double x1_mm, double y1_mm, double x2_mm, double y2_mm) override;
    void LineTo(double x_mm, double y_mm) override;
    void Text(double x_mm, double y_mm, std::string_view text) override;
    double TextWidth(std::string_view text) override;
    void EndDocument() override;

  private:
    bool Begin();
    QPointF ToDevice(double x_mm, double y_mm) const;
    QFont CurrentFont() const;

    QPagedPaintDevice& device_;
    QPainter painter_;
    PageExtent extent_;
    ReportPlacement placement_;
    QPointF painter_origin_mm_;  // where the device's origin lies on the sheet
    double pixels_per_mm_ = 1;
    QString font_name_;
    double font_size_pt_ = kPrintDefaultFontPt;
    int line_width_pixels_ = 1;
    QPointF last_point_mm_;
    bool begun_ = false;
    bool ended_ = false;
    bool failed_ = false;
};

}  // namespace korvex
