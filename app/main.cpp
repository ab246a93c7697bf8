// Start of Korvex-2: working folder, fonts, reference data, the two windows.
#include <QApplication>
#include <filesystem>
#include <memory>

#include "engine/errors.h"
#include "engine/reference_tables.h"
#include "engine/working_folder.h"
#include "mainwindow/program_windows.h"
#include "report/qt_text.h"
#include "ui/fonts.h"
#include "ui/interface_language.h"
#include "ui/message_service.h"
#include "ui/printer_service.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Korvex-2");
    QGuiApplication::setDesktopFileName(KORVEX_APP_ID);
    korvex::InstallFontSubstitutions();
    korvex::QtMessageService messages;
    korvex::InstallEnvironmentLanguage();

    std::unique_ptr<korvex::ProgramState> state;
    try {
        const std::filesystem::path bundled =
            korvex::FindBundledDataFolder(korvex::ToUtf8(QApplication::applicationFilePath()),
                                          korvex::ConfiguredBundledDataPlaces());
        const std::filesystem::path folder = korvex::ResolveWorkingFolder(bundled);
        korvex::InstallStartLanguage(folder, messages);
        state = std::make_unique<korvex::ProgramState>(
            korvex::EngineState(korvex::LoadReferenceTables(folder), folder));
    } catch (const korvex::FileError& error) {
        // Without reference data nothing can be calculated: report and do not start.
        messages.Tell(
            QCoreApplication::translate(
                "korvex::Start", "参照データを読み込めないため Korvex-2 を起動できません。\n\n") +
                korvex::ToQString(error.what()),
            korvex::MessageIcon::Exclamation);
        return 1;
    }

    korvex::QtPrinterService printer;
    korvex::ProgramWindows windows(*state, messages, printer);
    QObject::connect(&windows, &korvex::ProgramWindows::exitRequested, &app, &QApplication::quit);
    windows.Show();
    windows.OpenGivenFiles(QApplication::arguments().mid(1));
    return QApplication::exec();
}
