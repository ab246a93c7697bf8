// The skin-dose map drawn into an image and read back pixel by pixel where the layout
// places the cells; maps are made by hand, cell by cell.
#include "report/skin_map_picture.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <filesystem>
#include <limits>
#include <set>

#include "engine/errors.h"
#include "tests/fixtures/synthetic_workdir.h"

namespace korvex {
namespace {

MapGrid Grid(int rows, int columns, double cell_cm, double column_origin_cm, double row_origin_cm,
             double dose_mgy) {
    MapGrid grid;
    grid.cell_cm = cell_cm;
    grid.rows = rows;
    grid.columns = columns;
    grid.column_origin_cm = column_origin_cm;
    grid.row_origin_cm = row_origin_cm;
    grid.dose_mgy.assign(static_cast<size_t>(rows * columns), dose_mgy);
    grid.is_skin.assign(static_cast<size_t>(rows * columns), 1);
    return grid;
}

void Fill(MapGrid& grid, int top, int bottom, int left, int right, double dose_mgy) {
    for (int row = top; row <= bottom; ++row) {
        for (int column = left; column <= right; ++column) {
            grid.dose_mgy[grid.Index(row, column)] = dose_mgy;
        }
    }
}

// Rings of 2500, 3500 and 5000 mGy on the back, the grids of an adult on 2 cm cells.
constexpr int kHotTop = 10, kHotBottom = 12, kHotLeft = 22, kHotRight = 25;
// Where the trunk lies on the table plane.
constexpr int kTrunkTopRow = 12, kTrunkBottomRow = 46, kTrunkLeftColumn = 2, kTrunkRightColumn = 22;
constexpr int kZeroRow = 32;

SkinDoseMap HotSpotMap() {
    SkinDoseMap map;
    map.trunk = Grid(35, 48, 2, -48, 24, 100);  // 24 to 94 cm, all round the trunk
    Fill(map.trunk, kHotTop - 4, kHotBottom + 4, kHotLeft - 4, kHotRight + 4, 2500);
    Fill(map.trunk, kHotTop - 2, kHotBottom + 2, kHotLeft - 2, kHotRight + 2, 3500);
    Fill(map.trunk, kHotTop, kHotBottom, kHotLeft, kHotRight, 5000);
    Fill(map.trunk, kZeroRow, 34, 0, 47, 0);
    map.table = Grid(87, 25, 2, -25, 0, 50);  // 0 to 174 cm, x from -25 to 25 cm
    for (int row = kTrunkTopRow; row <= kTrunkBottomRow; ++row) {
        for (int column = kTrunkLeftColumn; column <= kTrunkRightColumn; ++column) {
            map.table.is_skin[map.table.Index(row, column)] = 0;
        }
    }
    Fill(map.table, 60, 70, 0, 24, 1500);
    map.peak = {5000, true, 24 + 2 * kHotTop + 1, -48 + 2 * kHotLeft + 1, 0};
    map.area_above_cm2 = {16 * 11 * 4.0, 8 * 7 * 4.0, 4 * 3 * 4.0};
    return map;
}

QRgb PixelAt(const QImage& image, QPointF point) {
    return image.pixel(point.toPoint()) & 0xffffff;
}

QRgb Rgb(const QColor& colour) {
    return colour.rgb() & 0xffffff;
}

// Whether a pixel of `colour` lies within `margin` px of the line from `from` to `to`.
bool ColourNear(const QImage& image, QPointF from, QPointF to, const QColor& colour,
                int margin = 2) {
    const QRect box =
        QRectF(from, to).normalized().toAlignedRect().adjusted(-margin, -margin, margin, margin);
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            if ((image.pixel(x, y) & 0xffffff) == Rgb(colour)) {
                return true;
            }
        }
    }
    return false;
}

bool ColourInside(const QImage& image, const QRectF& area, const QColor& colour) {
    return ColourNear(image, area.topLeft(), area.bottomRight(), colour, -1);
}

double Luma(const QColor& colour) {
    return 0.299 * colour.red() + 0.587 * colour.green() + 0.114 * colour.blue();
}

bool OnNiceSeries(double value) {
    const double mantissa = value / std::pow(10.0, std::floor(std::log10(value)));
    for (double nice : {1.0, 2.0, 2.5, 5.0}) {
        if (std::abs(mantissa - nice) < 1e-9) {
            return true;
        }
    }
    return false;
}

