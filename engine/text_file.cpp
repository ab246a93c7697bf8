#include "engine/text_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

#include "engine/charset.h"
#include "engine/errors.h"

namespace korvex {
namespace {

std::string SystemReason() {
    return std::strerror(errno);
}

// Only a system without the CP932 tables cannot convert at all; that is not the file's fault.
void RequireCp932(const char* from, const char* to) {
    if (!CanConvertCharset(from, to)) {
        throw FileError(std::string("文字コード変換を準備できません（") + from + " → " + to +
                        "）。");
    }
}

}  // namespace

std::string DecodeCp932(std::string_view bytes, const std::string& file_label) {
    std::optional<std::string> text = ConvertCharset(bytes, "CP932", "UTF-8");
    if (!text) {
        RequireCp932("CP932", "UTF-8");
        throw FileError("ファイル「" + file_label +
                        "」の文字コードが Shift_JIS (CP932) ではないため読み込めません。");
    }
    return *std::move(text);
}

std::string DecodeCp932Lenient(std::string_view bytes) {
    std::optional<std::string> text = ConvertCharset(bytes, "CP932", "UTF-8", "\xEF\xBF\xBD");
    if (!text) {
        RequireCp932("CP932", "UTF-8");
    }
    return text.value_or(std::string());
}

std::string EncodeCp932(std::string_view utf8, const std::string& file_label) {
    std::optional<std::string> bytes = ConvertCharset(utf8, "UTF-8", "CP932");
    if (!bytes) {
        RequireCp932("UTF-8", "CP932");
        throw FileError("ファイル「" + file_label +
                        "」に Shift_JIS (CP932) で書けない文字が含まれているため保存できません。");
    }
    return *std::move(bytes);
}

namespace {

// Closes a descriptor when the reading function leaves, by return or by throw.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

[[noreturn]] void FailTooLarge(const std::string& file_label, std::size_t max_bytes) {
    throw FileError("ファイル「" + file_label + "」は大きすぎます（上限 " +
                    std::to_string(max_bytes) + " バイト）。");
}

[[noreturn]] void FailNotRegular(const std::string& file_label) {
    throw FileError("「" + file_label + "」はファイルではありません。");
}

[[noreturn]] void FailReading(const std::string& file_label) {
    throw FileError("ファイル「" + file_label + "」を読み込めません（" + SystemReason() + "）。");
}

// Opens a regular file for reading and gives its size. O_NONBLOCK: opening a FIFO must not
// wait for a writer; it is refused as no regular file.
Descriptor OpenRegularFile(const std::filesystem::path& path, const std::string& file_label,
                           struct stat& info) {
    Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            throw FileError("ファイル「" + file_label + "」が見つかりません。");
        }
        if (errno == ENXIO) {  // a socket
            FailNotRegular(file_label);
        }
        throw FileError("ファイル「" + file_label + "」を開けません（" + SystemReason() + "）。");
    }
    if (::fstat(file.get(), &info) != 0) {
        FailReading(file_label);
    }
    if (!S_ISREG(info.st_mode)) {
        FailNotRegular(file_label);
    }
    return file;
}

}  // namespace

std::string ReadFileStart(const std::filesystem::path& path, const std::string& file_label,
                          std::size_t count) {
    struct stat info {};
    const Descriptor file = OpenRegularFile(path, file_label, info);
    std::string bytes(count, '\0');
    std::size_t used = 0;
    while (used < count) {
        const ssize_t n = ::read(file.get(), bytes.data() + used, count - used);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            FailReading(file_label);
        }
        if (n == 0) {
            break;
        }
        used += static_cast<std::size_t>(n);
    }
    bytes.resize(used);
    return bytes;
}

