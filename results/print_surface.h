#pragma once

#include <string_view>

namespace korvex {

enum class PageOrientation { Portrait, Landscape };

// One printed page in millimetres: origin at the top left of the report, x to the right,
// y downwards. Texts are UTF-8 and placed by their top-left corner. The printer, the PDF
// writer and the tests' recording fake implement it, so the report is laid out once.
class PrintSurface {
  public:
    virtual ~PrintSurface() = default;

    // Before anything is drawn.
    virtual void SetOrientation(PageOrientation orientation) = 0;
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

}  // namespace korvex