TEST(SkinMapScale, MaximumIsTheNextRoundNumberAtOrAboveThePeak) {
    EXPECT_DOUBLE_EQ(NiceScaleMaximum(1234), 2000);
    EXPECT_DOUBLE_EQ(NiceScaleMaximum(2000), 2000);  // a round peak is its own top
    EXPECT_DOUBLE_EQ(NiceScaleMaximum(2001), 2500);
    EXPECT_DOUBLE_EQ(NiceScaleMaximum(3100), 5000);
    EXPECT_DOUBLE_EQ(NiceScaleMaximum(7300), 10000);
    EXPECT_DOUBLE_EQ(NiceScaleMaximum(0.3), 0.5);
    for (double peak : {0.013, 0.3, 1.0, 1.01, 2.2, 2.6, 4.9, 5.01, 999.0, 1000.0, 1000.5, 2499.0,
                        4999.0, 12345.0, 98765.0}) {
        const double maximum = NiceScaleMaximum(peak);
        EXPECT_GE(maximum, peak) << peak;
        EXPECT_LE(maximum, 2.5 * peak) << peak;
        EXPECT_TRUE(OnNiceSeries(maximum)) << peak << " -> " << maximum;
    }
    // No dose, or a value that is none: a scale of 1 mGy.
    for (double peak : {0.0, -5.0, std::numeric_limits<double>::quiet_NaN(),
                        std::numeric_limits<double>::infinity()}) {
        EXPECT_DOUBLE_EQ(NiceScaleMaximum(peak), 1) << peak;
    }
}

TEST(SkinMapScale, TicksCoverTheScaleInEqualRoundSteps) {
    for (double peak : {0.0, 0.3, 1.0, 1.7, 2.3, 4.0, 830.0, 1234.0, 3100.0, 7300.0, 24000.0}) {
        const double maximum = NiceScaleMaximum(peak);
        const std::vector<double> ticks = ScaleTicks(maximum);
        ASSERT_GE(ticks.size(), 4u) << maximum;
        EXPECT_LE(ticks.size(), 7u) << maximum;
        EXPECT_DOUBLE_EQ(ticks.front(), 0) << maximum;
        EXPECT_NEAR(ticks.back(), maximum, 1e-9 * maximum) << maximum;
        const double step = ticks[1] - ticks[0];
        EXPECT_TRUE(OnNiceSeries(step)) << maximum << " step " << step;
        for (size_t i = 1; i < ticks.size(); ++i) {
            EXPECT_NEAR(ticks[i] - ticks[i - 1], step, 1e-9 * maximum) << maximum;
        }
    }
    // A maximum no round step divides still gets round ticks inside it.
    const std::vector<double> odd = ScaleTicks(7);
    EXPECT_DOUBLE_EQ(odd.front(), 0);
    EXPECT_LE(odd.back(), 7);
    EXPECT_GE(odd.size(), 3u);
    EXPECT_EQ(ScaleTicks(0), std::vector<double>{0});
    EXPECT_EQ(ScaleTicks(std::numeric_limits<double>::quiet_NaN()), std::vector<double>{0});
}

TEST(SkinMapScale, ColoursDarkenWithDoseAndStayApartFromNotSkin) {
    EXPECT_EQ(Rgb(DoseColour(0)), 0xffffffu);  // no dose: white
    double previous = Luma(DoseColour(0));
    std::set<QRgb> seen;
    for (int i = 1; i <= 1000; ++i) {
        const QColor colour = DoseColour(i / 1000.0);
        // Each channel is rounded to a whole value, which moves the luma by at most 0.5
        // either way: a reversal of up to 1 between neighbours is rounding, not the ramp.
        EXPECT_LE(Luma(colour), previous + 1.0) << i;
        previous = Luma(colour);
        seen.insert(Rgb(colour));
        EXPECT_NE(Rgb(colour), Rgb(NotSkinColour())) << i;
        // No grey: the only colour without a hue is the white of (almost) no dose.
        if (colour.red() == colour.green() && colour.green() == colour.blue()) {
            EXPECT_EQ(Rgb(colour), 0xffffffu) << i;
        }
    }
    EXPECT_GT(seen.size(), 200u);  // a ramp, not a few bands
    EXPECT_LT(Luma(DoseColour(1)), 0.5 * Luma(DoseColour(0.5)));
    EXPECT_LT(Luma(DoseColour(0.5)), Luma(DoseColour(0.1)));
    // Clamped; NaN is no dose.
    EXPECT_EQ(Rgb(DoseColour(-3)), Rgb(DoseColour(0)));
    EXPECT_EQ(Rgb(DoseColour(7)), Rgb(DoseColour(1)));
    EXPECT_EQ(Rgb(DoseColour(std::numeric_limits<double>::quiet_NaN())), Rgb(DoseColour(0)));
    // The contours stand apart from every dose colour and from one another.
    for (size_t level = 0; level < kMapAreaThresholdsGy.size(); ++level) {
        EXPECT_FALSE(seen.contains(Rgb(ContourColour(level)))) << level;
        EXPECT_NE(Rgb(ContourColour(level)), Rgb(ContourColour((level + 1) % 3))) << level;
    }
}

