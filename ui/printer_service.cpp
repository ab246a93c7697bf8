#include "ui/printer_service.h"

#include <QApplication>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include "report/qt_text.h"
#include "report/report_painter.h"

namespace korvex {
namespace {

// Dialogs belong to the window that asked for them.
QWidget* Owner(QWidget* parent) {
    return parent ? parent : QApplication::activeWindow();
}

// A document places itself inside the printable area, measured from the sheet's corner.
void SetUpDocumentPrinter(QPrinter& printer) {
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setFullPage(true);
}

PrintResult Outcome(bool drawn, const QPrinter& printer) {
    return drawn && printer.printerState() != QPrinter::Error ? PrintResult::Printed
                                                              : PrintResult::Failed;
}

}  // namespace

bool QtPrinterService::PrinterInstalled() {
    return !QPrinterInfo::availablePrinterNames().isEmpty();
}

PrintResult QtPrinterService::PreviewAndPrint(const std::function<void(PrintSurface&)>& draw) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    // The report places itself inside the printable area, measured from the sheet's corner.
    printer.setFullPage(true);
    QPrintPreviewDialog preview(&printer, Owner(parent_));
    preview.setWindowTitle(QCoreApplication::translate("korvex::PrinterService", "印刷プレビュー"));
    bool failed = false;
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&draw, &failed](QPrinter* target) {
                         PainterPrintSurface surface(*target);
                         draw(surface);
                         failed = surface.Failed();
                     });
    if (preview.exec() != QDialog::Accepted) {
        return PrintResult::Cancelled;
    }
    return failed || printer.printerState() == QPrinter::Error ? PrintResult::Failed
                                                               : PrintResult::Printed;
}

std::optional<std::filesystem::path> QtPrinterService::ChoosePdfFile(
    const std::filesystem::path& suggestion) {
    QFileDialog dialog(Owner(parent_),
                       QCoreApplication::translate("korvex::PrinterService", "PDF に保存"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(ToQString("PDF (*.pdf)"));
    // Appended before the dialog asks about replacing a file, not after.
    dialog.setDefaultSuffix("pdf");
    dialog.setDirectory(ToQString(suggestion.parent_path().string()));
    dialog.selectFile(ToQString(suggestion.filename().string()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return std::filesystem::path(ToUtf8(dialog.selectedFiles().front()));
}

PrintResult QtPrinterService::PrintDocument(const PagedDrawing& draw) {
    QPrinter printer(QPrinter::HighResolution);
    SetUpDocumentPrinter(printer);
    QPrintDialog dialog(&printer, Owner(parent_));
    dialog.setWindowTitle(QCoreApplication::translate("korvex::PrinterService", "印刷"));
    if (dialog.exec() != QDialog::Accepted) {
        return PrintResult::Cancelled;
    }
    return Outcome(draw(printer), printer);
}

PrintResult QtPrinterService::PreviewDocument(const PagedDrawing& draw) {
    QPrinter printer(QPrinter::HighResolution);
    SetUpDocumentPrinter(printer);
    QPrintPreviewDialog preview(&printer, Owner(parent_));
    preview.setWindowTitle(QCoreApplication::translate("korvex::PrinterService", "印刷プレビュー"));
    bool drawn = true;
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&draw, &drawn](QPrinter* target) { drawn = draw(*target); });
    if (preview.exec() != QDialog::Accepted) {
        return PrintResult::Cancelled;
    }
    return Outcome(drawn, printer);
}

}  // namespace korvex
