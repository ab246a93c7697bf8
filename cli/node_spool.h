#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace korvex::cli {

// Where the node keeps every object it has acknowledged: SPOOL/<Study Instance UID>/
// <SOP Instance UID>.dcm. An object is on disk (file and folder flushed) before Store
// returns, so the C-STORE response may say success.
class Spool {
  public:
    // Makes the folder and removes what writes killed part-way left behind.
    explicit Spool(std::filesystem::path root);

    enum class Stored { New, AlreadyThere };
    // Both UIDs must pass IsValidUid (they become names). Throws WriteError when the
    // object could not be made durable; nothing half-written remains.
    Stored Store(const std::string& study_uid, const std::string& sop_uid,
                 std::string_view bytes) const;

    std::vector<std::string> Studies() const;
    // The study's objects, sorted by name; their SOP instance UIDs are the names' stems.
    std::vector<std::filesystem::path> Objects(const std::string& study_uid) const;
    // The time since the newest object of the study arrived.
    std::chrono::seconds QuietFor(const std::string& study_uid) const;

    const std::filesystem::path& root() const { return root_; }

  private:
    std::filesystem::path root_;
};

}  // namespace korvex::cli
