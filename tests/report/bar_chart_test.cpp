// The projections' bar chart drawn into an image and read back where its layout puts the
// bars and the threshold lines.
#include "report/bar_chart.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <limits>

#include "report/skin_map_picture.h"

namespace korvex {
namespace {

constexpr QSize kSize(900, 420);

ProjectionBarChart ThreeProjections() {
    ProjectionBarChart chart;
    chart.labels = {"LAO 30 CRA 10", "RAO 30 CAU 20", "AP"};
    chart.doses_mgy = {800, 2400, 1200};
    chart.emphasised = 1;
    return chart;
}

// Antialiased lines blend into the white: a pixel counts as the colour within this
// distance per channel.
bool Near(QRgb pixel, const QColor& colour, int tolerance = 40) {
    return std::abs(qRed(pixel) - colour.red()) <= tolerance &&
           std::abs(qGreen(pixel) - colour.green()) <= tolerance &&
           std::abs(qBlue(pixel) - colour.blue()) <= tolerance;
}

int CountNear(const QImage& image, const QColor& colour, int tolerance = 40) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += Near(image.pixel(x, y), colour, tolerance) ? 1 : 0;
        }
    }
    return count;
}

// Pixels of `colour` on the row that holds `y` (a line's centre), between the plot's edges.
int RowPixelsNear(const QImage& image, const QRectF& plot, double y, const QColor& colour) {
    int count = 0;
    const int row = static_cast<int>(std::floor(y));
    for (int x = static_cast<int>(plot.left()) + 2; x < static_cast<int>(plot.right()) - 2; ++x) {
        count += Near(image.pixel(x, row), colour) ? 1 : 0;
    }
    return count;
}

TEST(ProjectionBarChart, BarsStandOnTheAxisAsTallAsTheirDosesThePeakDark) {
    const ProjectionBarChart chart = ThreeProjections();
    const QImage image = ProjectionBarChartImage(chart, kSize);
    ASSERT_EQ(image.size(), kSize);
    const BarChartLayout layout = LayOutBarChart(chart, QRectF(QPointF(0, 0), QSizeF(kSize)), 13);
    EXPECT_DOUBLE_EQ(layout.scale_maximum_mgy, 2500);
    ASSERT_EQ(layout.bars.size(), 3u);
    EXPECT_FALSE(layout.labels_slanted);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(layout.bars[i].bottom(), layout.plot.bottom(), 1e-9);
        EXPECT_NEAR(layout.bars[i].height() / layout.plot.height(), chart.doses_mgy[i] / 2500,
                    1e-9);
        EXPECT_TRUE(QRectF(QPointF(0, 0), QSizeF(kSize)).contains(layout.bars[i]));
    }
    // The tallest bar is dark from its top down to the axis; white just above its top
    // beside its dose; the others light grey.
    const QRectF& peak = layout.bars[1];
    const int x = static_cast<int>(peak.left()) + 4;
    for (const double y : {peak.top() + 4, peak.center().y(), peak.bottom() - 4}) {
        EXPECT_TRUE(Near(image.pixel(x, static_cast<int>(y)), QColor(0x40, 0x40, 0x40), 12))
            << "y " << y;
    }
    EXPECT_TRUE(Near(image.pixel(x, static_cast<int>(peak.top()) - 4), Qt::white, 8));
    const QRectF& light = layout.bars[0];
    EXPECT_TRUE(
        Near(image.pixel(static_cast<int>(light.left()) + 4, static_cast<int>(light.center().y())),
             QColor(0xC8, 0xC8, 0xC8), 12));
}

