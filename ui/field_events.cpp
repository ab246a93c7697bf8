#include "ui/field_events.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace korvex {

FieldEvents::FieldEvents(QWidget* field, Handler on_enter, Handler on_focus_lost)
    : QObject(field), on_enter_(std::move(on_enter)), on_focus_lost_(std::move(on_focus_lost)) {}

void FieldEvents::Watch(QWidget* field, Handler on_enter, Handler on_focus_lost) {
    auto* watcher = new FieldEvents(field, std::move(on_enter), std::move(on_focus_lost));
    field->installEventFilter(watcher);
    if (auto* combo = qobject_cast<QComboBox*>(field); combo && combo->lineEdit()) {
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->lineEdit()->installEventFilter(watcher);
    }
}

bool FieldEvents::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && on_enter_) {
            on_enter_();
            return true;
        }
    } else if (event->type() == QEvent::FocusOut && on_focus_lost_) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Switching windows or opening the list's popup does not leave the field. The
        // combo box and its line edit both lose focus: raise the event once, for the box.
        const bool inner_edit_of_combo = qobject_cast<QComboBox*>(watched->parent()) != nullptr;
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
            !inner_edit_of_combo) {
            on_focus_lost_();
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace korvex
