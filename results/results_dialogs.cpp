#include "results/results_dialogs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/errors.h"
#include "report/qt_text.h"
#include "results/results_csv.h"
#include "ui/field_events.h"
#include "ui/file_list.h"
#include "ui/folder_chooser.h"
#include "ui/interface_language.h"
#include "ui/message_service.h"

namespace korvex {
namespace {

QLabel* NamedLabel(const char* name, const QString& text) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    return label;
}

QPushButton* NamedButton(const char* name, const QString& text) {
    auto* button = new QPushButton(text);
    button->setObjectName(name);
    return button;
}

std::filesystem::path ToPath(const QString& text) {
    return std::filesystem::path(ToUtf8(text));
}

}  // namespace

ResultsSaveDialog::ResultsSaveDialog(const ResultsTable& table, MessageService& messages,
                                     const QString& start_folder, QWidget* parent)
    : QWidget(parent, Qt::Dialog), table_(table), messages_(messages) {
    setObjectName("Form2");
    setWindowTitle("  Data Save");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(NamedLabel("Label5", tr("エクセル csv フォーマットで")));
    layout->addWidget(NamedLabel("Label3", tr("計算結果表を保存します")));
    folder_ = new FolderChooser;
    layout->addWidget(folder_);
    layout->addWidget(NamedLabel("Label4", tr("既存ファイル名")));
    files_ = new FileList;
    files_->setObjectName("File2");
    files_->SetPatterns("*.csv");
    layout->addWidget(files_, 1);
    layout->addWidget(NamedLabel("Label2", tr("コメントを入力して下さい")));
    comment_ = new QLineEdit;
    comment_->setObjectName("Text2");
    layout->addWidget(comment_);
    layout->addWidget(NamedLabel("Label1", tr("ファイル名を拡張子なしで入力して下さい")));
    file_name_ = new QLineEdit;
    file_name_->setObjectName("Text1");
    layout->addWidget(file_name_);
    auto* buttons = new QHBoxLayout;
    ok_ = NamedButton("Command1", "OK");
    auto* cancel = NamedButton("Command2", "Cancel");
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    resize(420, 460);

    connect(folder_, &FolderChooser::folderChanged, files_, &FileList::SetFolder);
    connect(files_, &FileList::nameSelected, this,
            [this](const QString& name) { file_name_->setText(name.left(name.size() - 4)); });
    FieldEvents::Watch(comment_, [this] {
        if (!comment_->text().isEmpty()) {
            file_name_->setFocus();
        }
    });
    FieldEvents::Watch(file_name_, [this] {
        if (!file_name_->text().isEmpty()) {
            ok_->setFocus();
        }
    });
    connect(ok_, &QPushButton::clicked, this, [this] { Save(); });
    connect(cancel, &QPushButton::clicked, this, &QWidget::hide);
    folder_->SetFolder(start_folder);
}

void ResultsSaveDialog::Open() {
    files_->SetFolder(folder_->Folder());
    file_name_->clear();
    comment_->clear();
    show();
    raise();
    activateWindow();
    comment_->setFocus();
}

void ResultsSaveDialog::Save() {
    if (comment_->text().isEmpty() || file_name_->text().isEmpty()) {
        messages_.Beep();
        messages_.Tell(CoreText(kSaveFieldsMissingText), MessageIcon::Exclamation);
        return;
    }
    try {
        SaveResultsCsv(ToPath(folder_->Folder()), ToUtf8(file_name_->text()),
                       ToUtf8(comment_->text()), table_);
    } catch (const FileError& error) {
        // The table is untouched and the dialog stays open for another name or folder.
        messages_.Beep();
        messages_.Tell(ToQString(error.what()), MessageIcon::Exclamation);
        return;
    }
    files_->Refresh();
    messages_.Beep();
    messages_.Tell(CoreText(kSaveDoneText));
    hide();
}

ResultsReadDialog::ResultsReadDialog(ResultsTable& table, MessageService& messages,
                                     const QString& start_folder, QWidget* parent)
    : QWidget(parent, Qt::Dialog), table_(table), messages_(messages) {
    setObjectName("Form3");
    setWindowTitle("  Data Read");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(NamedLabel("Label3", tr("計算結果表を読み込みます")));
    layout->addWidget(NamedLabel("Label1", tr("ファイルを選択して下さい")));
    folder_ = new FolderChooser;
    layout->addWidget(folder_);
    files_ = new FileList;
    files_->setObjectName("File1");
    files_->SetPatterns("*.csv");
    layout->addWidget(files_, 1);
    layout->addWidget(NamedLabel("Label2", tr("このファイルのコメント")));
    comment_ = new QLineEdit;
    comment_->setObjectName("Text2");
    comment_->setReadOnly(true);
    layout->addWidget(comment_);
    auto* buttons = new QHBoxLayout;
    auto* ok = NamedButton("Command1", "OK");
    auto* cancel = NamedButton("Command2", "Cancel");
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    resize(420, 420);

    connect(folder_, &FolderChooser::folderChanged, files_, &FileList::SetFolder);
    connect(files_, &FileList::nameSelected, this, [this] { ShowComment(); });
    connect(ok, &QPushButton::clicked, this, [this] { Read(); });
    connect(cancel, &QPushButton::clicked, this, &QWidget::hide);
    folder_->SetFolder(start_folder);
}

void ResultsReadDialog::Open() {
    files_->SetFolder(folder_->Folder());
    comment_->clear();
    show();
    raise();
    activateWindow();
    files_->setFocus();
}

void ResultsReadDialog::ShowComment() {
    const QString name = files_->SelectedName();
    if (name.isEmpty()) {
        return;
    }
    try {
        comment_->setText(
            ToQString(ReadResultsCsvComment(ToPath(folder_->Folder()) / ToUtf8(name))));
    } catch (const FileError&) {
        // A file that vanished or cannot be opened has no comment to show.
        comment_->clear();
    }
    comment_->setCursorPosition(0);
}

void ResultsReadDialog::Read() {
    const QString name = files_->SelectedName();
    if (name.isEmpty()) {
        messages_.Beep();
        messages_.Tell(CoreText(kSelectFileText), MessageIcon::Exclamation);
        return;
    }
    if (ReadResultsInto(table_, messages_, ToPath(folder_->Folder()) / ToUtf8(name))) {
        hide();
        emit tableRead();
    }
}

bool ReadResultsInto(ResultsTable& table, MessageService& messages,
                     const std::filesystem::path& path) {
    ResultsCsvContent content;
    try {
        content = ReadResultsCsv(path);
    } catch (const FileError&) {
        // Nothing is replaced: the table and the window stay as they were.
        messages.Beep();
        messages.Tell(CoreText(kReadFailureText), MessageIcon::Exclamation);
        return false;
    }
    table = content.table;
    return true;
}

}  // namespace korvex
