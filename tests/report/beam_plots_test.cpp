// The spectrum and depth-dose plots drawn into images and read back where the layout puts
// the curves and markers; curves are made by hand.
#include "report/beam_plots.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <limits>

namespace korvex {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// An 80 kV spectrum shaped like a filtered one: rising from 15 keV to a peak at 40 keV,
// falling to 0 at 80 keV, with one line at 59.5 keV; behind the couch the soft part less.
SpectrumCurve Spectrum() {
    SpectrumCurve curve;
    curve.beam = {80, {3.01, 44.72}};
    curve.couch_depth_cm = 1;
    for (double e = 1; e <= 80; e += 0.5) {
        const double shape = e < 15 ? 0 : e < 40 ? (e - 15) / 25 : (80 - e) / 40;
        const double photons = 0.04 * shape + (e == 59.5 ? 0.02 : 0);
        curve.energy_kev.push_back(e);
        curve.photons_per_kev.push_back(photons);
        curve.behind_couch_per_kev.push_back(photons * std::exp(-20 / e));
    }
    return curve;
}

DepthDoseCurve DepthDose(double skin_cm) {
    DepthDoseCurve curve;
    curve.beam = {80, {3.01, 44.72}};
    curve.skin_depth_cm = skin_cm;
    curve.depth_cm.push_back(0);
    curve.relative_dose.push_back(1);
    for (int z = 1; z <= 40; ++z) {
        curve.depth_cm.push_back(0.5 * z - 0.25);
        curve.relative_dose.push_back(0.95 * std::exp(-0.25 * (0.5 * z - 0.25)));
    }
    return curve;
}

int Grey(const QImage& image, QPointF at) {
    return qGray(
        image.pixel(static_cast<int>(std::lround(at.x())), static_cast<int>(std::lround(at.y()))));
}

// The darkest pixel within `radius` of a point: a line drawn through it is found there
// whatever the antialiasing did to the pixel itself.
int DarkestNear(const QImage& image, QPointF at, int radius = 2) {
    int darkest = 255;
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            darkest = std::min(darkest, Grey(image, at + QPointF(dx, dy)));
        }
    }
    return darkest;
}

TEST(BeamPlots, SpectrumCurvesMarkerAndAxesAreWhereTheLayoutPutsThem) {
    const SpectrumCurve curve = Spectrum();
    const QSize size(640, 420);
    const QImage image = DrawSpectrumPlot(curve, true, size);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), size);

    const LinePlot plot = SpectrumPlot(curve, true);
    const LinePlotLayout layout = LayOutLinePlot(plot, QRectF(0, 0, 640, 420));
    // The energy axis ends at the voltage's tick, the fluence axis at the first tick above
    // the line (0.0405 per keV): 0.05.
    EXPECT_EQ(layout.x_maximum, 80);
    EXPECT_NEAR(layout.y_maximum, 0.05, 1e-12);
    // The black curve at its bremsstrahlung peak and at the line, the grey one in between.
    EXPECT_LT(DarkestNear(image, layout.Place(40, 0.04)), 60);
    EXPECT_LT(DarkestNear(image, layout.Place(59.5, 0.04 * 20.5 / 40 + 0.02)), 60);
    const int grey = DarkestNear(image, layout.Place(30, 0.04 * 15 / 25 * std::exp(-20.0 / 30)));
    EXPECT_GT(grey, 80);
    EXPECT_LT(grey, 200);

    // The mean-energy marker is dashed: along its height both ink and gaps.
    int inked = 0, blank = 0;
    for (double y = 0.1; y < 0.9; y += 0.01) {
        const int value = Grey(image, layout.Place(44.72, y * layout.y_maximum));
        value<128 ? ++inked : value> 230 ? ++blank : 0;
    }
    EXPECT_GT(inked, 10);
    EXPECT_GT(blank, 10);
}

