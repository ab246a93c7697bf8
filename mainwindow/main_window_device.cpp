#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>

#include "device/device_dialog.h"
#include "engine/errors.h"
#include "mainwindow/main_window.h"
#include "report/qt_text.h"
#include "ui/file_list.h"
#include "ui/interface_language.h"
#include "ui/message_service.h"
#include "ui/owned_window.h"

// The device part of Form1: the file list's choice, deleting a device file and the dialog
// that makes a new one.
namespace korvex {
namespace {

const char* const kDeletePrompt =
    QT_TRANSLATE_NOOP("korvex::MainWindow", " このデータファイルを本当に削除しますか？ ");

}  // namespace

void MainWindow::ShowDevice() {
    const DeviceDisplay& shown = form_.Display();
    target_angle_->setText(ToQString(shown.TargetAngle));
    inherent_filter_->setText(ToQString(shown.InherentFiltration));
    added_aluminium_->setText(ToQString(shown.AddedAluminium));
    added_copper_->setText(ToQString(shown.AddedCopper));
    filter_material_->setText(ToQString(shown.FilterMaterial));
    filter_thickness_->setText(ToQString(shown.FilterThickness));
    receptor_distance_->setText(ToQString(shown.FocusReceptorDistance));
    isocentre_distance_->setText(ToQString(shown.FocusIsocentreDistance));
    couch_model_->setText(ToQString(shown.CouchModel.In(InterfaceLanguage())));
}

void MainWindow::SelectDevice() {
    const QString name = device_list_->SelectedName();
    if (name.isEmpty()) {
        return;
    }
    TakeTexts();
    try {
        form_.ChooseDevice(ToUtf8(name));
    } catch (const FileError& error) {
        messages_.Beep();
        messages_.Tell(ToQString(error.what()), MessageIcon::Exclamation);
        return;
    }
    ShowDevice();
    ShowInputs();
    calculate_button_->setEnabled(true);
    SetInputsEnabled(true);
    // Keys keep working in the list, so the user can step through the devices.
    if (!device_list_->SelectingByKeyboard()) {
        body_site_->setFocus();
    }
}

QString MainWindow::SelectedDevice() const {
    return device_list_->SelectedName();
}

bool MainWindow::ChooseDevice(const QString& name) {
    // The folder's watcher reports a new file later; the list must show it now.
    device_list_->Refresh();
    if (device_list_->SelectedName() == name) {
        SelectDevice();
        return true;
    }
    return device_list_->SelectName(name);
}

void MainWindow::DeleteDevice() {
    const QString name = device_list_->SelectedName();
    if (name.isEmpty()) {
        return;
    }
    if (messages_.Ask(tr(kDeletePrompt), MessageButtons::OkCancel, MessageIcon::None) !=
        MessageAnswer::Ok) {
        return;
    }
    QFile file(device_list_->Folder() + "/" + name);
    if (!file.remove()) {
        messages_.Tell(
            tr("データファイル「%1」を削除できませんでした（%2）。").arg(name, file.errorString()),
            MessageIcon::Exclamation);
        device_list_->Refresh();
        return;
    }
    device_list_->Refresh();
    form_.ForgetDeviceDisplay();
    ShowDevice();
}

void MainWindow::NewDevice() {
    if (!device_dialog_) {
        device_dialog_ = std::make_unique<DeviceDialog>(state_, messages_);
        StayAboveOwner(device_dialog_.get(), this);
        connect(device_dialog_.get(), &DeviceDialog::deviceSaved, this,
                [this] { device_list_->Refresh(); });
        connect(device_dialog_.get(), &DeviceDialog::filterReleased, this, [this] {
            form_.ForgetFilterDisplay();
            ShowDevice();
        });
    }
    device_dialog_->NewDevice();
}

}  // namespace korvex
