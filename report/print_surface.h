#pragma once

#include <functional>
#include <string_view>

namespace korvex {

enum class PageOrientation { Portrait, Landscape };

// What every printed page is set in unless its layout says otherwise: the Mincho face
// (report_painter.h maps it to the Mincho faces installed) at 9 pt.
inline constexpr std::string_view kPrintFontName = "ＭＳ 明朝";
inline constexpr double kPrintDefaultFontPt = 9;

// The box a layout inks, in its own millimetres: x from 0 to width_mm, y from top_mm to
// bottom_mm. The page is placed on the sheet by this box.
struct PageExtent {
    double width_mm = 0;
    double top_mm = 0;
    double bottom_mm = 0;
};

// The printable area of a sheet, in mm from the sheet's top-left corner.
struct PrintableArea {
    double left_mm = 0;
    double top_mm = 0;
    double right_mm = 0;
    double bottom_mm = 0;
};

// Where the layout's origin lies on the sheet (mm from its top-left corner) and the scale
// that makes it fit: the extent is centred on the sheet, moved into the printable area
// where the printer's margins demand it, and shrunk only when the area is smaller than
// the extent (US Letter is 279.4 mm wide).
struct ReportPlacement {
    double origin_x_mm = 0;
    double origin_y_mm = 0;
    double scale = 1;
};

ReportPlacement PlaceReport(double sheet_width_mm, double sheet_height_mm,
                            const PrintableArea& printable, const PageExtent& extent);

// One printed page in millimetres: origin at the top left of the report, x to the right,
// y downwards. Texts are UTF-8 and placed by their top-left corner. The printer, the PDF
// writer and the tests' recording fake implement it, so the report is laid out once.
class PrintSurface {
  public:
    virtual ~PrintSurface() = default;

    // Before anything is drawn.
    virtual void SetOrientation(PageOrientation orientation) = 0;
    virtual void SetExtent(const PageExtent& extent) = 0;
    virtual void SetFontName(std::string_view name) = 0;
    virtual void SetFontSize(double points) = 0;
    // In printer pixels, as a printer's drawing width: 5 for heavy rules, 1 for thin ones.
    virtual void SetLineWidth(int printer_pixels) = 0;
    virtual void Line(double x1_mm, double y1_mm, double x2_mm, double y2_mm) = 0;
    // On from the end of the previous line.
    virtual void LineTo(double x_mm, double y_mm) = 0;
    virtual void Text(double x_mm, double y_mm, std::string_view text) = 0;
    // Advance width of the text in the current font, in mm.
    virtual double TextWidth(std::string_view text) = 0;
    // Sends the page.
    virtual void EndDocument() = 0;
};

// Draws a whole document on a surface; a preview may run it several times.
using PageDrawing = std::function<void(PrintSurface&)>;

}  // namespace korvex
