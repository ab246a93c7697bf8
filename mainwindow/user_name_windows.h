#pragma once

#include <QObject>
#include <QWidget>

class QLineEdit;

namespace korvex {

class MainWindow;
class MessageService;
class ResultsWindow;
struct ProgramState;

enum class UserNameWindowKind {
    Welcome,  // Form15, "　ユーザー名登録": the first registration
    Change,   // Form18, "　ユーザー名変更": from a double-click on the mascot
};

// Form15 or Form18: one line for the name with OK and Cancel. Shown without blocking the
// main window; what OK and Cancel do is decided by UserNameWindows.
class UserNameWindow : public QWidget {
    Q_OBJECT

  public:
    UserNameWindow(UserNameWindowKind kind, QWidget* parent = nullptr);

    QString Name() const;
    void SetName(const QString& name);
    // Shown and raised, with the name selected for typing over.
    void Open();

  signals:
    void okClicked();
    void cancelClicked();

  private:
    QLineEdit* name_field_ = nullptr;  // Text1
};

// The user name of the run as the windows show it: read at start-up, registered with OK,
// the guest chosen with Cancel in the welcome window. The rules are the core's
// (settings/user_name.h); this class only applies them to the main window's caption and
// buttons and to the results window's watermark and name label.
class UserNameWindows : public QObject {
    Q_OBJECT

  public:
    UserNameWindows(ProgramState& state, MainWindow& main, ResultsWindow& results,
                    MessageService& messages);

    // Start-up, after the results window was prepared.
    void ReadAtStartUp();

  private:
    // The welcome button; a double-click on the mascot.
    void OpenWelcome();
    void OpenChange();
    void Register(UserNameWindow& window);
    void ContinueAsGuest();

    ProgramState& state_;
    MainWindow& main_;
    ResultsWindow& results_;
    MessageService& messages_;
    UserNameWindow* welcome_ = nullptr;  // Form15
    UserNameWindow* change_ = nullptr;   // Form18
};

}  // namespace korvex
