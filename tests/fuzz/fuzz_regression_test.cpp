// Every stored fuzz input, seeds and the inputs that once crashed a reader, goes through
// its reader again in the ordinary suite, so a fault that was mended stays mended.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/fuzz/fuzz_targets.h"

namespace korvex::fuzz {
namespace {

namespace fs = std::filesystem;

int RunStoredInputs(const FuzzTarget& target, const fs::path& folder) {
    int count = 0;
    if (!fs::is_directory(folder)) {
        return count;
    }
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        SCOPED_TRACE(entry.path().string());
        target.run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        ++count;
    }
    return count;
}

TEST(FuzzInputs, EveryTargetHasSeedsAndAllStoredInputsPass) {
    const fs::path root = KORVEX_FUZZ_DIR;
    ASSERT_EQ(FuzzTargets().size(), 15u);
    for (const FuzzTarget& target : FuzzTargets()) {
        SCOPED_TRACE(std::string(target.name));
        EXPECT_GT(RunStoredInputs(target, root / "corpus" / target.name), 0) << "no seed corpus";
        RunStoredInputs(target, root / "regressions" / target.name);
        EXPECT_TRUE(fs::exists(root / "dictionaries" / (std::string(target.name) + ".dict")));
    }
}

}  // namespace
}  // namespace korvex::fuzz
