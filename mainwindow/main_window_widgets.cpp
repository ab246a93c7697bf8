#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "mainwindow/illustrations.h"
#include "mainwindow/main_window.h"
#include "report/qt_text.h"
#include "settings/user_name.h"
#include "ui/file_list.h"
#include "ui/interface_language.h"
#include "ui/language_choice.h"

// The widgets of Form1 and their places; what they do is wired in main_window.cpp.
namespace korvex {
namespace {

QLabel* NamedLabel(const char* name, const QString& text = {}) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    return label;
}

// A value display: framed, right-aligned, selectable so that a value can be copied.
QLabel* ValueLabel(const char* name, int minimum_width = 72) {
    QLabel* label = NamedLabel(name);
    label->setProperty("role", "value");
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(minimum_width);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QLabel* Caption(const QString& text) {
    auto* label = new QLabel(text);
    label->setProperty("role", "caption");
    return label;
}

QLabel* Unit(const QString& text) {
    auto* label = new QLabel(text);
    label->setProperty("role", "unit");
    return label;
}

QLineEdit* NamedField(const char* name) {
    auto* field = new QLineEdit;
    field->setObjectName(name);
    field->setAlignment(Qt::AlignRight);
    field->setMaximumWidth(110);
    return field;
}

// Step mark and heading of one of the three numbered areas.
QWidget* StepHeading(const char* mark, const QString& heading) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* mark_label = new QLabel(ToQString(mark));
    mark_label->setProperty("role", "step");
    layout->addWidget(mark_label);
    if (!heading.isEmpty()) {
        auto* heading_label = new QLabel(heading);
        heading_label->setProperty("role", "heading");
        layout->addWidget(heading_label);
    }
    layout->addStretch();
    return row;
}

// "Korvex-2" drawn twice, the second 2 pixels right and down: the shadowed title.
QWidget* ShadowedTitle() {
    auto* title = new QWidget;
    auto* shadow = new QLabel("Korvex-2", title);
    shadow->setObjectName("TitleShadow");
    auto* front = new QLabel("Korvex-2", title);
    front->setObjectName("Title");
    QFont font("Times New Roman");
    font.setPointSize(30);
    font.setBold(true);
    font.setItalic(true);
    shadow->setFont(font);
    front->setFont(font);
    shadow->adjustSize();
    front->adjustSize();
    shadow->move(2, 2);
    front->move(0, 0);
    title->setMinimumSize(front->width() + 4, front->height() + 4);
    return title;
}

// The seven result displays: object name, caption and unit.
struct ResultRowText {
    const char* name;
    const char* caption;
    const char* unit;
};
const ResultRowText kResultRows[] = {
    {"Label68",
     QT_TRANSLATE_NOOP("korvex::MainWindow",
                       "補正後の患者照射基準点線量 cK<sub>a,r</sub>（天板なし）"),
     "mGy"},
    {"Label69",
     QT_TRANSLATE_NOOP("korvex::MainWindow",
                       "補正後の面積空気カーマ積算値 cP<sub>KA</sub>（天板なし）"),
     QT_TRANSLATE_NOOP("korvex::MainWindow", "Gy・cm<sup>2</sup>")},
    {"Label70", QT_TRANSLATE_NOOP("korvex::MainWindow", "天板の一次線透過率"), ""},
    {"Label71",
     QT_TRANSLATE_NOOP("korvex::MainWindow", "入射表面における一次線空気カーマ（天板あり）"),
     "mGy"},
    {"Label72",
     QT_TRANSLATE_NOOP("korvex::MainWindow", "一次線の吸収線量／空気カーマ比（皮膚組織）"), ""},
    {"Label73",
     QT_TRANSLATE_NOOP("korvex::MainWindow",
                       "軟部組織吸収線量に基づく入射面への<br>前方+後方散乱係数"),
     ""},
    {"Label74", QT_TRANSLATE_NOOP("korvex::MainWindow", "入射表面皮膚組織吸収線量"), "mGy"},
};

const char* const kStyleSheet = R"(
QWidget#Form1 { background: #eef2f7; }
QGroupBox { background: #ffffff; border: 1px solid #c3cddd; border-radius: 8px; margin-top: 4px; }
QGroupBox#Frame1 { background: #f8fafd; margin-top: 12px; padding-top: 6px; }
QGroupBox::title { subcontrol-origin: margin; left: 10px; padding: 0 4px; color: #27364d; }
QLabel[role="step"] { color: #1f4e8c; font-size: 20pt; font-weight: bold; }
QLabel[role="heading"] { color: #1f4e8c; font-size: 12pt; font-weight: bold; }
QLabel[role="caption"] { color: #27364d; }
QLabel[role="unit"] { color: #55627a; }
QLabel[role="hint"] { color: #8a5a00; font-style: italic; }
QLabel[role="note"] { color: #55627a; font-size: 8pt; }
QLabel[role="value"] { background: #f5f8fc; border: 1px solid #c3cddd; border-radius: 3px;
                        padding: 2px 6px; color: #10243f; }
QLabel#Label74 { background: #fff6e0; border: 1px solid #e0a030; font-weight: bold;
                 font-size: 13pt; color: #8a3b00; }
QLabel#Title { color: #1f4e8c; }
QLabel#TitleShadow { color: #9fb0c8; }
QLabel#Label65 { font-weight: bold; }
QPushButton { padding: 5px 12px; }
QPushButton#Command2 { background: #1f6fd1; color: white; font-weight: bold; font-size: 12pt;
                       border-radius: 6px; padding: 8px 18px; }
QPushButton#Command2:disabled { background: #9db4d3; }
QPushButton#Command8 { background: #fff3c4; color: #7a4100; border: 2px solid #e0a030;
                       border-radius: 10px; font-size: 15pt; font-weight: bold; padding: 14px 24px; }
QPushButton#Command8:hover { background: #ffe9a0; }
)";

}  // namespace

void MainWindow::BuildWindow() {
    setWindowTitle(ToQString(kStartCaption));
    setStyleSheet(kStyleSheet);
    auto* root = new QVBoxLayout(this);
    root->addLayout(BuildHeader());
    auto* steps = new QHBoxLayout;
    steps->addWidget(BuildDeviceBox(), 1);
    steps->addWidget(BuildInputBox(), 1);
    steps->addWidget(BuildResultBox(), 1);
    root->addLayout(steps, 1);
    root->addLayout(BuildBottomRow());
    BuildWelcomeButton();
    ConnectEvents();
}

// Title block and the static picture.
QLayout* MainWindow::BuildHeader() {
    auto* header = new QHBoxLayout;
    auto* titles = new QVBoxLayout;
    titles->addWidget(ShadowedTitle());
    auto* version = new QLabel("Korvex, version 2");
    version->setObjectName("Label3");
    auto* field = new QLabel("Interventional Radiology (IVR)");
    field->setObjectName("Label4");
    auto* purpose = new QLabel(tr("患者の入射表面皮膚組織吸収線量の算定"));
    purpose->setObjectName("Label5");
    purpose->setProperty("role", "heading");
    titles->addWidget(version);
    titles->addWidget(field);
    titles->addWidget(purpose);
    header->addLayout(titles);
    header->addStretch();
    auto* picture = new ExposurePicture;
    picture->setObjectName("Image1");
    header->addWidget(picture);
    return header;
}

// ① Device: the file list, its two buttons and the values of the chosen device.
QWidget* MainWindow::BuildDeviceBox() {
    auto* device_box = new QGroupBox;
    device_box->setObjectName("FrameDevice");
    auto* device = new QVBoxLayout(device_box);
    device->addWidget(StepHeading("①", tr("Ｘ線室・装置を選択")));
    device_list_ = new FileList;
    device_list_->setObjectName("File1");
    device_list_->setMinimumHeight(110);
    device->addWidget(device_list_);
    auto* device_buttons = new QHBoxLayout;
    delete_button_ = new QPushButton(tr("削 除"));
    delete_button_->setObjectName("Command4");
    new_device_button_ = new QPushButton(tr("新規作成"));
    new_device_button_->setObjectName("Command7");
    device_buttons->addWidget(delete_button_);
    device_buttons->addStretch();
    device_buttons->addWidget(new_device_button_);
    device->addLayout(device_buttons);
    auto* values = new QGridLayout;
    int row = 0;
    const auto add_value = [&](const QString& caption, QLabel* value, const QString& unit) {
        values->addWidget(Caption(caption), row, 0);
        values->addWidget(value, row, 1, 1, 2);
        values->addWidget(Unit(unit), row, 3);
        ++row;
    };
    target_angle_ = ValueLabel("Label23");
    inherent_filter_ = ValueLabel("Label25");
    added_aluminium_ = ValueLabel("Label50");
    added_copper_ = ValueLabel("Label51");
    filter_material_ = ValueLabel("Label29", 60);
    filter_material_->setAlignment(Qt::AlignCenter);
    filter_thickness_ = ValueLabel("Label26", 60);
    receptor_distance_ = ValueLabel("Label62");
    isocentre_distance_ = ValueLabel("Label64");
    add_value(tr(" Ｘ線管ターゲット角度"), target_angle_, tr("度"));
    add_value(tr(" 固有フィルタ (Al 当量)"), inherent_filter_, "mm");
    add_value(tr(" 付加フィルタ (アルミ)"), added_aluminium_, "mm");
    add_value(tr(" 付加フィルタ（ 銅 ）"), added_copper_, "mm");
    values->addWidget(Caption(tr("付加フィルタ")), row, 0);
    values->addWidget(filter_material_, row, 1);
    values->addWidget(filter_thickness_, row, 2);
    values->addWidget(Unit("mm"), row, 3);
    ++row;
    add_value(tr("　焦点-受像器間距離"), receptor_distance_, "cm");
    add_value(tr("焦点-アイソセンター間距離"), isocentre_distance_, "cm");
    couch_model_ = NamedLabel("CouchModelLabel");
    couch_model_->setProperty("role", "caption");
    couch_model_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    values->addWidget(couch_model_, row, 0, 1, 4);
    ++row;
    device->addLayout(values);
    device->addStretch();
    return device_box;
}

// ② Exposure conditions: body site, readings, field shape and size, focus-skin distance.
QWidget* MainWindow::BuildInputBox() {
    auto* input_box = new QGroupBox;
    input_box->setObjectName("FrameInput");
    auto* input = new QVBoxLayout(input_box);
    input->addWidget(StepHeading("②", tr("以下の項目を入力して下さい")));
    auto* fields = new QGridLayout;
    body_site_ = new QComboBox;
    body_site_->setObjectName("Combo1");
    body_site_->setEditable(true);
    body_site_->setMinimumWidth(130);
    tube_voltage_ = NamedField("Text5");
    kar_ = NamedField("Text14");
    pka_ = NamedField("Text15");
    focus_skin_ = NamedField("Text9");
    fields->addWidget(Caption(tr("対象部位")), 0, 0);
    fields->addWidget(body_site_, 0, 1, 1, 2);
    fields->addWidget(Caption(tr("　Ｘ線管電圧")), 1, 0);
    fields->addWidget(tube_voltage_, 1, 1);
    fields->addWidget(Unit("kV"), 1, 2);
    fields->addWidget(
        Caption(tr("患者照射基準点線量 K<sub>a,r</sub><br><small>（天板なし）</small>")), 2, 0);
    fields->addWidget(kar_, 2, 1);
    fields->addWidget(Unit("mGy"), 2, 2);
    fields->addWidget(
        Caption(tr("面積空気カーマ積算値 P<sub>KA</sub><br><small>（天板なし）</small>")), 3, 0);
    fields->addWidget(pka_, 3, 1);
    fields->addWidget(Unit(tr("Gy・cm<sup>2</sup>")), 3, 2);
    input->addLayout(fields);

    auto* shape_frame = new QGroupBox(tr("照射野形状"));
    shape_frame->setObjectName("Frame1");
    auto* shape_layout = new QHBoxLayout(shape_frame);
    square_option_ = new QRadioButton(tr("矩形(正方形)"));
    square_option_->setObjectName("Option2");
    circle_option_ = new QRadioButton(tr("円形"));
    circle_option_->setObjectName("Option1");
    // Both may be unchosen: the window decides which one is on.
    square_option_->setAutoExclusive(false);
    circle_option_->setAutoExclusive(false);
    shape_layout->addWidget(square_option_);
    shape_layout->addWidget(circle_option_);
    input->addWidget(shape_frame);

    auto* size_box = new QGridLayout;
    size_box->addWidget(Caption(tr("患者照射基準点における照射野サイズ")), 0, 0, 1, 3);
    field_size_name_ = NamedLabel("Label22");
    field_size_name_->setProperty("role", "caption");
    field_size_ = ValueLabel("Label65");
    size_box->addWidget(field_size_name_, 1, 0);
    size_box->addWidget(field_size_, 1, 1);
    size_box->addWidget(Unit("cm"), 1, 2);
    size_box->addWidget(Caption(tr("実際の焦点-入射表面間距離")), 2, 0);
    size_box->addWidget(focus_skin_, 2, 1);
    size_box->addWidget(Unit("cm"), 2, 2);
    auto* hint = new QLabel("FAD - 15 cm  ?");
    hint->setObjectName("Label61");
    hint->setProperty("role", "hint");
    size_box->addWidget(hint, 3, 1, 1, 2);
    input->addLayout(size_box);
    input->addStretch();
    return input_box;
}

// ③ The calculate button, the seven results and the add and clear buttons.
QWidget* MainWindow::BuildResultBox() {
    auto* result_box = new QGroupBox;
    result_box->setObjectName("FrameResult");
    auto* result = new QVBoxLayout(result_box);
    auto* calculate_row = new QHBoxLayout;
    calculate_row->addWidget(StepHeading("③", {}));
    calculate_button_ = new QPushButton(tr("この条件で計算する"));
    calculate_button_->setObjectName("Command2");
    calculate_button_->setToolTip(" Go ! ");
    calculate_row->addWidget(calculate_button_, 1);
    result->addLayout(calculate_row);

    auto* model_row = new QHBoxLayout;
    model_row->addWidget(Caption(tr("計算モデル")));
    model_choice_ = new QComboBox;
    model_choice_->setObjectName("Combo2");
    for (const DoseModel model : kDoseModels) {
        model_choice_->addItem(ToQString(DoseModelName(model, InterfaceLanguage())),
                               static_cast<int>(model));
    }
    model_row->addWidget(model_choice_, 1);
    result->addLayout(model_row);
    model_note_ = NamedLabel("Label76");
    model_note_->setProperty("role", "note");
    model_note_->setWordWrap(true);
    result->addWidget(model_note_);

    auto* results = new QGridLayout;
    for (int i = 0; i < 7; ++i) {
        result_labels_[static_cast<size_t>(i)] = ValueLabel(kResultRows[i].name, 90);
        results->addWidget(Caption(tr(kResultRows[i].caption)), i, 0);
        results->addWidget(result_labels_[static_cast<size_t>(i)], i, 1);
        results->addWidget(Unit(tr(kResultRows[i].unit)), i, 2);
    }
    uncertainty_ = NamedLabel("Label75");
    uncertainty_->setProperty("role", "unit");
    uncertainty_->setToolTip(
        tr(" 皮膚線量の拡張不確かさ（k = 2）：手法、基準データ、線量計の校正、焦点-皮膚間距離"
           "（±2 cm）、照射野サイズから求めています "));
    results->addWidget(uncertainty_, 6, 3);
    results->setColumnStretch(0, 1);
    result->addLayout(results);
    beam_quality_ = NamedLabel("Label77");
    beam_quality_->setProperty("role", "note");
    beam_quality_->setToolTip(
        tr(" 第１半価層：細いビームの空気カーマを半分にするアルミニウムの厚さ。"
           "平均エネルギー：光子数スペクトルの平均 "));
    auto* quality_row = new QHBoxLayout;
    quality_row->addWidget(beam_quality_, 1);
    quality_row->addWidget(BuildBeamPlotsButton());
    result->addLayout(quality_row);
    auto* result_buttons = new QHBoxLayout;
    add_button_ = new QPushButton(tr("結果を表に追加する"));
    add_button_->setObjectName("Command3");
    clear_button_ = new QPushButton(tr("計算結果をクリアする"));
    clear_button_->setObjectName("Command6");
    result_buttons->addWidget(add_button_);
    result_buttons->addWidget(clear_button_);
    result->addLayout(result_buttons);
    result->addStretch();
    return result_box;
}

// The dose-report button, exit and the mascot.
QLayout* MainWindow::BuildBottomRow() {
    auto* bottom = new QHBoxLayout;
    report_button_ = new QPushButton(tr("線量レポート読込"));
    report_button_->setObjectName("CommandDoseReport");
    report_button_->setToolTip(tr(" Ｘ線装置の線量レポート (RDSR) の全照射を計算します "));
    bottom->addWidget(report_button_, 0, Qt::AlignBottom);
    bottom->addStretch();
    bottom->addWidget(new LanguageChoiceBox(state_.working_folder, messages_), 0, Qt::AlignBottom);
    exit_button_ = new QPushButton(tr("終了する"));
    exit_button_->setObjectName("Command1");
    bottom->addWidget(exit_button_, 0, Qt::AlignBottom);
    mascot_ = new MascotPicture;
    mascot_->setObjectName("Picture1");
    mascot_->setToolTip(tr(" ダブルクリック "));
    bottom->addWidget(mascot_);
    return bottom;
}

// Command8 lies over the middle of the window, outside the layout; it stays hidden unless
// start-up finds no user name.
void MainWindow::BuildWelcomeButton() {
    welcome_button_ =
        new QPushButton(tr("ようこそ Korvex-2 へ ： 最初にユーザー名を登録して下さい"), this);
    welcome_button_->setObjectName("Command8");
    welcome_button_->setCursor(Qt::PointingHandCursor);
    welcome_button_->hide();
}

void MainWindow::PlaceWelcomeButton() {
    const QSize hint = welcome_button_->sizeHint();
    const int button_width = std::min(width() - 16, std::max(hint.width(), width() * 3 / 5));
    welcome_button_->setGeometry((width() - button_width) / 2, (height() - hint.height()) / 2,
                                 button_width, hint.height());
    welcome_button_->raise();
}

}  // namespace korvex
