#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace korvex::fuzz {

// One reader under test: takes any bytes, and crashes (or trips a sanitizer) only on a
// fault. Refusing the input with the reader's own error is the expected outcome; a value
// the reader accepted must also satisfy the checks each target states.
struct FuzzTarget {
    std::string_view name;  // also the folder of its corpus and crash regressions
    void (*run)(const std::uint8_t* data, std::size_t size);
};

// Every target: backscatter, attenuation, primary, kernel, couch_scatter, device, material,
// results, exposures, numbers, fields, dose_report, map_geometry, node_settings,
// study_record.
const std::vector<FuzzTarget>& FuzzTargets();

// Stops the process where the fuzzer and the test suite both notice it.
[[noreturn]] void Violated(const char* what);

}  // namespace korvex::fuzz
