#pragma once

#include <QWidget>
#include <array>
#include <memory>

#include "device/device_entry.h"
#include "device/filter_entry.h"

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace korvex {

struct EngineState;
class FilterDialog;
class MessageService;

// Form8, "  装置データ作成": the base data of one X-ray room or device from its geometry, its
// filtration and one set of dosimeter measurements. OK calibrates, Save writes the device
// file. Modeless; created once and hidden, not destroyed, by Save and Cancel. The rules are
// DeviceEntry's; the window shows its texts and hands it what the user typed.
class DeviceDialog : public QWidget {
    Q_OBJECT

  public:
    DeviceDialog(EngineState& state, MessageService& messages, QWidget* parent = nullptr);
    ~DeviceDialog() override;

    // The main window's Command7: resets every box and display and shows the dialog.
    void NewDevice();
    // The filter dialog, once Command9 has made it (a window of its own).
    FilterDialog* FilterDialogWindow() const { return filter_dialog_.get(); }

  signals:
    // Save wrote "<name>.kvx2": the main window refreshes its list.
    void deviceSaved(const QString& file_name);
    // The filter dialog released the arbitrary filter: the main window empties its two
    // filter labels.
    void filterReleased();

  private:
    // Command1, Command3, Command2, Command9.
    void Ok();
    void Save();
    void Cancel();
    void OpenFilterDialog();

    void BuildWindow();
    QWidget* BuildDeviceBox();
    void AddCouchRows(QGridLayout* grid, int& row);
    QWidget* BuildMeasurementBox();
    void ConnectEvents();
    QLineEdit* Box(DeviceField field) const { return boxes_[static_cast<size_t>(field)]; }
    void ShowEntry();
    void ShowFilter();
    void ShowCouch();
    void ShowResults();
    void TakeTexts();

    EngineState& state_;
    MessageService& messages_;
    DeviceEntry entry_;
    FilterEntry filter_entry_;
    std::unique_ptr<FilterDialog> filter_dialog_;  // Form5, made on first use

    std::array<QLineEdit*, kDeviceFieldCount> boxes_{};  // Text13 ... Text16
    QPushButton* filter_button_ = nullptr;               // Command9
    QLabel* filter_material_ = nullptr;                  // Label29
    QLabel* filter_thickness_ = nullptr;                 // Label26
    QComboBox* couch_model_ = nullptr;                   // CouchModelCombo
    QLineEdit* mattress_ = nullptr;                      // MattressEdit, cm
    QLabel* couch_note_ = nullptr;                       // CouchModelNote: how T is measured
    QLabel* couch_transmission_ = nullptr;               // Label21
    QLabel* couch_thickness_ = nullptr;                  // Label38
    QLabel* correction_factor_ = nullptr;                // Label27
    QPushButton* ok_button_ = nullptr;                   // Command1
    QPushButton* save_button_ = nullptr;                 // Command3
    QPushButton* cancel_button_ = nullptr;               // Command2
};

}  // namespace korvex
