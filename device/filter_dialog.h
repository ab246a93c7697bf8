#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace korvex {

class FileList;
class FilterEntry;
class MessageService;

// Form5, "  任意フィルター設定": a filter of a material other than aluminium or copper, from
// the material files ("*.ele") of the working folder. Opened from the device dialog,
// modeless, hidden by set, release and Cancel. The rules are FilterEntry's.
class FilterDialog : public QWidget {
    Q_OBJECT

  public:
    FilterDialog(FilterEntry& entry, MessageService& messages, const QString& working_folder,
                 QWidget* parent = nullptr);

    // The device dialog's Command9: empties the description and the thickness, shows the
    // dialog and reads the list of material files again.
    void Open();

  signals:
    void filterSet();
    void filterReleased();

  private:
    // A click on a material file; Command1, Command2, Command3.
    void ShowDescription();
    void SetFilter();
    void ReleaseFilter();
    void Cancel();

    void BuildWindow(const QString& working_folder);

    FilterEntry& entry_;
    MessageService& messages_;
    FileList* materials_ = nullptr;          // File1
    QLabel* description_ = nullptr;          // Label5
    QLineEdit* thickness_ = nullptr;         // Text2, mm
    QPushButton* set_button_ = nullptr;      // Command1
    QPushButton* release_button_ = nullptr;  // Command2
    QPushButton* cancel_button_ = nullptr;   // Command3
};

}  // namespace korvex
