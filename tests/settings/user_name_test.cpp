#include "settings/user_name.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "engine/text_file.h"
#include "tests/fixtures/failing_writes.h"
#include "tests/fixtures/synthetic_workdir.h"

namespace korvex {
namespace {

// "ABC総合病院" in code page 932.
const std::string kPresetNameCp932 = "ABC\x91\x8D\x8D\x87\x95\x61\x89\x40";

class UserNameTest : public ::testing::Test {
  protected:
    UserNameTest() {
        fixtures::WriteSyntheticWorkdir(folder_.path(), {.with_scatter_kernels = false});
        reference_ = Bytes();
    }

    std::filesystem::path Primary() const { return folder_.path() / "Primary.dat"; }
    std::string Bytes() const {
        std::ifstream in(Primary(), std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        return content.str();
    }
    void WriteBytes(const std::string& bytes) const {
        std::ofstream(Primary(), std::ios::binary | std::ios::trunc) << bytes;
    }
    int LineCount() const {
        const std::string bytes = Bytes();
        return static_cast<int>(std::count(bytes.begin(), bytes.end(), '\n'));
    }
    bool TemporaryFileLeft() const {
        for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
            if (entry.path().extension() == ".tmp") {
                return true;
            }
        }
        return false;
    }
    RegistrationOutcome Register(const std::string& typed) {
        return RegisterUserName(folder_.path(), typed, user_name_);
    }
    // A refused registration: the name in memory and the file as they were, and a
    // message with the exclamation icon that contains `expected`.
    void ExpectRefused(const RegistrationOutcome& outcome, const std::string& bytes_before,
                       const std::string& expected) {
        EXPECT_FALSE(outcome.registered);
        EXPECT_NE(outcome.refusal.text.find(expected), std::string::npos) << outcome.refusal.text;
        EXPECT_EQ(outcome.refusal.icon, MessageIcon::Exclamation);
        EXPECT_EQ(user_name_, "前の名前");
        EXPECT_EQ(Bytes(), bytes_before);
        EXPECT_FALSE(TemporaryFileLeft());
    }

