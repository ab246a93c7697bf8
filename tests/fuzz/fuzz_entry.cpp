// libFuzzer entry of one target; KORVEX_FUZZ_TARGET names it (see tests/fuzz/CMakeLists.txt).
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto run = [] {
        for (const korvex::fuzz::FuzzTarget& target : korvex::fuzz::FuzzTargets()) {
            if (target.name == KORVEX_FUZZ_TARGET) {
                return target.run;
            }
        }
        korvex::fuzz::Violated("unknown fuzz target");
    }();
    run(data, size);
    return 0;
}
