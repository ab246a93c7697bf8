#include "mainwindow/user_name_windows.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "mainwindow/main_window.h"
#include "mainwindow/program_windows.h"
#include "report/qt_text.h"
#include "results/results_window.h"
#include "settings/user_name.h"
#include "ui/interface_language.h"
#include "ui/message_service.h"

namespace korvex {
namespace {

const char* const kPresetName = QT_TRANSLATE_NOOP("korvex::UserNameWindow", "ABC総合病院");
const char* const kAnythingGoes =
    QT_TRANSLATE_NOOP("korvex::UserNameWindow", "漢字，アルファベット，数字，記号 何でも OK");

QLabel* WindowText(QVBoxLayout* layout, int number, const QString& text, const char* role = "") {
    auto* label = new QLabel(text);
    label->setObjectName(QString("Label%1").arg(number));
    label->setProperty("role", role);
    layout->addWidget(label);
    return label;
}

// Complete button rules: the windows are children of the main window, whose own rules
// for its Command1 and Command2 would otherwise reach these buttons of the same names.
const char* const kStyleSheet = R"(
QWidget#Form15, QWidget#Form18 { background: #fffdf5; }
QLabel[role="welcome"] { color: #1f4e8c; font-size: 16pt; font-weight: bold; }
QLabel[role="ask"] { color: #27364d; font-size: 11pt; font-weight: bold; }
QLabel[role="note"] { color: #55627a; }
QLabel[role="hint"] { color: #8a5a00; }
QLineEdit#Text1 { font-size: 12pt; padding: 3px; }
QPushButton { background: #f6f7f9; color: #202830; border: 1px solid #a8b0bc; border-radius: 4px;
              padding: 4px 18px; font-size: 10pt; font-weight: normal; min-width: 60px; }
QPushButton:default { border: 2px solid #1f6fd1; }
QPushButton:hover { background: #e8eef8; }
)";

}  // namespace

UserNameWindow::UserNameWindow(UserNameWindowKind kind, QWidget* parent)
    : QWidget(parent, Qt::Dialog) {
    const bool welcome = kind == UserNameWindowKind::Welcome;
    setObjectName(welcome ? "Form15" : "Form18");
    setWindowTitle(welcome ? tr("　ユーザー名登録") : tr("　ユーザー名変更"));
    setStyleSheet(kStyleSheet);
    auto* layout = new QVBoxLayout(this);
    if (welcome) {
        WindowText(layout, 1, tr("ようこそ Korvex-2 へ"), "welcome");
        WindowText(layout, 2, tr("ユーザー名を入力して下さい"), "ask");
        WindowText(layout, 3, tr("施設名，使用者名など"), "note");
    } else {
        WindowText(layout, 1, tr("新しいユーザー名を入力して下さい"), "ask");
        WindowText(layout, 2, tr("本名，ニックネーム，施設名，グループ名 など"), "note");
    }
    WindowText(layout, welcome ? 4 : 3, tr(kAnythingGoes), "note");

    name_field_ = new QLineEdit(tr(kPresetName));
    name_field_->setObjectName("Text1");
    name_field_->setMinimumWidth(320);
    layout->addWidget(name_field_);

    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton("OK");
    ok->setObjectName("Command1");
    ok->setDefault(true);  // Enter in the name field is OK
    auto* cancel = new QPushButton("Cancel");
    cancel->setObjectName("Command2");
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    if (welcome) {
        layout->addSpacing(8);
        WindowText(layout, 5, tr("初期画面右下のマスコット犬をダブルクリックすると"), "hint");
        WindowText(layout, 6, tr("ユーザー名を変更できます"), "hint");
    }

    connect(ok, &QPushButton::clicked, this, &UserNameWindow::okClicked);
    connect(cancel, &QPushButton::clicked, this, &UserNameWindow::cancelClicked);
    connect(name_field_, &QLineEdit::returnPressed, this, &UserNameWindow::okClicked);
}

QString UserNameWindow::Name() const {
    return name_field_->text();
}

void UserNameWindow::SetName(const QString& name) {
    name_field_->setText(name);
}

void UserNameWindow::Open() {
    show();
    raise();
    activateWindow();
    name_field_->setFocus();
    name_field_->selectAll();
}

UserNameWindows::UserNameWindows(ProgramState& state, MainWindow& main, ResultsWindow& results,
                                 MessageService& messages)
    : state_(state), main_(main), results_(results), messages_(messages) {
    welcome_ = new UserNameWindow(UserNameWindowKind::Welcome, &main_);
    change_ = new UserNameWindow(UserNameWindowKind::Change, &main_);
    connect(welcome_, &UserNameWindow::okClicked, this, [this] { Register(*welcome_); });
    connect(welcome_, &UserNameWindow::cancelClicked, this, [this] { ContinueAsGuest(); });
    connect(change_, &UserNameWindow::okClicked, this, [this] { Register(*change_); });
    connect(change_, &UserNameWindow::cancelClicked, change_, &QWidget::hide);
    connect(&main_, &MainWindow::welcomeRequested, this, [this] { OpenWelcome(); });
    connect(&main_, &MainWindow::userNameChangeRequested, this, [this] { OpenChange(); });
}

void UserNameWindows::ReadAtStartUp() {
    const std::optional<std::string> name = ReadUserName(state_.engine.working_folder);
    if (!name) {
        main_.ShowWelcome();
        return;
    }
    state_.user_name = *name;
    results_.ShowUserNameAtStartUp();
    main_.ShowUserNameFound(ToQString(CaptionWithUserName(*name)));
}

void UserNameWindows::OpenWelcome() {
    welcome_->Open();
}

void UserNameWindows::OpenChange() {
    change_->SetName(ToQString(state_.user_name));
    change_->Open();
}

void UserNameWindows::Register(UserNameWindow& window) {
    const RegistrationOutcome outcome =
        RegisterUserName(state_.engine.working_folder, ToUtf8(window.Name()), state_.user_name);
    if (!outcome.registered) {
        // The window stays open with the text, so the name can be corrected.
        messages_.Tell(outcome.refusal);
        return;
    }
    results_.ShowUserNameChanged();
    main_.ShowUserNameChosen(ToQString(CaptionWithUserName(state_.user_name)));
    window.hide();
    // A name registered in the change window ends the welcome too: a later Cancel there
    // would otherwise turn the registered user into the guest.
    welcome_->hide();
}

void UserNameWindows::ContinueAsGuest() {
    ChooseGuest(state_.user_name, InterfaceLanguage());
    results_.ShowUserNameChanged();
    main_.ShowUserNameChosen(
        ToQString(CaptionWithGuest(ToUtf8(main_.windowTitle()), InterfaceLanguage())));
    welcome_->hide();
}

}  // namespace korvex
