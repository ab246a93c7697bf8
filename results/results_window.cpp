#include "results/results_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/calculation_driver.h"
#include "engine/errors.h"
#include "engine/text_rules.h"
#include "report/report_pdf.h"
#include "results/add_result_row.h"
#include "results/results_dialogs.h"
#include "results/results_report.h"
#include "ui/canvas.h"
#include "ui/message_service.h"
#include "ui/printer_service.h"

namespace korvex {
namespace {

// The drawing area is 15285 x 6975 twips; one user unit is 13.155 twips across and
// 7.65 twips down.
constexpr double kWidthUnits = 15285 / 13.155;
constexpr double kHeightUnits = 6975 / 7.65;
const QSize kDesignSize(1019, 465);  // pixels at 15 twips per pixel

const QString kGrid = "grid";
const QColor kGridGrey(128, 128, 128);
const QColor kGridLight(192, 192, 192);
const QColor kGridDark(64, 64, 64);
const QColor kWatermark(192, 192, 192);
const QColor kModelMark(160, 60, 0);
const char* const kTableFont = "メイリオ";

constexpr double RowY(int slot) {
    return 50.0 * slot + 70;
}
constexpr double kTotalsY = 860;

const char* const kClearQuestion = "　現在表示されている計算結果は削除されます　";
const char* const kNothingToSave = "保存するデータがありません";
const char* const kReadQuestion =
    "　ファイル読出を行うと、現在表示されている計算結果は削除されます。";
const char* const kPrinterReadyQuestion = "　プリンターは準備できていますか？　";
const char* const kNoPrinterQuestion =
    "　プリンターが見つかりません。結果表を PDF ファイルに保存しますか？　";
const char* const kPrintFailed = "　印刷できませんでした。プリンターの状態を確かめて下さい。　";
const char* const kPdfFileName = "結果表.pdf";

struct HeaderText {
    double x, y;
    const char* text;
};

constexpr HeaderText kHeader[] = {
    {10, 40, "対象部位"},
    {100, 30, "管電圧"},
    {110, 65, "kV"},
    {250, 2, "総濾過"},
    {170, 40, "固有"},
    {160, 70, "mmAl"},
    {220, 40, "アルミ"},
    {230, 70, "mm"},
    {290, 40, "銅"},
    {280, 70, "mm"},
    {340, 40, "材質"},
    {340, 70, "mm"},
    {410, 30, "FSD"},
    {410, 65, "cm"},
    {480, 30, "照射野"},
    {470, 65, "at 基準点"},
    {580, 2, "装置に表示された"},
    {580, 40, "Ka,r"},
    {580, 70, "mGy"},
    {660, 40, "P_KA"},
    {650, 70, "Gy･cm2"},
    {770, 2, "補正後の"},
    {750, 40, "Ka,r"},
    {750, 70, "mGy"},
    {815, 40, "P_KA"},
    {810, 70, "Gy･cm2"},
    {880, 2, "一次線の"},
    {880, 30, "皮膚線量／"},
    {876, 65, "空気カーマ比"},
    {970, 30, "前方･後方"},
    {970, 65, "散乱係数"},
    {1060, 2, "入射表面"},
    {1050, 30, "皮膚吸収線量"},
    {1080, 65, "mGy"},
};

// x of each cell of a row; the material column is drawn on its own.
struct CellPosition {
    ResultColumn column;
    double x;
};

constexpr CellPosition kCells[] = {
    {ResultColumn::Site, 10},
    {ResultColumn::Kv, 110},
    {ResultColumn::FilterInherent, 165},
    {ResultColumn::FilterAluminium, 225},
    {ResultColumn::FilterCopper, 280},
    {ResultColumn::Fsd, 410},
    {ResultColumn::Field, 460},
    {ResultColumn::KarShown, 570},
    {ResultColumn::PkaShown, 660},
    {ResultColumn::KarCorrected, 750},
    {ResultColumn::PkaCorrected, 825},
    {ResultColumn::DoseRatio, 890},
    {ResultColumn::ScatterFactor, 970},
    {ResultColumn::EntranceDose, 1080},
};

QString Qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QPushButton* StripButton(const char* name, const char* text) {
    auto* button = new QPushButton(QString::fromUtf8(text));
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
      pdf_folder_(working_folder) {
    setObjectName("Form10");
    setWindowTitle("    Calculation Results by Korvex-2");
    setStyleSheet(
        "QPushButton[role=\"strip\"] { background: #ffffd0; border: 1px solid #b8b070;"
        " border-radius: 4px; padding: 4px 14px; font-family: \"メイリオ\"; font-size: 12pt; }"
        "QPushButton[role=\"strip\"]:disabled { color: #a0a090; }"
        "QPushButton#Command1 { background: #eef3fb; border: 1px solid #8ea4c8;"
        " border-radius: 3px; }");

    auto* layout = new QVBoxLayout(this);
    canvas_ = new Canvas(kWidthUnits, kHeightUnits, kDesignSize);
    canvas_->setObjectName("Picture2");
    layout->addWidget(canvas_, 1);
    total_button_ = new QPushButton("合 計 ⇒", canvas_);
    total_button_->setObjectName("Command1");
    total_button_->hide();

    auto* strip = new QHBoxLayout;
    auto* signature = new QLabel("Calculated by Korvex-2");
    signature->setObjectName("Label52");
    QFont serif("Times New Roman");
    serif.setPointSize(11);
    signature->setFont(serif);
    signature->setStyleSheet("color: #505050;");
    user_label_ = new QLabel(user_name.empty() ? QString("User name") : Qs(user_name));
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
    auto* save = StripButton("Command5", "データ保存");
    auto* read = StripButton("Command6", "データ読込");
    auto* print = StripButton("Command4", "印 刷");
    auto* pdf = StripButton("Command8", "PDF に保存");
    auto* clear = StripButton("Command7", "データ消去");
    for (QPushButton* button : {save, read, print, pdf, clear}) {
        strip->addWidget(button);
    }
    layout->addLayout(strip);
    resize(kDesignSize.width() + 24, kDesignSize.height() + 70);

    const QString start_folder = QString::fromStdString(working_folder.string());
    save_dialog_ = new ResultsSaveDialog(table_, messages_, start_folder, this);
    read_dialog_ = new ResultsReadDialog(table_, messages_, start_folder, this);

    connect(total_button_, &QPushButton::clicked, this, [this] { DrawDoseTotal(); });
    connect(save, &QPushButton::clicked, this, [this] { OpenSaveDialog(); });
    connect(read, &QPushButton::clicked, this, [this] { OpenReadDialog(); });
    connect(print, &QPushButton::clicked, this, [this] { PrintResultsTable(); });
    connect(pdf, &QPushButton::clicked, this, [this] { SaveReportPdf(); });
    connect(clear, &QPushButton::clicked, this, [this] { ClearTable(); });
    connect(read_dialog_, &ResultsReadDialog::tableRead, this, [this] { RedrawTable(); });

    BuildGrid();
    canvas_->SetFontName(kTableFont);
    canvas_->SetFontSize(9);
    ShowEmptyTable();
}

ResultsWindow::~ResultsWindow() = default;

void ResultsWindow::BuildGrid() {
    const auto line = [this](double x1, double y1, double x2, double y2, const QColor& color,
                             double width) {
        canvas_->AddLine(kGrid, {x1, y1, x2, y2, color, width});
    };
    const double right = kWidthUnits;
    line(0, 100, right, 100, kGridGrey, 2);
    for (int y = 150; y <= 800; y += 50) {
        line(0, y, right, y, kGridLight, 1);
    }
    line(0, 850, right, 850, Qt::black, 1);
    line(155, 39, 392, 39, kGridLight, 1);
    line(547, 39, 876, 39, kGridLight, 1);
    for (double x : {90.0, 547.0, 730.0}) {
        line(x, 0, x, 850, kGridGrey, 2);
    }
    line(1040, 0, 1040, 910, kGridGrey, 2);
    for (double x : {155.0, 392.0, 456.0, 958.0}) {
        line(x, 0, x, 850, kGridLight, 1);
    }
    line(876, 0, 876, 850, kGridDark, 1);
    for (double x : {210.0, 264.5, 319.0, 638.5}) {
        line(x, 39, x, 850, kGridLight, 1);
    }
    line(803, 39, 803, 866, kGridLight, 1);
}

void ResultsWindow::PlaceTotalButton() {
    // In the totals line, under the scatter-factor column, just left of the dose column.
    const QPointF top_left = canvas_->ToWidget(962, 854);
    const QPointF bottom_right = canvas_->ToWidget(1036, 906);
    total_button_->setGeometry(QRectF(top_left, bottom_right).toRect());
}

void ResultsWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceTotalButton();
}

void ResultsWindow::ShowTableGrid() {
    canvas_->SetGroupVisible(kGrid, true);
    PlaceTotalButton();
    total_button_->show();
}

void ResultsWindow::HideTableGrid() {
    canvas_->SetGroupVisible(kGrid, false);
    total_button_->hide();
}

void ResultsWindow::DrawTableHeader() {
    canvas_->SetFontName(kTableFont);
    for (const HeaderText& text : kHeader) {
        canvas_->DrawText(text.x, text.y, QString::fromUtf8(text.text));
    }
}

void ResultsWindow::DrawResultRow(int slot) {
    const ResultRow& row = table_.Row(slot);
    const double y = RowY(slot);
    for (const CellPosition& cell : kCells) {
        const std::string shown = row[cell.column].Shown(ColumnInfo(cell.column).screen_pattern);
        canvas_->DrawText(cell.x, y, QString::fromStdString(shown));
    }
    if (RowIsMarked(table_, slot)) {
        DrawModelMark(1044, y + 3, row.Model());
    }
    if (row.HasArbitraryFilter()) {
        canvas_->DrawText(330, y - 14,
                          QString::fromStdString(row[ResultColumn::FilterOther].StoredText()));
        const auto& thickness = row[ResultColumn::FilterOtherThickness];
        canvas_->DrawText(340, y + 10,
                          QString::fromStdString(thickness.Shown(
                              ColumnInfo(ResultColumn::FilterOtherThickness).screen_pattern)));
    } else {
        canvas_->DrawText(350, y, "---");
    }
}

// A row's or a total's model in small type left of the dose column's numbers.
void ResultsWindow::DrawModelMark(double x, double y, DoseModel model) {
    canvas_->SetFontSize(7);
    canvas_->SetTextColor(kModelMark);
    canvas_->DrawText(x, y, Qs(DoseModelShortName(model)));
    canvas_->SetTextColor(Qt::black);
    canvas_->SetFontSize(9);
}

void ResultsWindow::DrawDoseTotal() {
    std::vector<ModelDoseTotal> totals;
    try {
        totals = table_.DoseTotals();
    } catch (const CalculationError&) {
        messages_.Tell("線量の合計を計算できません（値が大きすぎます）。",
                       MessageIcon::Exclamation);
        return;
    }
    if (totals.size() <= 1) {
        const double total = totals.empty() ? 0.0 : totals.front().total;
        canvas_->FillRect(1045, kTotalsY, 1150, 900, Qt::white);
        canvas_->DrawText(1080, kTotalsY, QString::fromStdString(FormatNumber(total, "###0.0")));
        return;
    }
    // Rows of two models: one total each, marked, one under the other.
    canvas_->FillRect(1045, kTotalsY - 6, 1150, 908, Qt::white);
    double y = kTotalsY - 6;
    for (const ModelDoseTotal& total : totals) {
        DrawModelMark(1044, y + 3, total.model);
        canvas_->DrawText(1080, y, QString::fromStdString(FormatNumber(total.total, "###0.0")));
        y += 24;
    }
}

void ResultsWindow::ShowTableModels() {
    model_label_->setText(QString::fromStdString(TableModelText(table_)));
}

void ResultsWindow::ShowEmptyTable() {
    canvas_->SetTextColor(kWatermark);
    canvas_->SetFontName("Times New Roman");
    canvas_->SetFontSize(28);
    canvas_->DrawText(500, 350, "Korvex-2");
    if (!user_name_.empty()) {
        canvas_->SetFontName(kTableFont);
        canvas_->DrawText(500, 500, Qs(user_name_));
    }
    canvas_->SetFontName(kTableFont);
    canvas_->SetTextColor(Qt::black);
    canvas_->SetFontSize(9);
}

void ResultsWindow::ShowUserNameAtStartUp() {
    canvas_->SetTextColor(kWatermark);
    canvas_->SetFontName(kTableFont);
    canvas_->SetFontSize(28);
    canvas_->DrawText(500, 500, Qs(user_name_));
    canvas_->SetTextColor(Qt::black);
    canvas_->SetFontSize(9);
    user_label_->setText(Qs(user_name_));
}

void ResultsWindow::ShowUserNameChanged() {
    canvas_->Clear();
    canvas_->SetTextColor(kWatermark);
    canvas_->SetFontName("Times New Roman");
    canvas_->SetFontSize(28);
    canvas_->DrawText(500, 200, "Korvex-2");
    canvas_->SetFontName(kTableFont);
    canvas_->DrawText(500, 350, Qs(user_name_));
    // Black, not a theme's button-text colour: the table is drawn on white.
    canvas_->SetTextColor(Qt::black);
    canvas_->SetFontSize(9);
    user_label_->setText(Qs(user_name_));
}

void ResultsWindow::RedrawTable() {
    canvas_->Clear();
    ShowTableGrid();
    DrawTableHeader();
    for (int slot = 1; slot <= table_.RowCount(); ++slot) {
        DrawResultRow(slot);
    }
    ShowTableModels();
}

void ResultsWindow::AddResult(const CalculationCase& calc) {
    const bool was_mixed = table_.MixesModels();
    AddRowOutcome outcome;
    try {
        outcome = AddResultRow(table_, calc);
    } catch (const CalculationError&) {
        messages_.Tell(QString::fromUtf8(kCalculationFailureMessage), MessageIcon::Exclamation);
        return;
    }
    ShowAdded(outcome, was_mixed);
}

void ResultsWindow::AddRow(const ResultRow& row) {
    const bool was_mixed = table_.MixesModels();
    ShowAdded(AddFormattedRow(table_, row), was_mixed);
}

void ResultsWindow::ShowAdded(const AddRowOutcome& outcome, bool was_mixed) {
    if (outcome.table_was_empty && outcome.Stored()) {
        canvas_->Clear();
        ShowTableGrid();
        DrawTableHeader();
    }
    if (outcome.Stored()) {
        // The first row of a second model marks the rows of the other one: all are drawn
        // again.
        if (!was_mixed && table_.MixesModels()) {
            RedrawTable();
        } else {
            DrawResultRow(outcome.stored_slot);
            ShowTableModels();
        }
    }
    if (outcome.capacity_warning) {
        messages_.Beep();
        messages_.Tell(Qs(kCapacityWarningText), MessageIcon::Exclamation);
    }
}

void ResultsWindow::ClearTable() {
    messages_.Beep();
    if (messages_.Ask(QString::fromUtf8(kClearQuestion), MessageButtons::OkCancel,
                      MessageIcon::None) != MessageAnswer::Ok) {
        return;
    }
    canvas_->Clear();
    table_.ClearResultsTable();
    HideTableGrid();
    ShowEmptyTable();
    ShowTableModels();
    emit tableCleared();
}

void ResultsWindow::OpenSaveDialog() {
    if (table_.RowCount() == 0) {
        messages_.Tell(QString::fromUtf8(kNothingToSave), MessageIcon::Exclamation);
        return;
    }
    save_dialog_->Open();
}

void ResultsWindow::OpenReadDialog() {
    if (table_.RowCount() > 0) {
        messages_.Beep();
        if (messages_.Ask(QString::fromUtf8(kReadQuestion), MessageButtons::OkCancel,
                          MessageIcon::None) != MessageAnswer::Ok) {
            return;
        }
    }
    read_dialog_->Open();
}

void ResultsWindow::PrintResultsTable() {
    // Asking whether a printer is ready makes no sense when there is none.
    if (!printer_.PrinterInstalled()) {
        messages_.Beep();
        if (messages_.Ask(QString::fromUtf8(kNoPrinterQuestion), MessageButtons::YesNo,
                          MessageIcon::Exclamation) == MessageAnswer::Yes) {
            SaveReportPdf();
        }
        return;
    }
    if (messages_.Ask(QString::fromUtf8(kPrinterReadyQuestion), MessageButtons::YesNo,
                      MessageIcon::None) != MessageAnswer::Yes) {
        return;
    }
    const PrintResult result = printer_.PreviewAndPrint(
        [this](PrintSurface& surface) { PrintReportPage(surface, table_, user_name_); });
    if (result == PrintResult::Failed) {
        messages_.Tell(QString::fromUtf8(kPrintFailed), MessageIcon::Exclamation);
    }
}

void ResultsWindow::SaveReportPdf() {
    const std::optional<std::filesystem::path> path =
        printer_.ChoosePdfFile(pdf_folder_ / kPdfFileName);
    if (!path) {
        return;
    }
    try {
        WritePdfDocument(*path, kReportTitle, ReportPageDrawing(table_, user_name_));
    } catch (const FileError& error) {
        messages_.Tell(QString::fromUtf8(error.what()), MessageIcon::Exclamation);
        return;
    }
    pdf_folder_ = path->parent_path();
}

}  // namespace korvex
