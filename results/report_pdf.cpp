#include "results/report_pdf.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <stdexcept>

#include "engine/errors.h"
#include "engine/text_file.h"
#include "results/report_painter.h"
#include "results/results_report.h"

namespace korvex {

QByteArray ReportPdf(const ResultsTable& table, std::string_view user_name) {
    if (QGuiApplication::instance() == nullptr) {
        throw std::logic_error("the report PDF needs a QGuiApplication for its fonts");
    }
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setCreator("Korvex-2");
        writer.setTitle(
            QString::fromUtf8(kReportTitle.data(), static_cast<qsizetype>(kReportTitle.size())));
        // A PDF has no unprintable border: the report is centred on the whole sheet.
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                         QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
        writer.setResolution(1200);
        PainterPrintSurface surface(writer);
        PrintReportPage(surface, table, user_name);
        if (surface.Failed()) {
            throw FileError("結果表の PDF を描けませんでした。");
        }
    }
    return bytes;
}

void WriteReportPdf(const std::filesystem::path& path, const ResultsTable& table,
                    std::string_view user_name) {
    const QByteArray bytes = ReportPdf(table, user_name);
    WriteFileAtomically(path,
                        std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())),
                        path.filename().string());
}

}  // namespace korvex
