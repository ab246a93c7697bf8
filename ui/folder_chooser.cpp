#include "ui/folder_chooser.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace korvex {

FolderChooser::FolderChooser(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    path_ = new QLineEdit;
    path_->setObjectName("Dir1");
    path_->setReadOnly(true);
    browse_ = new QPushButton(tr("フォルダー..."));
    browse_->setObjectName("Browse");
    layout->addWidget(path_, 1);
    layout->addWidget(browse_);
    connect(browse_, &QPushButton::clicked, this, [this] {
        const QString chosen =
            QFileDialog::getExistingDirectory(this, tr("フォルダーの選択"), folder_);
        if (!chosen.isEmpty()) {
            SetFolder(chosen);
        }
    });
}

void FolderChooser::SetFolder(const QString& folder) {
    folder_ = folder;
    path_->setText(folder);
    path_->setToolTip(folder);
    emit folderChanged(folder);
}

}  // namespace korvex
