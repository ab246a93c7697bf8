#pragma once

#include <QWidget>
#include <filesystem>
#include <string>

#include "engine/calculation_case.h"
#include "results/add_result_row.h"
#include "results/results_drawing.h"
#include "results/results_table.h"

class QLabel;
class QLayout;
class QPushButton;

namespace korvex {

class MessageService;
class PrinterService;
class ResultsReadDialog;
class ResultsSaveDialog;

// Form10: the results table drawn as a grid, with the dose total and the buttons that
// save, read, print and clear it. Lives for the whole run beside the main window.
class ResultsWindow : public QWidget {
    Q_OBJECT

  public:
    // `user_name` is read whenever the empty display is drawn.
    ResultsWindow(ResultsTable& table, const std::string& user_name, MessageService& messages,
                  PrinterService& printer, std::filesystem::path working_folder,
                  QWidget* parent = nullptr);
    ~ResultsWindow() override;

    // The add button of the main window: stores the case as the next row and draws it.
    void AddResult(const CalculationCase& calc);
    // Reads a results file as "データ読込" does, after the same question when the table
    // holds rows, and shows this window; returns whether the table was replaced.
    bool ReadFile(const std::filesystem::path& path);
    // A row formatted elsewhere (a dose report's projection group), drawn and warned about
    // like the add button's.
    void AddRow(const ResultRow& row);

    // The user name as start-up found it: drawn below the product name of the empty
    // display, and shown in Label1.
    void ShowUserNameAtStartUp();
    // A name was registered or the guest chosen: the whole drawing is replaced by the
    // product name and the user name, a little higher up; the table's data stay.
    void ShowUserNameChanged();

  signals:
    // The table was cleared: the result on the main window may not be added any more.
    void tableCleared();

  private:
    void resizeEvent(QResizeEvent* event) override;

    // Signature, user name, models and the five buttons below the drawing.
    QLayout* BuildStrip();
    // `was_mixed`: the table held rows of two models before the add.
    void ShowAdded(const AddRowOutcome& outcome, bool was_mixed);
    void ShowTableGrid();
    void HideTableGrid();
    void PlaceTotalButton();
    // The area cleared, then grid, header and every stored row.
    void RedrawTable();
    // Label2: which model computed the rows (TableModelText).
    void ShowTableModels();

    // Command1, Command7, Command5, Command6.
    void DrawDoseTotal();
    void ClearTable();
    void OpenSaveDialog();
    void OpenReadDialog();
    // The question before the rows on show are replaced by a file's; true when there are
    // none or the user agrees.
    bool MayReplaceTable();
    // Command4: the one-page report, previewed on the default printer; without a printer
    // the PDF is offered instead (results_window_print.cpp).
    void PrintResultsTable();
    // Command8: the same page as a PDF file.
    void SaveReportPdf();

    ResultsTable& table_;
    const std::string& user_name_;
    MessageService& messages_;
    PrinterService& printer_;
    std::filesystem::path pdf_folder_;          // where the last PDF went; first the working folder
    ResultsDrawing drawing_;                    // Picture2
    QPushButton* total_button_ = nullptr;       // Command1
    QLabel* user_label_ = nullptr;              // Label1
    QLabel* model_label_ = nullptr;             // Label2
    ResultsSaveDialog* save_dialog_ = nullptr;  // Form2
    ResultsReadDialog* read_dialog_ = nullptr;  // Form3
};

}  // namespace korvex
