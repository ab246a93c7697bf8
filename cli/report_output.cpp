#include "cli/report_output.h"

#include <QGuiApplication>
#include <memory>

#include "engine/errors.h"
#include "engine/reference_tables.h"
#include "engine/text_file.h"
#include "results/report_pdf.h"

namespace korvex::cli {

std::string RegisteredUserName(const std::filesystem::path& working_folder) {
    std::string content;
    try {
        content = ReadTextFile(working_folder / kPrimaryFile, kPrimaryFile, Decoding::Lenient);
    } catch (const FileError&) {
        return {};  // no file, no name: the report is signed by the program alone
    }
    constexpr int kUserNameLine = 32;
    size_t start = 0;
    for (int line = 1; line < kUserNameLine; ++line) {
        start = content.find('\n', start);
        if (start == std::string::npos) {
            return {};  // the 31 reference lines alone: no name registered
        }
        ++start;
    }
    std::string name = content.substr(start, content.find('\n', start) - start);
    if (!name.empty() && name.back() == '\r') {
        name.pop_back();
    }
    return name;
}

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

}  // namespace

void WriteTablePdf(const std::filesystem::path& path, const ResultsTable& table,
                   const std::string& user_name) {
    std::unique_ptr<QGuiApplication> app;
    if (QGuiApplication::instance() == nullptr) {
        previous_handler = qInstallMessageHandler(KeepQtNotesOffStderr);
        // A command-line tool must not need a display, whatever the session's platform.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "korvex2-cli";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
    WriteReportPdf(path, table, user_name);
}

}  // namespace korvex::cli
