#pragma once

#include <QApplication>
#include <QString>
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

// Lets queued events (repaints, deferred focus changes, file watching) run.
inline void ProcessEvents() {
    for (int i = 0; i < 3; ++i) {
        QApplication::processEvents();
    }
}

}  // namespace korvex::testing
