#include "ui/message_service.h"

#include <QApplication>
#include <QMessageBox>

#include "report/qt_text.h"
#include "ui/interface_language.h"

namespace korvex {

void MessageService::Tell(const UserMessage& message) {
    if (message.beep) {
        Beep();
    }
    const bool english = !InterfaceIsJapanese() && !message.english.empty();
    Ask(english ? ToQString(message.english) : CoreText(message.text), MessageButtons::Ok,
        message.icon);
}

void MessageService::Tell(const QString& text, MessageIcon icon) {
    Ask(text, MessageButtons::Ok, icon);
}

MessageAnswer QtMessageService::Ask(const QString& text, MessageButtons buttons, MessageIcon icon) {
    QMessageBox box(parent_);
    box.setWindowTitle(ToQString(kApplicationTitle));
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setIcon(icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon);
    switch (buttons) {
        case MessageButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MessageButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Ok);
            break;
        case MessageButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Ok:
            return MessageAnswer::Ok;
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        default:
            // Closing the box by its frame or Escape answers the negative button.
            return buttons == MessageButtons::YesNo ? MessageAnswer::No
                   : buttons == MessageButtons::Ok  ? MessageAnswer::Ok
                                                    : MessageAnswer::Cancel;
    }
}

void QtMessageService::Beep() {
    QApplication::beep();
}

}  // namespace korvex
