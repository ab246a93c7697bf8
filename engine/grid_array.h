#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "engine/errors.h"

namespace korvex {

// The failures of an index beyond a grid, out of line: the checks themselves stay a compare
// the compiler inlines into the calculation's loops.
[[noreturn, gnu::cold, gnu::noinline]] inline void ThrowBeyondGrid(long index, long last) {
    throw CalculationError("index " + std::to_string(index) + " beyond a grid of 0.." +
                           std::to_string(last));
}

[[noreturn, gnu::cold, gnu::noinline]] inline void ThrowBeyondTable(long row, long column,
                                                                    std::size_t rows,
                                                                    std::size_t columns) {
    throw CalculationError("index (" + std::to_string(row) + ", " + std::to_string(column) +
                           ") beyond a table of " + std::to_string(rows) + " x " +
                           std::to_string(columns));
}

// Arrays indexed as the program's grids are numbered (the fine energy grid from 1 to 300,
// the kernel energy grid from 1 to 31, ...); index 0 exists and is simply unused where a
// grid starts at 1. Every access is checked: an index beyond the grid is a calculation
// failure, never a read outside the array.
template <std::size_t Size>
class GridArray {
  public:
    static constexpr long kLast = static_cast<long>(Size) - 1;

    double& operator[](long index) { return values_[Checked(index)]; }
    double operator[](long index) const { return values_[Checked(index)]; }

    void Fill(double value) { values_.fill(value); }

    bool operator==(const GridArray&) const = default;

  private:
    static std::size_t Checked(long index) {
        if (index < 0 || index > kLast) {
            ThrowBeyondGrid(index, kLast);
        }
        return static_cast<std::size_t>(index);
    }

    std::array<double, Size> values_{};
};

template <std::size_t Rows, std::size_t Columns>
class GridTable {
  public:
    double& operator()(long row, long column) { return values_[Checked(row, column)]; }
    double operator()(long row, long column) const { return values_[Checked(row, column)]; }

    void Fill(double value) { values_.fill(value); }

  private:
    static std::size_t Checked(long row, long column) {
        if (row < 0 || row >= static_cast<long>(Rows) || column < 0 ||
            column >= static_cast<long>(Columns)) {
            ThrowBeyondTable(row, column, Rows, Columns);
        }
        return static_cast<std::size_t>(row) * Columns + static_cast<std::size_t>(column);
    }

    std::array<double, Rows * Columns> values_{};
};

// Fine energy grid: i = 1..300 stands for 0.5 * i keV.
using FineArray = GridArray<301>;
// Kernel energy grid: j = 1..31 stands for 1 keV, then 5, 10, ..., 150 keV.
using KernelArray = GridArray<32>;
// Coarse energy grid: k = 2..30 stands for 5 * k keV.
using CoarseArray = GridArray<31>;

}  // namespace korvex
