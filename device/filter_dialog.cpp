#include "device/filter_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "device/filter_entry.h"
#include "report/qt_text.h"
#include "ui/field_events.h"
#include "ui/file_list.h"
#include "ui/message_service.h"

namespace korvex {
namespace {

const char* const kCaption = QT_TRANSLATE_NOOP("korvex::FilterDialog", "  任意フィルター設定");
// The read-me file is named here and never opened.
const char* const kReadMeText = QT_TRANSLATE_NOOP("korvex::FilterDialog",
                                                  "左のリストに含まれていない物質を\n"
                                                  "付加フィルターに使用する方法は\n"
                                                  "”はじめにお読み下さい.txt” \n"
                                                  "に記載してあります。");

const char* const kStyleSheet = R"(
QWidget#Form5 { background: #eef2f7; }
QLabel[role="caption"] { color: #27364d; }
QLabel[role="heading"] { color: #1f4e8c; font-weight: bold; }
QLabel[role="note"] { color: #55627a; }
QLabel#Label5 { background: #f5f8fc; border: 1px solid #c3cddd; border-radius: 3px;
                padding: 2px 6px; color: #10243f; }
QPushButton { padding: 5px 14px; }
)";

QLabel* Caption(const QString& text, const char* role = "caption") {
    auto* label = new QLabel(text);
    label->setProperty("role", role);
    return label;
}

}  // namespace

FilterDialog::FilterDialog(FilterEntry& entry, MessageService& messages,
                           const QString& working_folder, QWidget* parent)
    : QWidget(parent, Qt::Window), entry_(entry), messages_(messages) {
    setObjectName("Form5");
    BuildWindow(working_folder);

    connect(materials_, &FileList::nameSelected, this, [this] { ShowDescription(); });
    FieldEvents::Watch(thickness_, [this] {
        if (!thickness_->text().isEmpty()) {
            set_button_->setFocus();
        }
    });
    connect(set_button_, &QPushButton::clicked, this, [this] { SetFilter(); });
    connect(release_button_, &QPushButton::clicked, this, [this] { ReleaseFilter(); });
    connect(cancel_button_, &QPushButton::clicked, this, [this] { Cancel(); });
}

void FilterDialog::BuildWindow(const QString& working_folder) {
    setWindowTitle(tr(kCaption));
    setStyleSheet(kStyleSheet);
    auto* root = new QHBoxLayout(this);

    auto* list_column = new QVBoxLayout;
    list_column->addWidget(Caption(tr("フィルター材質の選択"), "heading"));
    materials_ = new FileList;
    materials_->setObjectName("File1");
    materials_->setMinimumSize(160, 180);
    materials_->SetPatterns(kMaterialFilePattern);
    materials_->SetFolder(working_folder);
    list_column->addWidget(materials_, 1);
    root->addLayout(list_column);

    auto* right = new QVBoxLayout;
    auto* read_me = Caption(tr(kReadMeText), "note");
    read_me->setObjectName("Label3");
    right->addWidget(read_me);
    auto* grid = new QGridLayout;
    description_ = new QLabel;
    description_->setObjectName("Label5");
    description_->setMinimumWidth(260);
    description_->setWordWrap(true);
    thickness_ = new QLineEdit;
    thickness_->setObjectName("Text2");
    thickness_->setAlignment(Qt::AlignRight);
    thickness_->setMaximumWidth(90);
    grid->addWidget(Caption(tr("材質")), 0, 0);
    grid->addWidget(description_, 0, 1, 1, 2);
    grid->addWidget(Caption(tr("厚さ")), 1, 0);
    grid->addWidget(thickness_, 1, 1);
    grid->addWidget(Caption("mm"), 1, 2, Qt::AlignLeft);
    grid->setColumnStretch(2, 1);
    right->addLayout(grid);
    right->addStretch();
    auto* buttons = new QHBoxLayout;
    set_button_ = new QPushButton(tr("設 定"));
    set_button_->setObjectName("Command1");
    release_button_ = new QPushButton(tr("解 除"));
    release_button_->setObjectName("Command2");
    release_button_->setToolTip(tr("任意フィルターの設定を解除します"));
    cancel_button_ = new QPushButton("Cancel");
    cancel_button_->setObjectName("Command3");
    buttons->addWidget(set_button_);
    buttons->addWidget(release_button_);
    buttons->addStretch();
    buttons->addWidget(cancel_button_);
    right->addLayout(buttons);
    root->addLayout(right, 1);
}

void FilterDialog::Open() {
    entry_.Open();
    description_->setText(ToQString(entry_.Description()));
    thickness_->setText(ToQString(entry_.ThicknessText()));
    show();
    raise();
    activateWindow();
    materials_->Refresh();
}

void FilterDialog::ShowDescription() {
    const QString name = materials_->SelectedName();
    if (name.isEmpty()) {
        return;
    }
    const std::optional<UserMessage> refused = entry_.ShowDescription(ToUtf8(name));
    description_->setText(ToQString(entry_.Description()));
    if (refused) {
        messages_.Tell(*refused);
        return;
    }
    // Keys keep working in the list, so the user can step through the materials.
    if (!materials_->SelectingByKeyboard()) {
        thickness_->setFocus();
    }
}

void FilterDialog::SetFilter() {
    entry_.SetThicknessText(ToUtf8(thickness_->text()));
    const RuleOutcome set = entry_.Set(ToUtf8(materials_->SelectedName()));
    description_->setText(ToQString(entry_.Description()));
    if (!set) {
        messages_.Tell(set.refusal);
        return;
    }
    emit filterSet();
    hide();
}

void FilterDialog::ReleaseFilter() {
    entry_.Release();
    description_->clear();
    emit filterReleased();
    hide();
}

void FilterDialog::Cancel() {
    hide();
}

}  // namespace korvex
