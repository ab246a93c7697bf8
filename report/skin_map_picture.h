#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/skin_dose_map.h"

namespace korvex {

// The colour scale of the skin-dose map: from 0 to a round maximum at or above the peak,
// from the series 1, 2, 2.5, 5 × 10^n mGy (so at most twice the peak). A peak of 0, a
// negative or a non-finite one is drawn on a scale of 1 mGy.
double NiceScaleMaximum(double peak_mgy);

// The labelled values of a scale from 0 to `maximum_mgy`, 4 to 6 steps of 1, 2, 2.5 or
// 5 × 10^n: 0 first and, for a maximum from NiceScaleMaximum, the maximum last. A maximum
// that is not positive and finite has the single tick 0.
std::vector<double> ScaleTicks(double maximum_mgy);

// The colour of a dose as its fraction of the scale's maximum, clamped to 0..1 (NaN is 0):
// white for no dose, then ColorBrewer's YlOrRd ramp (Brewer, Harrower and Penn State,
// colorbrewer2.org), whose lightness falls monotonically from pale yellow to dark red.
QColor DoseColour(double fraction);

// Table-plane cells where the trunk lies (their skin is on the trunk's grid).
QColor NotSkinColour();

// The line colour of the contour at kMapAreaThresholdsGy[level].
QColor ContourColour(size_t level);

// The captions under the picture, UTF-8: the peak dose in whole mGy with its place
// ("最大皮膚線量 1234 mGy（頭頂から 45 cm、背の正中から左へ 3 cm）", on the table plane
// "天板面 x = -12 cm"), and the areas at or above each threshold in whole cm². In English
// unless `japanese`: "Peak skin dose 1234 mGy (45 cm from the top of the head, 3 cm left
// of the back's midline)".
std::string SkinMapPeakCaption(const SkinDoseMap& map, bool japanese = true);
std::string SkinMapAreaCaption(const SkinDoseMap& map, bool japanese = true);

enum class MapPanel { Trunk, Table };

// Where a panel's grid lies in the picture. An undrawable grid (no cells, or sizes that
// disagree) keeps a frame of a nominal size in which the picture says "マップなし" ("No map").
struct MapPanelGeometry {
    bool drawable = false;
    QRectF frame;        // px, the grid's cells exactly
    double left_cm = 0;  // across the surface at the frame's left edge
    double top_cm = 0;   // below the top of the head at the frame's top edge
    double cell_cm = 1;
    int rows = 0;
    int columns = 0;
};

// The picture's geometry, shared by the drawing, the window that shows it and the tests.
// Both panels have one scale, so a row below the top of the head is at one height in both.
struct SkinMapLayout {
    int width_px = 0;
    int height_px = 0;
    double scale = 1;  // of the 1400 px design: fonts and margins grow with the width
    double pixels_per_cm = 1;
    double tick_step_cm = 10;
    MapPanelGeometry trunk;
    MapPanelGeometry table;
    QRectF colour_bar;
    QPointF legend_top_left;
    QPointF caption_top_left;

    const MapPanelGeometry& Panel(MapPanel panel) const {
        return panel == MapPanel::Trunk ? trunk : table;
    }
    // A point given as across the surface and below the top of the head, cm.
    QPointF Place(MapPanel panel, double across_cm, double below_head_top_cm) const;
    QRectF CellRect(MapPanel panel, int row, int column) const;
};

// Widths outside these are drawn at the nearer one: below, the labels would not fit;
// above, the picture would take hundreds of megabytes.
inline constexpr int kMinSkinMapWidthPx = 600;
inline constexpr int kMaxSkinMapWidthPx = 4000;
// The width a picture is drawn at unless another is asked for: the design's own.
inline constexpr int kSkinMapWidthPx = 1400;

SkinMapLayout LayOutSkinDoseMap(const SkinDoseMap& map, int width_px = kSkinMapWidthPx);

// The map as a picture: the unrolled trunk and the table plane side by side on one dose
// colour scale, with the 2, 3 and 5 Gy contours, a colour bar, the peak marked and captions
// with the peak and the areas. Every text in Japanese, or in English unless `japanese`.
// Needs a QGuiApplication (fonts). Negative and non-finite doses are drawn as no dose. A
// null image when memory for it cannot be had.
QImage DrawSkinDoseMap(const SkinDoseMap& map, int width_px = kSkinMapWidthPx,
                       bool japanese = true);

// A drawn map as PNG bytes; needs no application, so it may run beside other drawings.
// Throws FileError naming `file_label` for a null picture or one that cannot be encoded.
std::string SkinDoseMapPng(const QImage& image, const std::string& file_label);

// DrawSkinDoseMap as a PNG, written to a temporary file beside `path` and renamed into
// place. Throws FileError naming the file when the picture cannot be encoded or written.
void WriteSkinDoseMapPng(const SkinDoseMap& map, const std::filesystem::path& path,
                         int width_px = kSkinMapWidthPx, bool japanese = true);

}  // namespace korvex
