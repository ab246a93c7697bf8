#include "results/results_drawing.h"
#include "results/add_result_row.h"

#include "engine/errors.h"
#include "engine/text_rules.h"
#include "report/qt_text.h"
#include "results/results_report.h"
#include "ui/canvas.h"
#include "ui/interface_language.h"

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

// The column headings in Japanese and in English (the interface's language).
struct HeaderText {
    double x, y;
    const char* text;
    const char* english;
};

constexpr HeaderText kHeader[] = {
    {10, 40, "対象部位", "Site"},
    {100, 30, "管電圧", "Voltage"},
    {110, 65, "kV", "kV"},
    {250, 2, "総濾過", "Filtration"},
    {170, 40, "固有", "Inh."},
    {160, 70, "mmAl", "mmAl"},
    {220, 40, "アルミ", "Al"},
    {230, 70, "mm", "mm"},
    {290, 40, "銅", "Cu"},
    {280, 70, "mm", "mm"},
    {340, 40, "材質", "Other"},
    {340, 70, "mm", "mm"},
    {410, 30, "FSD", "FSD"},
    {410, 65, "cm", "cm"},
    {480, 30, "照射野", "Field"},
    {470, 65, "at 基準点", "at ref. pt"},
    {580, 2, "装置に表示された", "Displayed"},
    {580, 40, "Ka,r", "Ka,r"},
    {580, 70, "mGy", "mGy"},
    {660, 40, "P_KA", "P_KA"},
    {650, 70, "Gy･cm2", "Gy·cm2"},
    {770, 2, "補正後の", "Corrected"},
    {750, 40, "Ka,r", "Ka,r"},
    {750, 70, "mGy", "mGy"},
    {815, 40, "P_KA", "P_KA"},
    {810, 70, "Gy･cm2", "Gy·cm2"},
    {880, 2, "一次線の", "Primary"},
    {880, 30, "皮膚線量／", "dose /"},
    {876, 65, "空気カーマ比", "air kerma"},
    {970, 30, "前方･後方", "Fwd+back"},
    {970, 65, "散乱係数", "scatter"},
    {1060, 2, "入射表面", "Entrance"},
    {1050, 30, "皮膚吸収線量", "skin dose"},
    {1080, 65, "mGy", "mGy"},
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

const char* const kProductName = "Korvex-2";
const char* const kProductFont = "Times New Roman";
constexpr double kWatermarkPt = 28;
constexpr double kTablePt = 9;
constexpr double kModelMarkPt = 7;
// Left of the dose column's numbers, in the scatter-factor column's margin.
constexpr double kModelMarkX = 1044;
constexpr double kDoseX = 1080;
const char* const kTotalPattern = "###0.0";

}  // namespace

ResultsDrawing::ResultsDrawing(const ResultsTable& table)
    : table_(table), canvas_(new Canvas(kWidthUnits, kHeightUnits, kDesignSize)) {
    BuildGrid();
    canvas_->SetFontName(kTableFont);
    canvas_->SetFontSize(kTablePt);
}

