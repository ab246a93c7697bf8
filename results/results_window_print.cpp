#include <optional>

#include "engine/errors.h"
#include "report/qt_text.h"
#include "report/report_pdf.h"
#include "results/results_report.h"
#include "results/results_window.h"
#include "ui/interface_language.h"
#include "ui/message_service.h"
#include "ui/printer_service.h"

// The results window's printed report: the preview on the default printer and the PDF.
namespace korvex {
namespace {

const char* const kPrinterReadyQuestion =
    QT_TRANSLATE_NOOP("korvex::ResultsWindow", "　プリンターは準備できていますか？　");
const char* const kNoPrinterQuestion =
    QT_TRANSLATE_NOOP("korvex::ResultsWindow",
                      "　プリンターが見つかりません。結果表を PDF ファイルに保存しますか？　");
const char* const kPrintFailed = QT_TRANSLATE_NOOP(
    "korvex::ResultsWindow", "　印刷できませんでした。プリンターの状態を確かめて下さい。　");
const char* const kPdfFileName = QT_TRANSLATE_NOOP("korvex::ResultsWindow", "結果表.pdf");

}  // namespace

void ResultsWindow::PrintResultsTable() {
    // Asking whether a printer is ready makes no sense when there is none.
    if (!printer_.PrinterInstalled()) {
        messages_.Beep();
        if (messages_.Ask(tr(kNoPrinterQuestion), MessageButtons::YesNo,
                          MessageIcon::Exclamation) == MessageAnswer::Yes) {
            SaveReportPdf();
        }
        return;
    }
    if (messages_.Ask(tr(kPrinterReadyQuestion), MessageButtons::YesNo, MessageIcon::None) !=
        MessageAnswer::Yes) {
        return;
    }
    const PrintResult result = printer_.PreviewAndPrint([this](PrintSurface& surface) {
        PrintReportPage(surface, table_, user_name_, InterfaceLanguage());
    });
    if (result == PrintResult::Failed) {
        messages_.Tell(tr(kPrintFailed), MessageIcon::Exclamation);
    }
}

void ResultsWindow::SaveReportPdf() {
    const std::optional<std::filesystem::path> path =
        printer_.ChoosePdfFile(pdf_folder_ / ToUtf8(tr(kPdfFileName)));
    if (!path) {
        return;
    }
    try {
        WritePdfDocument(*path, InterfaceIsJapanese() ? kReportTitle : kReportTitleEnglish,
                         ReportPageDrawing(table_, user_name_, InterfaceLanguage()));
    } catch (const FileError& error) {
        messages_.Tell(ToQString(error.what()), MessageIcon::Exclamation);
        return;
    }
    pdf_folder_ = path->parent_path();
}

}  // namespace korvex
