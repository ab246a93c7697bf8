#pragma once

#include <QWidget>

namespace korvex {

// The static picture of the main window: an X-ray tube above the couch and a patient,
// with the beam cone and the entrance surface marked.
class ExposurePicture : public QWidget {
    Q_OBJECT

  public:
    explicit ExposurePicture(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {220, 150}; }

  private:
    void paintEvent(QPaintEvent* event) override;
};

// The mascot at the bottom right of the main window, a small sitting dog. A double-click
// on it opens the window that changes the user name.
class MascotPicture : public QWidget {
    Q_OBJECT

  public:
    explicit MascotPicture(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {96, 96}; }

  signals:
    void doubleClicked();

  private:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

}  // namespace korvex
