#include "ui/file_list.h"

#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>

namespace korvex {

FileList::FileList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!refreshing_ && row >= 0) {
            emit nameSelected(item(row)->text());
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
    setCurrentItem(found.front());
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
    const int before = currentRow();
    QListWidget::mousePressEvent(event);
    const QListWidgetItem* pressed = itemAt(event->position().toPoint());
    if (pressed && currentRow() == before && row(pressed) == before) {
        emit nameSelected(pressed->text());
    }
}

}  // namespace korvex
