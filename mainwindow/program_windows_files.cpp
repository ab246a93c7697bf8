#include <QString>

#include "device/device_addition.h"
#include "engine/errors.h"
#include "engine/text_rules.h"
#include "mainwindow/given_file.h"
#include "mainwindow/main_window.h"
#include "mainwindow/program_windows.h"
#include "report/qt_text.h"
#include "results/results_window.h"
#include "ui/message_service.h"

// The files the program is given: each opened by its kind, in the window that opens it.
namespace korvex {
namespace {

// A name as messages quote it: short, no line breaks.
QString Quoted(const std::filesystem::path& file) {
    return ToQString(MessageQuote(file.filename().string()));
}

}  // namespace

void ProgramWindows::OpenGivenFiles(const QStringList& files) {
    std::vector<std::filesystem::path> reports;
    for (const QString& file : files) {
        const std::filesystem::path path(ToUtf8(file));
        const GivenFile given = ClassifyGivenFile(path);
        switch (given.kind) {
            case GivenFileKind::Device:
                OfferDevice(path);
                break;
            case GivenFileKind::Results:
                results_->ReadFile(path);
                break;
            case GivenFileKind::DoseReport:
                reports.push_back(path);
                break;
            case GivenFileKind::Unusable:
                messages_.Tell(ToQString(given.reason), MessageIcon::Exclamation);
                break;
            case GivenFileKind::Unknown:
                messages_.Tell(tr("「%1」は Korvex-2 で開けるファイルではありません。\n"
                                  "開けるのは装置データ（*.kvx2、*.kvx）、計算結果（*.csv）、"
                                  "線量レポート（DICOM RDSR）です。")
                                   .arg(Quoted(path)),
                               MessageIcon::Exclamation);
                break;
        }
    }
    // Reports given together are one procedure, as those chosen together in the dialog.
    if (!reports.empty()) {
        ShowDoseReports(reports, main_->SelectedDevice());
    }
}

void ProgramWindows::OfferDevice(const std::filesystem::path& file) {
    const std::filesystem::path& folder = state_.engine.working_folder;
    GivenDevice device;
    try {
        device = ExamineGivenDevice(folder, file);
    } catch (const FileError& error) {
        messages_.Beep();
        messages_.Tell(ToQString(error.what()), MessageIcon::Exclamation);
        return;
    }
    const QString name = Quoted(device.name);
    if (device.addition != DeviceAddition::AlreadyThere) {
        const QString question =
            device.addition == DeviceAddition::New
                ? tr("装置データ「%1」を作業フォルダーに追加して選択しますか？").arg(name)
                : tr("作業フォルダーには内容の異なる同じ名前の装置データ「%1」があります。\n"
                     "作業フォルダーのファイルを開いたファイルで置き換えて選択しますか？")
                      .arg(name);
        if (messages_.Ask(question, MessageButtons::YesNo, MessageIcon::None) !=
            MessageAnswer::Yes) {
            return;
        }
        try {
            AddGivenDevice(folder, device);
        } catch (const FileError& error) {
            messages_.Tell(ToQString(error.what()), MessageIcon::Exclamation);
            return;
        }
    }
    if (!main_->ChooseDevice(ToQString(device.name))) {
        // A name the list does not show (a hidden file) cannot be chosen there.
        messages_.Tell(
            tr("装置データ「%1」は装置の一覧に表示されないため選択できません。").arg(name),
            MessageIcon::Exclamation);
        return;
    }
    main_->raise();
    main_->activateWindow();
}

}  // namespace korvex
