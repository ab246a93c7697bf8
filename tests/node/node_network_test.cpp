// The dose-report node on loopback: DCMTK's storescu sends, the node spools, acknowledges
// and computes every study once; refusals keep it running; a kill or a full disk loses
// nothing that was acknowledged.
#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <random>
#include <set>
#include <thread>

#include "cli/table_pdf.h"
#include "dose_report/dose_report_reader.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"
#include "tests/node/node_process.h"
#include "tests/node/node_test_support.h"

namespace korvex::node_test {
namespace {
namespace fs = std::filesystem;

class NodeNetworkTest : public ::testing::Test {
  protected:
    NodeNetworkTest() : node_(work_.path(), out_.path(), log_.path() / "node.log") {
        fixtures::WriteSyntheticWorkdir(work_.path());
        fixtures::WriteTypicalDevice(work_.path());
    }

    // `studies` studies of `per_study` objects of 2 events each.
    struct Object {
        fs::path file;
        std::string study;
        std::string sop;
    };
    std::vector<Object> MakeObjects(int first_study, int studies, int per_study) {
        std::vector<Object> objects;
        for (int s = first_study; s < first_study + studies; ++s) {
            for (int o = 0; o < per_study; ++o) {
                Object object{
                    files_.path() / (std::to_string(s) + "_" + std::to_string(o) + ".dcm"),
                    TestUid(s, 0), TestUid(s, o + 1)};
                WriteStudyObject(object.file, object.study, object.sop, 2 * o, 2);
                objects.push_back(object);
            }
        }
        return objects;
    }

    // A report of 400 events (study 1, above 200 kB) and one of a single event (study 2,
    // below 40 kB): limits between the two refuse one and keep the other.
    std::pair<fs::path, fs::path> LargeAndSmall() {
        const fs::path large = files_.path() / "large.dcm";
        WriteStudyObject(large, TestUid(1, 0), TestUid(1, 1), 0, 400);
        const fs::path small = files_.path() / "small.dcm";
        WriteStudyObject(small, TestUid(2, 0), TestUid(2, 1), 0, 1);
        EXPECT_GT(fs::file_size(large), 200u * 1024);
        EXPECT_LT(fs::file_size(small), 40u * 1024);
        return {large, small};
    }

    // Files with the extension in the folder and below it.
    static int CountFiles(const fs::path& folder, const std::string& extension) {
        int count = 0;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            count += entry.is_regular_file() && entry.path().extension() == extension ? 1 : 0;
        }
        return count;
    }

    fs::path Spooled(const Object& object) const {
        return out_.path() / "spool" / object.study / (object.sop + ".dcm");
    }

