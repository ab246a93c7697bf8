// Malformed and hostile input to the engine's readers and rules: each must end in the
// program's own message, never in a wrong value, a hang, an abort or undefined behaviour.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>
#include <sstream>
#include <thread>

#include "engine/backscatter.h"
#include "engine/depth_dose.h"
#include "engine/errors.h"
#include "engine/field_stream.h"
#include "engine/reference_tables.h"
#include "engine/scatter_kernel_cache.h"
#include "engine/spectrum.h"
#include "engine/text_file.h"
#include "engine/text_rules.h"
#include "engine/working_folder.h"
#include "tests/engine/engine_test_support.h"
#include "tests/fixtures/failing_writes.h"
#include "tests/fixtures/synthetic_workdir.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Replaces line `number` (from 1) of a file.
void ReplaceLine(const fs::path& path, int number, const std::string& line) {
    std::istringstream in(fixtures::ReadWholeFile(path));
    std::string text;
    std::string current;
    for (int n = 1; std::getline(in, current); ++n) {
        text += (n == number ? line + "\r" : current) + "\n";
    }
    Write(path, text);
}

std::string LoadFailure(const fs::path& folder) {
    try {
        LoadReferenceTables(folder);
    } catch (const FileError& error) {
        return error.what();
    }
    return "loaded";
}

class ReferenceRows : public ::testing::Test {
  protected:
    ReferenceRows() {
        fixtures::WriteSyntheticWorkdir(folder_.path(), {.with_scatter_kernels = false});
    }
    fs::path File(const char* name) const { return folder_.path() / name; }
    fixtures::TempFolder folder_;
};

TEST_F(ReferenceRows, AValueTooManyOnARowFailsTheStartInsteadOfShiftingTheRest) {
    // One extra number on the first primary row once moved every later value by one.
    ReplaceLine(File(kPrimaryFile), 1, "10, 49.8829, 49.8829");
    std::string message = LoadFailure(folder_.path());
    EXPECT_NE(message.find("Primary.dat"), std::string::npos) << message;
    EXPECT_NE(message.find("1 行目"), std::string::npos) << message;
    EXPECT_NE(message.find("3 個"), std::string::npos) << message;

    fixtures::WriteSyntheticWorkdir(folder_.path(), {.with_scatter_kernels = false});
    std::string row = "50.5";
    for (int n = 0; n < 7; ++n) {
        row += ", 1.5";
    }
    ReplaceLine(File(kAttenuationFile), 101, row);
    message = LoadFailure(folder_.path());
    EXPECT_NE(message.find("Att_coeff2021.dat"), std::string::npos) << message;
    EXPECT_NE(message.find("101 行目"), std::string::npos) << message;
}

TEST_F(ReferenceRows, AFirstColumnOffItsGridPointShowsAMissingOrDoubledRow) {
    ReplaceLine(File(kAttenuationFile), 10, "5.5, 1, 1, 1, 1, 1, 1");  // the row of 5.0 keV
    std::string message = LoadFailure(folder_.path());
    EXPECT_NE(message.find("10 行目"), std::string::npos) << message;
    EXPECT_NE(message.find("5.5"), std::string::npos) << message;

    fixtures::WriteSyntheticWorkdir(folder_.path(), {.with_scatter_kernels = false});
    std::string doubled = "0.05";  // ring 1 again where ring 2 belongs
    for (int j = 0; j < 31; ++j) {
        doubled += ", 0";
    }
    ReplaceLine(File(kBackscatterKernelFile), 3, doubled);
    message = LoadFailure(folder_.path());
    EXPECT_NE(message.find("dBSF-SoftDose-SoftPhantom.dat"), std::string::npos) << message;
    EXPECT_NE(message.find("3 行目"), std::string::npos) << message;

    fixtures::WriteSyntheticWorkdir(folder_.path(), {.with_scatter_kernels = false});
    ReplaceLine(File(kPrimaryFile), 2, "20, 11.3");  // 15 keV expected
    EXPECT_NE(LoadFailure(folder_.path()).find("2 行目"), std::string::npos);
}

