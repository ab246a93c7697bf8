#pragma once

#include <string>
#include <string_view>

#include "engine/user_message.h"
#include "report/print_surface.h"
#include "results/results_table.h"

namespace korvex {

// The one-page printed report of the results table: a title line and a ruled table with
// one line per stored row, on a landscape page in millimetres. The layout is fixed; every
// printer, the PDF and the tests draw it through a PrintSurface.

inline constexpr double kPrintTableFontPt = kPrintDefaultFontPt;
inline constexpr double kPrintTitleFontPt = 12;
inline constexpr std::string_view kReportTitle = "IVR 時の入射表面皮膚組織吸収線量";
inline constexpr std::string_view kReportTitleEnglish = "Entrance-surface skin dose in IVR";
// Follows the user name directly (two blanks on each side of "with").
inline constexpr std::string_view kReportSignature = "  with  Korvex-2";
// The bar printed in the material column of a row without a filter of a chosen material.
inline constexpr std::string_view kPrintNoMaterial = "―";

// Everything the report draws lies in x 0..285 mm and y 12..196 mm: title, table (frame
// bottom at 190 mm) and the dose total below it.
inline constexpr double kReportWidthMm = 285;
inline constexpr double kReportTopMm = 12;
inline constexpr double kReportBottomMm = 190;
inline constexpr double kReportInkBottomMm = 196;
inline constexpr PageExtent kReportExtent{kReportWidthMm, kReportTopMm, kReportInkBottomMm};

// Which model computed the table's rows, for the window's strip and the printout:
// "計算モデル：検証済みモデル"; for rows of two models, which mark the rows of the other one
// carry. Empty for an empty table. Every text of the page is Japanese, or English.
std::string TableModelText(const ResultsTable& table,
                           UserLanguage language = UserLanguage::Japanese);
// Whether a row carries the mark of its model (DoseModelShortName): in a table of rows of
// two models, each row that is not the default model's. A table of one model is named by
// TableModelText alone.
bool RowIsMarked(const ResultsTable& table, int slot);

// Page set-up, the frame and rules, the header texts.
void PrintTableFrame(PrintSurface& surface, UserLanguage language = UserLanguage::Japanese);
// The cells of `slot` (1..15) on its row line, y = 10 slot + 33 mm.
void PrintResultRow(PrintSurface& surface, const ResultsTable& table, int slot,
                    UserLanguage language = UserLanguage::Japanese);
// The sum of the printed doses under the dose column, below the frame, one for each model
// when the rows come from two; nothing for an empty table. The window shows the same
// totals on its totals button; on paper it is the figure a skin-dose follow-up starts
// from. TableModelText goes to the left of it.
void PrintDoseTotal(PrintSurface& surface, const ResultsTable& table,
                    UserLanguage language = UserLanguage::Japanese);
// The title, and the user name followed by the signature. A name too long for the page is
// moved left, and made smaller only when it still does not fit, so it is never cut off.
void PrintReportTitle(PrintSurface& surface, std::string_view user_name,
                      UserLanguage language = UserLanguage::Japanese);
// The whole page: frame, rows 1..RowCount, dose total, title, end of document.
void PrintReportPage(PrintSurface& surface, const ResultsTable& table, std::string_view user_name,
                     UserLanguage language = UserLanguage::Japanese);
// PrintReportPage for a printer or a PDF writer; the table and the name are copied, so the
// drawing stays valid however long the preview keeps it.
PageDrawing ReportPageDrawing(const ResultsTable& table, std::string_view user_name,
                              UserLanguage language = UserLanguage::Japanese);

}  // namespace korvex