    // The study's record says it was computed from `objects` objects.
    bool Computed(const std::string& study, int objects) const {
        for (const std::string& line : node_.LogLines()) {
            if (line.find("study " + study + ": ") != std::string::npos &&
                line.find("computed") != std::string::npos &&
                line.find(": " + std::to_string(objects) + " object(s)") != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    fixtures::TempFolder work_;
    fixtures::TempFolder out_;
    fixtures::TempFolder files_;
    fixtures::TempFolder log_;
    NodeProcess node_;
};

TEST_F(NodeNetworkTest, FourConcurrentSendersEveryStudyComputedExactlyOnce) {
    constexpr int kStudies = 25;
    const std::vector<Object> objects = MakeObjects(1, kStudies, 10);  // 250 objects
    node_.Start({"--device", "room1.kvx2", "--quiet-seconds", "4", "--allow", "UNIT0", "--allow",
                 "UNIT1", "--allow", "UNIT2", "--allow", "UNIT3"});
    std::vector<std::future<Sent>> senders;
    for (int u = 0; u < 4; ++u) {
        std::vector<fs::path> files;
        for (size_t i = static_cast<size_t>(u); i < objects.size(); i += 4) {
            files.push_back(objects[i].file);  // each study's objects come from every sender
        }
        senders.push_back(std::async(std::launch::async, [this, u, files] {
            return SendWithStorescu(node_.port(), "UNIT" + std::to_string(u), files);
        }));
    }
    for (std::future<Sent>& sender : senders) {
        const Sent sent = sender.get();
        EXPECT_EQ(sent.status, 0) << sent.output;
    }
    ASSERT_TRUE(WaitFor(
        [&] {
            for (int s = 1; s <= kStudies; ++s) {
                if (!Computed(TestUid(s, 0), 10)) {
                    return false;
                }
            }
            return true;
        },
        std::chrono::seconds(240)));
    node_.Stop();

    const std::vector<std::string> log = node_.LogLines();
    EXPECT_EQ(Count(log, ": stored "), 250);
    EXPECT_EQ(Count(log, ": computed: "), kStudies);
    EXPECT_EQ(Count(log, "recomputed"), 0);
    for (const Object& object : objects) {
        EXPECT_TRUE(fs::exists(Spooled(object))) << object.sop;
    }
    const std::vector<std::string> index = Lines(out_.path() / "studies.csv");
    ASSERT_EQ(index.size(), 1u + kStudies);
    for (int s = 1; s <= kStudies; ++s) {
        const fs::path folder = out_.path() / "2024" / "01" / "15" / TestUid(s, 0);
        EXPECT_TRUE(fs::exists(folder / "report.json")) << folder;
        EXPECT_EQ(cli::WritesTablePdf(), fs::exists(folder / "report.pdf")) << folder;
        EXPECT_EQ(cli::WritesTablePdf(), fs::exists(folder / "map.png")) << folder;
        EXPECT_EQ(Count(Lines(folder / "study.txt"), "Computations,1"), 1) << folder;
        EXPECT_EQ(Count(index, TestUid(s, 0) + ",10,1,"), 1) << "one line, 10 objects, once";
    }
}

TEST_F(NodeNetworkTest, RefusalsAreLoggedAndTheNodeKeepsRunning) {
    node_.Start({"--device", "room1.kvx2", "--quiet-seconds", "1", "--allow", "UNIT1"});
    const std::vector<Object> objects = MakeObjects(1, 1, 1);

    const Sent stranger = SendWithStorescu(node_.port(), "STRANGER", {objects[0].file});
    EXPECT_NE(stranger.status, 0) << stranger.output;

    const fs::path image = files_.path() / "ct.dcm";
    WriteImageObject(image, TestUid(7, 0), TestUid(7, 1));
    const Sent ct = SendWithStorescu(node_.port(), "UNIT1", {image});
    EXPECT_EQ(Acknowledged(ct, {image}, {TestUid(7, 1)}).size(), 0u) << ct.output;

    // A report cut short after its header: a DICOM file still, but no dose report.
    const fs::path cut = files_.path() / "cut.dcm";
    WriteStudyObject(cut, TestUid(8, 0), TestUid(8, 1), 0, 2);
    {
        std::ifstream in(cut, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        const size_t content = bytes.find(std::string("\x40\x00\x30\xa7", 4));  // (0040,A730)
        ASSERT_NE(content, std::string::npos);
        std::ofstream(cut, std::ios::binary | std::ios::trunc) << bytes.substr(0, content);
    }
    const Sent truncated = SendWithStorescu(node_.port(), "UNIT1", {cut, objects[0].file});
    EXPECT_EQ(Acknowledged(truncated, {cut, objects[0].file}, {TestUid(8, 1), objects[0].sop}),
              std::vector<std::string>{objects[0].sop})
        << truncated.output;
    EXPECT_NE(truncated.output.find("Error: CannotUnderstand"), std::string::npos)
        << truncated.output;

    ASSERT_TRUE(WaitFor([&] { return Computed(objects[0].study, 1); }, std::chrono::seconds(60)));
    node_.Stop();
    const std::vector<std::string> log = node_.LogLines();
    EXPECT_EQ(Count(log, "calling AE title 'STRANGER' is not allowed"), 1);
    EXPECT_EQ(
        Count(log,
              "refused at negotiation from UNIT1@127.0.0.1, no dose report class: CTImageStorage"),
        1)
        << ::testing::PrintToString(log);
    EXPECT_EQ(Count(log, "a dose report without content"), 1);
    EXPECT_FALSE(fs::exists(out_.path() / "spool" / TestUid(7, 0)));
    EXPECT_FALSE(fs::exists(out_.path() / "spool" / TestUid(8, 0) / (TestUid(8, 1) + ".dcm")));
}

TEST_F(NodeNetworkTest, KilledDuringABurstLosesNothingAcknowledgedAndComputesNothingTwice) {
    std::mt19937 random(20261209);
    std::set<std::string> acknowledged;
    int cut_mid_burst = 0;
    std::vector<Object> all;
    for (int round = 0; round < 3; ++round) {
        const std::vector<Object> objects = MakeObjects(10 * round + 1, 3, 12);
        all.insert(all.end(), objects.begin(), objects.end());
        std::vector<fs::path> files;
        std::vector<std::string> sops;
        for (const Object& object : objects) {
            files.push_back(object.file);
            sops.push_back(object.sop);
        }
        node_.Start({"--device", "room1.kvx2", "--quiet-seconds", "1"});
        std::future<Sent> sender = std::async(
            std::launch::async, [&] { return SendWithStorescu(node_.port(), "UNIT1", files); });
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::uniform_int_distribution<int>(100, 1500)(random)));
        node_.Kill();
        const Sent sent = sender.get();
        const std::vector<std::string> acked = Acknowledged(sent, files, sops);
        acknowledged.insert(acked.begin(), acked.end());
        cut_mid_burst += !acked.empty() && acked.size() < files.size() ? 1 : 0;
    }
    for (const Object& object : all) {
        if (acknowledged.count(object.sop) != 0) {
            EXPECT_TRUE(fs::exists(Spooled(object))) << "acknowledged, then lost: " << object.sop;
        }
    }
    // Nothing half-written under an object's name: a kill during a write leaves at most
    // the write's temporary file, which the next start removes.
    for (const auto& entry : fs::recursive_directory_iterator(out_.path() / "spool")) {
        if (entry.is_regular_file() && entry.path().extension() == ".dcm") {
            EXPECT_NO_THROW(ReadDoseReport(entry.path())) << entry.path();
        }
    }
    // As a kill during a write or a computation leaves them, whichever moment it came.
    const fs::directory_iterator spool(out_.path() / "spool");
    ASSERT_NE(spool, fs::directory_iterator()) << "nothing was acknowledged";
    const fs::path some_study = spool->path();
    ASSERT_TRUE(std::ofstream(some_study / ".korvex-a1b2c3.tmp") << "part");
    ASSERT_TRUE(std::ofstream(out_.path() / ".korvex-d4e5f6.tmp") << "part");
    node_.Start({"--device", "room1.kvx2", "--quiet-seconds", "1"});
    ASSERT_TRUE(WaitFor(
        [&] {
            for (const Object& object : all) {
                const fs::path folder = Spooled(object).parent_path();
                if (!fs::exists(folder)) {
                    continue;
                }
                if (!Computed(object.study, CountFiles(folder, ".dcm"))) {
                    return false;
                }
            }
            return true;
        },
        std::chrono::seconds(120)));
    node_.Stop();
    EXPECT_EQ(CountFiles(out_.path(), ".tmp"), 0);
    // A study computed twice had different objects each time (a late object).
    const std::vector<std::string> log = node_.LogLines();
    for (const Object& object : all) {
        for (int n = 1; n <= 12; ++n) {
            int computations = 0;
            for (const std::string& line : log) {
                computations +=
                    line.find("study " + object.study + ": ") != std::string::npos &&
                            line.find("computed") != std::string::npos &&
                            line.find(": " + std::to_string(n) + " object(s)") != std::string::npos
                        ? 1
                        : 0;
            }
            EXPECT_LE(computations, 1) << object.study << " with " << n << " objects";
        }
    }
    EXPECT_GE(cut_mid_burst, 1) << "no kill came during a burst";
}

TEST_F(NodeNetworkTest, AFullDiskFailsTheSenderAndLeavesNothingHalfWritten) {
    const auto [large, small] = LargeAndSmall();
    node_.Start({"--device", "room1.kvx2", "--quiet-seconds", "600"}, 64 * 1024);
    const Sent sent = SendWithStorescu(node_.port(), "UNIT1", {large, small});
    EXPECT_EQ(Acknowledged(sent, {large, small}, {TestUid(1, 1), TestUid(2, 1)}),
              std::vector<std::string>{TestUid(2, 1)})
        << sent.output;
    EXPECT_NE(sent.output.find("OutOfResources"), std::string::npos) << sent.output;
    node_.Stop();
    for (const auto& entry : fs::recursive_directory_iterator(out_.path() / "spool")) {
        if (entry.is_regular_file()) {
            EXPECT_EQ(entry.path().filename(), TestUid(2, 1) + ".dcm") << entry.path();
        }
    }
    EXPECT_EQ(Count(node_.LogLines(), "(status 0xA700)"), 1);
}

TEST_F(NodeNetworkTest, AnObjectAboveTheLimitEndsItsAssociationAndTheNextOneIsStored) {
    const auto [large, small] = LargeAndSmall();
    node_.Start({"--device", "room1.kvx2", "--quiet-seconds", "600", "--max-object-mb", "0.1"});
    const Sent refused = SendWithStorescu(node_.port(), "UNIT1", {large});
    EXPECT_TRUE(Acknowledged(refused, {large}, {TestUid(1, 1)}).empty()) << refused.output;
    const Sent stored = SendWithStorescu(node_.port(), "UNIT1", {small});
    EXPECT_EQ(Acknowledged(stored, {small}, {TestUid(2, 1)}).size(), 1u) << stored.output;
    node_.Stop();
    EXPECT_EQ(Count(node_.LogLines(), "larger than the limit of 104857 bytes"), 1);
    EXPECT_FALSE(fs::exists(out_.path() / "spool" / TestUid(1, 0)));
}

}  // namespace
}  // namespace korvex::node_test
