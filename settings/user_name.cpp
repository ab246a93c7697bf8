#include "settings/user_name.h"

#include <cstddef>
#include <vector>

#include "engine/errors.h"
#include "engine/field_stream.h"
#include "engine/reference_tables.h"
#include "engine/text_file.h"

namespace korvex {
namespace {

const char* const kNameCaptionPrefix = "Korvex-2 ( Korvex, version 2 )  :  ";
const char* const kGuestSeparator = "   :   ";
const char* const kNotOneLineMessage = KORVEX_TRANSLATE_NOOP(
    "korvex::Core", "ユーザー名は１行で入力して下さい（改行や制御文字は使えません）");
const char* const kNotCp932Message = KORVEX_TRANSLATE_NOOP(
    "korvex::Core", "ユーザー名に Shift_JIS (CP932) で保存できない文字が含まれています");

// The lines of the file as stored, without their line ends (CR LF or LF). Line ends are
// single bytes in code page 932, never part of a two-byte character, so the file is split
// before it is decoded and the kept lines stay byte for byte as they were.
std::vector<std::string> RawLines(const std::filesystem::path& path) {
    // 31 short reference lines and a name: a megabyte is far beyond any such file.
    constexpr std::size_t kMaxPrimaryFileBytes = 1024 * 1024;
    FieldStream stream(ReadFileBytes(path, kPrimaryFile, kMaxPrimaryFileBytes), kPrimaryFile);
    std::vector<std::string> lines;
    while (std::optional<std::string> line = stream.ReadLine()) {
        lines.push_back(std::move(*line));
    }
    return lines;
}

bool IsLineBreakOrControl(std::string_view text, size_t at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x20 || byte == 0x7F) {
        return true;
    }
    // U+0085 (next line), U+2028 and U+2029 (line and paragraph separators).
    const std::string_view rest = text.substr(at);
    return rest.starts_with("\xC2\x85") || rest.starts_with("\xE2\x80\xA8") ||
           rest.starts_with("\xE2\x80\xA9");
}

UserMessage Refusal(const std::string& text) {
    return {text, MessageIcon::Exclamation, false};
}

UserMessage FileRefusal(const std::string& reason) {
    return Refusal(std::string("ユーザー名を登録できませんでした。「") + kPrimaryFile +
                   "」は変更されていません。\n" + reason);
}

}  // namespace

std::optional<std::string> ReadUserName(const std::filesystem::path& working_folder) {
    std::vector<std::string> lines;
    try {
        lines = RawLines(working_folder / kPrimaryFile);
    } catch (const FileError&) {
        return std::nullopt;
    }
    if (lines.size() <= static_cast<size_t>(kReferenceLineCount) ||
        lines[kReferenceLineCount].empty()) {
        return std::nullopt;
    }
    return DecodeCp932Lenient(lines[kReferenceLineCount]);
}

std::optional<UserMessage> CheckUserName(std::string_view typed) {
    if (typed.empty()) {
        return Refusal(kNoNameEnteredMessage);
    }
    for (size_t i = 0; i < typed.size(); ++i) {
        if (IsLineBreakOrControl(typed, i)) {
            return Refusal(kNotOneLineMessage);
        }
    }
    try {
        EncodeCp932(typed, kPrimaryFile);
    } catch (const FileError&) {
        return Refusal(kNotCp932Message);
    }
    return std::nullopt;
}

RegistrationOutcome RegisterUserName(const std::filesystem::path& working_folder,
                                     std::string_view typed, std::string& UserName) {
    if (std::optional<UserMessage> refusal = CheckUserName(typed)) {
        return {false, *refusal};
    }
    const std::filesystem::path path = working_folder / kPrimaryFile;
    try {
        const std::vector<std::string> lines = RawLines(path);
        // Without its reference lines the file would lose the data it exists for.
        if (lines.size() < static_cast<size_t>(kReferenceLineCount)) {
            return {false, FileRefusal(std::string("ファイル「") + kPrimaryFile + "」には " +
                                       std::to_string(kReferenceLineCount) +
                                       " 行の参照データがありません（" +
                                       std::to_string(lines.size()) + " 行）。")};
        }
        std::string bytes;
        for (int i = 0; i < kReferenceLineCount; ++i) {
            bytes += lines[static_cast<size_t>(i)];
            bytes += "\r\n";
        }
        bytes += EncodeCp932(typed, kPrimaryFile);
        bytes += "\r\n";
        WriteFileAtomically(path, bytes, kPrimaryFile);
    } catch (const FileError& error) {
        return {false, FileRefusal(error.what())};
    }
    UserName = typed;
    return {true, {}};
}

void ChooseGuest(std::string& UserName, UserLanguage language) {
    UserName = language == UserLanguage::Japanese ? kGuestUserName : kGuestUserNameEnglish;
}

std::string CaptionWithUserName(std::string_view name) {
    return kNameCaptionPrefix + std::string(name);
}

std::string CaptionWithGuest(std::string_view current_caption, UserLanguage language) {
    return std::string(current_caption) + kGuestSeparator +
           (language == UserLanguage::Japanese ? kGuestUserName : kGuestUserNameEnglish);
}

}  // namespace korvex
