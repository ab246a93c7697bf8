#include "cli/node_spool.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>

#include "dose_report/dicom_text.h"
#include "engine/errors.h"
#include "engine/text_file.h"

namespace korvex::cli {
namespace fs = std::filesystem;

namespace {

constexpr const char* kObjectSuffix = ".dcm";

// A new folder's name is durable only once its parent is flushed.
void FlushFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || (::fsync(fd) != 0 && errno != EINVAL)) {
        const std::string reason = std::error_code(errno, std::generic_category()).message();
        if (fd >= 0) {
            ::close(fd);
        }
        throw WriteError("スプールのフォルダー「" + folder.string() + "」を確定できません（" +
                         reason + "）。");
    }
    ::close(fd);
}

}  // namespace

Spool::Spool(fs::path root) : root_(std::move(root)) {
    fs::create_directories(root_);
    for (const std::string& study : Studies()) {
        RemoveStaleTemporaryFiles(root_ / study);
    }
}

Spool::Stored Spool::Store(const std::string& study_uid, const std::string& sop_uid,
                           std::string_view bytes) const {
    if (!IsValidUid(study_uid) || !IsValidUid(sop_uid)) {
        throw WriteError("UID として正しくない名前はスプールに使えません。");
    }
    const fs::path folder = root_ / study_uid;
    std::error_code error;
    if (fs::create_directory(folder, error)) {
        FlushFolder(root_);
    } else if (error) {
        throw WriteError("スプールのフォルダー「" + folder.string() + "」を作れません（" +
                         error.message() + "）。");
    }
    const fs::path path = folder / (sop_uid + kObjectSuffix);
    if (fs::exists(path, error)) {
        return Stored::AlreadyThere;
    }
    WriteFileAtomically(path, bytes, sop_uid + kObjectSuffix);
    return Stored::New;
}

std::vector<std::string> Spool::Studies() const {
    std::vector<std::string> studies;
    std::error_code error;
    for (fs::directory_iterator it(root_, error); !error && it != fs::directory_iterator();
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (it->is_directory(error) && IsValidUid(name)) {
            studies.push_back(name);
        }
    }
    std::sort(studies.begin(), studies.end());
    return studies;
}

std::vector<fs::path> Spool::Objects(const std::string& study_uid) const {
    std::vector<fs::path> objects;
    std::error_code error;
    for (fs::directory_iterator it(root_ / study_uid, error);
         !error && it != fs::directory_iterator(); it.increment(error)) {
        const fs::path& path = it->path();
        if (path.extension() == kObjectSuffix && IsValidUid(path.stem().string())) {
            objects.push_back(path);
        }
    }
    std::sort(objects.begin(), objects.end());
    return objects;
}

std::chrono::seconds Spool::QuietFor(const std::string& study_uid) const {
    fs::file_time_type newest = fs::file_time_type::min();
    std::error_code error;
    for (const fs::path& object : Objects(study_uid)) {
        newest = std::max(newest, fs::last_write_time(object, error));
    }
    if (newest == fs::file_time_type::min()) {
        return std::chrono::seconds(0);
    }
    return std::max(std::chrono::seconds(0), std::chrono::duration_cast<std::chrono::seconds>(
                                                 fs::file_time_type::clock::now() - newest));
}

}  // namespace korvex::cli