TEST(SkinMapCaption, PeakAndAreasInWholeNumbers) {
    SkinDoseMap map;
    map.peak = {1234.4, true, 45, 3, 10};
    map.area_above_cm2 = {12.4, 3.6, 0};
    EXPECT_EQ(SkinMapPeakCaption(map),
              "最大皮膚線量 1234 mGy（頭頂から 45 cm、背の正中から左へ 3 cm）");
    EXPECT_EQ(SkinMapAreaCaption(map), "2 Gy 以上 12 cm²　3 Gy 以上 4 cm²　5 Gy 以上 0 cm²");
    map.peak = {876.5, true, 60.5, -12.25, -40};
    EXPECT_EQ(SkinMapPeakCaption(map),
              "最大皮膚線量 877 mGy（頭頂から 60.5 cm、背の正中から右へ 12.3 cm）");
    map.peak = {10, false, 150, -8, 0};
    EXPECT_EQ(SkinMapPeakCaption(map), "最大皮膚線量 10 mGy（頭頂から 150 cm、天板面 x = -8 cm）");
    // No dose has no place; values that are no numbers are never shown.
    map.peak = {std::numeric_limits<double>::quiet_NaN(), true, 45, 3, 0};
    map.area_above_cm2 = {std::numeric_limits<double>::infinity(), -2, 0};
    EXPECT_EQ(SkinMapPeakCaption(map), "最大皮膚線量 0 mGy");
    EXPECT_EQ(SkinMapAreaCaption(map), "2 Gy 以上 0 cm²　3 Gy 以上 0 cm²　5 Gy 以上 0 cm²");
}

TEST(SkinMapCaption, InEnglishWithTheSameNumbersAndPlaces) {
    SkinDoseMap map;
    map.peak = {1234.4, true, 45, 3, 10};
    map.area_above_cm2 = {12.4, 3.6, 0};
    EXPECT_EQ(SkinMapPeakCaption(map, false),
              "Peak skin dose 1234 mGy (45 cm from the top of the head, 3 cm left of the back's "
              "midline)");
    EXPECT_EQ(SkinMapAreaCaption(map, false), "≥ 2 Gy 12 cm²  ≥ 3 Gy 4 cm²  ≥ 5 Gy 0 cm²");
    map.peak = {876.5, true, 60.5, -12.25, -40};
    EXPECT_EQ(SkinMapPeakCaption(map, false),
              "Peak skin dose 877 mGy (60.5 cm from the top of the head, 12.3 cm right of the "
              "back's midline)");
    map.peak = {500, true, 30, 0.04, 0};
    EXPECT_EQ(SkinMapPeakCaption(map, false),
              "Peak skin dose 500 mGy (30 cm from the top of the head, on the back's midline)");
    EXPECT_EQ(SkinMapPeakCaption(map), "最大皮膚線量 500 mGy（頭頂から 30 cm、背の正中）");
    map.peak = {10, false, 150, -8, 0};
    EXPECT_EQ(SkinMapPeakCaption(map, false),
              "Peak skin dose 10 mGy (150 cm from the top of the head, table-top plane x = -8 cm)");
    map.peak = {std::numeric_limits<double>::quiet_NaN(), true, 45, 3, 0};
    EXPECT_EQ(SkinMapPeakCaption(map, false), "Peak skin dose 0 mGy");
}

