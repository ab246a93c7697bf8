#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/node_settings.h"
#include "dose_report/dose_thresholds.h"
#include "dose_report/map_geometry.h"
#include "engine/dose_model.h"
#include "engine/engine_state.h"

namespace korvex::cli {

// One study's objects as the node's spool or the archive's walk found them.
struct StudyObjects {
    std::string key;  // the Study Instance UID; "nouid-…" for files without a usable one
    std::vector<std::filesystem::path> files;
    std::string study_date;  // YYYYMMDD of the first object, else empty
    std::string digest;      // ObjectsDigest of the objects' SOP instance UIDs
};

// What was computed for a study, kept in its output folder (study.txt) so that a restart
// or a second archive run knows it: the objects by digest, the line of the studies'
// index and whether the flag command has run.
struct StudyRecord {
    std::string key;
    std::string digest;  // ObjectsDigest of the objects computed
    int objects = 0;
    int computations = 0;  // 1, then one more for each recomputation after late objects
    bool flag_raised = false;
    bool hook_done = false;
    std::vector<std::string> index_fields;  // the studies.csv line, StudiesIndexHeader()
};

// 16 hexadecimal digits that tell texts apart (FNV-1a; not a security measure).
std::string Fingerprint(std::string_view text);

// A digest of the objects (their SOP instance UIDs, in any order): equal digests, same
// objects.
std::string ObjectsDigest(std::vector<std::string> sop_instance_uids);

// OUT/YYYY/MM/DD/KEY from the study date, else OUT/undated/KEY.
std::filesystem::path StudyFolder(const std::filesystem::path& out, const std::string& study_date,
                                  const std::string& key);

// The record's text (study.txt) and back; nullopt for a text that is no whole record.
std::vector<std::string> StudyRecordLines(const StudyRecord& record);
std::optional<StudyRecord> ParseStudyRecord(const std::string& text);

// The record in `folder`, nullopt when there is none or it cannot be read (the study is
// then computed again, which is safe).
std::optional<StudyRecord> ReadStudyRecord(const std::filesystem::path& folder);
void WriteStudyRecord(const std::filesystem::path& folder, const StudyRecord& record);

// What every study of one run is computed with.
struct StudyContext {
    std::filesystem::path out;
    std::filesystem::path working_folder;
    NodeSettings settings;
    std::string fallback_device;  // --device; empty: units not in the settings are refused
    DoseModel model = kDefaultDoseModel;
    DoseThresholds thresholds;
    MapGeometrySettings geometry = DefaultMapGeometry();
    std::string user_name;
    bool japanese = true;
};

// The context for the working folder: its node settings (FileError when broken: a node
// must not guess devices), dose thresholds and table conventions (their problems, with
// the defaults used, added to `problems`) and the registered user.
StudyContext MakeStudyContext(const std::filesystem::path& working_folder,
                              const std::filesystem::path& out, const std::string& fallback_device,
                              DoseModel model, bool japanese, std::vector<std::string>& problems);

struct StudyOutcome {
    std::filesystem::path folder;
    StudyRecord record;
    int events = 0;                // irradiation events read
    std::vector<std::string> log;  // lines for the log: files not read, problems, outputs
};

// Reads the objects, calculates them as one procedure and writes report.json, report.pdf
// and map.png (where this build draws) to the study's folder, then its record. A file
// that cannot be read, a unit without a device or a device that cannot be loaded does not
// stop the study: report.json and the index line say why. `previous` is the study's last
// record (its computations are counted on). Throws WriteError when report.json or the
// record cannot be written.
StudyOutcome ComputeStudy(EngineState& state, const StudyObjects& objects,
                          const StudyContext& context, const StudyRecord* previous);

// The index OUT/studies.csv: one line per study, newest computation; rebuilt from the
// studies' records, so it can be deleted and is never the only copy of anything.
std::vector<std::string> StudiesIndexHeader();

class StudiesIndex {
  public:
    explicit StudiesIndex(std::filesystem::path out);
    // Reads every record under OUT (after a restart or for a second archive run).
    void LoadRecords();
    void Set(const StudyRecord& record);
    // Writes studies.csv atomically (code page 932, CR LF). Throws WriteError.
    void Write();
    size_t size();

  private:
    std::filesystem::path out_;
    std::mutex mutex_;
    std::map<std::string, std::vector<std::string>> lines_;  // by key
};

// One study, once: skipped when its record names the same objects (only a flag command
// that a killed run left undone is run), else computed (again, after late objects), the
// flag command run where a flag is raised (the record says it is due first, so a crash
// cannot lose it), the record written and the study's line set in the index. Returns the
// lines for the log. Throws WriteError when the outputs cannot be written.
struct StudyDone {
    bool computed = false;
    int events = 0;
    std::vector<std::string> log;
};
StudyDone ProcessStudy(EngineState& state, const StudyObjects& objects, const StudyContext& context,
                       StudiesIndex& index);

// Runs the settings' hook with the study's folder as its one argument, through /bin/sh
// (the command may hold its own arguments), waiting at most `timeout_seconds`. Returns a
// line for the log.
std::string RunHook(const std::string& command, const std::filesystem::path& folder,
                    int timeout_seconds);

}  // namespace korvex::cli
