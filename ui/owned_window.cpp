#include "ui/owned_window.h"

#include <QWidget>
#include <QWindow>

namespace korvex {

void StayAboveOwner(QWidget* window, QWidget* owner) {
    window->winId();  // makes the platform window
    QWindow* handle = window->windowHandle();
    QWindow* owner_handle = owner->window()->windowHandle();
    if (handle && owner_handle) {
        handle->setTransientParent(owner_handle);
    }
}

}  // namespace korvex