TEST(SkinMapLayout, BothPanelsShareOneScaleAndFitThePicture) {
    const SkinDoseMap map = HotSpotMap();
    const SkinMapLayout layout = LayOutSkinDoseMap(map, 1400);
    EXPECT_EQ(layout.width_px, 1400);
    ASSERT_TRUE(layout.trunk.drawable);
    ASSERT_TRUE(layout.table.drawable);
    // A row 30 cm below the top of the head is at one height in both panels.
    EXPECT_DOUBLE_EQ(layout.CellRect(MapPanel::Trunk, 3, 0).top(),
                     layout.CellRect(MapPanel::Table, 15, 0).top());
    EXPECT_DOUBLE_EQ(layout.Place(MapPanel::Trunk, 0, 80).y(),
                     layout.Place(MapPanel::Table, 0, 80).y());
    EXPECT_DOUBLE_EQ(layout.CellRect(MapPanel::Trunk, 0, 0).width(),
                     layout.CellRect(MapPanel::Table, 0, 0).width());
    // The top of the head is the table panel's top; the trunk sits 24 cm lower.
    EXPECT_NEAR(layout.table.frame.top() + 24 * layout.pixels_per_cm, layout.trunk.frame.top(),
                1e-9);
    EXPECT_NEAR(layout.trunk.frame.width(), 96 * layout.pixels_per_cm, 1e-9);
    EXPECT_LT(layout.trunk.frame.right(), layout.table.frame.left());
    EXPECT_LT(layout.table.frame.right(), layout.colour_bar.left());
    EXPECT_LE(layout.colour_bar.right(), layout.width_px);
    EXPECT_GT(layout.caption_top_left.y(), layout.table.frame.bottom());
    EXPECT_LT(layout.caption_top_left.y(), layout.height_px);
    EXPECT_EQ(layout.tick_step_cm, 10);

    // A narrower picture is the same drawing scaled; a width too small for the labels is
    // drawn at the smallest that holds them.
    const SkinMapLayout half = LayOutSkinDoseMap(map, 700);
    EXPECT_NEAR(half.pixels_per_cm, layout.pixels_per_cm / 2, 1e-9);
    EXPECT_EQ(LayOutSkinDoseMap(map, 100).width_px, kMinSkinMapWidthPx);
    EXPECT_EQ(LayOutSkinDoseMap(map, 1000000).width_px, kMaxSkinMapWidthPx);
}

class SkinMapPictureTest : public ::testing::Test {
  protected:
    fixtures::TempFolder folder_;
};

TEST_F(SkinMapPictureTest, CellsAreDrawnInTheirDoseColours) {
    const SkinDoseMap map = HotSpotMap();
    const QImage image = DrawSkinDoseMap(map);
    const SkinMapLayout layout = LayOutSkinDoseMap(map);
    ASSERT_EQ(image.width(), 1400);
    ASSERT_EQ(image.height(), layout.height_px);
    const auto centre = [&](MapPanel panel, int row, int column) {
        return layout.CellRect(panel, row, column).center();
    };
    // The peak of 5000 mGy is the top of its scale; the peak marker is on the block's corner.
    EXPECT_EQ(PixelAt(image, centre(MapPanel::Trunk, kHotBottom, kHotRight)), Rgb(DoseColour(1)));
    EXPECT_EQ(PixelAt(image, centre(MapPanel::Trunk, kHotTop - 1, kHotLeft + 1)),
              Rgb(DoseColour(0.7)));
    EXPECT_EQ(PixelAt(image, centre(MapPanel::Trunk, kZeroRow + 1, 5)), Rgb(DoseColour(0)));
    EXPECT_EQ(PixelAt(image, centre(MapPanel::Trunk, 1, 1)), Rgb(DoseColour(0.02)));
    EXPECT_EQ(PixelAt(image, centre(MapPanel::Table, 65, 3)), Rgb(DoseColour(0.3)));
    EXPECT_EQ(PixelAt(image, centre(MapPanel::Table, kTrunkTopRow, kTrunkLeftColumn)),
              Rgb(NotSkinColour()));
    EXPECT_EQ(PixelAt(image, centre(MapPanel::Table, kTrunkBottomRow, kTrunkRightColumn)),
              Rgb(NotSkinColour()));
    EXPECT_EQ(PixelAt(image, centre(MapPanel::Table, kTrunkBottomRow + 1, kTrunkRightColumn)),
              Rgb(DoseColour(0.01)));
}