void ResultsDrawing::BuildGrid() {
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

QRect ResultsDrawing::TotalButtonPlace() const {
    return QRectF(canvas_->ToWidget(962, 854), canvas_->ToWidget(1036, 906)).toRect();
}

void ResultsDrawing::ShowGrid(bool visible) {
    canvas_->SetGroupVisible(kGrid, visible);
}

void ResultsDrawing::StartTable() {
    canvas_->Clear();
    ShowGrid(true);
    DrawHeader();
}

void ResultsDrawing::Redraw() {
    StartTable();
    for (int slot = 1; slot <= table_.RowCount(); ++slot) {
        DrawRow(slot);
    }
}

void ResultsDrawing::DrawHeader() {
    canvas_->SetFontName(kTableFont);
    for (const HeaderText& text : kHeader) {
        canvas_->DrawText(text.x, text.y,
                          ToQString(InterfaceIsJapanese() ? text.text : text.english));
    }
}

void ResultsDrawing::DrawRow(int slot) {
    const ResultRow& row = table_.Row(slot);
    const double y = RowY(slot);
    for (const CellPosition& cell : kCells) {
        std::string shown = row[cell.column].Shown(ColumnInfo(cell.column).screen_pattern);
        if (cell.column == ResultColumn::Field) {
            shown = FieldTextIn(shown, InterfaceLanguage());
        }
        canvas_->DrawText(cell.x, y, ToQString(shown));
    }
    if (RowIsMarked(table_, slot)) {
        DrawModelMark(kModelMarkX, y + 3, row.Model());
    }
    if (row.HasArbitraryFilter()) {
        canvas_->DrawText(330, y - 14, ToQString(row[ResultColumn::FilterOther].StoredText()));
        const ResultCell& thickness = row[ResultColumn::FilterOtherThickness];
        canvas_->DrawText(340, y + 10,
                          ToQString(thickness.Shown(
                              ColumnInfo(ResultColumn::FilterOtherThickness).screen_pattern)));
    } else {
        canvas_->DrawText(350, y, "---");
    }
}

// A row's or a total's model in small type left of the dose column's numbers.
void ResultsDrawing::DrawModelMark(double x, double y, DoseModel model) {
    canvas_->SetFontSize(kModelMarkPt);
    canvas_->SetTextColor(kModelMark);
    canvas_->DrawText(x, y, ToQString(DoseModelShortName(model, InterfaceLanguage())));
    canvas_->SetTextColor(Qt::black);
    canvas_->SetFontSize(kTablePt);
}

bool ResultsDrawing::DrawDoseTotals() {
    std::vector<ModelDoseTotal> totals;
    try {
        totals = table_.DoseTotals();
    } catch (const CalculationError&) {
        return false;
    }
    if (totals.size() <= 1) {
        const double total = totals.empty() ? 0.0 : totals.front().total;
        canvas_->FillRect(1045, kTotalsY, 1150, 900, Qt::white);
        canvas_->DrawText(kDoseX, kTotalsY, ToQString(FormatNumber(total, kTotalPattern)));
        return true;
    }
    // Rows of two models: one total each, marked, one under the other.
    canvas_->FillRect(1045, kTotalsY - 6, 1150, 908, Qt::white);
    double y = kTotalsY - 6;
    for (const ModelDoseTotal& total : totals) {
        DrawModelMark(kModelMarkX, y + 3, total.model);
        canvas_->DrawText(kDoseX, y, ToQString(FormatNumber(total.total, kTotalPattern)));
        y += 24;
    }
    return true;
}

void ResultsDrawing::ResetTableFont() {
    canvas_->SetFontName(kTableFont);
    canvas_->SetTextColor(Qt::black);
    canvas_->SetFontSize(kTablePt);
}

void ResultsDrawing::ShowEmptyTable(std::string_view user_name) {
    canvas_->Clear();
    canvas_->SetTextColor(kWatermark);
    canvas_->SetFontName(kProductFont);
    canvas_->SetFontSize(kWatermarkPt);
    canvas_->DrawText(500, 350, kProductName);
    if (!user_name.empty()) {
        canvas_->SetFontName(kTableFont);
        canvas_->DrawText(500, 500, ToQString(user_name));
    }
    ResetTableFont();
}

void ResultsDrawing::ShowUserNameAtStartUp(std::string_view user_name) {
    canvas_->SetTextColor(kWatermark);
    canvas_->SetFontName(kTableFont);
    canvas_->SetFontSize(kWatermarkPt);
    canvas_->DrawText(500, 500, ToQString(user_name));
    ResetTableFont();
}

void ResultsDrawing::ShowUserNameChanged(std::string_view user_name) {
    canvas_->Clear();
    canvas_->SetTextColor(kWatermark);
    canvas_->SetFontName(kProductFont);
    canvas_->SetFontSize(kWatermarkPt);
    canvas_->DrawText(500, 200, kProductName);
    canvas_->SetFontName(kTableFont);
    canvas_->DrawText(500, 350, ToQString(user_name));
    // Black, not a theme's button-text colour: the table is drawn on white.
    ResetTableFont();
}

}  // namespace korvex
