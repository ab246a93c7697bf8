#include "report/report_pdf.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <stdexcept>

#include "engine/errors.h"
#include "engine/text_file.h"
#include "report/qt_text.h"
#include "report/report_painter.h"

namespace korvex {

namespace {

const char* const kUndrawablePdf = "PDF を描けませんでした。";

// Every PDF of the program: A4 at 1200 dpi, the program as its creator. A PDF has no
// unprintable border: a page is placed on the whole sheet.
void SetUpWriter(QPdfWriter& writer, std::string_view title, QPageLayout::Orientation orientation) {
    writer.setCreator("Korvex-2");
    writer.setTitle(ToQString(title));
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), orientation, QMarginsF(0, 0, 0, 0),
                                     QPageLayout::Millimeter));
    writer.setResolution(1200);
}

void RequireGuiApplication() {
    if (QGuiApplication::instance() == nullptr) {
        throw std::logic_error("a PDF needs a QGuiApplication for its fonts");
    }
}

}  // namespace

std::string PdfDocument(std::string_view title, const PageDrawing& draw) {
    RequireGuiApplication();
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        SetUpWriter(writer, title, QPageLayout::Landscape);
        PainterPrintSurface surface(writer);
        draw(surface);
        if (surface.Failed()) {
            throw FileError(kUndrawablePdf);
        }
    }
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

std::string PagedPdfDocument(std::string_view title, const PagedDrawing& draw) {
    RequireGuiApplication();
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        SetUpWriter(writer, title, QPageLayout::Portrait);
        if (!draw(writer)) {
            throw FileError(kUndrawablePdf);
        }
    }
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void WritePdfDocument(const std::filesystem::path& path, std::string_view title,
                      const PageDrawing& draw) {
    WriteFileAtomically(path, PdfDocument(title, draw), path.filename().string());
}

void WritePagedPdfDocument(const std::filesystem::path& path, std::string_view title,
                           const PagedDrawing& draw) {
    WriteFileAtomically(path, PagedPdfDocument(title, draw), path.filename().string());
}

}  // namespace korvex