// Maps whose peak is not marked: the marker is black like the 5 Gy line.
SkinDoseMap Unmarked(SkinDoseMap map) {
    map.peak.dose_mgy = 0;
    return map;
}

TEST_F(SkinMapPictureTest, ContoursFollowTheCellEdgesAtEachLevel) {
    const SkinDoseMap map = Unmarked(HotSpotMap());
    const QImage image = DrawSkinDoseMap(map);
    const SkinMapLayout layout = LayOutSkinDoseMap(map);
    const auto top_edge = [&](int row, int left, int right, size_t level) {
        const QPointF from = layout.CellRect(MapPanel::Trunk, row, left).topLeft();
        const QPointF to = layout.CellRect(MapPanel::Trunk, row, right).topRight();
        return ColourNear(image, from, to, ContourColour(level));
    };
    EXPECT_TRUE(top_edge(kHotTop, kHotLeft, kHotRight, 2));              // 5 Gy
    EXPECT_TRUE(top_edge(kHotTop - 2, kHotLeft - 2, kHotRight + 2, 1));  // 3 Gy
    EXPECT_TRUE(top_edge(kHotTop - 4, kHotLeft - 4, kHotRight + 4, 0));  // 2 Gy
    // The 5 Gy line's left side, and no line in the middle of the block.
    const QRectF block = layout.CellRect(MapPanel::Trunk, kHotTop, kHotLeft)
                             .united(layout.CellRect(MapPanel::Trunk, kHotBottom, kHotRight));
    EXPECT_TRUE(ColourNear(image, block.topLeft(), block.bottomLeft(), ContourColour(2)));
    const QRectF inner = block.adjusted(block.width() / 4, block.height() / 4, -block.width() / 4,
                                        -block.height() / 4);
    EXPECT_FALSE(ColourInside(image, inner, ContourColour(2)));
    // Nothing reaches 2 Gy on the table plane.
    for (size_t level = 0; level < kMapAreaThresholdsGy.size(); ++level) {
        EXPECT_FALSE(ColourInside(image, layout.table.frame, ContourColour(level))) << level;
    }
}

TEST_F(SkinMapPictureTest, OnlyLevelsTheMapReachesAreDrawnAndTheSilhouetteIsNoContour) {
    SkinDoseMap map = HotSpotMap();
    Fill(map.trunk, 0, 34, 0, 47, 100);
    Fill(map.trunk, 5, 8, 5, 8, 2500);
    // Skin at 2500 mGy right up to the trunk's place on the table plane.
    Fill(map.table, kTrunkTopRow, kTrunkBottomRow, 0, 24, 2500);
    Fill(map.table, kTrunkTopRow, kTrunkBottomRow, kTrunkLeftColumn, kTrunkRightColumn, 0);
    const QImage image = DrawSkinDoseMap(Unmarked(map));
    const SkinMapLayout layout = LayOutSkinDoseMap(map);
    for (const QRectF& frame : {layout.trunk.frame, layout.table.frame}) {
        EXPECT_FALSE(ColourInside(image, frame, ContourColour(1)));
        EXPECT_FALSE(ColourInside(image, frame, ContourColour(2)));
    }
    EXPECT_TRUE(ColourInside(image, layout.trunk.frame, ContourColour(0)));
    // Where the 2500 mGy skin ends at the table plane's rows of 50 mGy: a line.
    EXPECT_TRUE(ColourNear(image, layout.CellRect(MapPanel::Table, kTrunkTopRow, 0).topLeft(),
                           layout.CellRect(MapPanel::Table, kTrunkTopRow, 1).topRight(),
                           ContourColour(0)));
    // Where it meets the trunk's place: none, the skin goes on over the trunk.
    const QRectF silhouette_side =
        layout.CellRect(MapPanel::Table, kTrunkTopRow + 5, kTrunkLeftColumn)
            .united(layout.CellRect(MapPanel::Table, kTrunkBottomRow - 5, kTrunkLeftColumn));
    EXPECT_FALSE(ColourNear(image, silhouette_side.topLeft(), silhouette_side.bottomLeft(),
                            ContourColour(0), 3));
}

