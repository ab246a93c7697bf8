#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace korvex::node_test {

// A synthetic dose report of `events` events (UIDs from `first_event` on, unique within a
// study) for one object of one study, as a unit would send it.
void WriteStudyObject(const std::filesystem::path& path, const std::string& study_uid,
                      const std::string& sop_uid, int first_event, int events,
                      const std::string& station = "ROOM1");

// A minimal CT image object: a class the node must refuse.
void WriteImageObject(const std::filesystem::path& path, const std::string& study_uid,
                      const std::string& sop_uid);

// "1.2.826.0.1.3680043.10.1417.9.<a>.<b>": UIDs of the tests' own root.
std::string TestUid(int a, int b);

// The lines of a text file (empty when it is missing).
std::vector<std::string> Lines(const std::filesystem::path& path);

// How many lines of `lines` contain `text`.
int Count(const std::vector<std::string>& lines, const std::string& text);

}  // namespace korvex::node_test
