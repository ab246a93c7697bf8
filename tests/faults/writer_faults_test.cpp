// The writers under hard faults: a process killed at any moment, a full disk, two
// processes writing the same file, folders that cannot be written. After each, a file is
// the complete old or the complete new version, and the failure was reported.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "device/device_file.h"
#include "engine/calculation_case.h"
#include "engine/engine_state.h"
#include "engine/errors.h"
#include "engine/text_file.h"
#include "results/results_csv.h"
#include "settings/user_name.h"
#include "tests/engine/engine_test_support.h"
#include "tests/fixtures/failing_writes.h"
#include "tests/fixtures/synthetic_workdir.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

// One of the program's writers, writing version 0 or 1 of its file.
struct Writer {
    const char* kind;
    fs::path path;
    std::function<void(int version)> write;
};

ResultsTable TwoRowTable() {
    std::string text = "c\r\n 2 \r\n";
    for (const ResultColumnInfo& info : kResultColumns) {
        text += std::string(info.csv_label) + ",胸部背面,12.5\r\n";
    }
    return ParseResultsCsv(text, "t.csv").table;
}

std::vector<Writer> Writers(const fs::path& folder) {
    static const ResultsTable table = TwoRowTable();
    const auto device = [folder](int version) {
        CalculationCase c;
        c.FocusReceptorDistance = version == 0 ? 110 : 120;
        c.FocusIsocentreDistance = version == 0 ? 90 : 100;
        c.CouchTransmission = 0.8;
        SaveDeviceFile(folder,
                       {.DeviceName = "Room1",
                        .InherentFiltration = "2.5",
                        .AddedAluminium = "0",
                        .AddedCopper = "0",
                        .ArbitraryFilterMaterial = "---",
                        .ArbitraryFilterThickness = "0",
                        .TypicalTubeVoltage = version == 0 ? "70" : "80"},
                       c);
    };
    const auto results = [folder](int version) {
        WriteResultsCsv(folder / "series.csv", version == 0 ? "first comment" : "second", table);
    };
    // The user-name registration rewrites "Primary.dat"; its 31 reference lines are
    // made once.
    const auto primary = [folder](int version) {
        if (!fs::exists(folder / "Primary.dat")) {
            std::vector<std::string> lines;
            for (int n = 1; n <= 29; ++n) {
                lines.push_back(std::to_string(5 * (n + 1)) + ", " + std::to_string(n));
            }
            lines.insert(lines.end(), {"note", "note"});
            WriteTextLines(folder / "Primary.dat", lines, "Primary.dat");
        }
        std::string user;
        const RegistrationOutcome outcome =
            RegisterUserName(folder, version == 0 ? "放射線科" : "別の利用者", user);
        if (!outcome.registered) {
            throw FileError(outcome.refusal.text);
        }
    };
    return {{"device", folder / "Room1.kvx2", device},
            {"results", folder / "series.csv", results},
            {"primary", folder / "Primary.dat", primary}};
}

// The two complete versions a writer makes.
std::vector<std::string> Versions(const Writer& writer) {
    std::vector<std::string> versions;
    for (int version : {0, 1}) {
        writer.write(version);
        versions.push_back(fixtures::ReadWholeFile(writer.path));
    }
    return versions;
}

bool IsOneOf(const std::string& content, const std::vector<std::string>& versions) {
    return content == versions[0] || content == versions[1];
}

// Runs `body` in a child process and returns its exit code (-1 when it did not exit).
int InChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        int code = 99;
        try {
            code = body();
        } catch (...) {
        }
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(KilledWrites, EveryKillLeavesTheOldOrTheNewFileWhole) {
    fixtures::TempFolder folder;
    std::mt19937 random(20261208);
    for (const Writer& writer : Writers(folder.path())) {
        SCOPED_TRACE(writer.kind);
        const std::vector<std::string> versions = Versions(writer);
        int temporaries_seen = 0;
        for (int kill = 0; kill < 200; ++kill) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                for (int version = 0;; version = 1 - version) {
                    writer.write(version);
                }
            }
            ::usleep(std::uniform_int_distribution<useconds_t>(0, 3000)(random));
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            ASSERT_TRUE(IsOneOf(fixtures::ReadWholeFile(writer.path), versions))
                << "after kill " << kill;
            const int temporaries = fixtures::TemporaryFileCount(folder.path());
            ASSERT_LE(temporaries, 1);
            temporaries_seen += temporaries;
            // What the next start does: the killed write's temporary file goes.
            EXPECT_EQ(RemoveStaleTemporaryFiles(folder.path()), temporaries);
        }
        EXPECT_EQ(fixtures::TemporaryFileCount(folder.path()), 0);
        RecordProperty(std::string(writer.kind) + "_temporaries", temporaries_seen);
    }
}

