#include "report/print_surface.h"

#include <algorithm>
#include <cmath>

namespace korvex {
namespace {

// The value moved into lo..hi; lo wins when rounding leaves hi a hair below it.
double Fit(double value, double lo, double hi) {
    return std::max(lo, std::min(value, hi));
}

bool Usable(double from, double to) {
    return std::isfinite(from) && std::isfinite(to) && to > from;
}

}  // namespace

ReportPlacement PlaceReport(double sheet_width_mm, double sheet_height_mm,
                            const PrintableArea& printable, const PageExtent& extent) {
    PrintableArea area = printable;
    if (!Usable(area.left_mm, area.right_mm) || !Usable(area.top_mm, area.bottom_mm)) {
        area = {0, 0, sheet_width_mm, sheet_height_mm};  // the printer told nothing usable
    }
    const double height_mm = extent.bottom_mm - extent.top_mm;
    if (!Usable(area.left_mm, area.right_mm) || !Usable(area.top_mm, area.bottom_mm) ||
        !Usable(0, extent.width_mm) || !Usable(extent.top_mm, extent.bottom_mm)) {
        return {};
    }
    const double scale = std::min({1.0, (area.right_mm - area.left_mm) / extent.width_mm,
                                   (area.bottom_mm - area.top_mm) / height_mm});
    const double width = extent.width_mm * scale;
    const double height = height_mm * scale;
    const double left = Fit((sheet_width_mm - width) / 2, area.left_mm, area.right_mm - width);
    const double top = Fit((sheet_height_mm - height) / 2, area.top_mm, area.bottom_mm - height);
    return {left, top - extent.top_mm * scale, scale};
}

}  // namespace korvex