TEST_F(ReferenceRows, ANumberLeftOverIsRefusedButANoteAfterTheRowsIsRead) {
    Write(File(kAttenuationFile), fixtures::ReadWholeFile(File(kAttenuationFile)) + "150.5\r\n");
    EXPECT_NE(LoadFailure(folder_.path()).find("余分な値"), std::string::npos);

    fixtures::WriteSyntheticWorkdir(folder_.path(), {.with_scatter_kernels = false});
    Write(File(kAttenuationFile),
          fixtures::ReadWholeFile(File(kAttenuationFile)) + "\r\nsource: synthetic\r\n");
    // Rows may end in a comma and be separated by blank lines.
    ReplaceLine(File(kPrimaryFile), 3, "20, 11.3319,");
    EXPECT_EQ(LoadFailure(folder_.path()), "loaded");
}

TEST(KernelRows, ANumberBeyondTheLayoutIsRefused) {
    fixtures::TempFolder folder;
    std::string text;
    for (int n = 0; n < 6400; ++n) {
        text += n % 20 == 19 ? "1\r\n" : "1,";
    }
    Write(folder.path() / "k.dat", text + "1\r\n");
    EXPECT_THROW(ReadScatterKernelFile(folder.path() / "k.dat", "PDS-data/45.dat"), FileError);
    Write(folder.path() / "k.dat", text + "note\r\n");
    EXPECT_EQ(ReadScatterKernelFile(folder.path() / "k.dat", "PDS-data/45.dat")(80, 40), 1.0);
}

TEST(KernelRows, TheCacheHoldsOnlyTheTwentyNineKernelEnergies) {
    fixtures::TempFolder folder;
    ScatterKernelCache cache;
    // A request for any other energy cannot grow the cache or read another file.
    for (const int energy : {-5, 0, 5, 12, 155, 1000000}) {
        EXPECT_THROW(cache.Kernel(folder.path(), energy), CalculationError) << energy;
    }
    EXPECT_THROW(cache.Kernel(folder.path(), 150), FileError);  // in the set, but missing
}

TEST(NumberRules, NoSpellingOverflowsOrGivesAWrongValue) {
    // A 64-bit exponent once overflowed the magnitude sum and read as 0.
    EXPECT_EQ(ParseDecimal("10e9223372036854775807"), std::nullopt);
    EXPECT_EQ(LeadingNumber("10e9223372036854775807"), 0.0);
    EXPECT_EQ(ParseDecimal("1e99999999999999999999999999"), std::nullopt);
    EXPECT_EQ(ParseDecimal("1e-9223372036854775808"), 0.0);
    EXPECT_EQ(ParseDecimal("0.1e-99999999999999999999"), 0.0);
    // Long mantissas: digits beyond the range fail, leading zeros cancel the exponent.
    EXPECT_EQ(ParseDecimal(std::string(500, '9')), std::nullopt);
    EXPECT_EQ(ParseDecimal("0." + std::string(400, '0') + "1e400"), 0.1);
    EXPECT_EQ(ParseDecimal("1" + std::string(400, '0') + "e-400"), 1.0);
    // Not-a-number spellings are no numbers; -0 is zero and shown without sign.
    for (const char* text : {"nan", "NaN", "inf", "-inf", "infinity", "1e", "."}) {
        EXPECT_EQ(ParseDecimal(text), std::nullopt) << text;
    }
    EXPECT_EQ(LeadingNumber("1e"), 1.0);
    EXPECT_EQ(*ParseDecimal("-0"), 0.0);
    EXPECT_EQ(FormatNumber(*ParseDecimal("-0"), "0.00"), "0.00");
    // A denormal is a number (tiny, not zero); so is the largest double.
    const double tiny = *ParseDecimal("1e-310");
    EXPECT_TRUE(tiny >= 0 && tiny < 1e-300);
    EXPECT_EQ(ParseDecimal("1.7976931348623157e308"), 1.7976931348623157e308);
    EXPECT_EQ(ParseDecimal("1.8e308"), std::nullopt);
}

