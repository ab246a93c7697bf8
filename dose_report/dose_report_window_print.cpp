// The dose-report window's printed report: printed, previewed or saved as a PDF.
#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <optional>

#include "dose_report/dose_report_document.h"
#include "dose_report/dose_report_window.h"
#include "engine/engine_state.h"
#include "engine/errors.h"
#include "report/qt_text.h"
#include "settings/user_name.h"
#include "ui/interface_language.h"
#include "ui/message_service.h"
#include "ui/printer_service.h"

namespace korvex {
namespace {

const char* const kNoPrinterQuestion = QT_TRANSLATE_NOOP(
    "korvex::DoseReportWindow",
    "　プリンターが見つかりません。線量レポートを PDF ファイルに保存しますか？　");
const char* const kPrintFailed = QT_TRANSLATE_NOOP(
    "korvex::DoseReportWindow", "　印刷できませんでした。プリンターの状態を確かめて下さい。　");
const char* const kPdfFileName = QT_TRANSLATE_NOOP("korvex::DoseReportWindow", "線量レポート.pdf");

QPushButton* NamedButton(const char* name, const QString& text) {
    auto* button = new QPushButton(text);
    button->setObjectName(name);
    return button;
}

}  // namespace

QLayout* DoseReportWindow::BuildPrintRow() {
    auto* row = new QHBoxLayout;
    with_patient_ = new QCheckBox(tr("患者情報を含める"));
    with_patient_->setObjectName("ReportWithPatient");
    with_patient_->setToolTip(tr("印刷と PDF に、レポートにある患者氏名と患者 ID を載せます"));
    print_button_ = NamedButton("ReportPrint", tr("印刷…"));
    preview_button_ = NamedButton("ReportPreview", tr("プレビュー"));
    save_pdf_button_ = NamedButton("ReportSavePdf", tr("PDF 保存…"));
    row->addWidget(with_patient_);
    row->addWidget(print_button_);
    row->addWidget(preview_button_);
    row->addWidget(save_pdf_button_);
    connect(print_button_, &QPushButton::clicked, this, [this] { PrintReport(); });
    connect(preview_button_, &QPushButton::clicked, this, [this] { PreviewReport(); });
    connect(save_pdf_button_, &QPushButton::clicked, this, [this] { SaveReportPdf(); });
    return row;
}

DoseReportPrintOptions DoseReportWindow::PrintOptions() const {
    return {ReadUserName(state_->working_folder).value_or(std::string()), PrintedOnNow(),
            with_patient_->isChecked(), InterfaceIsJapanese()};
}

void DoseReportWindow::PrintReport() {
    // A print dialog without a printer would only fail; the PDF is what can be had.
    if (!printer_.PrinterInstalled()) {
        messages_.Beep();
        if (messages_.Ask(tr(kNoPrinterQuestion), MessageButtons::YesNo,
                          MessageIcon::Exclamation) == MessageAnswer::Yes) {
            SaveReportPdf();
        }
        return;
    }
    if (printer_.PrintDocument(DoseReportDrawing(reports_, result_, PrintOptions())) ==
        PrintResult::Failed) {
        messages_.Tell(tr(kPrintFailed), MessageIcon::Exclamation);
    }
}

void DoseReportWindow::PreviewReport() {
    if (printer_.PreviewDocument(DoseReportDrawing(reports_, result_, PrintOptions())) ==
        PrintResult::Failed) {
        messages_.Tell(tr(kPrintFailed), MessageIcon::Exclamation);
    }
}

void DoseReportWindow::SaveReportPdf() {
    const std::optional<std::filesystem::path> path =
        printer_.ChoosePdfFile(pdf_folder_ / ToUtf8(tr(kPdfFileName)));
    if (!path) {
        return;
    }
    try {
        WriteDoseReportPdf(*path, reports_, result_, PrintOptions());
    } catch (const FileError& error) {
        messages_.Tell(ToQString(error.what()), MessageIcon::Exclamation);
        return;
    }
    pdf_folder_ = path->parent_path();
}

}  // namespace korvex
