#include <QGuiApplication>
#include <QImage>
#include <memory>
#include <mutex>

#include "cli/table_pdf.h"
#include "dose_report/dose_report_document.h"
#include "engine/text_file.h"
#include "report/report_pdf.h"
#include "report/skin_map_picture.h"
#include "results/results_report.h"

namespace korvex::cli {
namespace {

QtMessageHandler previous_handler = nullptr;

// A script reads the tool's stderr as its messages: Qt's notes about the platform (no
// runtime folder, the offscreen plugin's limits) would read as failures there.
void KeepQtNotesOffStderr(QtMsgType type, const QMessageLogContext& context,
                          const QString& message) {
    if ((type == QtCriticalMsg || type == QtFatalMsg) && previous_handler != nullptr) {
        previous_handler(type, context, message);
    }
}

// Qt's notes go to the handler above from the first PDF on; installed again, the handler
// would take itself for the previous one and call itself without end.
void KeepQtNotesOffStderrOnce() {
    static const bool installed = [] {
        previous_handler = qInstallMessageHandler(KeepQtNotesOffStderr);
        return true;
    }();
    (void)installed;
}

std::unique_ptr<QGuiApplication>& KeptApplication() {
    static std::unique_ptr<QGuiApplication> kept;
    return kept;
}

std::unique_ptr<QGuiApplication> MakeApplication() {
    KeepQtNotesOffStderrOnce();
    // A command-line tool must not need a display, whatever the session's platform.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "korvex2-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

// The fonts need an application; one made here ends with the drawing, so that everything
// Qt and fontconfig hold is given back before the program ends. Drawings of several threads
// (the archive's) take turns: Qt's font cache is not made for them at once.
template <typename Draw>
void WithGuiApplication(const Draw& draw) {
    static std::mutex one_at_a_time;
    const std::lock_guard<std::mutex> lock(one_at_a_time);
    std::unique_ptr<QGuiApplication> app;
    if (QGuiApplication::instance() == nullptr) {
        app = MakeApplication();
    }
    draw();
}

}  // namespace

void WriteTablePdf(const std::filesystem::path& path, const ResultsTable& table,
                   const std::string& user_name, bool japanese) {
    const UserLanguage language = japanese ? UserLanguage::Japanese : UserLanguage::English;
    WithGuiApplication([&] {
        WritePdfDocument(path, japanese ? kReportTitle : kReportTitleEnglish,
                         ReportPageDrawing(table, user_name, language));
    });
}

// Only the drawing needs the fonts and takes its turn; encoding and the durable write run
// beside the other threads' drawings.
void WriteSkinMapPng(const std::filesystem::path& path, const SkinDoseMap& map, bool japanese) {
    QImage image;
    WithGuiApplication([&] { image = DrawSkinDoseMap(map, kSkinMapWidthPx, japanese); });
    const std::string file_label = path.filename().string();
    WriteFileAtomically(path, SkinDoseMapPng(image, file_label), file_label);
}

void WriteDoseReportDocumentPdf(const std::filesystem::path& path,
                                const std::vector<DoseReport>& reports,
                                const ReportCalculation& result, const std::string& user_name,
                                bool with_patient, bool japanese) {
    std::string pdf;
    WithGuiApplication([&] {
        pdf = DoseReportPdf(reports, result, {user_name, PrintedOnNow(), with_patient, japanese});
    });
    WriteFileAtomically(path, pdf, path.filename().string());
}

bool WritesTablePdf() {
    return true;
}

void KeepDrawingApplication() {
    if (QGuiApplication::instance() == nullptr) {
        KeptApplication() = MakeApplication();
    }
}

void EndDrawingApplication() {
    KeptApplication().reset();
}

}  // namespace korvex::cli