TEST(NumberRules, MessagesQuoteAtMostSixtyCharacters) {
    const std::string line(10 * 1024 * 1024, 'x');
    EXPECT_EQ(MessageQuote(line), std::string(60, 'x') + "…");
    EXPECT_EQ(MessageQuote("胸部背面"), "胸部背面");
    EXPECT_EQ(MessageQuote(std::string(61, 'a')).size(), 60u + std::string("…").size());
    // Broken UTF-8 and line breaks never reach a message as they are.
    EXPECT_EQ(MessageQuote("a\xFF\nb"), "a\xEF\xBF\xBD b");
    EXPECT_EQ(MessageQuote("\xE8\x83"), "\xEF\xBF\xBD\xEF\xBF\xBD");

    fixtures::TempFolder folder;
    Write(folder.path() / "x", line.substr(0, 1024 * 1024) + "\r\n");
    try {
        FieldStream(ReadTextFile(folder.path() / "x", "x"), "x").RequireNumberField();
        FAIL() << "text read as a number";
    } catch (const FileError& error) {
        EXPECT_LT(std::string(error.what()).size(), 400u);
    }
}

TEST(CastsToIntegers, OutOfRangeValuesFailInsteadOfOverflowing) {
    EXPECT_THROW(LastSpectrumBin(-1e300), CalculationError);
    EXPECT_THROW(LastSpectrumBin(std::nan("")), CalculationError);

    // A negative focus-receptor distance once gave no rings and a factor of exactly 1.
    EngineState state = testing::TypicalState();
    state.calc.TubeVoltage = 80;
    state.calc.FieldShape = FieldShapeKind::Circle;
    state.calc.SurfaceFieldSizeA = state.calc.SurfaceFieldSizeB = 10;
    state.calc.EffectiveSurfaceDistance = 80;
    ComputeSpectrum(state, 80);
    state.calc.FocusReceptorDistance = -1e-300;
    EXPECT_THROW(ComputeBackscatterFactor(state), CalculationError);
    state.calc.FocusReceptorDistance = -5;
    EXPECT_THROW(ComputeBackscatterFactor(state), CalculationError);
}

