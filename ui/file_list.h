#pragma once

#include <QFileSystemWatcher>
#include <QListWidget>
#include <QStringList>

namespace korvex {

// Bare names of the files of one folder that match patterns such as "*.kvx;*.kvx2",
// sorted by name. Selecting a name by mouse or arrow keys raises nameSelected, also when
// the current name is clicked again. The list follows the folder: files that appear or
// vanish show up or disappear without the user doing anything.
class FileList : public QListWidget {
    Q_OBJECT

  public:
    explicit FileList(QWidget* parent = nullptr);

    void SetPatterns(const QString& semicolon_separated);
    void SetFolder(const QString& folder);
    QString Folder() const { return folder_; }

    // Reads the folder again; keeps the selected name while it still exists.
    void Refresh();

    // The selected bare file name, or an empty text.
    QString SelectedName() const;
    bool SelectName(const QString& name);
    QStringList Names() const;

    // True while nameSelected is raised for a selection made with the keyboard: the
    // window then leaves the focus in the list so that the user can go on with the keys.
    bool SelectingByKeyboard() const { return selecting_by_keyboard_; }

  signals:
    void nameSelected(const QString& name);

  private:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    QString folder_;
    QStringList patterns_;
    QFileSystemWatcher watcher_;
    bool refreshing_ = false;
    bool selecting_by_keyboard_ = false;
};

}  // namespace korvex