TEST_F(SkinMapPictureTest, ThePeakIsMarkedOnItsOwnPanel) {
    SkinDoseMap map = HotSpotMap();
    SkinDoseMap unmarked = map;
    unmarked.peak.dose_mgy = 0;
    const QImage marked_image = DrawSkinDoseMap(map);
    const QImage unmarked_image = DrawSkinDoseMap(unmarked);
    const SkinMapLayout layout = LayOutSkinDoseMap(map);
    const QPointF at =
        layout.Place(MapPanel::Trunk, map.peak.across_cm, map.peak.below_head_top_cm);
    EXPECT_NE(PixelAt(marked_image, at), PixelAt(unmarked_image, at));
    const QPointF same_place_on_table = layout.Place(MapPanel::Table, 0, 150);
    EXPECT_EQ(PixelAt(marked_image, same_place_on_table),
              PixelAt(unmarked_image, same_place_on_table));

    map.peak = {1500, false, 150, 0, 0};  // on a leg
    const QImage table_marked = DrawSkinDoseMap(map);
    EXPECT_NE(PixelAt(table_marked, same_place_on_table),
              PixelAt(unmarked_image, same_place_on_table));
    EXPECT_EQ(PixelAt(table_marked, at), PixelAt(unmarked_image, at));
}

TEST_F(SkinMapPictureTest, ValuesThatAreNoDosesAreDrawnAsNone) {
    SkinDoseMap map = HotSpotMap();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    map.trunk.dose_mgy[map.trunk.Index(2, 2)] = nan;
    map.trunk.dose_mgy[map.trunk.Index(2, 4)] = std::numeric_limits<double>::infinity();
    map.trunk.dose_mgy[map.trunk.Index(2, 6)] = -300;
    map.table.dose_mgy[map.table.Index(80, 3)] = nan;
    map.peak.dose_mgy = nan;
    const QImage image = DrawSkinDoseMap(map);
    const SkinMapLayout layout = LayOutSkinDoseMap(map);
    for (int column : {2, 4, 6}) {
        EXPECT_EQ(PixelAt(image, layout.CellRect(MapPanel::Trunk, 2, column).center()),
                  Rgb(DoseColour(0)))
            << column;
    }
    EXPECT_EQ(PixelAt(image, layout.CellRect(MapPanel::Table, 80, 3).center()), Rgb(DoseColour(0)));
    // The scale still comes from the cells: the hot block keeps the top colour.
    EXPECT_EQ(PixelAt(image, layout.CellRect(MapPanel::Trunk, kHotBottom, kHotRight).center()),
              Rgb(DoseColour(1)));
}

TEST_F(SkinMapPictureTest, ACellAboveTheStatedPeakStaysOnTheScale) {
    SkinDoseMap map = HotSpotMap();
    map.peak.dose_mgy = 1000;  // disagrees with the cells' 5000 mGy
    const QImage image = DrawSkinDoseMap(map);
    const SkinMapLayout layout = LayOutSkinDoseMap(map);
    EXPECT_EQ(PixelAt(image, layout.CellRect(MapPanel::Trunk, kHotTop - 1, kHotRight).center()),
              Rgb(DoseColour(3500.0 / 5000)));
}

TEST_F(SkinMapPictureTest, MapsWithoutCellsOrWithBrokenGridsStillDraw) {
    const SkinDoseMap empty;
    const QImage image = DrawSkinDoseMap(empty, 900);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), 900);
    const SkinMapLayout layout = LayOutSkinDoseMap(empty, 900);
    EXPECT_FALSE(layout.trunk.drawable);
    EXPECT_FALSE(layout.table.drawable);
    EXPECT_GT(layout.trunk.frame.height(), 0);
    EXPECT_LT(layout.trunk.frame.right(), layout.table.frame.left());

    // Values fewer than the cells, or a cell size that is none: that panel is not drawn,
    // never read beyond its values; the other panel is.
    SkinDoseMap broken = HotSpotMap();
    broken.trunk.dose_mgy.resize(10);
    broken.table.is_skin.resize(3);
    EXPECT_FALSE(LayOutSkinDoseMap(broken).trunk.drawable);
    EXPECT_FALSE(LayOutSkinDoseMap(broken).table.drawable);
    EXPECT_FALSE(DrawSkinDoseMap(broken).isNull());
    SkinDoseMap no_cell_size = HotSpotMap();
    no_cell_size.trunk.cell_cm = std::numeric_limits<double>::quiet_NaN();
    const SkinMapLayout half_layout = LayOutSkinDoseMap(no_cell_size);
    EXPECT_FALSE(half_layout.trunk.drawable);
    EXPECT_TRUE(half_layout.table.drawable);
    const QImage half = DrawSkinDoseMap(no_cell_size);
    EXPECT_EQ(PixelAt(half, half_layout.CellRect(MapPanel::Table, 65, 3).center()),
              Rgb(DoseColour(1500.0 / 5000)));
}

