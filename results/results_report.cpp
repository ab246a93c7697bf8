#include "results/results_report.h"
#include "results/add_result_row.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "engine/text_rules.h"

namespace korvex {
namespace {

constexpr int kHeavyLine = 5;  // printer pixels
constexpr int kThinLine = 1;

constexpr double kFrameTopMm = 20;
constexpr double kHeaderBottomMm = 40;

// Room left between the title and a user name moved left to fit the page.
constexpr double kTitleGapMm = 5;
constexpr double kSignatureXMm = 200;
constexpr double kTotalYMm = 192;
constexpr double kTitleXMm = 50;

struct PrintedText {
    double x_mm, y_mm;
    std::string_view text;
    std::string_view english;
};

constexpr PrintedText kHeader[] = {
    {5, 30, "対象部位", "Site"},
    {25, 28, "管電圧", "Voltage"},
    {30, 33, "kV", "kV"},
    {62, 24, "総濾過", "Filtration"},
    {42, 32, "固有", "Inh."},
    {41, 35, "mmAl", "mmAl"},
    {54, 32, "アルミ", "Al"},
    {56, 35, "mm", "mm"},
    {71, 32, "銅", "Cu"},
    {70, 35, "mm", "mm"},
    {83, 32, "材質", "Other"},
    {85, 35, "mm", "mm"},
    {100, 28, "FSD", "FSD"},
    {100, 33, "cm", "cm"},
    {118, 28, "照射野", "Field"},
    {115, 33, "at 基準点", "at ref. pt"},
    {142, 24, "装置に表示された", "Displayed"},
    {142, 31, "Ka,r", "Ka,r"},
    {142, 35, "mGy", "mGy"},
    {162, 31, "P_KA", "P_KA"},
    {162, 35, "Gy･cm2", "Gy·cm2"},
    {188, 24, "補正後の", "Corrected"},
    {184, 31, "Ka,r", "Ka,r"},
    {185, 35, "mGy", "mGy"},
    {200, 31, "P_KA", "P_KA"},
    {200, 35, "Gy･cm2", "Gy·cm2"},
    {216, 25, "一次線の", "Primary"},
    {216, 30, "皮膚線量／", "dose /"},
    {215, 35, "空気カーマ比", "air kerma"},
    {238, 30, "前方･後方", "Fwd+back"},
    {238, 35, "散乱係数", "scatter"},
    {262, 25, "入射表面", "Entrance"},
    {260, 30, "皮膚吸収線量", "skin dose"},
    {267, 35, "mGy", "mGy"},
};

// x of each cell of a row; the material column is printed on its own.
struct PrintedCell {
    ResultColumn column;
    double x_mm;
};

constexpr PrintedCell kCells[] = {
    {ResultColumn::Site, 3},
    {ResultColumn::Kv, 27},
    {ResultColumn::FilterInherent, 42},
    {ResultColumn::FilterAluminium, 55},
    {ResultColumn::FilterCopper, 69},
    {ResultColumn::Fsd, 100},
    {ResultColumn::Field, 114},
    {ResultColumn::KarShown, 140},
    {ResultColumn::PkaShown, 162},
    {ResultColumn::KarCorrected, 182},
    {ResultColumn::PkaCorrected, 200},
    {ResultColumn::DoseRatio, 219},
    {ResultColumn::ScatterFactor, 240},
    {ResultColumn::EntranceDose, 265},
};

constexpr double RowYMm(int slot) {
    return 10.0 * slot + 33;
}

std::string Printed(const ResultRow& row, ResultColumn column) {
    return row[column].Shown(ColumnInfo(column).print_pattern);
}

}  // namespace

void PrintTableFrame(PrintSurface& surface, UserLanguage language) {
    surface.SetOrientation(PageOrientation::Landscape);
    surface.SetExtent(kReportExtent);
    surface.SetFontName(kPrintFontName);
    surface.SetFontSize(kPrintTableFontPt);

    surface.SetLineWidth(kHeavyLine);
    surface.Line(0, kFrameTopMm, kReportWidthMm, kFrameTopMm);
    surface.LineTo(kReportWidthMm, kReportBottomMm);
    surface.LineTo(0, kReportBottomMm);
    surface.LineTo(0, kFrameTopMm);
    surface.Line(0, kHeaderBottomMm, kReportWidthMm, kHeaderBottomMm);
    for (double x : {134.0, 179.0, 255.0}) {
        surface.Line(x, kFrameTopMm, x, kReportBottomMm);
    }

    surface.SetLineWidth(kThinLine);
    for (double x : {22.0, 38.0, 96.0, 112.0, 214.0, 235.0}) {
        surface.Line(x, kFrameTopMm, x, kReportBottomMm);
    }
    for (double x : {51.0, 65.0, 78.0, 156.0, 197.0}) {
        surface.Line(x, 30, x, kReportBottomMm);
    }
    surface.Line(38, 30, 96, 30);
    surface.Line(134, 30, 214, 30);
    for (int y = 50; y <= 180; y += 10) {
        surface.Line(0, y, kReportWidthMm, y);
    }

    for (const PrintedText& text : kHeader) {
        surface.Text(text.x_mm, text.y_mm,
                     language == UserLanguage::Japanese ? text.text : text.english);
    }
}

void PrintResultRow(PrintSurface& surface, const ResultsTable& table, int slot,
                    UserLanguage language) {
    const ResultRow& row = table.Row(slot);
    const double y = RowYMm(slot);
    for (const PrintedCell& cell : kCells) {
        const std::string printed = Printed(row, cell.column);
        surface.Text(cell.x_mm, y,
                     cell.column == ResultColumn::Field ? FieldTextIn(printed, language) : printed);
    }
    if (RowIsMarked(table, slot)) {
        surface.Text(256, y, DoseModelShortName(row.Model(), language));
    }
    if (row.HasArbitraryFilter()) {
        surface.Text(80, y - 2, row[ResultColumn::FilterOther].StoredText());
        surface.Text(83, y + 2, Printed(row, ResultColumn::FilterOtherThickness));
    } else {
        surface.Text(84, y, kPrintNoMaterial);
    }
}

std::string TableModelText(const ResultsTable& table, UserLanguage language) {
    if (table.RowCount() == 0) {
        return {};
    }
    const bool japanese = language == UserLanguage::Japanese;
    const std::string heading = japanese ? "計算モデル：" : "Dose model: ";
    if (!table.MixesModels()) {
        return heading + std::string(DoseModelName(table.Row(1).Model(), language));
    }
    std::string text = heading + std::string(DoseModelName(kDefaultDoseModel, language));
    for (const DoseModel model : kDoseModels) {
        if (model == kDefaultDoseModel) {
            continue;
        }
        const std::string mark(DoseModelShortName(model, language));
        const std::string name(DoseModelName(model, language));
        text += japanese ? "、「" + mark + "」の行は" + name
                         : "; rows marked \"" + mark + "\": " + name;
    }
    return text;
}

bool RowIsMarked(const ResultsTable& table, int slot) {
    return table.MixesModels() && table.Row(slot).Model() != kDefaultDoseModel;
}

void PrintDoseTotal(PrintSurface& surface, const ResultsTable& table, UserLanguage language) {
    if (table.RowCount() == 0) {
        return;
    }
    surface.Text(0, kTotalYMm, TableModelText(table, language));
    const std::string total_label = language == UserLanguage::Japanese ? "合 計" : "Total";
    std::vector<ModelDoseTotal> totals;
    try {
        totals = table.DoseTotals();
    } catch (const CalculationError&) {
        // A sum beyond the range of numbers is not printed.
        surface.Text(240, kTotalYMm, total_label);
        surface.Text(265, kTotalYMm, kPrintNoMaterial);
        return;
    }
    const std::string_view pattern = ColumnInfo(ResultColumn::EntranceDose).print_pattern;
    if (totals.size() == 1) {
        surface.Text(240, kTotalYMm, total_label);
        surface.Text(265, kTotalYMm, FormatNumber(totals.front().total, pattern));
        return;
    }
    // Never one sum of two models: each total beside its model's mark.
    double x = 265 - 47 * static_cast<double>(totals.size() - 1);
    for (const ModelDoseTotal& total : totals) {
        const std::string mark(DoseModelShortName(total.model, language));
        surface.Text(
            x - 25, kTotalYMm,
            language == UserLanguage::Japanese ? "合計（" + mark + "）" : "Total (" + mark + ")");
        surface.Text(x, kTotalYMm, FormatNumber(total.total, pattern));
        x += 47;
    }
}

void PrintReportTitle(PrintSurface& surface, std::string_view user_name, UserLanguage language) {
    const std::string_view title =
        language == UserLanguage::Japanese ? kReportTitle : kReportTitleEnglish;
    surface.SetFontSize(kPrintTitleFontPt);
    surface.Text(kTitleXMm, kReportTopMm, title);

    const std::string signature = std::string(user_name) + std::string(kReportSignature);
    double x = kSignatureXMm;
    const double width = surface.TextWidth(signature);
    if (std::isfinite(width) && x + width > kReportWidthMm) {
        const double title_end = kTitleXMm + surface.TextWidth(title) + kTitleGapMm;
        x = std::clamp(kReportWidthMm - width, std::min(title_end, kSignatureXMm), kSignatureXMm);
        if (x + width > kReportWidthMm) {
            surface.SetFontSize(kPrintTitleFontPt * (kReportWidthMm - x) / width);
        }
    }
    surface.Text(x, kReportTopMm, signature);
    surface.SetFontSize(kPrintTableFontPt);
}

void PrintReportPage(PrintSurface& surface, const ResultsTable& table, std::string_view user_name,
                     UserLanguage language) {
    PrintTableFrame(surface, language);
    for (int slot = 1; slot <= table.RowCount(); ++slot) {
        PrintResultRow(surface, table, slot, language);
    }
    PrintDoseTotal(surface, table, language);
    PrintReportTitle(surface, user_name, language);
    surface.EndDocument();
}

PageDrawing ReportPageDrawing(const ResultsTable& table, std::string_view user_name,
                              UserLanguage language) {
    return [table, name = std::string(user_name), language](PrintSurface& surface) {
        PrintReportPage(surface, table, name, language);
    };
}

}  // namespace korvex
