#pragma once

#include <QRect>
#include <string_view>

#include "engine/dose_model.h"
#include "results/results_table.h"

namespace korvex {

class Canvas;

// The results table as the results window's drawing area (Picture2) shows it, in the
// canvas' user units: the grid, the header, one line per stored row, the dose totals and
// the watermark of the empty display. It decides where things go; the window decides when.
class ResultsDrawing {
  public:
    // Makes the drawing area (without a parent: the window's layout takes it).
    explicit ResultsDrawing(const ResultsTable& table);

    Canvas* Area() const { return canvas_; }

    // The grid lines are kept for the whole run and only shown or hidden.
    void ShowGrid(bool visible);
    // Everything drawn is forgotten; grid and header start a table with no rows.
    void StartTable();
    // The cells of `slot` (1..15) on its line, with its model's mark when the table mixes
    // models.
    void DrawRow(int slot);
    // StartTable, then every stored row.
    void Redraw();
    // The totals of the stored doses under the dose column, one per model when the rows
    // come from two, each over a white box that hides the one before. False, with nothing
    // drawn, when the sum is beyond the range of numbers.
    bool DrawDoseTotals();

    // The whole drawing replaced by the empty display: the product name and, when known,
    // the user name below it.
    void ShowEmptyTable(std::string_view user_name);
    // The user name as start-up found it, added to the empty display.
    void ShowUserNameAtStartUp(std::string_view user_name);
    // The whole drawing replaced by the product name and the user name, a little higher.
    void ShowUserNameChanged(std::string_view user_name);

    // Where the totals button lies over the drawing, in widget pixels: in the totals line,
    // under the scatter-factor column, just left of the dose column.
    QRect TotalButtonPlace() const;

  private:
    void BuildGrid();
    void DrawHeader();
    void DrawModelMark(double x, double y, DoseModel model);
    // Black 9-point table text follows any watermark.
    void ResetTableFont();

    const ResultsTable& table_;
    Canvas* canvas_ = nullptr;
};

}  // namespace korvex