std::string ReadFileBytes(const std::filesystem::path& path, const std::string& file_label,
                          std::size_t max_bytes) {
    struct stat info {};
    const Descriptor file = OpenRegularFile(path, file_label, info);
    if (info.st_size < 0 || static_cast<std::uintmax_t>(info.st_size) > max_bytes) {
        FailTooLarge(file_label, max_bytes);
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            FailReading(file_label);
        }
        if (n == 0) {
            break;
        }
        // The file may have grown since fstat.
        if (static_cast<std::size_t>(n) > max_bytes - bytes.size()) {
            FailTooLarge(file_label, max_bytes);
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
}

std::string ReadTextFile(const std::filesystem::path& path, const std::string& file_label,
                         Decoding decoding, std::size_t max_bytes) {
    const std::string bytes = ReadFileBytes(path, file_label, max_bytes);
    if (decoding == Decoding::Lenient) {
        return DecodeCp932Lenient(bytes);
    }
    return DecodeCp932(bytes, file_label);
}

namespace {

constexpr std::string_view kTemporaryPrefix = ".korvex-";
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kTemporaryNameLength = 18;  // prefix, six random characters, suffix

bool IsTemporaryName(std::string_view name) {
    return name.size() == kTemporaryNameLength && name.substr(0, 8) == kTemporaryPrefix &&
           name.substr(14) == kTemporarySuffix;
}

// Only a regular file the user may write is replaced. A link is not followed: the file
// it points to may lie outside the folder the user chose.
std::string TargetRefusal(const std::filesystem::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return errno == ENOENT ? std::string() : SystemReason();
    }
    if (!S_ISREG(info.st_mode)) {
        return S_ISLNK(info.st_mode) ? "シンボリックリンクは置き換えません"
                                     : "同じ名前の通常のファイルでないものがあります";
    }
    if ((info.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0) {
        return "書き込みが禁止されています";
    }
    return {};
}

// A new temporary file, locked. A cleaner may remove a file between its creation and the
// lock; then it has no name any more and another is made.
int CreateLockedTemporary(const std::filesystem::path& folder, std::string& temp_name) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        temp_name = (folder / ".korvex-XXXXXX.tmp").string();
        const int fd = ::mkostemps(temp_name.data(), 4, O_CLOEXEC);
        if (fd < 0) {
            return -1;
        }
        ::flock(fd, LOCK_EX);  // where locks are not supported, no cleaner can lock either
        struct stat info {};
        if (::fstat(fd, &info) == 0 && info.st_nlink > 0) {
            return fd;
        }
        ::close(fd);
    }
    errno = EAGAIN;
    return -1;
}

bool WriteAll(int fd, std::string_view bytes) {
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

mode_t ModeFor(const std::filesystem::path& path) {
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0) {
        return existing.st_mode & 07777;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         const std::string& file_label) {
    const auto fail = [&](const std::string& reason) {
        throw WriteError("ファイル「" + file_label + "」を保存できませんでした（" + reason +
                         "）。");
    };
    if (const std::string refusal = TargetRefusal(path); !refusal.empty()) {
        fail(refusal);
    }

    // A short name of its own: a long file name plus a suffix could exceed the limit.
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    std::string temp_name;
    const int fd = CreateLockedTemporary(folder, temp_name);
    if (fd < 0) {
        fail(SystemReason());
    }
    const auto abandon = [&](const std::string& reason) {
        ::unlink(temp_name.c_str());
        ::close(fd);
        fail(reason);
    };
    // A replaced file keeps its permissions; a new one gets the usual ones.
    if (::fchmod(fd, ModeFor(path)) != 0 || !WriteAll(fd, bytes) || ::fsync(fd) != 0) {
        abandon(SystemReason());
    }
    // Checked again just before the rename: the target may have changed meanwhile.
    if (const std::string refusal = TargetRefusal(path); !refusal.empty()) {
        abandon(refusal);
    }
    if (::rename(temp_name.c_str(), path.c_str()) != 0) {
        abandon(SystemReason());
    }
    ::close(fd);  // releases the lock only now that the temporary name is gone

    // Make the rename itself durable. A file system without fsync on folders says EINVAL.
    const int dir_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd < 0 || (::fsync(dir_fd) != 0 && errno != EINVAL)) {
        const std::string reason = SystemReason();
        if (dir_fd >= 0) {
            ::close(dir_fd);
        }
        throw WriteError("ファイル「" + file_label +
                         "」は書き込みましたが、ディスクへの保存を確定できませんでした（" + reason +
                         "）。");
    }
    ::close(dir_fd);
}

int RemoveStaleTemporaryFiles(const std::filesystem::path& folder) {
    int removed = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (!IsTemporaryName(it->path().filename().string())) {
            continue;
        }
        const Descriptor file(
            ::open(it->path().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat opened {};
        struct stat named {};
        // A running write holds the lock; the name is checked to be still the same file.
        if (file.get() >= 0 && ::fstat(file.get(), &opened) == 0 && S_ISREG(opened.st_mode) &&
            ::flock(file.get(), LOCK_EX | LOCK_NB) == 0 &&
            ::lstat(it->path().c_str(), &named) == 0 && named.st_ino == opened.st_ino &&
            named.st_dev == opened.st_dev && ::unlink(it->path().c_str()) == 0) {
            ++removed;
        }
    }
    return removed;
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
