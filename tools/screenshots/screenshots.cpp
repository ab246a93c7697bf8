// Drives the windows through a typical session on a copy of a working folder and saves
// what they show: the main window on a first start with its welcome button, the window
// that registers the user name, the main window after a calculation, the results window
// with several rows and the dose total, the spectrum and depth-dose window of the last
// calculation, the device dialog after OK, the arbitrary-filter dialog with a material
// chosen, the dose-report window on a synthetic 30-event biplane report, and the print
// preview of the results table (with Qt's Japanese). With --language en, only the main
// window after a calculation, in the English interface.
//
//   korvex-screenshots --workdir data --device NAME.kvx2 --out docs/screenshots [--language en]
//   korvex-screenshots --write-mapped-report FILE.dcm   (the 300-event report, nothing else)
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include <QTabWidget>
#include <QTableWidget>

#include "device/device_dialog.h"
#include "device/filter_dialog.h"
#include "dose_report/dose_report_window.h"
#include "engine/errors.h"
#include "engine/reference_tables.h"
#include "engine/working_folder.h"
#include "mainwindow/beam_plot_window.h"
#include "mainwindow/main_window.h"
#include "mainwindow/program_windows.h"
#include "report/qt_text.h"
#include "results/results_report.h"
#include "results/results_window.h"
#include "tests/fixtures/dose_report_fixtures.h"
#include "ui/file_list.h"
#include "ui/fonts.h"
#include "ui/interface_language.h"
#include "ui/message_service.h"
#include "ui/printer_service.h"

namespace {

// Messages are printed instead of shown: nobody is there to answer them.
class PrintedMessages : public korvex::MessageService {
  public:
    korvex::MessageAnswer Ask(const QString& text, korvex::MessageButtons buttons,
                              korvex::MessageIcon) override {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
        return buttons == korvex::MessageButtons::YesNo ? korvex::MessageAnswer::Yes
                                                        : korvex::MessageAnswer::Ok;
    }
    void Beep() override {}
};

template <typename T>
T* Child(QWidget* root, const char* name) {
    T* child = root->findChild<T*>(name);
    if (!child) {
        std::fprintf(stderr, "no control %s\n", name);
        std::exit(2);
    }
    return child;
}

void Settle() {
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
    }
}

struct Exposure {
    const char* site;
    const char* kv;
    const char* kar;
    const char* pka;
    bool square;
    const char* fsd;
};

void Calculate(QWidget* main, const Exposure& e) {
    Child<QComboBox>(main, "Combo1")->setEditText(korvex::ToQString(e.site));
    for (const auto& [name, text] : {std::pair{"Text5", e.kv}, std::pair{"Text14", e.kar},
                                     std::pair{"Text15", e.pka}, std::pair{"Text9", e.fsd}}) {
        auto* field = Child<QLineEdit>(main, name);
        field->setFocus();
        field->setText(korvex::ToQString(text));
        field->clearFocus();  // stores the value, as leaving the field does
    }
    Child<QRadioButton>(main, e.square ? "Option2" : "Option1")->click();
    Child<QPushButton>(main, "Command2")->click();
    Settle();
}

bool Save(QWidget* window, const QString& path) {
    Settle();
    const bool saved = window->grab().save(path);
    std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", path.toUtf8().constData());
    return saved;
}

// A synthetic report (no patient, no real unit) read through the main window's button,
// with its first two projections checked.
bool SaveDoseReportWindow(korvex::ProgramWindows& windows, QWidget* main,
                          const std::filesystem::path& folder, const QString& out) {
    const std::filesystem::path report = folder / "procedure.dcm";
    korvex::fixtures::WriteDoseReportFile(report, korvex::fixtures::ProcedureReport());
    windows.SetReportFileChooser(
        [&report](QWidget*) { return QStringList{korvex::ToQString(report.string())}; });
    Child<QPushButton>(main, "CommandDoseReport")->click();
    Settle();
    if (windows.DoseReport() == nullptr) {
        std::fprintf(stderr, "the report window did not open\n");
        return false;
    }
    auto* groups = Child<QTableWidget>(windows.DoseReport(), "ReportGroups");
    for (int row = 0; row < groups->rowCount() && row < 2; ++row) {
        groups->item(row, 0)->setCheckState(Qt::Checked);
    }
    return Save(windows.DoseReport(), out + "/dose-report-window.png");
}

// The report window's page of that title.
bool ShowTab(QWidget* window, const QString& title) {
    auto* tabs = Child<QTabWidget>(window, "ReportTabs");
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->tabText(i) == title) {
            tabs->setCurrentIndex(i);
            Settle();
            return true;
        }
    }
    std::fprintf(stderr, "the report window has no page %s\n", title.toUtf8().constData());
    return false;
}

