#include "device/device_addition.h"

#include <gtest/gtest.h>

#include <fstream>

#include "engine/errors.h"
#include "tests/fixtures/failing_writes.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using fixtures::ReadWholeFile;

class DeviceAdditionTest : public ::testing::Test {
  protected:
    DeviceAdditionTest() {
        fixtures::WriteTypicalDevice(folder_.path(), "room1.kvx2", "100.0");
        fixtures::WriteTypicalDevice(elsewhere_.path(), "room1.kvx2", "90.0");
        fixtures::WriteTypicalDevice(elsewhere_.path(), "room2.kvx2", "100.0");
    }

    fixtures::TempFolder folder_;     // the working folder
    fixtures::TempFolder elsewhere_;  // where the user's files come from
};

TEST_F(DeviceAdditionTest, ANewNameIsAddedWithItsBytes) {
    const GivenDevice device = ExamineGivenDevice(folder_.path(), elsewhere_.path() / "room2.kvx2");
    EXPECT_EQ(device.name, "room2.kvx2");
    EXPECT_EQ(device.addition, DeviceAddition::New);
    EXPECT_FALSE(fs::exists(folder_.path() / "room2.kvx2"));  // examining writes nothing

    AddGivenDevice(folder_.path(), device);
    EXPECT_EQ(ReadWholeFile(folder_.path() / "room2.kvx2"),
              ReadWholeFile(elsewhere_.path() / "room2.kvx2"));
}

TEST_F(DeviceAdditionTest, TheSameFileOrTheSameBytesAreThereAndADifferentOneWouldBeReplaced) {
    // The working folder's own file, given as it is.
    EXPECT_EQ(ExamineGivenDevice(folder_.path(), folder_.path() / "room1.kvx2").addition,
              DeviceAddition::AlreadyThere);
    // A copy elsewhere with the same bytes is the folder's device.
    fs::copy_file(folder_.path() / "room1.kvx2", elsewhere_.path() / "copy.kvx2");
    fs::copy_file(folder_.path() / "room1.kvx2", folder_.path() / "copy.kvx2");
    EXPECT_EQ(ExamineGivenDevice(folder_.path(), elsewhere_.path() / "copy.kvx2").addition,
              DeviceAddition::AlreadyThere);

    // Another room under the same name replaces the folder's only when added.
    const std::string old_bytes = ReadWholeFile(folder_.path() / "room1.kvx2");
    const GivenDevice other = ExamineGivenDevice(folder_.path(), elsewhere_.path() / "room1.kvx2");
    EXPECT_EQ(other.addition, DeviceAddition::Replaces);
    EXPECT_EQ(ReadWholeFile(folder_.path() / "room1.kvx2"), old_bytes);
    AddGivenDevice(folder_.path(), other);
    EXPECT_EQ(ReadWholeFile(folder_.path() / "room1.kvx2"),
              ReadWholeFile(elsewhere_.path() / "room1.kvx2"));
}

TEST_F(DeviceAdditionTest, NothingIsAddedThatTheDeviceListCouldNotLoadOrThatLeadsOutOfTheFolder) {
    // Not a device file: the reader's message, naming the file and the line.
    std::ofstream(elsewhere_.path() / "notes.kvx2", std::ios::binary) << "room 3\r\nnew tube\r\n";
    try {
        ExamineGivenDevice(folder_.path(), elsewhere_.path() / "notes.kvx2");
        FAIL() << "a file that is no device file was accepted";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("notes.kvx2"), std::string::npos);
    }
    EXPECT_THROW(ExamineGivenDevice(folder_.path(), elsewhere_.path() / "gone.kvx2"), FileError);
    // A hidden name: the device list would never show the copy.
    fs::copy_file(elsewhere_.path() / "room2.kvx2", elsewhere_.path() / ".room3.kvx2");
    EXPECT_THROW(ExamineGivenDevice(folder_.path(), elsewhere_.path() / ".room3.kvx2"), FileError);

    // A link in the folder's place that leads elsewhere is never written through.
    fixtures::TempFolder outside;
    std::ofstream(outside.path() / "target.kvx2", std::ios::binary) << "keep";
    fs::create_symlink(outside.path() / "target.kvx2", folder_.path() / "room2.kvx2");
    EXPECT_THROW(
        {
            const GivenDevice device =
                ExamineGivenDevice(folder_.path(), elsewhere_.path() / "room2.kvx2");
            AddGivenDevice(folder_.path(), device);
        },
        FileError);
    EXPECT_EQ(ReadWholeFile(outside.path() / "target.kvx2"), "keep");
}

}  // namespace
}  // namespace korvex
