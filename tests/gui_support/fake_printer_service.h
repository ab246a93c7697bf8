#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <optional>
#include <string>

#include "engine/errors.h"
#include "report/report_pdf.h"
#include "tests/results/recording_print_surface.h"
#include "ui/printer_service.h"

namespace korvex::testing {

// Records the page a window prints instead of printing it, and answers the PDF file
// dialog from a script. A file dialog nobody expected fails the test.
class FakePrinterService : public PrinterService {
  public:
    bool PrinterInstalled() override { return installed_; }

    PrintResult PreviewAndPrint(const std::function<void(PrintSurface&)>& draw) override {
        ++previews_;
        page_ = RecordingPrintSurface();
        draw(page_);
        return result_;
    }

    std::optional<std::filesystem::path> ChoosePdfFile(
        const std::filesystem::path& suggestion) override {
        suggestions_.push_back(suggestion);
        if (pdf_answers_.empty()) {
            ADD_FAILURE() << "unexpected PDF file dialog";
            return std::nullopt;
        }
        auto answer = pdf_answers_.front();
        pdf_answers_.pop_front();
        return answer;
    }

    // The document's pages are drawn into a PDF in memory, so that a test reads them back.
    PrintResult PrintDocument(const PagedDrawing& draw) override {
        ++document_prints_;
        return RecordDocument(draw);
    }
    PrintResult PreviewDocument(const PagedDrawing& draw) override {
        ++document_previews_;
        return RecordDocument(draw);
    }

    void SetInstalled(bool installed) { installed_ = installed; }
    void SetResult(PrintResult result) { result_ = result; }
    // The file the next PDF dialog returns; nothing for Cancel.
    void ChooseNextPdf(std::optional<std::filesystem::path> file) { pdf_answers_.push_back(file); }

    int Previews() const { return previews_; }
    const RecordingPrintSurface& Page() const { return page_; }
    const std::vector<std::filesystem::path>& PdfSuggestions() const { return suggestions_; }
    int DocumentPrints() const { return document_prints_; }
    int DocumentPreviews() const { return document_previews_; }
    // The last document's pages as PDF bytes; empty when it could not be drawn.
    const std::string& Document() const { return document_; }

  private:
    PrintResult RecordDocument(const PagedDrawing& draw) {
        try {
            document_ = PagedPdfDocument("", draw);
        } catch (const FileError&) {
            document_.clear();
            return PrintResult::Failed;
        }
        return result_;
    }

    bool installed_ = true;
    PrintResult result_ = PrintResult::Printed;
    int previews_ = 0;
    RecordingPrintSurface page_;
    int document_prints_ = 0;
    int document_previews_ = 0;
    std::string document_;
    std::deque<std::optional<std::filesystem::path>> pdf_answers_;
    std::vector<std::filesystem::path> suggestions_;
};

}  // namespace korvex::testing
