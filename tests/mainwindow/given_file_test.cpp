#include "mainwindow/given_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/fixtures/dose_report_fixtures.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

GivenFileKind KindOf(const fs::path& path) {
    return ClassifyGivenFile(path).kind;
}

TEST(GivenFile, DevicesAndResultsAreKnownByTheirExtensionInAnyCase) {
    fixtures::TempFolder folder;
    fixtures::WriteTypicalDevice(folder.path(), "room1.kvx2");
    Write(folder.path() / "OLD ROOM.KVX", "120,100,12\r\n");
    Write(folder.path() / "results.csv", "comment\r\n 0 \r\n");
    Write(folder.path() / "RESULTS.CSV", "");
    EXPECT_EQ(KindOf(folder.path() / "room1.kvx2"), GivenFileKind::Device);
    EXPECT_EQ(KindOf(folder.path() / "OLD ROOM.KVX"), GivenFileKind::Device);
    EXPECT_EQ(KindOf(folder.path() / "results.csv"), GivenFileKind::Results);
    EXPECT_EQ(KindOf(folder.path() / "RESULTS.CSV"), GivenFileKind::Results);
}

TEST(GivenFile, DoseReportsAreKnownByExtensionOrByTheirDicomStart) {
    fixtures::TempFolder folder;
    // A Part 10 file under a name without extension, as archives export them.
    fixtures::WriteDoseReportFile(folder.path() / "IM000001", fixtures::StandardReport());
    EXPECT_EQ(KindOf(folder.path() / "IM000001"), GivenFileKind::DoseReport);
    // ".dcm" goes to the reader whatever it holds; the reader says what is wrong.
    Write(folder.path() / "broken.DCM", "not dicom");
    EXPECT_EQ(KindOf(folder.path() / "broken.DCM"), GivenFileKind::DoseReport);
    // A data set without preamble and meta header: (0008,0005) in explicit VR little
    // endian, and (0002,0000) in implicit VR.
    Write(folder.path() / "raw1", std::string("\x08\x00\x05\x00"
                                              "CS\x0a\x00ISO_IR 100",
                                              18));
    Write(folder.path() / "raw2",
          std::string("\x02\x00\x00\x00\x04\x00\x00\x00\xc8\x00\x00\x00", 12));
    EXPECT_EQ(KindOf(folder.path() / "raw1"), GivenFileKind::DoseReport);
    EXPECT_EQ(KindOf(folder.path() / "raw2"), GivenFileKind::DoseReport);

    // Text, a short file and a preamble without "DICM" are none of the program's files.
    Write(folder.path() / "notes.txt", "room 3: new tube from March\n");
    Write(folder.path() / "tiny", "\x08\x00");
    Write(folder.path() / "preamble.bin", std::string(128, '\0') + "DICX");
    EXPECT_EQ(KindOf(folder.path() / "notes.txt"), GivenFileKind::Unknown);
    EXPECT_EQ(KindOf(folder.path() / "tiny"), GivenFileKind::Unknown);
    EXPECT_EQ(KindOf(folder.path() / "preamble.bin"), GivenFileKind::Unknown);
}

TEST(GivenFile, WhatCannotBeReadIsUnusableWithTheReadersMessage) {
    fixtures::TempFolder folder;
    const GivenFile missing = ClassifyGivenFile(folder.path() / "gone.kvx2");
    EXPECT_EQ(missing.kind, GivenFileKind::Unusable);
    EXPECT_EQ(missing.reason, "ファイル「gone.kvx2」が見つかりません。");
    fs::create_directory(folder.path() / "reports.dcm");
    const GivenFile directory = ClassifyGivenFile(folder.path() / "reports.dcm");
    EXPECT_EQ(directory.kind, GivenFileKind::Unusable);
    EXPECT_EQ(directory.reason, "「reports.dcm」はファイルではありません。");
}

}  // namespace
}  // namespace korvex
