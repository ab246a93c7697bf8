#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "device/device_dialog.h"
#include "engine/engine_state.h"
#include "engine/reference_tables.h"
#include "mainwindow/main_window.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/gui_support/fake_message_service.h"
#include "tests/gui_support/gui_test_support.h"

namespace korvex::testing {

// The main window on a synthetic working folder with the material file "lead.ele", and the
// device dialog opened by its create-new button.
class DeviceDialogTest : public ::testing::Test {
  protected:
    DeviceDialogTest() {
        fixtures::WriteSyntheticWorkdir(folder_.path());
        lead_description_ = fixtures::WriteSyntheticMaterial(folder_.path() / "lead.ele");
        state_ = std::make_unique<EngineState>(LoadReferenceTables(folder_.path()), folder_.path());
        window_ = std::make_unique<MainWindow>(*state_, messages_);
        window_->show();
        ProcessEvents();
    }

    // Command7 "新規作成" of the main window.
    QWidget* OpenDialog() {
        auto* create = Find<QPushButton>(window_.get(), "Command7");
        EXPECT_TRUE(create->isEnabled());
        create->click();
        ProcessEvents();
        QWidget* dialog = Dialog();
        dialog->activateWindow();
        ProcessEvents();
        return dialog;
    }
    // A window of its own, not a child of the main window.
    DeviceDialog* Dialog() {
        DeviceDialog* dialog = window_->DeviceDialogWindow();
        if (!dialog) {
            throw std::runtime_error("the device dialog has not been made");
        }
        EXPECT_EQ(dialog->objectName(), "Form8");
        return dialog;
    }

    template <typename T = QWidget>
    T* Get(const char* name) {
        return Find<T>(Dialog(), name);
    }
    QString Text(const char* label) { return Get<QLabel>(label)->text(); }
    QLineEdit* Box(const char* name) { return Get<QLineEdit>(name); }

    // Replaces a box's text by typing, as a user would (the dialog sees the edit).
    void Type(const char* box, const QString& text) {
        QLineEdit* edit = Box(box);
        edit->setFocus();
        edit->selectAll();
        if (text.isEmpty()) {
            QTest::keyClick(edit, Qt::Key_Delete);
        } else {
            QTest::keyClicks(edit, text);
        }
        ProcessEvents();
    }

    // The calibration example: 2.000 / 1.700 mGy measured, 1.000 mGy displayed, FID 100 cm.
    void FillExample(const QString& name = "Room1") {
        Type("Text13", name);
        Type("Text8", "120");
        Type("Text5", "100");
        Type("Text3", "1.0");
        Type("Text4", "0.1");
        Type("Text23", "80");
        Type("Text14", "2.000");
        Type("Text15", "1.700");
        Type("Text16", "1.000");
    }

    void ClickOk() {
        Get<QPushButton>("Command1")->click();
        ProcessEvents();
    }
    void ClickSave() {
        Get<QPushButton>("Command3")->click();
        ProcessEvents();
    }

    // The names in the working folder.
    std::set<std::string> FolderNames() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    // OK refuses with `message`, shown once as an exclamation, leaves the results empty
    // and Save closed; a click on Save then writes nothing into the working folder.
    void ExpectOkRefusedAndNothingSaved(const std::string& message) {
        const std::set<std::string> before = FolderNames();
        ClickOk();
        ASSERT_EQ(messages_.Texts().size(), 1u);
        EXPECT_EQ(messages_.Texts()[0].toStdString(), message);
        EXPECT_EQ(messages_.Events().back().icon, MessageIcon::Exclamation);
        EXPECT_EQ(Text("Label21"), "");
        EXPECT_EQ(Text("Label27"), "");
        EXPECT_FALSE(Get("Command3")->isEnabled());
        ClickSave();
        EXPECT_EQ(messages_.Texts().size(), 1u);
        EXPECT_EQ(FolderNames(), before);
        EXPECT_TRUE(Dialog()->isVisible());
    }

    std::vector<std::string> Lines(const std::string& name) const {
        std::ifstream in(folder_.path() / name, std::ios::binary);
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            lines.push_back(line);
        }
        return lines;
    }

    fixtures::TempFolder folder_;
    std::string lead_description_;
    FakeMessageService messages_;
    std::unique_ptr<EngineState> state_;
    std::unique_ptr<MainWindow> window_;
};

}  // namespace korvex::testing