// A synthetic coronary intervention of 300 events with the whole geometry, on the map's
// page of the report window.
bool SaveSkinMapWindow(korvex::ProgramWindows& windows, QWidget* main,
                       const std::filesystem::path& folder, const QString& out) {
    const std::filesystem::path report = folder / "mapped_procedure.dcm";
    korvex::fixtures::WriteDoseReportFile(report, korvex::fixtures::MappedProcedureReport(300));
    windows.SetReportFileChooser(
        [&report](QWidget*) { return QStringList{korvex::ToQString(report.string())}; });
    Child<QPushButton>(main, "CommandDoseReport")->click();
    Settle();
    if (windows.DoseReport() == nullptr) {
        std::fprintf(stderr, "the report window did not open\n");
        return false;
    }
    bool saved = ShowTab(windows.DoseReport(), "投影ごとの線量") &&
                 Save(windows.DoseReport(), out + "/dose-report-bar-chart.png");
    saved = ShowTab(windows.DoseReport(), "皮膚線量マップ") &&
            Save(windows.DoseReport(), out + "/skin-dose-map-window.png") && saved;
    ShowTab(windows.DoseReport(), "イベントと投影");
    return saved;
}

struct Options {
    std::filesystem::path source = "data";
    QString device;
    QString out = "docs/screenshots";
    bool english = false;
};

Options ReadOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--workdir") {
            options.source = argv[i + 1];
        } else if (option == "--device") {
            options.device = korvex::ToQString(argv[i + 1]);
        } else if (option == "--out") {
            options.out = korvex::ToQString(argv[i + 1]);
        } else if (option == "--language") {
            options.english = std::string(argv[i + 1]) == "en";
        }
    }
    return options;
}

// A copy of the working folder, so that the session changes nothing in the folder it
// started from; null (with the reason printed) when it cannot be made or loaded.
std::unique_ptr<korvex::ProgramState> CopyWorkingFolder(const std::filesystem::path& source,
                                                        const std::filesystem::path& folder) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    try {
        korvex::SeedWorkingFolder(source, folder, true);
        return std::make_unique<korvex::ProgramState>(
            korvex::EngineState(korvex::LoadReferenceTables(folder), folder));
    } catch (const korvex::FileError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return nullptr;
    }
}

// The bundled "Primary.dat" holds no user name: the first start welcomes the user, who
// registers a name.
bool SaveWelcome(QWidget* main, const QString& out) {
    bool ok = Save(main, out + "/main-window-welcome.png");
    Child<QPushButton>(main, "Command8")->click();
    QWidget* welcome = Child<QWidget>(main, "Form15");
    Child<QLineEdit>(welcome, "Text1")->setText(korvex::ToQString("IVR 線量管理室"));
    ok = Save(welcome, out + "/welcome-window.png") && ok;
    Child<QPushButton>(welcome, "Command1")->click();
    // Without a window manager nothing hands the focus back to the main window.
    main->activateWindow();
    Settle();
    return ok;
}

bool ChooseDevice(QWidget* main, QString device) {
    auto* devices = Child<korvex::FileList>(main, "File1");
    if (device.isEmpty() && !devices->Names().isEmpty()) {
        device = devices->Names().front();
    }
    if (!devices->SelectName(device)) {
        std::fprintf(stderr, "no device %s in the working folder\n", device.toUtf8().constData());
        return false;
    }
    Settle();
    return true;
}

// Combo2, as the user picks a model from the list.
void ChooseModel(QWidget* main, const char* name) {
    auto* models = Child<QComboBox>(main, "Combo2");
    const int index = models->findText(korvex::ToQString(name));
    models->setCurrentIndex(index);
    emit models->activated(index);
    Settle();
}

// Four rows added to the results table, the last by the legacy formula, as a physicist
// reproducing an earlier result would add it: the table marks it and totals it apart.
// Then one more calculation on show in the main window.
bool SaveCalculations(QWidget* main, QWidget* results, const QString& out) {
    const Exposure series[] = {
        {"頭部", "75", "180", "18.5", true, "70"},
        {"胸部背面", "80", "420.5", "62.3", true, "70"},
        {"腹部背面", "90", "1250", "148.2", false, "68"},
        {"腹部背面", "85", "860", "95.7", true, "68"},
    };
    for (const Exposure& e : series) {
        if (&e == &series[3]) {
            ChooseModel(main, "従来式");
        }
        Calculate(main, e);
        Child<QPushButton>(main, "Command3")->click();
    }
    ChooseModel(main, "検証済みモデル");
    Calculate(main, {"胸部背面", "80", "635.2", "71.8", true, "70"});
    bool ok = Save(main, out + "/main-window.png");

    // Below the main window on a 1200-pixel screen it is made lower to fit; the picture
    // shows it at its full height.
    results->resize(results->width(), 535);
    Child<QPushButton>(results, "Command1")->click();
    return Save(results, out + "/results-window.png") && ok;
}

// The spectrum and depth-dose curves of the calculation on show in the main window.
bool SaveBeamPlots(korvex::MainWindow& main, const QString& out) {
    Child<QPushButton>(&main, "CommandBeamPlots")->click();
    Settle();
    korvex::BeamPlotWindow* plots = main.BeamPlots();
    if (plots == nullptr) {
        std::fprintf(stderr, "the beam plot window did not open\n");
        return false;
    }
    const bool ok = Save(plots, out + "/beam-plots-window.png");
    plots->close();
    return ok;
}

