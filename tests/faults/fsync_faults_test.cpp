// A disk that fails to flush: fsync is replaced at link time (-Wl,--wrap=fsync) so that a
// test can make it fail for the file or for its folder, as an I/O error of a dying disk
// or a network file system would.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "engine/errors.h"
#include "engine/text_file.h"
#include "tests/fixtures/failing_writes.h"
#include "tests/fixtures/synthetic_workdir.h"

namespace {

enum class FailingFsync { None, File, Folder };
FailingFsync failing = FailingFsync::None;
int failing_errno = EIO;

}  // namespace

extern "C" int __real_fsync(int fd);
extern "C" int __wrap_fsync(int fd) {
    struct stat status {};
    if (failing != FailingFsync::None && ::fstat(fd, &status) == 0) {
        const bool folder = S_ISDIR(status.st_mode);
        if (folder == (failing == FailingFsync::Folder)) {
            errno = failing_errno;
            return -1;
        }
    }
    return __real_fsync(fd);
}

namespace korvex {
namespace {

namespace fs = std::filesystem;

class FsyncFaults : public ::testing::Test {
  protected:
    void SetUp() override { WriteFileAtomically(path_, "old", "a.csv"); }
    void TearDown() override {
        failing = FailingFsync::None;
        failing_errno = EIO;
    }

    // The message of the failed write, or "" when it succeeded.
    std::string WriteNew() {
        try {
            WriteFileAtomically(path_, "new", "a.csv");
        } catch (const WriteError& error) {
            return error.what();
        }
        return {};
    }

    fixtures::TempFolder folder_;
    fs::path path_ = folder_.path() / "a.csv";
};

TEST_F(FsyncFaults, FileThatCannotBeFlushedIsReportedAndTheOldOneKept) {
    failing = FailingFsync::File;
    const std::string message = WriteNew();
    EXPECT_NE(message.find("「a.csv」を保存できませんでした"), std::string::npos) << message;
    EXPECT_EQ(fixtures::ReadWholeFile(path_), "old");
    EXPECT_EQ(fixtures::TemporaryFileCount(folder_.path()), 0);
}

// The new file is in place but may not survive a power cut: the user is told so, rather
// than being told it was saved.
TEST_F(FsyncFaults, FolderThatCannotBeFlushedIsReportedWithTheFileWritten) {
    failing = FailingFsync::Folder;
    const std::string message = WriteNew();
    EXPECT_NE(message.find("書き込みましたが、ディスクへの保存を確定できませんでした"),
              std::string::npos)
        << message;
    EXPECT_EQ(fixtures::ReadWholeFile(path_), "new");
    EXPECT_EQ(fixtures::TemporaryFileCount(folder_.path()), 0);
}

// Some file systems do not flush folders at all and say EINVAL: nothing to report there.
TEST_F(FsyncFaults, FolderFlushUnsupportedIsNoFailure) {
    failing = FailingFsync::Folder;
    failing_errno = EINVAL;
    EXPECT_EQ(WriteNew(), "");
    EXPECT_EQ(fixtures::ReadWholeFile(path_), "new");
}

}  // namespace
}  // namespace korvex
