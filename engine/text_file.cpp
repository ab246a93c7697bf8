#include "engine/text_file.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "engine/errors.h"

namespace korvex {
namespace {

class IconvHandle {
  public:
    IconvHandle(const char* to, const char* from) : handle_(iconv_open(to, from)) {
        if (handle_ == reinterpret_cast<iconv_t>(-1)) {
            throw FileError(std::string("文字コード変換を準備できません（") + from + " → " + to +
                            "）。");
        }
    }
    ~IconvHandle() { iconv_close(handle_); }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    // Converts all of `input`; returns false when a sequence cannot be converted, unless
    // `replacement` is given: then each such byte becomes that text.
    bool Convert(std::string_view input, std::string& output, std::string_view replacement = {}) {
        output.clear();
        output.resize(input.size() * 2 + 16);
        char* in = const_cast<char*>(input.data());
        size_t in_left = input.size();
        size_t out_used = 0;
        while (in_left > 0) {
            char* out = output.data() + out_used;
            size_t out_left = output.size() - out_used;
            const size_t result = iconv(handle_, &in, &in_left, &out, &out_left);
            out_used = output.size() - out_left;
            if (result == static_cast<size_t>(-1)) {
                if (errno == E2BIG) {
                    output.resize(output.size() * 2);
                    continue;
                }
                if (replacement.empty()) {
                    return false;
                }
                output.resize(out_used);
                output += replacement;
                out_used = output.size();
                output.resize(out_used + in_left * 2 + 16);
                ++in;
                --in_left;
                iconv(handle_, nullptr, nullptr, nullptr, nullptr);
            }
        }
        output.resize(out_used);
        return true;
    }

  private:
    iconv_t handle_;
};

std::string SystemReason() {
    return std::strerror(errno);
}

}  // namespace

std::string DecodeCp932(std::string_view bytes, const std::string& file_label) {
    IconvHandle converter("UTF-8", "CP932");
    std::string text;
    if (!converter.Convert(bytes, text)) {
        throw FileError("ファイル「" + file_label +
                        "」の文字コードが Shift_JIS (CP932) ではないため読み込めません。");
    }
    return text;
}

std::string DecodeCp932Lenient(std::string_view bytes) {
    IconvHandle converter("UTF-8", "CP932");
    std::string text;
    converter.Convert(bytes, text, "\xEF\xBF\xBD");
    return text;
}

std::string EncodeCp932(std::string_view utf8, const std::string& file_label) {
    IconvHandle converter("CP932", "UTF-8");
    std::string bytes;
    if (!converter.Convert(utf8, bytes)) {
        throw FileError("ファイル「" + file_label +
                        "」に Shift_JIS (CP932) で書けない文字が含まれているため保存できません。");
    }
    return bytes;
}

std::string ReadFileBytes(const std::filesystem::path& path, const std::string& file_label) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        throw FileError("ファイル「" + file_label + "」が見つかりません。");
    }
    if (std::filesystem::is_directory(path, error)) {
        throw FileError("「" + file_label + "」はファイルではありません。");
    }
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        throw FileError("ファイル「" + file_label + "」を開けません。");
    }
    std::ostringstream content;
    content << stream.rdbuf();
    if (stream.bad()) {
        throw FileError("ファイル「" + file_label + "」を読み込めません。");
    }
    return content.str();
}

std::string ReadTextFile(const std::filesystem::path& path, const std::string& file_label,
                         Decoding decoding) {
    const std::string bytes = ReadFileBytes(path, file_label);
    if (decoding == Decoding::Lenient) {
        return DecodeCp932Lenient(bytes);
    }
    return DecodeCp932(bytes, file_label);
}

void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         const std::string& file_label) {
    const auto fail = [&](const std::string& reason) {
        throw FileError("ファイル「" + file_label + "」を保存できませんでした（" + reason + "）。");
    };

    // A short name of its own: a long file name plus a suffix could exceed the limit.
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    std::string temp_name = (folder / ".korvex-XXXXXX.tmp").string();
    const int fd = mkstemps(temp_name.data(), 4);
    if (fd < 0) {
        fail(SystemReason());
    }
    const auto abandon = [&](const std::string& reason) {
        ::close(fd);
        ::unlink(temp_name.c_str());
        fail(reason);
    };

    // A replaced file keeps its permissions; a new one gets the usual ones.
    struct stat existing {};
    mode_t mode = 0;
    if (::stat(path.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd, mode) != 0) {
        abandon(SystemReason());
    }

    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            abandon(SystemReason());
        }
        written += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) {
        abandon(SystemReason());
    }
    if (::close(fd) != 0) {
        ::unlink(temp_name.c_str());
        fail(SystemReason());
    }
    if (::rename(temp_name.c_str(), path.c_str()) != 0) {
        const std::string reason = SystemReason();
        ::unlink(temp_name.c_str());
        fail(reason);
    }
    // Make the rename itself durable.
    const int dir_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir_fd >= 0) {
        ::fsync(dir_fd);
        ::close(dir_fd);
    }
}

void WriteTextLines(const std::filesystem::path& path, const std::vector<std::string>& lines,
                    const std::string& file_label) {
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    WriteFileAtomically(path, EncodeCp932(text, file_label), file_label);
}

}  // namespace korvex
