#include "engine/spectrum_cache.h"

#include "engine/reference_tables.h"

namespace korvex {

SpectrumCache::TableSnapshot SpectrumCache::SnapshotOf(const ReferenceTables& tables) {
    return {tables.MuTarget, tables.MuAluminium, tables.MuCopper, tables.MuEnAir,
            tables.MuEnTissue};
}

const SpectrumResult* SpectrumCache::Find(const SpectrumKey& key, const ReferenceTables& tables) {
    TableSnapshot now = SnapshotOf(tables);
    if (!has_tables_ || !(now == tables_)) {
        entries_.clear();
        tables_ = std::move(now);
        has_tables_ = true;
        return nullptr;
    }
    for (const auto& [known, result] : entries_) {
        if (known == key) {
            return &result;
        }
    }
    return nullptr;
}

void SpectrumCache::Store(const SpectrumKey& key, const SpectrumResult& result) {
    if (!has_tables_) {
        return;
    }
    if (entries_.size() == kCapacity) {
        entries_.pop_front();
    }
    entries_.emplace_back(key, result);
}

void SpectrumCache::Clear() {
    entries_.clear();
    has_tables_ = false;
}

}  // namespace korvex
