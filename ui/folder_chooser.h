#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;

namespace korvex {

// The folder of a file dialog: shown as a path, changed with the system's folder picker.
// It replaces the drive and folder lists of the original dialogs (Linux has no drives).
class FolderChooser : public QWidget {
    Q_OBJECT

  public:
    explicit FolderChooser(QWidget* parent = nullptr);

    QString Folder() const { return folder_; }
    void SetFolder(const QString& folder);

  signals:
    void folderChanged(const QString& folder);

  private:
    QString folder_;
    QLineEdit* path_ = nullptr;
    QPushButton* browse_ = nullptr;
};

}  // namespace korvex
