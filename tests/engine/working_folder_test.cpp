#include "engine/working_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

#include "tests/fixtures/synthetic_workdir.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(WorkingFolder, SeedingCopiesWhatIsMissingAndKeepsTheUsersFiles) {
    fixtures::TempFolder bundled;
    fixtures::TempFolder user;
    Write(bundled.path() / "Primary.dat", "bundled primary");
    Write(bundled.path() / "PDS-data" / "10.dat", "kernel");
    Write(bundled.path() / "example.kvx2", "example");
    Write(bundled.path() / "README.md", "about the data");
    Write(user.path() / "Primary.dat", "user's primary with a name");

    SeedWorkingFolder(bundled.path(), user.path(), true);
    EXPECT_EQ(Read(user.path() / "Primary.dat"), "user's primary with a name");
    EXPECT_EQ(Read(user.path() / "PDS-data" / "10.dat"), "kernel");
    EXPECT_EQ(Read(user.path() / "example.kvx2"), "example");
    EXPECT_FALSE(fs::exists(user.path() / "README.md"));

    // Later starts fill gaps in the reference data, but a deleted device stays deleted.
    fs::remove(user.path() / "PDS-data" / "10.dat");
    fs::remove(user.path() / "example.kvx2");
    SeedWorkingFolder(bundled.path(), user.path(), false);
    EXPECT_EQ(Read(user.path() / "PDS-data" / "10.dat"), "kernel");
    EXPECT_FALSE(fs::exists(user.path() / "example.kvx2"));
}

TEST(WorkingFolder, ChosenFolderWinsOverTheUsersDataFolder) {
    fixtures::TempFolder bundled;
    fixtures::TempFolder home;
    Write(bundled.path() / "Att_coeff2021.dat", "coefficients");
    {
        ScopedEnv workdir("KORVEX2_WORKDIR", "/somewhere/chosen");
        EXPECT_EQ(ResolveWorkingFolder(bundled.path()), fs::path("/somewhere/chosen"));
    }
    ScopedEnv workdir("KORVEX2_WORKDIR", nullptr);
    ScopedEnv xdg("XDG_DATA_HOME", home.path().c_str());
    const fs::path folder = ResolveWorkingFolder(bundled.path());
    EXPECT_EQ(folder, home.path() / "Korvex-2");
    EXPECT_EQ(Read(folder / "Att_coeff2021.dat"), "coefficients");
}

TEST(WorkingFolder, BundledDataIsFoundBesideAnInstalledProgramAndTheBuildTreeOnlyAsFallback) {
    fixtures::TempFolder prefix;
    const fs::path program = prefix.path() / "bin" / "korvex2";
    fs::create_directories(program.parent_path());
    const BundledDataPlaces build{"../share/korvex2", "/src/data"};
    const BundledDataPlaces package{"../share/korvex2", ""};
    const fs::path installed = prefix.path() / "share" / "korvex2";

    // Run from a build tree: no installed data beside it.
    EXPECT_EQ(FindBundledDataFolder(program, build), fs::path("/src/data"));
    // A package never looks into a source tree: it names its own place even when that is
    // missing, so the missing reference data are reported, not read from elsewhere.
    EXPECT_EQ(FindBundledDataFolder(program, package), installed);

    fs::create_directories(installed);
    EXPECT_EQ(FindBundledDataFolder(program, build), installed);
    EXPECT_EQ(FindBundledDataFolder(program, package), installed);
    // Another layout (lib/korvex2/bin beside lib/korvex2/data) is followed as configured.
    fs::create_directories(prefix.path() / "opt" / "data");
    EXPECT_EQ(FindBundledDataFolder(prefix.path() / "opt" / "bin" / "korvex2", {"../data", ""}),
              prefix.path() / "opt" / "data");
}

TEST(WorkingFolder, ThisBuildFindsItsDataThroughTheInstallLayout) {
    const BundledDataPlaces configured = ConfiguredBundledDataPlaces();
    // GNUInstallDirs puts the programs in bin and the data in share/korvex2 by default.
    EXPECT_EQ(configured.installed, fs::path("../share/korvex2"));
    // A build for tests keeps the fallback to the source tree, whose data it then reads.
    if (configured.build_tree.empty()) {
        GTEST_SKIP() << "built without the source tree's data as fallback";
    }
    EXPECT_TRUE(fs::is_regular_file(configured.build_tree / "Primary.dat"));
}

}  // namespace
}  // namespace korvex