// Whether any pixel of the column at `x` between `top` and `bottom` is darker than grey.
bool DarkInColumn(const QImage& image, int x, double top, double bottom) {
    for (int y = static_cast<int>(top); y < static_cast<int>(bottom); ++y) {
        if (qGray(image.pixel(x, y)) < 128) {
            return true;
        }
    }
    return false;
}

// The words change with the language; the cells, the scale and the layout do not.
TEST_F(SkinMapPictureTest, AnEnglishPictureChangesOnlyItsWords) {
    const SkinDoseMap map = HotSpotMap();
    const QImage japanese = DrawSkinDoseMap(map);
    const QImage english = DrawSkinDoseMap(map, 1400, false);
    ASSERT_EQ(english.size(), japanese.size());
    EXPECT_NE(english, japanese);
    const SkinMapLayout layout = LayOutSkinDoseMap(map);
    // Every skin cell; the trunk's place on the table plane holds a label.
    for (const MapPanel panel : {MapPanel::Trunk, MapPanel::Table}) {
        const MapGrid& grid = panel == MapPanel::Trunk ? map.trunk : map.table;
        for (int row = 0; row < grid.rows; ++row) {
            for (int column = 0; column < grid.columns; ++column) {
                if (grid.is_skin[grid.Index(row, column)] == 0) {
                    continue;
                }
                const QPointF centre = layout.CellRect(panel, row, column).center();
                ASSERT_EQ(PixelAt(english, centre), PixelAt(japanese, centre))
                    << static_cast<int>(panel) << " " << row << " " << column;
            }
        }
    }
    // The distance below the top of the head is named left of the tick numbers, in both.
    const QRectF grids = layout.trunk.frame.united(layout.table.frame);
    const int title_x = static_cast<int>(30 * layout.scale);
    EXPECT_TRUE(DarkInColumn(japanese, title_x, grids.top(), grids.bottom()));
    EXPECT_TRUE(DarkInColumn(english, title_x, grids.top(), grids.bottom()));

    // The PNG carries the language asked for.
    const std::filesystem::path png = folder_.path() / "map.png";
    WriteSkinDoseMapPng(map, png, 800, false);
    const QImage read =
        QImage(QString::fromStdString(png.string())).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(read, DrawSkinDoseMap(map, 800, false));
    EXPECT_NE(read, DrawSkinDoseMap(map, 800));
}

TEST_F(SkinMapPictureTest, PngIsWrittenWholeAndReadsBackAtTheWidthAsked) {
    const std::filesystem::path png = folder_.path() / "皮膚線量マップ.png";
    WriteSkinDoseMapPng(HotSpotMap(), png, 800);
    QImage read(QString::fromStdString(png.string()));
    ASSERT_FALSE(read.isNull());
    EXPECT_EQ(read.width(), 800);
    // Written again over the old file, at another width.
    WriteSkinDoseMapPng(HotSpotMap(), png, 1200);
    EXPECT_EQ(QImage(QString::fromStdString(png.string())).width(), 1200);
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
        ++files;
    }
    EXPECT_EQ(files, 1);  // no temporary file left beside it
}

TEST_F(SkinMapPictureTest, AFolderThatIsNotThereFailsTheWriteAndLeavesNothing) {
    const std::filesystem::path png = folder_.path() / "missing" / "map.png";
    try {
        WriteSkinDoseMapPng(HotSpotMap(), png);
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("map.png"), std::string::npos) << error.what();
    }
    EXPECT_FALSE(std::filesystem::exists(png));
    EXPECT_TRUE(std::filesystem::is_empty(folder_.path()));

    // A folder in the file's place is refused and stays as it was.
    const std::filesystem::path taken = folder_.path() / "taken.png";
    std::filesystem::create_directory(taken);
    EXPECT_THROW(WriteSkinDoseMapPng(HotSpotMap(), taken), FileError);
    EXPECT_TRUE(std::filesystem::is_directory(taken));
    EXPECT_TRUE(std::filesystem::is_empty(taken));
}

}  // namespace
}  // namespace korvex

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