    fixtures::TempFolder folder_;
    std::string reference_;  // the 31 reference lines as written by the fixture
    std::string user_name_ = "前の名前";
};

TEST_F(UserNameTest, TheNameIsLine32WhenThereIsOne) {
    ASSERT_EQ(LineCount(), 31);
    EXPECT_EQ(ReadUserName(folder_.path()), std::nullopt);

    WriteBytes(reference_ + kPresetNameCp932 + "\r\n");
    EXPECT_EQ(ReadUserName(folder_.path()), "ABC総合病院");
    // Without a final line end, and with lines after it.
    WriteBytes(reference_ + kPresetNameCp932);
    EXPECT_EQ(ReadUserName(folder_.path()), "ABC総合病院");
    WriteBytes(reference_ + kPresetNameCp932 + "\r\nline 33\r\n");
    EXPECT_EQ(ReadUserName(folder_.path()), "ABC総合病院");

    // An empty line 32 is no name: a registration never writes one.
    WriteBytes(reference_ + "\r\n");
    EXPECT_EQ(ReadUserName(folder_.path()), std::nullopt);
    std::filesystem::remove(Primary());
    EXPECT_EQ(ReadUserName(folder_.path()), std::nullopt);
}

TEST_F(UserNameTest, ReadsLeniently) {
    // Line ends of another system, and a byte that is no code page 932 character.
    std::string unix_lines = reference_;
    std::erase(unix_lines, '\r');
    WriteBytes(unix_lines + "Room \xFF 1\n");
    EXPECT_EQ(ReadUserName(folder_.path()), "Room \xEF\xBF\xBD 1");
}

TEST_F(UserNameTest, RegisteringKeepsLines1To31ByteForByte) {
    // A provenance line with a byte that a decode and encode would not bring back.
    std::string reference = reference_;
    reference.insert(reference.rfind("E (keV)"), "\xFF\xFE ");
    WriteBytes(reference);

    const RegistrationOutcome outcome = Register("ABC総合病院");
    EXPECT_TRUE(outcome.registered);
    EXPECT_EQ(user_name_, "ABC総合病院");
    EXPECT_EQ(Bytes(), reference + kPresetNameCp932 + "\r\n");
    EXPECT_EQ(ReadUserName(folder_.path()), "ABC総合病院");
    EXPECT_FALSE(TemporaryFileLeft());

    // A second registration replaces the name, the file stays 32 lines.
    EXPECT_TRUE(Register("IVR 線量管理室").registered);
    EXPECT_EQ(LineCount(), 32);
    EXPECT_EQ(Bytes().substr(0, reference.size()), reference);
    EXPECT_EQ(ReadUserName(folder_.path()), "IVR 線量管理室");
}

TEST_F(UserNameTest, LinesAfterThe31stAreReplacedByTheName) {
    WriteBytes(reference_ + "old name\r\nline 33\r\nline 34\r\n");
    EXPECT_TRUE(Register("ABC総合病院").registered);
    EXPECT_EQ(Bytes(), reference_ + kPresetNameCp932 + "\r\n");
}

TEST_F(UserNameTest, NamesThatAreNotOneStorableLineAreRefused) {
    const struct {
        const char* typed;
        const char* message;
    } cases[] = {
        {"", "名前が入力されていません"},       {"ABC\n総合病院", "１行で入力"},
        {"ABC総合病院\r\n", "１行で入力"},      {"ABC\t病院", "１行で入力"},
        {"ABC\xE2\x80\xA8病院", "１行で入力"},   // U+2028 line separator
        {"ABC\xC2\x85病院", "１行で入力"},       // U+0085 next line
        {"病院 \xF0\x9F\x98\x80", "Shift_JIS"},  // an emoji has no code page 932 code
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        ExpectRefused(Register(c.typed), reference_, c.message);
    }
    EXPECT_EQ(CheckUserName("")->text, kNoNameEnteredMessage);
    // Anything else on one line goes: kanji, letters, digits, symbols, ideographic spaces.
    EXPECT_EQ(CheckUserName("第２病棟　IVR-01 (#3) ＆ 放射線科"), std::nullopt);
}

TEST_F(UserNameTest, AFileWithoutIts31ReferenceLinesIsNotRewritten) {
    const std::string short_file = reference_.substr(0, reference_.rfind("E (keV)"));
    WriteBytes(short_file);
    ExpectRefused(Register("ABC総合病院"), short_file, "30 行");

    std::filesystem::remove(Primary());
    const RegistrationOutcome missing = Register("ABC総合病院");
    EXPECT_FALSE(missing.registered);
    EXPECT_NE(missing.refusal.text.find("見つかりません"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(Primary()));  // not made from nothing
    EXPECT_EQ(user_name_, "前の名前");
}

TEST_F(UserNameTest, AFailedWriteLeavesTheFileAndSaysSo) {
    WriteBytes(reference_ + "old name\r\n");
    const std::string before = Bytes();
    RegistrationOutcome outcome;
    {
        fixtures::FileSizeLimit full_disk(0);
        outcome = Register("ABC総合病院");
    }
    ExpectRefused(outcome, before, "「Primary.dat」は変更されていません");
    EXPECT_NE(outcome.refusal.text.find("保存できませんでした"), std::string::npos);
}

TEST_F(UserNameTest, AReadOnlyFolderLeavesTheFileAndSaysSo) {
    if (fixtures::RunningAsRoot()) {
        GTEST_SKIP() << "root writes into read-only folders; the full-disk case covers the "
                        "failed write";
    }
    RegistrationOutcome outcome;
    {
        fixtures::ReadOnlyFolder read_only(folder_.path());
        outcome = Register("ABC総合病院");
    }
    ExpectRefused(outcome, reference_, "「Primary.dat」は変更されていません");
}

}  // namespace
}  // namespace korvex
