// What the node and the archive share: the settings file, the studies' folders, records
// and index, and the archive command over folders of old reports.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cli/commands.h"
#include "cli/node_settings.h"
#include "cli/study_outputs.h"
#include "cli/table_pdf.h"
#include "engine/errors.h"
#include "engine/text_file.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"
#include "tests/node/node_test_support.h"

namespace korvex::cli {
namespace {
namespace fs = std::filesystem;
using node_test::Count;
using node_test::Lines;
using node_test::TestUid;
using node_test::WriteStudyObject;

std::string LineOfError(const std::string& text) {
    try {
        ParseNodeSettings(text);
    } catch (const FileError& error) {
        return error.what();
    }
    return "no error";
}

TEST(NodeSettingsTest, UnitsAndHookAreReadAndEveryAmbiguityIsRefusedByLine) {
    const NodeSettings settings = ParseNodeSettings(
        "# comment\n\nunit, ANGIO1 ,Angio1.kvx2\nunit,CATH LAB 2,Cath2.kvx\nhook,/usr/bin/notify "
        "-x\n");
    ASSERT_EQ(settings.units.size(), 2u);
    EXPECT_EQ(settings.units[0].unit, "ANGIO1");
    EXPECT_EQ(settings.units[0].device, "Angio1.kvx2");
    EXPECT_EQ(settings.units[1].unit, "CATH LAB 2");
    EXPECT_EQ(settings.hook, "/usr/bin/notify -x");
    EXPECT_NE(LineOfError("unit,A,a.kvx2\nunit,A,b.kvx2\n").find("2 行目"), std::string::npos);
    EXPECT_NE(LineOfError("hook,a\nhook,b\n").find("2 行目"), std::string::npos);
    EXPECT_NE(LineOfError("unit,A\n").find("1 行目"), std::string::npos);
    EXPECT_NE(LineOfError("device,A,a.kvx2\n").find("1 行目"), std::string::npos);
    EXPECT_NE(LineOfError("hook,\n").find("1 行目"), std::string::npos);
}

TEST(NodeSettingsTest, AMissingFileIsMadeAndTheSendingTitleComesBeforeTheStation) {
    fixtures::TempFolder folder;
    EXPECT_TRUE(LoadNodeSettings(folder.path()).units.empty());
    const std::string bytes = ReadFileBytes(folder.path() / kNodeSettingsFile, "DoseNode.txt");
    EXPECT_NE(bytes.find("\r\n"), std::string::npos);
    EXPECT_TRUE(ParseNodeSettings(DecodeCp932(bytes, "DoseNode.txt")).units.empty());

    const NodeSettings settings =
        ParseNodeSettings("unit,ROOM1,station.kvx2\nunit,UNIT1,title.kvx2\n");
    DoseReport report;
    report.station_name = "ROOM1";
    std::string matched;
    EXPECT_EQ(DeviceFor(settings, report, "fallback.kvx2", matched), "station.kvx2");
    EXPECT_EQ(matched, "station name ROOM1");
    report.sending_ae_title = "UNIT1";
    EXPECT_EQ(DeviceFor(settings, report, "fallback.kvx2", matched), "title.kvx2");
    report = DoseReport{};
    report.station_name = "ROOM9";
    EXPECT_EQ(DeviceFor(settings, report, "fallback.kvx2", matched), "fallback.kvx2");
    EXPECT_EQ(DeviceFor(settings, report, "", matched), "");
}

TEST(StudyOutputsTest, DigestsFoldersAndRecordsRoundTrip) {
    EXPECT_EQ(ObjectsDigest({"1.2", "1.3"}), ObjectsDigest({"1.3", "1.2"}));
    EXPECT_NE(ObjectsDigest({"1.2", "1.3"}), ObjectsDigest({"1.2"}));
    EXPECT_NE(ObjectsDigest({"1.23"}), ObjectsDigest({"1.2", "3"}));
    EXPECT_EQ(StudyFolder("/o", "20240115", "1.2"), fs::path("/o/2024/01/15/1.2"));
    EXPECT_EQ(StudyFolder("/o", "2024-01-15", "1.2"), fs::path("/o/undated/1.2"));

    fixtures::TempFolder folder;
    StudyRecord record;
    record.key = "1.2";
    record.digest = ObjectsDigest({"1.2.1"});
    record.objects = 1;
    record.computations = 2;
    record.flag_raised = true;
    record.index_fields = std::vector<std::string>(StudiesIndexHeader().size(), "x");
    record.index_fields[2] = "ROOM, \"1\"";  // quoted in the file, whole when read back
    WriteStudyRecord(folder.path(), record);
    const std::optional<StudyRecord> read = ReadStudyRecord(folder.path());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->digest, record.digest);
    EXPECT_EQ(read->computations, 2);
    EXPECT_TRUE(read->flag_raised);
    EXPECT_FALSE(read->hook_done);
    EXPECT_EQ(read->index_fields, record.index_fields);
    std::ofstream(folder.path() / "study.txt", std::ios::trunc) << "Key,1.2\r\n";
    EXPECT_FALSE(ReadStudyRecord(folder.path())) << "a damaged record means: compute again";
}

class ArchiveTest : public ::testing::Test {
  protected:
    ArchiveTest() {
        fixtures::WriteSyntheticWorkdir(work_.path());
        fixtures::WriteTypicalDevice(work_.path());
        fs::create_directories(reports_.path() / "a" / "b");
        WriteStudyObject(reports_.path() / "a" / "1.dcm", TestUid(1, 0), TestUid(1, 1), 0, 3);
        WriteStudyObject(reports_.path() / "a" / "b" / "2.dcm", TestUid(1, 0), TestUid(1, 2), 3, 2);
        fs::copy_file(reports_.path() / "a" / "1.dcm", reports_.path() / "a" / "b" / "copy.dcm");
        WriteStudyObject(reports_.path() / "3.dcm", TestUid(2, 0), TestUid(2, 1), 0, 1, "ROOM2");
        node_test::WriteImageObject(reports_.path() / "ct.dcm", TestUid(3, 0), TestUid(3, 1));
        std::ofstream(reports_.path() / "notes.txt") << "not DICOM";
    }

