#pragma once

#include <cstddef>

#include "dose_report/report_calculation.h"
#include "results/results_table.h"

namespace korvex {

// What the results table stores for a projection group in its Field column: the group's
// fields differ from event to event, so no one size stands for them.
inline constexpr const char* kGroupFieldCell = "---";

// The results-table row of one projection group: body site = its label; tube voltage,
// added filters, dose-to-kerma ratio and forward-backscatter factor = Ka,r-weighted means
// of its events; the device's inherent and other filters; the report's focus-skin
// distance; Field "---"; displayed and corrected Ka,r and P_KA and the skin dose = sums.
// Every number formatted as the add button would. Throws CalculationError for a value
// that is not finite and std::out_of_range for a group that does not exist.
ResultRow GroupResultRow(const ReportCalculation& result, std::size_t group);

}  // namespace korvex
