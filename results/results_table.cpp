#include "results/results_table.h"

#include <cmath>
#include <stdexcept>

#include "engine/errors.h"
#include "engine/text_rules.h"

namespace korvex {

std::string_view ResultCell::Text() const {
    if (const auto* text = std::get_if<std::string>(&content_)) {
        return *text;
    }
    return {};
}

double ResultCell::Value() const {
    if (const auto* number = std::get_if<double>(&content_)) {
        return *number;
    }
    return LeadingNumber(std::get<std::string>(content_));
}

std::string ResultCell::StoredText() const {
    if (const auto* number = std::get_if<double>(&content_)) {
        return ShortestNumberText(*number);
    }
    return std::get<std::string>(content_);
}

std::string ResultCell::Shown(std::string_view pattern) const {
    if (pattern.empty()) {
        return StoredText();
    }
    if (const auto* number = std::get_if<double>(&content_)) {
        return FormatNumber(*number, pattern);
    }
    const std::string& text = std::get<std::string>(content_);
    if (const auto value = ParseDecimal(text)) {
        return FormatNumber(*value, pattern);
    }
    return text;
}

ResultCell TextCell(std::string text) {
    ResultCell cell;
    cell.content_ = std::move(text);
    return cell;
}

ResultCell NumberCell(double value) {
    if (!std::isfinite(value)) {
        throw std::invalid_argument("a results cell cannot hold a non-finite number");
    }
    ResultCell cell;
    cell.content_ = value;
    return cell;
}

ResultRow::ResultRow() {
    for (const auto& info : kResultColumns) {
        if (info.kind == ColumnKind::Number) {
            cells_[Index(info.column)] = NumberCell(0);
        }
    }
}

bool ResultRow::HasArbitraryFilter() const {
    const ResultCell& material = (*this)[ResultColumn::FilterOther];
    return material.IsNumber() || material.Text() != kNoArbitraryFilter;
}

const ResultRow& ResultsTable::Row(int slot) const {
    if (slot < 1 || slot > kResultSlotCount) {
        throw std::out_of_range("results table slot " + std::to_string(slot) + " is not 1..15");
    }
    return slots_[static_cast<std::size_t>(slot - 1)];
}

int ResultsTable::StoreRow(const ResultRow& row) {
    if (IsFull()) {
        return 0;
    }
    slots_[static_cast<std::size_t>(row_count_)] = row;
    ++row_count_;
    return row_count_;
}

void ResultsTable::ClearResultsTable() {
    slots_.fill(ResultRow());
    row_count_ = 0;
}

std::vector<ModelDoseTotal> ResultsTable::DoseTotals() const {
    std::vector<ModelDoseTotal> totals;
    for (const DoseModel model : kDoseModels) {
        ModelDoseTotal sum{model, 0.0, 0};
        for (int slot = 1; slot <= row_count_; ++slot) {
            if (Row(slot).Model() == model) {
                sum.total += Cell(slot, ResultColumn::EntranceDose).Value();
                ++sum.rows;
            }
        }
        if (!std::isfinite(sum.total)) {
            throw CalculationError("the dose total is beyond the range of numbers");
        }
        if (sum.rows > 0) {
            totals.push_back(sum);
        }
    }
    return totals;
}

bool ResultsTable::MixesModels() const {
    for (int slot = 2; slot <= row_count_; ++slot) {
        if (Row(slot).Model() != Row(1).Model()) {
            return true;
        }
    }
    return false;
}

double ResultsTable::DoseTotal() const {
    const std::vector<ModelDoseTotal> totals = DoseTotals();
    if (totals.size() > 1) {
        throw CalculationError("rows of different dose models are not added together");
    }
    return totals.empty() ? 0.0 : totals.front().total;
}

}  // namespace korvex