TEST(BeamPlots, DepthDoseCurveAndTheSkinMarker) {
    const DepthDoseCurve curve = DepthDose(1.5);
    const QImage image = DrawDepthDosePlot(curve, false, QSize(500, 380));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(500, 380));
    const LinePlot plot = DepthDosePlot(curve, false);
    ASSERT_EQ(plot.markers.size(), 1u);
    EXPECT_EQ(plot.markers[0].x, 1.5);
    EXPECT_EQ(plot.markers[0].label, "skin 1.5 cm");
    EXPECT_EQ(plot.x_title, "Depth (cm)");
    const LinePlotLayout layout = LayOutLinePlot(plot, QRectF(0, 0, 500, 380));
    EXPECT_EQ(layout.x_maximum, 20);
    EXPECT_EQ(layout.y_maximum, 1);
    const double at_5cm = 0.95 * std::exp(-0.25 * 4.75);
    EXPECT_LT(DarkestNear(image, layout.Place(4.75, at_5cm)), 60);
    // Nothing is drawn where the curve is not: halfway between it and the axis.
    EXPECT_GT(DarkestNear(image, layout.Place(10, 0.5 * 0.95 * std::exp(-0.25 * 10))), 230);
    // The marker below the curve at the skin's depth.
    EXPECT_LT(DarkestNear(image, layout.Place(1.5, 0.1), 3), 128);
}

TEST(BeamPlots, EmptyCurvesDrawTheAxesAndSayWhy) {
    for (const QImage& image : {DrawSpectrumPlot({}, true, QSize(400, 300)),
                                DrawDepthDosePlot({}, false, QSize(400, 300))}) {
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(400, 300));
    }
    EXPECT_TRUE(SpectrumPlot({}, true).lines.empty());
    EXPECT_EQ(SpectrumPlot({}, true).empty_text, "計算結果がありません");
    EXPECT_EQ(SpectrumPlot({}, true).caption, "");
    DepthDoseCurve table_top;
    table_top.table_top = true;
    table_top.beam = {80, {3.01, 44.72}};
    const LinePlot plot = DepthDosePlot(table_top, true);
    EXPECT_TRUE(plot.lines.empty());
    EXPECT_TRUE(plot.markers.empty());
    EXPECT_NE(plot.empty_text.find("天板＋マット"), std::string::npos);
    EXPECT_NE(plot.caption, "");
}

TEST(BeamPlots, CaptionNamesVoltageHalfValueLayerAndMeanEnergyOrNothing) {
    EXPECT_EQ(BeamCaption({80, {3.014, 44.72}}, true),
              "80 kV　第１半価層 3.01 mmAl　平均エネルギー 44.7 keV");
    EXPECT_EQ(BeamCaption({72.5, {2.5, 40.0}}, false),
              "72.5 kV, HVL 2.50 mm Al, mean energy 40.0 keV");
    EXPECT_EQ(BeamCaption({}, true), "");
    EXPECT_EQ(BeamCaption({80, {kNaN, 44.7}}, true), "");
    EXPECT_EQ(SpectrumPlot(Spectrum(), false).x_title, "Energy (keV)");
    EXPECT_EQ(SpectrumPlot(Spectrum(), true).y_title, "相対フルエンス (1/keV)");
}

TEST(BeamPlots, UndrawableValuesAndSizesAreKeptOut) {
    SpectrumCurve curve = Spectrum();
    curve.photons_per_kev[100] = kNaN;
    curve.photons_per_kev[101] = std::numeric_limits<double>::infinity();
    curve.beam.quality.mean_energy_kev = kNaN;
    const LinePlot plot = SpectrumPlot(curve, true);
    EXPECT_TRUE(plot.markers.empty());
    const LinePlotLayout layout = LayOutLinePlot(plot, QRectF(0, 0, 600, 400));
    EXPECT_TRUE(std::isfinite(layout.y_maximum));
    EXPECT_NEAR(layout.y_maximum, 0.05, 1e-12);
    EXPECT_FALSE(DrawSpectrumPlot(curve, true, QSize(600, 400)).isNull());
    EXPECT_EQ(DrawDepthDosePlot(DepthDose(0), true, QSize(100000, 0)).size(), QSize(4000, 1));
}

}  // namespace
}  // namespace korvex

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
