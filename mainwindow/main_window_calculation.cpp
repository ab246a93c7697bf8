#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QRadioButton>

#include "engine/errors.h"
#include "mainwindow/main_window.h"
#include "report/qt_text.h"
#include "settings/dose_model_setting.h"
#include "ui/interface_language.h"
#include "ui/message_service.h"

// The exposure part of Form1: the fields handed to the form, the field shape, the
// calculation and its displays, clearing them and the dose model.
namespace korvex {
namespace {

Q_LOGGING_CATEGORY(lcCalculation, "korvex.calc")

const char* const kValidatedModelNote = QT_TRANSLATE_NOOP(
    "korvex::MainWindow",
    "患者照射基準点の Ka,r を皮膚までの距離で逆二乗補正し、天板の減弱は 1 回だけ数えます。"
    "全照射のモンテカルロ計算と ±2 %（天板＋マットの装置は ±3.5 %）以内で一致します。");
const char* const kLegacyModelNote = QT_TRANSLATE_NOOP(
    "korvex::MainWindow",
    "以前のプログラムの式です。皮膚が基準点にないときの逆二乗補正がなく、天板を 2 回"
    "数えるため、皮膚線量が最大 4 割低く（遠いときは 3 割高く）なります。以前の結果の"
    "再現だけに使って下さい。");

}  // namespace

void MainWindow::ShowInputs() {
    body_site_->setEditText(ToQString(form_.Text(ExposureField::BodySite)));
    tube_voltage_->setText(ToQString(form_.Text(ExposureField::TubeVoltage)));
    kar_->setText(ToQString(form_.Text(ExposureField::Kar)));
    pka_->setText(ToQString(form_.Text(ExposureField::Pka)));
    focus_skin_->setText(ToQString(form_.Text(ExposureField::FocusSkinDistance)));
    field_size_name_->setText(CoreText(form_.FieldSizeName()));
    field_size_->setText(ToQString(form_.FieldSizeText()));
}

void MainWindow::SetInputsEnabled(bool enabled) {
    for (QWidget* input :
         std::initializer_list<QWidget*>{body_site_, focus_skin_, tube_voltage_, kar_, pka_}) {
        input->setEnabled(enabled);
    }
}

// The form keeps its own copy of the texts; the window hands each one over before the form
// acts on it.
void MainWindow::TakeTexts() {
    form_.SetText(ExposureField::BodySite, ToUtf8(body_site_->currentText()));
    form_.SetText(ExposureField::TubeVoltage, ToUtf8(tube_voltage_->text()));
    form_.SetText(ExposureField::Kar, ToUtf8(kar_->text()));
    form_.SetText(ExposureField::Pka, ToUtf8(pka_->text()));
    form_.SetText(ExposureField::FocusSkinDistance, ToUtf8(focus_skin_->text()));
}

void MainWindow::StoreField(QLineEdit* field, ExposureField which) {
    form_.Enter(which, ToUtf8(field->text()));
}

void MainWindow::ChooseFieldShape(FieldShapeKind shape) {
    QRadioButton* clicked = shape == FieldShapeKind::Square ? square_option_ : circle_option_;
    QRadioButton* other = shape == FieldShapeKind::Square ? circle_option_ : square_option_;
    TakeTexts();
    if (!form_.ChooseShape(shape)) {
        clicked->setChecked(false);
        return;
    }
    clicked->setChecked(true);
    other->setChecked(false);
    field_size_name_->setText(CoreText(form_.FieldSizeName()));
    field_size_->setText(ToQString(form_.FieldSizeText()));
    focus_skin_->setFocus();
}

void MainWindow::Calculate() {
    TakeTexts();
    // Nothing may act on a half-finished case while the steps run.
    const bool calculate_was = calculate_button_->isEnabled();
    const bool add_was = add_button_->isEnabled();
    const bool clear_was = clear_button_->isEnabled();
    calculate_button_->setEnabled(false);
    add_button_->setEnabled(false);
    clear_button_->setEnabled(false);
    const CalculationOutcome outcome = form_.Calculate();
    calculate_button_->setEnabled(calculate_was);
    add_button_->setEnabled(add_was);
    clear_button_->setEnabled(clear_was);

    ShowOutcome(outcome);
}

// What the driver says is shown: the displays it sets, its message, the buttons it opens.
void MainWindow::ShowOutcome(const CalculationOutcome& outcome) {
    if (outcome.result != CalculationOutcome::Result::Succeeded) {
        // The reason only: no reading or name of the patient goes into the log.
        qCWarning(lcCalculation, "calculation not completed: %s", outcome.reason.c_str());
    }
    for (size_t i = 0; i < result_labels_.size(); ++i) {
        if (outcome.displays[i]) {
            result_labels_[i]->setText(ToQString(*outcome.displays[i]));
        }
    }
    if (outcome.uncertainty_display) {
        uncertainty_->setText(ToQString(*outcome.uncertainty_display));
    } else if (outcome.displays[kSkinDoseDisplay]) {
        uncertainty_->clear();  // "---": no dose, no uncertainty
    }
    if (outcome.beam_quality_display) {
        beam_quality_->setText(ToQString(outcome.beam_quality_display->In(InterfaceLanguage())));
    }
    showing_result_ = outcome.result == CalculationOutcome::Result::Succeeded;
    UpdateBeamPlots(showing_result_);
    if (outcome.message) {
        messages_.Tell(*outcome.message);
    }
    if (outcome.enable_add_and_clear) {
        add_button_->setEnabled(true);
        clear_button_->setEnabled(true);
        add_button_->setFocus();
    }
}

void MainWindow::ClearResults() {
    for (QLabel* label : result_labels_) {
        label->clear();
    }
    uncertainty_->clear();
    beam_quality_->clear();
    showing_result_ = false;
    UpdateBeamPlots(false);
    add_button_->setEnabled(false);
    calculate_button_->setEnabled(true);
}

void MainWindow::ChooseModel(DoseModel model) {
    if (model == form_.Model()) {
        ShowModel();
        return;
    }
    form_.SetModel(model);
    ShowModel();
    try {
        WriteDoseModelSetting(state_.working_folder, model);
    } catch (const FileError& error) {
        // The choice holds for this run; the next start cannot know it.
        messages_.Tell(
            ToQString(error.what()) + tr(" 計算モデルの選択は次回の起動に引き継がれません。"),
            MessageIcon::Exclamation);
    }
    emit doseModelChanged(model);
    // The result shown belongs to the model it was computed by: it is computed again.
    if (showing_result_ && calculate_button_->isEnabled()) {
        Calculate();
    }
}

void MainWindow::ShowModel() {
    const DoseModel model = form_.Model();
    const bool legacy = model == DoseModel::Legacy;
    model_choice_->setCurrentIndex(model_choice_->findData(static_cast<int>(model)));
    model_note_->setText(tr(legacy ? kLegacyModelNote : kValidatedModelNote));
    // The captions stay; what two of the values are depends on the model.
    result_labels_[kPrimaryAirKermaDisplay]->setToolTip(
        legacy ? tr(" 補正後の Ka,r × 天板の一次線透過率（患者照射基準点の値） ")
               : tr(" 皮膚（天板の後ろ、焦点-入射表面間距離）での一次線空気カーマ：補正後の Ka,r を"
                    "基準点から皮膚まで逆二乗で補正し、天板等価層を透過させた値 "));
    result_labels_[kForwardBackscatterDisplay]->setToolTip(
        legacy ? tr(" 深部係数 × 後方散乱係数 × (FSD / (FSD − 天板等価厚))² ")
               : tr(" 入射表面皮膚組織吸収線量 ÷ 皮膚での一次線吸収線量 "));
}

void MainWindow::SetAddButtonEnabled(bool enabled) {
    add_button_->setEnabled(enabled);
}

}  // namespace korvex
