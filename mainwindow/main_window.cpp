#include "mainwindow/main_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>

#include "device/device_dialog.h"
#include "engine/beam_curves.h"
#include "mainwindow/beam_plot_window.h"
#include "mainwindow/exit_confirmation.h"
#include "mainwindow/illustrations.h"
#include "report/qt_text.h"
#include "settings/dose_model_setting.h"
#include "ui/field_events.h"
#include "ui/file_list.h"
#include "ui/message_service.h"

namespace korvex {

MainWindow::MainWindow(EngineState& state, MessageService& messages, QWidget* parent)
    : QWidget(parent), state_(state), messages_(messages), form_(state) {
    setObjectName("Form1");
    BuildWindow();
    StartUp();
}

MainWindow::~MainWindow() = default;

void MainWindow::ConnectEvents() {
    connect(device_list_, &FileList::nameSelected, this, [this] { SelectDevice(); });
    connect(delete_button_, &QPushButton::clicked, this, [this] { DeleteDevice(); });
    connect(new_device_button_, &QPushButton::clicked, this, [this] { NewDevice(); });
    connect(calculate_button_, &QPushButton::clicked, this, [this] { Calculate(); });
    connect(clear_button_, &QPushButton::clicked, this, [this] { ClearResults(); });
    connect(add_button_, &QPushButton::clicked, this, [this] {
        emit addResultRequested();
        add_button_->setEnabled(false);
    });
    connect(exit_button_, &QPushButton::clicked, this, [this] { AskToExit(); });
    connect(report_button_, &QPushButton::clicked, this,
            [this] { emit doseReportRequested(device_list_->SelectedName()); });
    connect(welcome_button_, &QPushButton::clicked, this, &MainWindow::welcomeRequested);
    connect(mascot_, &MascotPicture::doubleClicked, this, &MainWindow::userNameChangeRequested);
    connect(model_choice_, &QComboBox::activated, this, [this](int index) {
        ChooseModel(static_cast<DoseModel>(model_choice_->itemData(index).toInt()));
    });
    connect(square_option_, &QRadioButton::clicked, this,
            [this] { ChooseFieldShape(FieldShapeKind::Square); });
    connect(circle_option_, &QRadioButton::clicked, this,
            [this] { ChooseFieldShape(FieldShapeKind::Circle); });
    ConnectFields();
    ConnectExitConfirmation();
}

// Enter stores a field and moves on to the next one; leaving it stores it too.
void MainWindow::ConnectFields() {
    FieldEvents::Watch(body_site_, [this] { tube_voltage_->setFocus(); });
    const auto watch_number = [this](QLineEdit* edit, ExposureField which, QWidget* next) {
        FieldEvents::Watch(
            edit,
            [this, edit, which, next] {
                StoreField(edit, which);
                next->setFocus();
            },
            [this, edit, which] { StoreField(edit, which); });
    };
    watch_number(tube_voltage_, ExposureField::TubeVoltage, kar_);
    watch_number(kar_, ExposureField::Kar, pka_);
    watch_number(pka_, ExposureField::Pka, square_option_);
    watch_number(focus_skin_, ExposureField::FocusSkinDistance, calculate_button_);
}

void MainWindow::ConnectExitConfirmation() {
    exit_confirmation_ = new ExitConfirmation(this);
    connect(exit_confirmation_, &ExitConfirmation::exitConfirmed, this, [this] {
        exiting_ = true;
        emit exitRequested();
    });
    connect(exit_confirmation_, &ExitConfirmation::exitDeclined, this, [this] {
        show();
        raise();
        activateWindow();
    });
}

void MainWindow::StartUp() {
    form_.Reset();
    ShowDevice();
    const DoseModelSetting setting = ReadDoseModelSetting(state_.working_folder);
    form_.SetModel(setting.model);
    ShowModel();
    if (!setting.problem.empty()) {
        messages_.Tell(ToQString(setting.problem), MessageIcon::Exclamation);
    }

    body_site_->clear();
    body_site_->addItems({tr("頭部"), tr("胸部背面"), tr("腹部背面"), ""});
    SetInputsEnabled(false);
    ShowInputs();
    square_option_->setChecked(false);
    circle_option_->setChecked(false);
    for (QLabel* label : result_labels_) {
        label->clear();
    }
    uncertainty_->clear();
    showing_result_ = false;

    // No result exists yet.
    add_button_->setEnabled(false);

    device_list_->SetPatterns("*.kvx;*.kvx2");
    device_list_->SetFolder(ToQString(state_.working_folder.string()));
}

void MainWindow::ShowWelcome() {
    PlaceWelcomeButton();
    welcome_button_->show();
    calculate_button_->setEnabled(false);
    add_button_->setEnabled(false);
    clear_button_->setEnabled(false);
}

void MainWindow::ShowUserNameFound(const QString& caption) {
    setWindowTitle(caption);
    welcome_button_->hide();
    add_button_->setEnabled(false);
}

void MainWindow::ShowUserNameChosen(const QString& caption) {
    setWindowTitle(caption);
    welcome_button_->hide();
    calculate_button_->setEnabled(true);
}

void MainWindow::AskToExit() {
    exit_confirmation_->show();
    exit_confirmation_->raise();
    exit_confirmation_->activateWindow();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceWelcomeButton();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (exiting_) {
        event->accept();
        return;
    }
    // Closing by the frame asks first; "いいえ" keeps the window with everything in it.
    event->ignore();
    AskToExit();
}

}  // namespace korvex
