// The main window's spectrum and depth-dose window: the button opens only for a
// calculation on show, and an open window follows each calculation.
#include "mainwindow/beam_plot_window.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>

#include "engine/text_file.h"
#include "engine/text_rules.h"
#include "mainwindow/main_window.h"
#include "report/qt_text.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"
#include "tests/gui_support/fake_message_service.h"
#include "tests/gui_support/gui_test_support.h"
#include "ui/file_list.h"

namespace korvex {
namespace {

using testing::Find;
using testing::ProcessEvents;

class BeamPlotWindowTest : public ::testing::Test {
  protected:
    BeamPlotWindowTest() {
        fixtures::WriteSyntheticWorkdir(folder_.path());
        WriteTextLines(folder_.path() / "room1.kvx2", fixtures::TypicalDeviceLines("100.0"),
                       "room1.kvx2");
        state_ = std::make_unique<EngineState>(LoadReferenceTables(folder_.path()), folder_.path());
        window_ = std::make_unique<MainWindow>(*state_, messages_);
        window_->show();
        ProcessEvents();
    }

    template <typename T = QWidget>
    T* Get(const char* name) {
        return Find<T>(window_.get(), name);
    }

    void Enter(const char* field, const QString& text) {
        auto* edit = Get<QLineEdit>(field);
        edit->setFocus();
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
        ProcessEvents();
    }

    void Calculate(const QString& kv) {
        auto* devices = Get<FileList>("File1");
        devices->Refresh();
        ASSERT_TRUE(devices->SelectName("room1.kvx2"));
        ProcessEvents();
        Enter("Text5", kv);
        Enter("Text14", "10");
        Enter("Text15", "1");
        Get<QRadioButton>("Option2")->click();
        Enter("Text9", "85");
        Get<QPushButton>("Command2")->click();
        ProcessEvents();
    }

    QImage Plot(const char* name) {
        return Find<QLabel>(window_->BeamPlots(), name)->pixmap().toImage();
    }
    QString QualityLine() { return Find<QLabel>(window_->BeamPlots(), "BeamQualityLine")->text(); }

    fixtures::TempFolder folder_;
    testing::FakeMessageService messages_;
    std::unique_ptr<EngineState> state_;
    std::unique_ptr<MainWindow> window_;
};

TEST_F(BeamPlotWindowTest, TheButtonOpensTheCurvesOfTheCalculationOnShow) {
    auto* button = Get<QPushButton>("CommandBeamPlots");
    EXPECT_EQ(button->text(), "線質・深部線量");
    EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(window_->BeamPlots(), nullptr);

    Calculate("80");
    ASSERT_TRUE(messages_.Texts().empty());
    ASSERT_TRUE(button->isEnabled());
    button->click();
    ProcessEvents();
    BeamPlotWindow* plots = window_->BeamPlots();
    ASSERT_NE(plots, nullptr);
    EXPECT_TRUE(plots->isVisible());
    EXPECT_EQ(plots->objectName(), "BeamPlotWindow");
    EXPECT_EQ(plots->windowTitle(), "線質と深部線量");
    for (const char* name : {"SpectrumPlot", "DepthDosePlot"}) {
        const QImage image = Plot(name);
        ASSERT_FALSE(image.isNull()) << name;
        EXPECT_GE(image.width(), 400) << name;
    }
    // The line names the beam the main window's Label77 describes.
    const QString line = QualityLine();
    EXPECT_TRUE(line.startsWith("管電圧 80 kV")) << line.toStdString();
    EXPECT_TRUE(line.contains(ToQString(FormatNumber(state_->calc.HalfValueLayer, "#0.00"))));
    EXPECT_TRUE(line.contains(ToQString(FormatNumber(state_->calc.MeanEnergy, "##0.0"))));
    EXPECT_TRUE(Get<QLabel>("Label77")->text().contains(
        ToQString(FormatNumber(state_->calc.HalfValueLayer, "#0.00"))));
}

TEST_F(BeamPlotWindowTest, AnOpenWindowFollowsEachCalculationAndAFailureEmptiesIt) {
    Calculate("80");
    Get<QPushButton>("CommandBeamPlots")->click();
    ProcessEvents();
    const QImage spectrum_80 = Plot("SpectrumPlot");
    const QImage depth_80 = Plot("DepthDosePlot");

    Calculate("100");
    EXPECT_TRUE(Get("CommandBeamPlots")->isEnabled());
    EXPECT_TRUE(QualityLine().startsWith("管電圧 100 kV")) << QualityLine().toStdString();
    EXPECT_NE(Plot("SpectrumPlot"), spectrum_80);
    EXPECT_NE(Plot("DepthDosePlot"), depth_80);

    // Beyond the grid the calculation fails: no curve of an earlier beam stays on show.
    Calculate("150");
    ASSERT_FALSE(messages_.Texts().empty());
    EXPECT_FALSE(Get("CommandBeamPlots")->isEnabled());
    EXPECT_EQ(QualityLine(), "計算結果がありません");
    EXPECT_FALSE(Plot("SpectrumPlot").isNull());

    // A new success fills it again; clearing the results empties it.
    Calculate("80");
    EXPECT_EQ(Plot("SpectrumPlot"), spectrum_80);
    Get<QPushButton>("Command6")->click();
    ProcessEvents();
    EXPECT_FALSE(Get("CommandBeamPlots")->isEnabled());
    EXPECT_EQ(QualityLine(), "計算結果がありません");
}

}  // namespace
}  // namespace korvex
