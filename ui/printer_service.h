#pragma once

#include <filesystem>
#include <functional>
#include <optional>

#include "report/report_pdf.h"

class QWidget;

namespace korvex {

class PrintSurface;

enum class PrintResult { Printed, Cancelled, Failed };

// The seam to the printer and the PDF file dialog, so that windows are tested with a
// fake that records the page instead of printing it.
class PrinterService {
  public:
    virtual ~PrinterService() = default;

    virtual bool PrinterInstalled() = 0;
    // Shows the page `draw` draws, on the default printer, in a preview from which the
    // user prints it. `draw` may run several times (every repaint of the preview).
    virtual PrintResult PreviewAndPrint(const std::function<void(PrintSurface&)>& draw) = 0;
    // The file the user chose for a PDF, or nothing when cancelled.
    virtual std::optional<std::filesystem::path> ChoosePdfFile(
        const std::filesystem::path& suggestion) = 0;
    // A document of its own pages (A4 portrait): after the print dialog, on the printer
    // chosen there.
    virtual PrintResult PrintDocument(const PagedDrawing& draw) = 0;
    // The same in a preview on the default printer, from which the user may print it.
    virtual PrintResult PreviewDocument(const PagedDrawing& draw) = 0;
};

// The default printer (CUPS) through Qt PrintSupport.
class QtPrinterService : public PrinterService {
  public:
    explicit QtPrinterService(QWidget* parent = nullptr) : parent_(parent) {}

    bool PrinterInstalled() override;
    PrintResult PreviewAndPrint(const std::function<void(PrintSurface&)>& draw) override;
    std::optional<std::filesystem::path> ChoosePdfFile(
        const std::filesystem::path& suggestion) override;
    PrintResult PrintDocument(const PagedDrawing& draw) override;
    PrintResult PreviewDocument(const PagedDrawing& draw) override;

  private:
    QWidget* parent_;
};

}  // namespace korvex
