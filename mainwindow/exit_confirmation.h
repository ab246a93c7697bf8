#pragma once

#include <QWidget>

namespace korvex {

// Form7: "Korvex-2 を終了しますか ？" with "はい" and "いいえ". Shown without blocking the
// main window.
class ExitConfirmation : public QWidget {
    Q_OBJECT

  public:
    explicit ExitConfirmation(QWidget* parent = nullptr);

  signals:
    void exitConfirmed();
    void exitDeclined();

  private:
    void closeEvent(QCloseEvent* event) override;
};

}  // namespace korvex