TEST(ProjectionBarChart, ThresholdLinesOnlyWhereTheScaleReaches) {
    // Up to 2500 mGy: the 2 Gy line at its height, 3 and 5 Gy beyond the scale.
    const ProjectionBarChart low = ThreeProjections();
    const QRectF area(QPointF(0, 0), QSizeF(kSize));
    const BarChartLayout low_layout = LayOutBarChart(low, area, 13);
    ASSERT_EQ(low_layout.threshold_y.size(), 3u);
    EXPECT_NEAR(low_layout.threshold_y[0],
                low_layout.plot.bottom() - 2000.0 / 2500 * low_layout.plot.height(), 1e-9);
    EXPECT_TRUE(std::isnan(low_layout.threshold_y[1]));
    EXPECT_TRUE(std::isnan(low_layout.threshold_y[2]));
    const QImage low_image = ProjectionBarChartImage(low, kSize);
    EXPECT_GT(
        RowPixelsNear(low_image, low_layout.plot, low_layout.threshold_y[0], ContourColour(0)), 50);
    EXPECT_EQ(CountNear(low_image, ContourColour(1)), 0);

    // Up to 5500 mGy (scale 10 Gy): all three lines, each across the plot.
    ProjectionBarChart high = ThreeProjections();
    high.doses_mgy = {5500, 2400, 1200};
    high.emphasised = 0;
    const BarChartLayout high_layout = LayOutBarChart(high, area, 13);
    EXPECT_DOUBLE_EQ(high_layout.scale_maximum_mgy, 10000);
    const QImage high_image = ProjectionBarChartImage(high, kSize);
    for (size_t level = 0; level < 3; ++level) {
        ASSERT_TRUE(std::isfinite(high_layout.threshold_y[level])) << level;
        // Light bars under the line leave it visible; dashes leave gaps, so a share of the row.
        EXPECT_GT(RowPixelsNear(high_image, high_layout.plot, high_layout.threshold_y[level],
                                ContourColour(level)),
                  50)
            << level;
    }
}

TEST(ProjectionBarChart, NoProjectionsOddDosesAndSizesDrawWithoutFault) {
    const QRectF area(QPointF(0, 0), QSizeF(kSize));
    const ProjectionBarChart empty;
    const BarChartLayout empty_layout = LayOutBarChart(empty, area, 13);
    EXPECT_TRUE(empty_layout.bars.empty());
    EXPECT_DOUBLE_EQ(empty_layout.scale_maximum_mgy, 1);
    const QImage empty_image = ProjectionBarChartImage(empty, kSize);
    EXPECT_EQ(empty_image.size(), kSize);
    // No threshold lies within a 1 mGy scale.
    EXPECT_TRUE(std::isnan(empty_layout.threshold_y[0]));
    EXPECT_EQ(CountNear(empty_image, ContourColour(0)), 0);

    // NaN, infinite and negative doses stand as no dose; a label without a dose too.
    ProjectionBarChart odd;
    odd.labels = {"A", "B", "C", "D"};
    odd.doses_mgy = {std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity(), -5};
    const BarChartLayout odd_layout = LayOutBarChart(odd, area, 13);
    ASSERT_EQ(odd_layout.bars.size(), 4u);
    for (const QRectF& bar : odd_layout.bars) {
        EXPECT_DOUBLE_EQ(bar.height(), 0);
    }
    EXPECT_FALSE(ProjectionBarChartImage(odd, kSize).isNull());

    // Sizes beyond the limits are drawn at the nearer one.
    EXPECT_EQ(ProjectionBarChartImage(ThreeProjections(), QSize(0, -5)).size(), QSize(1, 1));
    EXPECT_EQ(ProjectionBarChartImage(ThreeProjections(), QSize(9000, 300)).size(),
              QSize(4000, 300));
}

TEST(ProjectionBarChart, ManyLongLabelsRunSlantedInsideTheArea) {
    ProjectionBarChart chart;
    for (int i = 0; i < 24; ++i) {
        chart.labels.push_back("LAO " + std::to_string(i) + " CRA " + std::to_string(40 - i));
        chart.doses_mgy.push_back(100.0 * (i + 1));
    }
    chart.emphasised = 23;
    const QRectF area(10, 20, 600, 300);
    const BarChartLayout layout = LayOutBarChart(chart, area, 13);
    EXPECT_TRUE(layout.labels_slanted);
    EXPECT_GT(layout.plot.height(), area.height() / 3);
    for (const QRectF& bar : layout.bars) {
        EXPECT_TRUE(layout.plot.adjusted(-1e-9, -1e-9, 1e-9, 1e-9).contains(bar));
    }
    // Bars do not touch: each keeps to its own slot.
    for (size_t i = 1; i < layout.bars.size(); ++i) {
        EXPECT_LT(layout.bars[i - 1].right(), layout.bars[i].left());
    }
}

}  // namespace
}  // namespace korvex

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
