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

std::string PdfDocument(std::string_view title, const PageDrawing& draw) {
    if (QGuiApplication::instance() == nullptr) {
        throw std::logic_error("a PDF needs a QGuiApplication for its fonts");
    }
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setCreator("Korvex-2");
        writer.setTitle(ToQString(title));
        // A PDF has no unprintable border: the page is centred on the whole sheet.
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                         QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
        writer.setResolution(1200);
        PainterPrintSurface surface(writer);
        draw(surface);
        if (surface.Failed()) {
            throw FileError("PDF を描けませんでした。");
        }
    }
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void WritePdfDocument(const std::filesystem::path& path, std::string_view title,
                      const PageDrawing& draw) {
    WriteFileAtomically(path, PdfDocument(title, draw), path.filename().string());
}

}  // namespace korvex
