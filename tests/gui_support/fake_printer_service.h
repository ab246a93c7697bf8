#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <optional>

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

    void SetInstalled(bool installed) { installed_ = installed; }
    void SetResult(PrintResult result) { result_ = result; }
    // The file the next PDF dialog returns; nothing for Cancel.
    void ChooseNextPdf(std::optional<std::filesystem::path> file) { pdf_answers_.push_back(file); }

    int Previews() const { return previews_; }
    const RecordingPrintSurface& Page() const { return page_; }
    const std::vector<std::filesystem::path>& PdfSuggestions() const { return suggestions_; }

  private:
    bool installed_ = true;
    PrintResult result_ = PrintResult::Printed;
    int previews_ = 0;
    RecordingPrintSurface page_;
    std::deque<std::optional<std::filesystem::path>> pdf_answers_;
    std::vector<std::filesystem::path> suggestions_;
};

}  // namespace korvex::testing