TEST(FullDisk, EveryWriterReportsItAndKeepsTheOldFile) {
    fixtures::TempFolder folder;
    for (const Writer& writer : Writers(folder.path())) {
        SCOPED_TRACE(writer.kind);
        writer.write(0);
        const std::string old = fixtures::ReadWholeFile(writer.path);
        for (const rlim_t limit : {rlim_t{0}, rlim_t{16}}) {
            const int code = InChild([&] {
                ::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
                const rlimit small{limit, limit};
                ::setrlimit(RLIMIT_FSIZE, &small);
                try {
                    writer.write(1);
                } catch (const FileError& error) {
                    return std::string(error.what()).find("保存できません") != std::string::npos
                               ? 0
                               : 2;
                }
                return 1;
            });
            EXPECT_EQ(code, 0) << "limit " << limit;
            EXPECT_EQ(fixtures::ReadWholeFile(writer.path), old);
            EXPECT_EQ(fixtures::TemporaryFileCount(folder.path()), 0);
        }
    }
}

TEST(RacingWriters, TwoProcessesOnOneFileLeaveOneWholeVersion) {
    fixtures::TempFolder folder;
    for (const Writer& writer : Writers(folder.path())) {
        SCOPED_TRACE(writer.kind);
        const std::vector<std::string> versions = Versions(writer);
        std::vector<pid_t> children;
        for (int version : {0, 1}) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                int failures = 0;
                for (int round = 0; round < 100; ++round) {
                    try {
                        writer.write(version);
                    } catch (...) {
                        ++failures;
                    }
                }
                ::_exit(failures == 0 ? 0 : 1);
            }
            children.push_back(pid);
        }
        // Whoever reads meanwhile sees one whole version every time.
        for (int look = 0; look < 200; ++look) {
            ASSERT_TRUE(IsOneOf(fixtures::ReadWholeFile(writer.path), versions));
        }
        for (const pid_t pid : children) {
            int status = 0;
            ::waitpid(pid, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a write failed";
        }
        EXPECT_TRUE(IsOneOf(fixtures::ReadWholeFile(writer.path), versions));
        EXPECT_EQ(fixtures::TemporaryFileCount(folder.path()), 0);
    }
    // The device file both instances wrote loads.
    EngineState state(testing::SyntheticTables(), folder.path());
    EXPECT_NO_THROW(LoadDeviceFile(state, "Room1.kvx2"));
}

TEST(UnwritableFolders, ReadOnlyMissingAndReplacedTargetsGiveAMessageEach) {
    fixtures::TempFolder folder;
    const fs::path locked = folder.path() / "locked";
    fs::create_directory(locked);
    const Writer writer = Writers(locked)[0];
    writer.write(0);
    const std::string old = fixtures::ReadWholeFile(writer.path);
    fs::permissions(folder.path(), fs::perms::owner_all | fs::perms::others_exec);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                fs::perms::others_exec);
    // The superuser may write anywhere: the child gives up that right first.
    const int code = InChild([&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            return 3;
        }
        try {
            writer.write(1);
        } catch (const FileError&) {
            return 0;
        }
        return 1;
    });
    EXPECT_EQ(code, 0);
    fs::permissions(locked, fs::perms::owner_all);
    EXPECT_EQ(fixtures::ReadWholeFile(writer.path), old);
    EXPECT_EQ(fixtures::TemporaryFileCount(locked), 0);

    // A folder that went away.
    EXPECT_THROW(Writers(folder.path() / "gone")[1].write(0), FileError);

    // A listed file replaced by a folder before it is opened or written.
    fs::remove(writer.path);
    fs::create_directory(writer.path);
    EngineState state(testing::SyntheticTables(), locked);
    EXPECT_THROW(LoadDeviceFile(state, "Room1.kvx2"), FileError);
    EXPECT_THROW(writer.write(1), FileError);
    EXPECT_TRUE(fs::is_directory(writer.path));
    fs::create_directory(locked / "series.csv");
    EXPECT_THROW(ReadResultsCsv(locked / "series.csv"), ResultsFileUnreadable);
    EXPECT_THROW(Writers(locked)[1].write(0), FileError);
    EXPECT_EQ(fixtures::TemporaryFileCount(locked), 0);
}

}  // namespace
}  // namespace korvex
