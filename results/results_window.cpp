#include "results/results_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/calculation_driver.h"
#include "engine/errors.h"
#include "report/qt_text.h"
#include "results/add_result_row.h"
#include "results/results_dialogs.h"
#include "results/results_report.h"
#include "ui/canvas.h"
#include "ui/interface_language.h"
#include "ui/message_service.h"

namespace korvex {
namespace {

const char* const kClearQuestion =
    QT_TRANSLATE_NOOP("korvex::ResultsWindow", "　現在表示されている計算結果は削除されます　");
const char* const kNothingToSave =
    QT_TRANSLATE_NOOP("korvex::ResultsWindow", "保存するデータがありません");
const char* const kReadQuestion = QT_TRANSLATE_NOOP(
    "korvex::ResultsWindow", "　ファイル読出を行うと、現在表示されている計算結果は削除されます。");
const char* const kTotalTooLarge =
    QT_TRANSLATE_NOOP("korvex::ResultsWindow", "線量の合計を計算できません（値が大きすぎます）。");

const char* const kStyleSheet =
    "QPushButton[role=\"strip\"] { background: #ffffd0; border: 1px solid #b8b070;"
    " border-radius: 4px; padding: 4px 14px; font-family: \"メイリオ\"; font-size: 12pt; }"
    "QPushButton[role=\"strip\"]:disabled { color: #a0a090; }"
    "QPushButton#Command1 { background: #eef3fb; border: 1px solid #8ea4c8;"
    " border-radius: 3px; }";

QPushButton* StripButton(const char* name, const QString& text) {
    auto* button = new QPushButton(text);
    button->setObjectName(name);
    button->setProperty("role", "strip");
    return button;
}

}  // namespace

ResultsWindow::ResultsWindow(ResultsTable& table, const std::string& user_name,
                             MessageService& messages, PrinterService& printer,
                             std::filesystem::path working_folder, QWidget* parent)
    : QWidget(parent),
      table_(table),
      user_name_(user_name),
      messages_(messages),
      printer_(printer),
      pdf_folder_(working_folder),
      drawing_(table) {
    setObjectName("Form10");
    setWindowTitle("    Calculation Results by Korvex-2");
    setStyleSheet(kStyleSheet);

    auto* layout = new QVBoxLayout(this);
    Canvas* canvas = drawing_.Area();
    canvas->setObjectName("Picture2");
    layout->addWidget(canvas, 1);
    total_button_ = new QPushButton(tr("合 計 ⇒"), canvas);
    total_button_->setObjectName("Command1");
    total_button_->hide();
    connect(total_button_, &QPushButton::clicked, this, [this] { DrawDoseTotal(); });
    layout->addLayout(BuildStrip());
    resize(canvas->sizeHint().width() + 24, canvas->sizeHint().height() + 70);

    const QString start_folder = ToQString(working_folder.string());
    save_dialog_ = new ResultsSaveDialog(table_, messages_, start_folder, this);
    read_dialog_ = new ResultsReadDialog(table_, messages_, start_folder, this);
    connect(read_dialog_, &ResultsReadDialog::tableRead, this, [this] { RedrawTable(); });

    drawing_.ShowEmptyTable(user_name_);
}

ResultsWindow::~ResultsWindow() = default;

QLayout* ResultsWindow::BuildStrip() {
    auto* strip = new QHBoxLayout;
    auto* signature = new QLabel("Calculated by Korvex-2");
    signature->setObjectName("Label52");
    QFont serif("Times New Roman");
    serif.setPointSize(11);
    signature->setFont(serif);
    signature->setStyleSheet("color: #505050;");
    user_label_ = new QLabel(user_name_.empty() ? QString("User name") : ToQString(user_name_));
    user_label_->setObjectName("Label1");
    model_label_ = new QLabel;
    model_label_->setObjectName("Label2");
    model_label_->setStyleSheet("color: #a03c00;");
    strip->addWidget(signature);
    strip->addSpacing(16);
    strip->addWidget(user_label_);
    strip->addSpacing(16);
    strip->addWidget(model_label_);
    strip->addStretch();
    auto* save = StripButton("Command5", tr("データ保存"));
    auto* read = StripButton("Command6", tr("データ読込"));
    auto* print = StripButton("Command4", tr("印 刷"));
    auto* pdf = StripButton("Command8", tr("PDF に保存"));
    auto* clear = StripButton("Command7", tr("データ消去"));
    for (QPushButton* button : {save, read, print, pdf, clear}) {
        strip->addWidget(button);
    }
    connect(save, &QPushButton::clicked, this, [this] { OpenSaveDialog(); });
    connect(read, &QPushButton::clicked, this, [this] { OpenReadDialog(); });
    connect(print, &QPushButton::clicked, this, [this] { PrintResultsTable(); });
    connect(pdf, &QPushButton::clicked, this, [this] { SaveReportPdf(); });
    connect(clear, &QPushButton::clicked, this, [this] { ClearTable(); });
    return strip;
}

void ResultsWindow::PlaceTotalButton() {
    total_button_->setGeometry(drawing_.TotalButtonPlace());
}

void ResultsWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceTotalButton();
}