    int Archive() {
        err_.str({});
        std::ostringstream out;
        return RunCommandLine(
            {"archive", reports_.path().string(), "--out", out_.path().string(), "--device",
             "room1.kvx2", "--jobs", "2", "--workdir", work_.path().string()},
            "/nowhere/korvex2-cli", out, err_);
    }

    fs::path Folder(int study) const {
        return out_.path() / "2024" / "01" / "15" / TestUid(study, 0);
    }

    fixtures::TempFolder work_;
    fixtures::TempFolder reports_;
    fixtures::TempFolder out_;
    std::ostringstream err_;
};

TEST_F(ArchiveTest, GroupsByStudyKeepsCopiesOnceListsWhatItSkipsAndResumes) {
    ASSERT_EQ(Archive(), 0) << err_.str();
    std::istringstream log(err_.str());
    std::vector<std::string> lines;
    for (std::string line; std::getline(log, line);) {
        lines.push_back(line);
    }
    EXPECT_EQ(Count(lines, "skipped "), 2) << err_.str();
    EXPECT_EQ(Count(lines, "ct.dcm: not a dose report class"), 1);
    EXPECT_EQ(Count(lines, "kept once: "), 1);
    EXPECT_EQ(Count(lines, ": computed: "), 2);
    EXPECT_EQ(Count(lines, "done: 2/2 studies (2 computed, 0 failed), 6 events"), 1) << err_.str();
    EXPECT_EQ(Count(Lines(Folder(1) / "study.txt"), "Objects,2"), 1);
    EXPECT_EQ(cli::WritesTablePdf(), fs::exists(Folder(1) / "report.pdf"));
    const std::string json = ReadFileBytes(Folder(1) / "report.json", "report.json");
    EXPECT_NE(json.find("\"Key\":\"" + TestUid(1, 0) + "\""), std::string::npos);
    EXPECT_NE(json.find("\"Device\":\"room1.kvx2\""), std::string::npos);
    const std::vector<std::string> index = Lines(out_.path() / "studies.csv");
    ASSERT_EQ(index.size(), 3u);
    EXPECT_EQ(index[0].rfind("StudyDate,StudyTime,Unit,Device,Events,KarSum_mGy,", 0), 0u);
    EXPECT_EQ(Count(index, ",ROOM2,room1.kvx2,1,"), 1);

    // A second run finds everything computed; a late object recomputes its study only.
    ASSERT_EQ(Archive(), 0);
    EXPECT_NE(err_.str().find("done: 2/2 studies (0 computed"), std::string::npos) << err_.str();
    WriteStudyObject(reports_.path() / "late.dcm", TestUid(2, 0), TestUid(2, 2), 1, 1, "ROOM2");
    ASSERT_EQ(Archive(), 0);
    EXPECT_NE(err_.str().find("done: 2/2 studies (1 computed"), std::string::npos) << err_.str();
    EXPECT_NE(err_.str().find("recomputed after late object(s) (1 before): 2 object(s)"),
              std::string::npos);
    EXPECT_EQ(Count(Lines(Folder(2) / "study.txt"), "Computations,2"), 1);

    // The index is rebuilt from the studies' records.
    fs::remove(out_.path() / "studies.csv");
    ASSERT_EQ(Archive(), 0);
    EXPECT_EQ(Lines(out_.path() / "studies.csv").size(), 3u);
}

TEST_F(ArchiveTest, ARaisedFlagRunsTheHookWithTheStudysFolderOnce) {
    const fs::path hooked = out_.path() / "hooked.txt";
    const fs::path script = work_.path() / "hook.sh";
    std::ofstream(script) << "#!/bin/sh\necho \"$1\" >> '" << hooked.string() << "'\n";
    fs::permissions(script, fs::perms::owner_all);
    WriteTextLines(work_.path() / kNodeSettingsFile, {"hook," + script.string()}, "DoseNode.txt");
    // Every study over its follow-up level.
    WriteTextLines(work_.path() / "DoseReportThresholds.txt", {"TotalKarFollowUp_Gy,0.000001"},
                   "DoseReportThresholds.txt");
    ASSERT_EQ(Archive(), 0) << err_.str();
    ASSERT_EQ(Archive(), 0) << err_.str();
    const std::vector<std::string> calls = Lines(hooked);
    ASSERT_EQ(calls.size(), 2u) << "once per study, not again for the same objects";
    EXPECT_EQ(Count(calls, TestUid(1, 0)), 1);
    EXPECT_EQ(Count(Lines(Folder(1) / "study.txt"), "HookDone,1"), 1);
}

TEST_F(ArchiveTest, AUnitWithoutADeviceIsNamedInTheIndexAndTheOthersAreComputed) {
    err_.str({});
    std::ostringstream out;
    ASSERT_EQ(RunCommandLine({"archive", reports_.path().string(), "--out", out_.path().string(),
                              "--workdir", work_.path().string()},
                             "/nowhere/korvex2-cli", out, err_),
              0);
    EXPECT_EQ(Count(Lines(out_.path() / "studies.csv"), "no device for unit 'ROOM1'"), 1)
        << err_.str();
    EXPECT_EQ(Count(Lines(out_.path() / "studies.csv"), "no device for unit 'ROOM2'"), 1);
}

}  // namespace
}  // namespace korvex::cli
