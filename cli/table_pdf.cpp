#include <QGuiApplication>

#include "cli/table_pdf.h"
#include "report/report_pdf.h"
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

// The application the fonts need, made once and kept until the process ends: Qt expects
// one per process, and a second would install the message handler over itself, so that a
// critical message called itself without end.
void EnsureGuiApplication() {
    if (QGuiApplication::instance() != nullptr) {
        return;
    }
    previous_handler = qInstallMessageHandler(KeepQtNotesOffStderr);
    // A command-line tool must not need a display, whatever the session's platform.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "korvex2-cli";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* const application = new QGuiApplication(argc, argv);
    (void)application;
}

}  // namespace

void WriteTablePdf(const std::filesystem::path& path, const ResultsTable& table,
                   const std::string& user_name) {
    EnsureGuiApplication();
    WritePdfDocument(path, kReportTitle, ReportPageDrawing(table, user_name));
}

bool WritesTablePdf() {
    return true;
}

}  // namespace korvex::cli