// Reading never blocks or runs out of memory, whatever stands at the path.
TEST(BoundedReads, OnlyRegularFilesAreReadAndOnlyUpToTheLimit) {
    fixtures::TempFolder folder;
    const fs::path fifo = folder.path() / "Primary.dat";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Should the read wait for a writer, this one ends the wait, so the test fails
    // instead of hanging.
    std::atomic<bool> done{false};
    std::thread unblock([&] {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done && std::chrono::steady_clock::now() < until) {
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                ::close(fd);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(ReadTextFile(fifo, "Primary.dat"), FileError);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    done = true;
    unblock.join();

    fs::create_symlink("/dev/zero", folder.path() / "zero.kvx2");
    try {
        ReadTextFile(folder.path() / "zero.kvx2", "zero.kvx2");
        FAIL() << "a device was read";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("zero.kvx2"), std::string::npos);
    }
    EXPECT_THROW(ReadTextFile(folder.path(), "folder"), FileError);

    Write(folder.path() / "big.csv", std::string(2048, 'a'));
    EXPECT_THROW(ReadFileBytes(folder.path() / "big.csv", "big.csv", 2047), FileError);
    EXPECT_EQ(ReadFileBytes(folder.path() / "big.csv", "big.csv", 2048).size(), 2048u);
    // A link to a regular file is read as that file.
    fs::create_symlink(folder.path() / "big.csv", folder.path() / "link.csv");
    EXPECT_EQ(ReadFileBytes(folder.path() / "link.csv", "link.csv").size(), 2048u);
}

TEST(WorkingFolderFaults, ALinkLoopGivesAMessageNotAnAbort) {
    fixtures::TempFolder bundled;
    fixtures::TempFolder user;
    fs::create_directories(bundled.path() / "PDS-data");
    Write(bundled.path() / "PDS-data" / "10.dat", "kernel");
    fs::create_directory_symlink(user.path() / "PDS-data", user.path() / "PDS-data");
    EXPECT_THROW(SeedWorkingFolder(bundled.path(), user.path(), true), FileError);
}

TEST(WorkingFolderFaults, NamesResolveInsideTheFolder) {
    fixtures::TempFolder folder;
    fixtures::TempFolder outside;
    Write(outside.path() / "secret.kvx2", "root:x:0:0");
    Write(folder.path() / "room.kvx2", "inside");
    for (const std::string name : {"../room.kvx2", "/etc/passwd", "a/b.kvx2", "..", "", "a\\b"}) {
        try {
            FileInFolder(folder.path(), name);
            ADD_FAILURE() << name << " was accepted";
        } catch (const FileError& error) {
            EXPECT_EQ(std::string(error.what()).find("root:x"), std::string::npos);
        }
    }
    fs::create_symlink(outside.path() / "secret.kvx2", folder.path() / "out.kvx2");
    EXPECT_THROW(FileInFolder(folder.path(), "out.kvx2"), FileError);
    // A link to another file of the folder and a plain name are fine.
    fs::create_symlink(folder.path() / "room.kvx2", folder.path() / "same.kvx2");
    EXPECT_EQ(FileInFolder(folder.path(), "same.kvx2"), folder.path() / "same.kvx2");
    EXPECT_EQ(FileInFolder(folder.path(), "room.kvx2"), folder.path() / "room.kvx2");
}

TEST(WriterTargets, OnlyARegularWritableFileIsReplaced) {
    fixtures::TempFolder folder;
    fixtures::TempFolder outside;
    Write(outside.path() / "elsewhere.csv", "keep");
    fs::create_symlink(outside.path() / "elsewhere.csv", folder.path() / "link.csv");
    EXPECT_THROW(WriteFileAtomically(folder.path() / "link.csv", "new", "link.csv"), FileError);
    EXPECT_EQ(fixtures::ReadWholeFile(outside.path() / "elsewhere.csv"), "keep");
    EXPECT_TRUE(fs::is_symlink(folder.path() / "link.csv"));

    Write(folder.path() / "locked.csv", "old");
    fs::permissions(folder.path() / "locked.csv", fs::perms::owner_read);
    EXPECT_THROW(WriteFileAtomically(folder.path() / "locked.csv", "new", "locked.csv"), FileError);
    EXPECT_EQ(fixtures::ReadWholeFile(folder.path() / "locked.csv"), "old");

    ASSERT_EQ(::mkfifo((folder.path() / "pipe.csv").c_str(), 0600), 0);
    EXPECT_THROW(WriteFileAtomically(folder.path() / "pipe.csv", "new", "pipe.csv"), FileError);
    EXPECT_EQ(fs::status(folder.path() / "pipe.csv").type(), fs::file_type::fifo);
}

TEST(WriterTargets, StaleTemporaryFilesGoButALiveWriteKeepsItsOwn) {
    fixtures::TempFolder folder;
    Write(folder.path() / ".korvex-abc123.tmp", "cut short");
    Write(folder.path() / ".korvex-live00.tmp", "being written");
    Write(folder.path() / ".korvex-notours.tmp.bak", "someone else's");
    const int live = ::open((folder.path() / ".korvex-live00.tmp").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);
    EXPECT_EQ(RemoveStaleTemporaryFiles(folder.path()), 1);
    EXPECT_FALSE(fs::exists(folder.path() / ".korvex-abc123.tmp"));
    EXPECT_TRUE(fs::exists(folder.path() / ".korvex-live00.tmp"));
    EXPECT_TRUE(fs::exists(folder.path() / ".korvex-notours.tmp.bak"));
    ::close(live);
    EXPECT_EQ(RemoveStaleTemporaryFiles(folder.path()), 1);
}

}  // namespace
}  // namespace korvex
