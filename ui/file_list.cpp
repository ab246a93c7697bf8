#include "ui/file_list.h"

#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>

namespace korvex {

FileList::FileList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    // The selection, not the current row: a view may make an item current without
    // selecting it (when it gets the focus), and that is no choice of the user's.
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        const QString name = SelectedName();
        if (!refreshing_ && !name.isEmpty()) {
            emit nameSelected(name);
        }
    });
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { Refresh(); });
}

void FileList::SetPatterns(const QString& semicolon_separated) {
    patterns_ = semicolon_separated.split(';', Qt::SkipEmptyParts);
    Refresh();
}

void FileList::SetFolder(const QString& folder) {
    if (!folder_.isEmpty()) {
        watcher_.removePath(folder_);
    }
    folder_ = folder;
    if (!folder_.isEmpty()) {
        watcher_.addPath(folder_);
    }
    Refresh();
}

void FileList::Refresh() {
    const QString selected = SelectedName();
    QStringList names;
    if (!folder_.isEmpty()) {
        QDir dir(folder_);
        names = dir.entryList(patterns_, QDir::Files | QDir::Readable, QDir::Name);
    }
    // Refreshing must not look like the user choosing a file.
    refreshing_ = true;
    clear();
    addItems(names);
    if (const int row = static_cast<int>(names.indexOf(selected)); row >= 0) {
        setCurrentRow(row);
    }
    refreshing_ = false;
}

QString FileList::SelectedName() const {
    const QListWidgetItem* current = currentItem();
    return current && current->isSelected() ? current->text() : QString();
}

bool FileList::SelectName(const QString& name) {
    const auto found = findItems(name, Qt::MatchExactly);
    if (found.isEmpty()) {
        return false;
    }
    setCurrentItem(found.front(), QItemSelectionModel::ClearAndSelect);
    return true;
}

QStringList FileList::Names() const {
    QStringList names;
    for (int row = 0; row < count(); ++row) {
        names.append(item(row)->text());
    }
    return names;
}

void FileList::keyPressEvent(QKeyEvent* event) {
    selecting_by_keyboard_ = true;
    QListWidget::keyPressEvent(event);
    selecting_by_keyboard_ = false;
}

void FileList::mousePressEvent(QMouseEvent* event) {
    const QListWidgetItem* pressed = itemAt(event->position().toPoint());
    const bool was_selected = pressed && pressed->isSelected();
    QListWidget::mousePressEvent(event);
    // A click on the name already chosen chooses it again.
    if (was_selected && pressed->isSelected()) {
        emit nameSelected(pressed->text());
    }
}

}  // namespace korvex
