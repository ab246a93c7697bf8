#include "ui/language_choice.h"

#include "engine/errors.h"
#include "report/qt_text.h"
#include "settings/user_language.h"
#include "ui/message_service.h"

namespace korvex {

LanguageChoiceBox::LanguageChoiceBox(std::filesystem::path working_folder, MessageService& messages,
                                     QWidget* parent)
    : QComboBox(parent), working_folder_(std::move(working_folder)), messages_(messages) {
    setObjectName("LanguageChoice");
    setToolTip(tr("表示言語（次回の起動から）"));
    addItem(tr("自動"), static_cast<int>(LanguageChoice::Automatic));
    addItem(QStringLiteral("日本語"), static_cast<int>(LanguageChoice::Japanese));
    addItem(QStringLiteral("English"), static_cast<int>(LanguageChoice::English));
    ShowStored();
    connect(this, &QComboBox::activated, this, [this](int index) { Choose(index); });
}

void LanguageChoiceBox::ShowStored() {
    const LanguageChoice stored = ReadLanguageSetting(working_folder_).choice;
    setCurrentIndex(findData(static_cast<int>(stored)));
}

void LanguageChoiceBox::Choose(int index) {
    const auto choice = static_cast<LanguageChoice>(itemData(index).toInt());
    if (choice == ReadLanguageSetting(working_folder_).choice) {
        return;
    }
    try {
        WriteLanguageSetting(working_folder_, choice);
    } catch (const FileError& error) {
        messages_.Tell(ToQString(error.what()), MessageIcon::Exclamation);
        ShowStored();
        return;
    }
    messages_.Tell(tr("表示言語は次回の起動から変わります。"));
}

}  // namespace korvex
