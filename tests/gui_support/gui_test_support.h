#pragma once

#include <QApplication>
#include <QComboBox>
#include <QString>
#include <QTest>
#include <QWidget>
#include <stdexcept>

namespace korvex::testing {

// The child of `root` with the given objectName; throws when there is none, so a renamed
// control fails the test that uses it instead of crashing it.
template <typename T = QWidget>
T* Find(QWidget* root, const QString& name) {
    T* found = root->findChild<T*>(name);
    if (!found) {
        throw std::runtime_error("no control named " + name.toStdString());
    }
    return found;
}

// Picks `text` in a list that cannot be typed into the way a user does with the keys:
// Home, then Down until it is shown. Each change raises `activated`, as the user's does.
inline void ChooseInList(QComboBox* list, const QString& text) {
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Home);
    for (int step = 0; step < list->count() && list->currentText() != text; ++step) {
        QTest::keyClick(list, Qt::Key_Down);
    }
    if (list->currentText() != text) {
        throw std::runtime_error("no entry " + text.toStdString() + " in " +
                                 list->objectName().toStdString());
    }
}

// Lets queued events (repaints, deferred focus changes, file watching) run.
inline void ProcessEvents() {
    for (int i = 0; i < 3; ++i) {
        QApplication::processEvents();
    }
}

}  // namespace korvex::testing