// A new room on a table top under a mattress: the device dialog, its arbitrary-filter
// dialog with lead chosen, and the device dialog after OK.
bool SaveDeviceDialogs(korvex::MainWindow& main, const QString& out) {
    Child<QPushButton>(&main, "Command7")->click();
    Settle();
    korvex::DeviceDialog* dialog = main.DeviceDialogWindow();
    for (const auto& [name, text] :
         {std::pair{"Text13", "IVR室2"}, std::pair{"Text8", "120"}, std::pair{"Text5", "80"},
          std::pair{"Text3", "1.0"}, std::pair{"Text4", "0.1"}, std::pair{"Text23", "80"},
          std::pair{"Text14", "10.00"}, std::pair{"Text15", "8.20"},
          std::pair{"Text16", "14.50"}}) {
        Child<QLineEdit>(dialog, name)->setText(korvex::ToQString(text));
    }
    auto* couch = Child<QComboBox>(dialog, "CouchModelCombo");
    couch->setCurrentIndex(couch->findText(korvex::ToQString("天板＋マット")));
    Child<QPushButton>(dialog, "Command9")->click();
    Settle();
    QWidget* filter = dialog->FilterDialogWindow();
    filter->move(dialog->frameGeometry().topRight() + QPoint(8, 0));
    auto* materials = Child<korvex::FileList>(filter, "File1");
    materials->SelectName("lead.ele");
    Child<QLineEdit>(filter, "Text2")->setText("0.1");
    bool ok = Save(filter, out + "/filter-dialog.png");
    Child<QPushButton>(filter, "Command3")->click();
    Child<QPushButton>(dialog, "Command1")->click();
    return Save(dialog, out + "/device-dialog.png") && ok;
}

// The results table's print preview, Qt's own window: grabbed once it has drawn the page,
// then closed as Cancel would.
bool SavePrintPreview(korvex::PrinterService& printer, const korvex::ProgramState& state,
                      const QString& path) {
    bool saved = false;
    QTimer::singleShot(1500, [&saved, &path] {
        if (auto* preview = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            preview->resize(1100, 760);
            saved = Save(preview, path);
            preview->reject();
        }
    });
    printer.PreviewAndPrint([&state](korvex::PrintSurface& surface) {
        korvex::PrintReportPage(surface, state.results, state.user_name);
    });
    return saved;
}

// The main window in English after the welcome's name and one calculation.
bool SaveEnglishMainWindow(QWidget* main, const QString& device, const QString& out) {
    Child<QPushButton>(main, "Command8")->click();
    QWidget* welcome = Child<QWidget>(main, "Form15");
    Child<QLineEdit>(welcome, "Text1")->setText("IVR Dosimetry");
    Child<QPushButton>(welcome, "Command1")->click();
    main->activateWindow();
    Settle();
    if (!ChooseDevice(main, device)) {
        return false;
    }
    Calculate(main, {"Chest, posterior", "80", "635.2", "71.8", true, "70"});
    return Save(main, out + "/main-window-en.png");
}

}  // namespace

// The synthetic 300-event procedure as a file, for the printed dose report's picture.
int WriteMappedReport(const std::filesystem::path& file) {
    try {
        korvex::fixtures::WriteDoseReportFile(file, korvex::fixtures::MappedProcedureReport(300));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--write-mapped-report") {
        return WriteMappedReport(argv[2]);
    }
    QApplication app(argc, argv);
    korvex::InstallFontSubstitutions();
    const Options options = ReadOptions(argc, argv);
    korvex::InstallInterfaceLanguage(options.english ? korvex::UserLanguage::English
                                                     : korvex::UserLanguage::Japanese);
    QDir().mkpath(options.out);
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "korvex-screenshots";
    PrintedMessages messages;
    const std::unique_ptr<korvex::ProgramState> state = CopyWorkingFolder(options.source, folder);
    if (!state) {
        return 1;
    }

    korvex::QtPrinterService printer;
    korvex::ProgramWindows windows(*state, messages, printer);
    windows.Show();
    QWidget* main = &windows.Main();
    main->resize(main->sizeHint().expandedTo(QSize(1180, 640)));
    Settle();
    if (options.english) {
        const bool saved = SaveEnglishMainWindow(main, options.device, options.out);
        std::filesystem::remove_all(folder);
        return saved ? 0 : 1;
    }
    bool ok = SaveWelcome(main, options.out);
    if (!ChooseDevice(main, options.device)) {
        return 1;
    }
    ok = SaveCalculations(main, &windows.Results(), options.out) && ok;
    ok = SavePrintPreview(printer, *state, options.out + "/print-preview-ja.png") && ok;
    ok = SaveBeamPlots(windows.Main(), options.out) && ok;
    ok = SaveDeviceDialogs(windows.Main(), options.out) && ok;
    ok = SaveDoseReportWindow(windows, main, folder, options.out) && ok;
    ok = SaveSkinMapWindow(windows, main, folder, options.out) && ok;
    std::filesystem::remove_all(folder);
    return ok ? 0 : 1;
}