void ResultsWindow::ShowTableGrid() {
    drawing_.ShowGrid(true);
    PlaceTotalButton();
    total_button_->show();
}

void ResultsWindow::HideTableGrid() {
    drawing_.ShowGrid(false);
    total_button_->hide();
}

void ResultsWindow::DrawDoseTotal() {
    if (!drawing_.DrawDoseTotals()) {
        messages_.Tell(tr(kTotalTooLarge), MessageIcon::Exclamation);
    }
}

void ResultsWindow::ShowTableModels() {
    model_label_->setText(ToQString(TableModelText(table_, InterfaceLanguage())));
}

void ResultsWindow::ShowUserNameAtStartUp() {
    drawing_.ShowUserNameAtStartUp(user_name_);
    user_label_->setText(ToQString(user_name_));
}

void ResultsWindow::ShowUserNameChanged() {
    drawing_.ShowUserNameChanged(user_name_);
    user_label_->setText(ToQString(user_name_));
}

void ResultsWindow::RedrawTable() {
    drawing_.Redraw();
    ShowTableGrid();
    ShowTableModels();
}

void ResultsWindow::AddResult(const CalculationCase& calc) {
    const bool was_mixed = table_.MixesModels();
    AddRowOutcome outcome;
    try {
        outcome = AddResultRow(table_, calc);
    } catch (const CalculationError&) {
        messages_.Tell(CoreText(kCalculationFailureMessage), MessageIcon::Exclamation);
        return;
    }
    ShowAdded(outcome, was_mixed);
}

void ResultsWindow::AddRow(const ResultRow& row) {
    const bool was_mixed = table_.MixesModels();
    ShowAdded(AddFormattedRow(table_, row), was_mixed);
}

void ResultsWindow::ShowAdded(const AddRowOutcome& outcome, bool was_mixed) {
    if (outcome.Stored()) {
        // The first row of a second model marks the rows of the other one: all are drawn
        // again. The first row of a table replaces the empty display.
        if (outcome.table_was_empty || (!was_mixed && table_.MixesModels())) {
            RedrawTable();
        } else {
            drawing_.DrawRow(outcome.stored_slot);
            ShowTableModels();
        }
    }
    if (outcome.capacity_warning) {
        messages_.Beep();
        messages_.Tell(CoreText(kCapacityWarningText), MessageIcon::Exclamation);
    }
}

void ResultsWindow::ClearTable() {
    messages_.Beep();
    if (messages_.Ask(tr(kClearQuestion), MessageButtons::OkCancel, MessageIcon::None) !=
        MessageAnswer::Ok) {
        return;
    }
    table_.ClearResultsTable();
    HideTableGrid();
    drawing_.ShowEmptyTable(user_name_);
    ShowTableModels();
    emit tableCleared();
}

void ResultsWindow::OpenSaveDialog() {
    if (table_.RowCount() == 0) {
        messages_.Tell(tr(kNothingToSave), MessageIcon::Exclamation);
        return;
    }
    save_dialog_->Open();
}

bool ResultsWindow::MayReplaceTable() {
    if (table_.RowCount() == 0) {
        return true;
    }
    messages_.Beep();
    return messages_.Ask(tr(kReadQuestion), MessageButtons::OkCancel, MessageIcon::None) ==
           MessageAnswer::Ok;
}

void ResultsWindow::OpenReadDialog() {
    if (MayReplaceTable()) {
        read_dialog_->Open();
    }
}

bool ResultsWindow::ReadFile(const std::filesystem::path& path) {
    if (!MayReplaceTable() || !ReadResultsInto(table_, messages_, path)) {
        return false;
    }
    RedrawTable();
    show();
    raise();
    return true;
}

}  // namespace korvex
