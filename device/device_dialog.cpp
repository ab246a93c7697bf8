#include "device/device_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "device/filter_dialog.h"
#include "engine/engine_state.h"
#include "report/qt_text.h"
#include "ui/field_events.h"
#include "ui/interface_language.h"
#include "ui/message_service.h"
#include "ui/owned_window.h"

namespace korvex {
namespace {

const char* const kCaption = QT_TRANSLATE_NOOP("korvex::DeviceDialog", "  装置データ作成");
const char* const kHeading =
    QT_TRANSLATE_NOOP("korvex::DeviceDialog", "使用するＸ線装置の基本データを作成します。");
const char* const kFilterCombinationNote = QT_TRANSLATE_NOOP(
    "korvex::DeviceDialog",
    "同じＸ線室・装置であっても、フィルタの組み合わせが異なる場合は、それぞれについてこのデータを"
    "（名称を変えて）作成する必要があります。");

// Object names of the boxes, in DeviceField order.
const char* const kBoxNames[kDeviceFieldCount] = {"Text13", "Text8",  "Text5", "Text1",
                                                  "Text2",  "Text3",  "Text4", "Text23",
                                                  "Text14", "Text15", "Text16"};

// The couch models as the choice offers them, and how the couch transmission is measured
// for each: the device's T means what the model makes of it.
struct CouchChoice {
    CouchModel model;
    const char* text;
    const char* note;
};
const CouchChoice kCouchChoices[] = {
    {CouchModel::Layer, QT_TRANSLATE_NOOP("korvex::DeviceDialog", "組織等価層（天板に密着）"),
     QT_TRANSLATE_NOOP("korvex::DeviceDialog",
                       "天板あり：線量計を天板の上面に密着させ、マットを敷かずに測定します。")},
    {CouchModel::TableTop, QT_TRANSLATE_NOOP("korvex::DeviceDialog", "天板＋マット"),
     QT_TRANSLATE_NOOP("korvex::DeviceDialog",
                       "天板あり：患者が寝る位置のマットの上に線量計を置いて測定し、"
                       "天板なし：同じ位置で天板とマットを外して測定します（その比が透過率）。"
                       "マットの厚さは患者の下に敷いた状態の厚さです。")},
};

const CouchChoice& ChoiceOf(CouchModel model) {
    for (const CouchChoice& choice : kCouchChoices) {
        if (choice.model == model) {
            return choice;
        }
    }
    return kCouchChoices[0];
}

QLabel* Caption(const QString& text, const char* role = "caption") {
    auto* label = new QLabel(text);
    label->setProperty("role", role);
    return label;
}

QLabel* Unit(const QString& text) {
    return Caption(text, "unit");
}

// A display: framed, right-aligned, selectable so that a value can be copied.
QLabel* ValueLabel(const char* name, int minimum_width = 72) {
    auto* label = new QLabel;
    label->setObjectName(name);
    label->setProperty("role", "value");
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(minimum_width);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

const char* const kStyleSheet = R"(
QWidget#Form8 { background: #eef2f7; }
QGroupBox { background: #ffffff; border: 1px solid #c3cddd; border-radius: 8px; }
QLabel[role="heading"] { color: #1f4e8c; font-size: 12pt; font-weight: bold; }
QLabel[role="subheading"] { color: #1f4e8c; font-weight: bold; }
QLabel[role="caption"] { color: #27364d; }
QLabel[role="unit"] { color: #55627a; }
QLabel[role="instruction"] { color: #27364d; }
QLabel[role="note"] { color: #8a5a00; }
QLabel[role="value"] { background: #f5f8fc; border: 1px solid #c3cddd; border-radius: 3px;
                        padding: 2px 6px; color: #10243f; }
QLabel#Label21, QLabel#Label38, QLabel#Label27 { background: #fff6e0; border: 1px solid #e0a030;
                                                 font-weight: bold; color: #8a3b00; }
QPushButton { padding: 5px 14px; }
QPushButton#Command1 { background: #1f6fd1; color: white; font-weight: bold;
                       border-radius: 6px; padding: 6px 22px; }
QPushButton#Command1:disabled { background: #9db4d3; }
)";

}  // namespace

DeviceDialog::DeviceDialog(EngineState& state, MessageService& messages, QWidget* parent)
    : QWidget(parent, Qt::Window),
      state_(state),
      messages_(messages),
      entry_(state),
      filter_entry_(state, entry_) {
    setObjectName("Form8");
    BuildWindow();
    ConnectEvents();
    ShowEntry();
}

DeviceDialog::~DeviceDialog() = default;

void DeviceDialog::BuildWindow() {
    setWindowTitle(tr(kCaption));
    setStyleSheet(kStyleSheet);
    for (int i = 0; i < kDeviceFieldCount; ++i) {
        auto* box = new QLineEdit;
        box->setObjectName(kBoxNames[i]);
        box->setAlignment(Qt::AlignRight);
        box->setMaximumWidth(100);
        boxes_[static_cast<size_t>(i)] = box;
    }
    Box(DeviceField::DeviceName)->setAlignment(Qt::AlignLeft);
    Box(DeviceField::DeviceName)->setMaximumWidth(QWIDGETSIZE_MAX);
    Box(DeviceField::DeviceName)->setMinimumWidth(220);

    auto* root = new QVBoxLayout(this);
    auto* heading = Caption(tr(kHeading), "heading");
    heading->setObjectName("Label1");
    root->addWidget(heading);
    auto* name_row = new QHBoxLayout;
    name_row->addWidget(Caption(tr("Ｘ線室 または 装置の名称")));
    name_row->addWidget(Box(DeviceField::DeviceName), 1);
    root->addLayout(name_row);
    auto* columns = new QHBoxLayout;
    columns->addWidget(BuildDeviceBox());
    columns->addWidget(BuildMeasurementBox());
    root->addLayout(columns, 1);
    auto* note = Caption(tr(kFilterCombinationNote), "note");
    note->setObjectName("Label40");
    note->setWordWrap(true);
    root->addWidget(note);

    // Tab follows Enter, and passes the couch choice on its way from the device's column to
    // the measurements.
    for (int i = 0; i + 1 < kDeviceFieldCount; ++i) {
        setTabOrder(boxes_[static_cast<size_t>(i)], boxes_[static_cast<size_t>(i + 1)]);
    }
    setTabOrder(Box(DeviceField::TypicalTubeVoltage), couch_model_);
    setTabOrder(couch_model_, mattress_);
    setTabOrder(mattress_, Box(DeviceField::KermaNoCouch));
    setTabOrder(Box(DeviceField::DisplayedKar), ok_button_);
    setTabOrder(ok_button_, save_button_);
    setTabOrder(save_button_, cancel_button_);
}

// Geometry and filtration of the room.
QWidget* DeviceDialog::BuildDeviceBox() {
    auto* device_box = new QGroupBox;
    device_box->setObjectName("FrameDevice");
    auto* grid = new QGridLayout(device_box);
    int row = 0;
    const auto add_box = [&](const QString& caption, DeviceField field, const QString& unit) {
        grid->addWidget(Caption(caption), row, 0);
        grid->addWidget(Box(field), row, 1, 1, 2);
        grid->addWidget(Unit(unit), row, 3);
        ++row;
    };
    add_box(tr("　焦点-受像器間距離"), DeviceField::FocusReceptorDistance, "cm");
    add_box(tr("焦点-アイソセンター間距離"), DeviceField::FocusIsocentreDistance, "cm");
    add_box(tr(" Ｘ線管ターゲット角度"), DeviceField::TargetAngle, tr("　度"));
    add_box(tr(" 固有フィルタ (Al 当量)"), DeviceField::InherentFiltration, "mm");
    auto* filters_heading = Caption(tr("以下、通常使用するフィルタを設定"), "subheading");
    filters_heading->setObjectName("Label12");
    grid->addWidget(filters_heading, row++, 0, 1, 4);
    add_box(tr(" 付加フィルタ (アルミ)"), DeviceField::AddedAluminium, "mm");
    add_box(tr(" 付加フィルタ（ 銅 ）"), DeviceField::AddedCopper, "mm");

    filter_button_ = new QPushButton(tr("任意フィルタ"));
    filter_button_->setObjectName("Command9");
    filter_button_->setToolTip(tr("アルミ・銅以外のフィルター設定"));
    filter_material_ = ValueLabel("Label29", 60);
    filter_material_->setAlignment(Qt::AlignCenter);
    filter_thickness_ = ValueLabel("Label26", 48);
    grid->addWidget(filter_button_, row, 0);
    grid->addWidget(filter_material_, row, 1);
    grid->addWidget(filter_thickness_, row, 2);
    grid->addWidget(Unit("mm"), row, 3);
    ++row;
    add_box(tr("通常使用する管電圧"), DeviceField::TypicalTubeVoltage, "kV");
    AddCouchRows(grid, row);
    grid->setRowStretch(row, 1);
    return device_box;
}

// The couch model, the mattress (table top only) and how T is measured for the model.
void DeviceDialog::AddCouchRows(QGridLayout* grid, int& row) {
    couch_model_ = new QComboBox;
    couch_model_->setObjectName("CouchModelCombo");
    for (const CouchChoice& choice : kCouchChoices) {
        couch_model_->addItem(tr(choice.text), static_cast<int>(choice.model));
    }
    mattress_ = new QLineEdit;
    mattress_->setObjectName("MattressEdit");
    mattress_->setAlignment(Qt::AlignRight);
    mattress_->setMaximumWidth(100);
    couch_note_ = Caption({}, "note");
    couch_note_->setObjectName("CouchModelNote");
    couch_note_->setWordWrap(true);
    couch_note_->setMaximumWidth(330);

    grid->addWidget(Caption(tr("天板モデル")), row, 0);
    grid->addWidget(couch_model_, row, 1, 1, 3);
    ++row;
    grid->addWidget(Caption(CoreText(kStoredMattressThickness.name)), row, 0);
    grid->addWidget(mattress_, row, 1, 1, 2);
    grid->addWidget(Unit("cm"), row, 3);
    ++row;
    grid->addWidget(couch_note_, row, 0, 1, 4);
    ++row;
}

// The measurements, OK, the three results, Save and Cancel.
QWidget* DeviceDialog::BuildMeasurementBox() {
    auto* measurement_box = new QGroupBox;
    measurement_box->setObjectName("FrameMeasurement");
    auto* column = new QVBoxLayout(measurement_box);
    column->addWidget(Caption(tr("天板透過率 および<br>実測値/装置表示値 校正定数"), "subheading"));
    for (const QString& instruction :
         {tr("・線量計でアイソセンターにおける空気カーマを測定"), tr("・通常使用する管電圧に設定"),
          tr("・mAs 値は適当な値に設定"), tr("・照射野は K<sub>a,r</sub> 検出器の大きさに絞る")}) {
        column->addWidget(Caption(instruction, "instruction"));
    }

    auto* grid = new QGridLayout;
    grid->addWidget(Caption(tr("実測空気カーマ (補正後)")), 0, 0, 1, 3);
    grid->addWidget(Caption(tr("天板なし")), 1, 0, Qt::AlignRight);
    grid->addWidget(Box(DeviceField::KermaNoCouch), 1, 1);
    grid->addWidget(Unit("mGy"), 1, 2);
    grid->addWidget(Caption(tr("天板あり")), 2, 0, Qt::AlignRight);
    grid->addWidget(Box(DeviceField::KermaWithCouch), 2, 1);
    grid->addWidget(Unit("mGy"), 2, 2);
    grid->addWidget(Caption(tr("装置表示値 K<sub>a,r</sub>")), 3, 0, Qt::AlignRight);
    grid->addWidget(Box(DeviceField::DisplayedKar), 3, 1);
    grid->addWidget(Unit("mGy"), 3, 2);
    grid->setColumnStretch(0, 1);
    column->addLayout(grid);
    column->addWidget(
        Caption(tr("K<sub>a,r</sub> は患者照射基準点 (天板なし) の空気カーマ"), "note"));

    ok_button_ = new QPushButton("OK");
    ok_button_->setObjectName("Command1");
    auto* ok_row = new QHBoxLayout;
    ok_row->addStretch();
    ok_row->addWidget(ok_button_);
    column->addLayout(ok_row);

    auto* results = new QGridLayout;
    couch_transmission_ = ValueLabel("Label21");
    couch_thickness_ = ValueLabel("Label38");
    correction_factor_ = ValueLabel("Label27");
    results->addWidget(Caption(tr("天板透過率")), 0, 0);
    results->addWidget(couch_transmission_, 0, 1);
    results->addWidget(Caption(tr("天板の軟部組織等価厚 cm")), 1, 0);
    results->addWidget(couch_thickness_, 1, 1);
    results->addWidget(Caption(tr("実測値/表示値 (同距離換算)")), 2, 0);
    results->addWidget(correction_factor_, 2, 1);
    results->setColumnStretch(0, 1);
    column->addLayout(results);

    save_button_ = new QPushButton("Save");
    save_button_->setObjectName("Command3");
    cancel_button_ = new QPushButton("Cancel");
    cancel_button_->setObjectName("Command2");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save_button_);
    buttons->addWidget(cancel_button_);
    column->addLayout(buttons);
    column->addStretch();
    return measurement_box;
}

void DeviceDialog::ConnectEvents() {
    for (int i = 0; i < kDeviceFieldCount; ++i) {
        const auto field = static_cast<DeviceField>(i);
        QLineEdit* box = Box(field);
        const std::optional<DeviceField> next = NextDeviceField(field);
        QWidget* next_widget = next ? static_cast<QWidget*>(Box(*next)) : ok_button_;
        FieldEvents::Watch(
            box, [next_widget] { next_widget->setFocus(); },
            [this, field] { entry_.Leave(field); });
        // Only the user's typing: texts the dialog puts in itself are no edit.
        connect(box, &QLineEdit::textEdited, this, [this, field](const QString& text) {
            entry_.SetText(field, ToUtf8(text));
            save_button_->setEnabled(entry_.SaveEnabled());
        });
    }
    connect(couch_model_, &QComboBox::currentIndexChanged, this, [this] {
        entry_.SetCouchModel(static_cast<CouchModel>(couch_model_->currentData().toInt()));
        ShowCouch();
    });
    FieldEvents::Watch(mattress_, [this] { Box(DeviceField::KermaNoCouch)->setFocus(); });
    connect(mattress_, &QLineEdit::textEdited, this, [this](const QString& text) {
        entry_.SetMattressText(ToUtf8(text));
        save_button_->setEnabled(entry_.SaveEnabled());
    });
    connect(filter_button_, &QPushButton::clicked, this, [this] { OpenFilterDialog(); });
    connect(ok_button_, &QPushButton::clicked, this, [this] { Ok(); });
    connect(save_button_, &QPushButton::clicked, this, [this] { Save(); });
    connect(cancel_button_, &QPushButton::clicked, this, [this] { Cancel(); });
}

void DeviceDialog::ShowEntry() {
    for (int i = 0; i < kDeviceFieldCount; ++i) {
        const auto field = static_cast<DeviceField>(i);
        Box(field)->setText(ToQString(entry_.Text(field)));
    }
    ShowFilter();
    ShowCouch();
    ShowResults();
}

void DeviceDialog::ShowFilter() {
    filter_material_->setText(ToQString(entry_.FilterMaterialText()));
    filter_thickness_->setText(ToQString(entry_.FilterThicknessText()));
    save_button_->setEnabled(entry_.SaveEnabled());
}

void DeviceDialog::ShowCouch() {
    const CouchChoice& choice = ChoiceOf(entry_.Couch());
    couch_model_->setCurrentIndex(couch_model_->findData(static_cast<int>(choice.model)));
    mattress_->setText(ToQString(entry_.MattressText()));
    mattress_->setEnabled(choice.model == CouchModel::TableTop);
    couch_note_->setText(tr(choice.note));
    save_button_->setEnabled(entry_.SaveEnabled());
}

void DeviceDialog::ShowResults() {
    const DeviceResultTexts& results = entry_.Results();
    couch_transmission_->setText(ToQString(results.CouchTransmission));
    couch_thickness_->setText(ToQString(results.CouchEquivalentThickness));
    correction_factor_->setText(ToQString(results.KermaCorrectionFactor));
    save_button_->setEnabled(entry_.SaveEnabled());
}

void DeviceDialog::TakeTexts() {
    for (int i = 0; i < kDeviceFieldCount; ++i) {
        const auto field = static_cast<DeviceField>(i);
        entry_.SetText(field, ToUtf8(Box(field)->text()));
    }
    entry_.SetMattressText(ToUtf8(mattress_->text()));
}

void DeviceDialog::NewDevice() {
    entry_.NewDevice();
    ShowEntry();
    show();
    raise();
    activateWindow();
    Box(DeviceField::DeviceName)->setFocus();
}

void DeviceDialog::Ok() {
    TakeTexts();
    const RuleOutcome ok = entry_.Ok();
    if (!ok) {
        messages_.Tell(ok.refusal);
        return;
    }
    ShowResults();
    save_button_->setFocus();
}

void DeviceDialog::Save() {
    TakeTexts();
    const DeviceSaveOutcome outcome = entry_.Save();
    if (!outcome.message.text.empty()) {
        messages_.Tell(outcome.message);
    }
    save_button_->setEnabled(entry_.SaveEnabled());
    if (!outcome.saved) {
        return;  // the dialog stays open, the boxes as they are
    }
    emit deviceSaved(ToQString(outcome.file_name));
    hide();
}

void DeviceDialog::Cancel() {
    hide();
}

void DeviceDialog::OpenFilterDialog() {
    if (!filter_dialog_) {
        filter_dialog_ = std::make_unique<FilterDialog>(filter_entry_, messages_,
                                                        ToQString(state_.working_folder.string()));
        StayAboveOwner(filter_dialog_.get(), this);
        connect(filter_dialog_.get(), &FilterDialog::filterSet, this, [this] { ShowFilter(); });
        connect(filter_dialog_.get(), &FilterDialog::filterReleased, this, [this] {
            ShowFilter();
            emit filterReleased();
        });
    }
    filter_dialog_->Open();
}

}  // namespace korvex
