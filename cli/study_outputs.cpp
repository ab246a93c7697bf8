#include "cli/study_outputs.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <sstream>
#include <system_error>
#include <thread>
#include <tuple>

#include "cli/dose_report_command.h"
#include "cli/json_output.h"
#include "cli/table_pdf.h"
#include "dose_report/dose_report_reader.h"
#include "engine/errors.h"
#include "engine/text_file.h"
#include "engine/text_rules.h"
#include "settings/user_name.h"

extern char** environ;

namespace korvex::cli {
namespace fs = std::filesystem;

namespace {

constexpr const char* kRecordFile = "study.txt";
constexpr const char* kIndexFile = "studies.csv";
// A mail or a message should take seconds; a hung command must not stop the node.
constexpr int kHookTimeoutSeconds = 60;

std::string LocalTimestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

bool IsStudyDate(const std::string& date) {
    return date.size() == 8 &&
           std::all_of(date.begin(), date.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A text as code page 932 can store it: characters it has no code for become '?', so an
// unusual station name never stops the index from being written.
std::string StorableText(const std::string& text) {
    try {
        EncodeCp932(text, kIndexFile);
        return text;
    } catch (const FileError&) {
    }
    std::string kept;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const std::string character = text.substr(i, length);
        try {
            EncodeCp932(character, kIndexFile);
            kept += character;
        } catch (const FileError&) {
            kept += '?';
        }
        i += length;
    }
    return kept;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

// The peak as the window leads with it: the map's where there is a map, else the grouped
// estimate.
double PeakOf(const ReportCalculation& result) {
    return result.skin_map.made ? result.skin_map.map.peak.dose_mgy
                                : result.summary.peak_skin_dose_mgy;
}

std::string RaisedFlags(const ReportCalculation& result, bool japanese) {
    std::string flags;
    for (const DoseFlag& flag : result.summary.flags) {
        if (flag.raised) {
            flags += (flags.empty() ? "" : " / ") + flag.name.In(japanese);
        }
    }
    return flags;
}

struct StudyRun {
    std::vector<DoseReport> reports;
    Json not_read = Json::array();
    std::string device;
    std::string device_from;
    std::optional<ReportCalculation> result;
    std::vector<std::string> notes;
};

void ReadObjects(const StudyObjects& objects, StudyRun& run, StudyOutcome& outcome) {
    std::vector<std::string> seen;
    for (const fs::path& file : objects.files) {
        try {
            DoseReport report = ReadDoseReport(file);
            const std::string id =
                report.sop_instance_uid.empty() ? file.string() : report.sop_instance_uid;
            if (std::find(seen.begin(), seen.end(), id) != seen.end()) {
                outcome.log.push_back("kept once: " + file.string() + " repeats object " + id);
                continue;
            }
            seen.push_back(id);
            outcome.events += static_cast<int>(report.events.size());
            run.reports.push_back(std::move(report));
        } catch (const DoseReportError& error) {
            run.not_read.push_back({{"File", file.string()}, {"Reason", error.what()}});
            outcome.log.push_back("not read: " + file.string() + ": " + error.what());
        }
    }
    if (!run.not_read.empty()) {
        run.notes.push_back(std::to_string(run.not_read.size()) + " file(s) not read");
    }
}

void Calculate(EngineState& state, const StudyContext& context, StudyRun& run) {
    if (run.reports.empty()) {
        run.notes.push_back("no dose report could be read");
        return;
    }
    const DoseReport& first = run.reports.front();
    run.device = DeviceFor(context.settings, first, context.fallback_device, run.device_from);
    if (run.device.empty()) {
        const std::string unit =
            first.sending_ae_title.empty() ? first.station_name : first.sending_ae_title;
        run.notes.push_back("no device for unit '" + unit + "' (" + kNodeSettingsFile +
                            " or --device)");
        return;
    }
    try {
        run.result = CalculateDoseReports(state, run.reports,
                                          {run.device, "", context.model, context.geometry},
                                          context.thresholds);
    } catch (const std::exception& error) {
        run.notes.push_back(std::string("not calculated: ") + error.what());
        return;
    }
    if (run.result->summary.not_calculated > 0) {
        run.notes.push_back(std::to_string(run.result->summary.not_calculated) +
                            " event(s) not calculated (report.json says why)");
    }
}

void WriteDrawings(const StudyContext& context, const fs::path& folder, StudyRun& run,
                   StudyOutcome& outcome) {
    if (!run.result || !WritesTablePdf()) {
        return;
    }
    try {
        WriteDoseReportDocumentPdf(folder / "report.pdf", run.reports, *run.result,
                                   context.user_name, false, context.japanese);
        WriteSkinMapPng(folder / "map.png", run.result->skin_map.map, context.japanese);
    } catch (const FileError& error) {
        run.notes.push_back(std::string("drawing not written: ") + error.what());
        outcome.log.push_back(std::string("not written: ") + error.what());
    }
}

std::vector<std::string> IndexFields(const StudyObjects& objects, const StudyRun& run,
                                     const StudyRecord& record, const fs::path& relative,
                                     bool japanese) {
    const DoseReport* first = run.reports.empty() ? nullptr : &run.reports.front();
    const ReportCalculation* r = run.result ? &*run.result : nullptr;
    std::string notes;
    for (const std::string& note : run.notes) {
        notes += (notes.empty() ? "" : "; ") + note;
    }
    size_t events = 0;
    for (const DoseReport& report : run.reports) {
        events += report.events.size();
    }
    const std::string unit = first == nullptr               ? ""
                             : !first->station_name.empty() ? first->station_name
                                                            : first->sending_ae_title;
    return {first ? first->study_date : objects.study_date,
            first ? first->study_time : "",
            StorableText(unit),
            StorableText(run.device),
            std::to_string(events),
            r ? Number(r->summary.kar_calculated_mgy + r->summary.kar_not_included_mgy) : "",
            r ? Number(r->summary.pka_calculated_gycm2 + r->summary.pka_not_included_gycm2) : "",
            r && r->summary.calculated > 0 ? Number(PeakOf(*r)) : "",
            r ? StorableText(RaisedFlags(*r, japanese)) : "",
            objects.key,
            std::to_string(record.objects),
            std::to_string(record.computations),
            LocalTimestamp(),
            relative.generic_string(),
            StorableText(notes)};
}

Json StudyJson(const StudyObjects& objects, const StudyRun& run, const StudyRecord& record) {
    Json notes = Json::array();
    for (const std::string& note : run.notes) {
        notes.push_back(note);
    }
    return {{"Key", objects.key},
            {"Objects", record.objects},
            {"Computations", record.computations},
            {"Device", run.device},
            {"DeviceFrom", run.device_from},
            {"NotRead", run.not_read},
            {"Notes", notes}};
}

}  // namespace

std::string Fingerprint(std::string_view text) {
    // FNV-1a, 64 bits: a fingerprint, not a security measure.
    std::uint64_t hash = 1469598103934665603ull;
    for (char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    char hex[24];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

std::string ObjectsDigest(std::vector<std::string> sop_instance_uids) {
    std::sort(sop_instance_uids.begin(), sop_instance_uids.end());
    std::string joined;
    for (const std::string& uid : sop_instance_uids) {
        joined += uid + '\n';
    }
    return std::to_string(sop_instance_uids.size()) + "-" + Fingerprint(joined);
}

fs::path StudyFolder(const fs::path& out, const std::string& study_date, const std::string& key) {
    if (!IsStudyDate(study_date)) {
        return out / "undated" / key;
    }
    return out / study_date.substr(0, 4) / study_date.substr(4, 2) / study_date.substr(6, 2) / key;
}

std::optional<StudyRecord> ParseStudyRecord(const std::string& text) {
    StudyRecord record;
    try {
        for (const SettingLine& line : SettingEntries(text)) {
            const size_t comma = line.text.find(',');
            const std::string name = line.text.substr(0, comma);
            const std::string value = comma == std::string::npos ? "" : line.text.substr(comma + 1);
            if (name == "Key")
                record.key = value;
            if (name == "Digest")
                record.digest = value;
            if (name == "Objects")
                record.objects = std::stoi(value);
            if (name == "Computations")
                record.computations = std::stoi(value);
            if (name == "FlagRaised")
                record.flag_raised = value == "1";
            if (name == "HookDone")
                record.hook_done = value == "1";
            if (name == "Index")
                record.index_fields = SplitCsvLine(value);
        }
    } catch (const std::logic_error&) {  // a count that is no number
        return std::nullopt;
    }
    if (record.key.empty() || record.digest.empty() ||
        record.index_fields.size() != StudiesIndexHeader().size()) {
        return std::nullopt;
    }
    return record;
}

std::vector<std::string> StudyRecordLines(const StudyRecord& record) {
    std::string index;
    for (size_t i = 0; i < record.index_fields.size(); ++i) {
        index += (i == 0 ? "" : ",") + CsvField(record.index_fields[i]);
    }
    return {
        "# Korvex-2: what was computed for this study. Deleting this file makes the node "
        "or the archive compute the study again.",
        "Key," + record.key,
        "Digest," + record.digest,
        "Objects," + std::to_string(record.objects),
        "Computations," + std::to_string(record.computations),
        std::string("FlagRaised,") + (record.flag_raised ? "1" : "0"),
        std::string("HookDone,") + (record.hook_done ? "1" : "0"),
        "Index," + index};
}

std::optional<StudyRecord> ReadStudyRecord(const fs::path& folder) {
    std::error_code error;
    if (!fs::exists(folder / kRecordFile, error)) {
        return std::nullopt;
    }
    try {
        return ParseStudyRecord(ReadTextFile(folder / kRecordFile, kRecordFile));
    } catch (const FileError&) {
        return std::nullopt;
    }
}

void WriteStudyRecord(const fs::path& folder, const StudyRecord& record) {
    WriteTextLines(folder / kRecordFile, StudyRecordLines(record), kRecordFile);
}

StudyOutcome ComputeStudy(EngineState& state, const StudyObjects& objects,
                          const StudyContext& context, const StudyRecord* previous) {
    StudyOutcome outcome;
    StudyRun run;
    ReadObjects(objects, run, outcome);
    Calculate(state, context, run);
    outcome.folder = StudyFolder(context.out, objects.study_date, objects.key);
    fs::create_directories(outcome.folder);
    // A computation killed part-way may have left a temporary file of its outputs here.
    RemoveStaleTemporaryFiles(outcome.folder);

    StudyRecord& record = outcome.record;
    record.key = objects.key;
    record.digest = objects.digest;
    record.objects = static_cast<int>(objects.files.size());
    record.computations = previous == nullptr ? 1 : previous->computations + 1;
    record.flag_raised = run.result && !RaisedFlags(*run.result, context.japanese).empty();

    Json json =
        run.result ? ReportJson(run.reports, *run.result, false, context.japanese) : Json::object();
    WriteDrawings(context, outcome.folder, run, outcome);
    json["Study"] = StudyJson(objects, run, record);
    std::ostringstream text;
    WriteJson(text, json);
    WriteFileAtomically(outcome.folder / "report.json", text.str(), "report.json");
    record.index_fields = IndexFields(objects, run, record,
                                      fs::relative(outcome.folder, context.out), context.japanese);
    for (const std::string& note : run.notes) {
        outcome.log.push_back(note);
    }
    return outcome;
}

StudyContext MakeStudyContext(const fs::path& working_folder, const fs::path& out,
                              const std::string& fallback_device, DoseModel model, bool japanese,
                              std::vector<std::string>& problems) {
    StudyContext context;
    context.out = out;
    context.working_folder = working_folder;
    context.settings = LoadNodeSettings(working_folder);
    context.fallback_device = fallback_device;
    context.model = model;
    context.japanese = japanese;
    const LoadedThresholds thresholds = LoadDoseThresholds(working_folder);
    context.thresholds = thresholds.thresholds;
    const LoadedMapGeometry geometry = LoadMapGeometry(working_folder);
    context.geometry = geometry.settings;
    for (const std::string* problem : {&thresholds.problem, &geometry.problem}) {
        if (!problem->empty()) {
            problems.push_back(*problem);
        }
    }
    context.user_name = ReadUserName(working_folder).value_or(std::string());
    return context;
}

namespace {

std::string Summary(const StudyRecord& record) {
    const std::vector<std::string>& f = record.index_fields;
    return std::to_string(record.objects) + " object(s), " + f[4] + " event(s), peak skin dose " +
           (f[7].empty() ? "not calculated" : f[7] + " mGy") +
           (f[8].empty() ? "" : ", flags: " + f[8]) + " -> " + f[13];
}

}  // namespace

StudyDone ProcessStudy(EngineState& state, const StudyObjects& objects, const StudyContext& context,
                       StudiesIndex& index) {
    StudyDone done;
    const fs::path folder = StudyFolder(context.out, objects.study_date, objects.key);
    std::optional<StudyRecord> previous = ReadStudyRecord(folder);
    if (previous && previous->digest == objects.digest) {
        if (previous->flag_raised && !previous->hook_done && !context.settings.hook.empty()) {
            done.log.push_back(RunHook(context.settings.hook, folder, kHookTimeoutSeconds));
            previous->hook_done = true;
            WriteStudyRecord(folder, *previous);
        }
        index.Set(*previous);
        return done;
    }
    StudyOutcome outcome = ComputeStudy(state, objects, context, previous ? &*previous : nullptr);
    done.computed = true;
    done.events = outcome.events;
    done.log = std::move(outcome.log);
    StudyRecord& record = outcome.record;
    const bool hook_due = record.flag_raised && !context.settings.hook.empty();
    WriteStudyRecord(outcome.folder, record);
    done.log.push_back((previous ? "recomputed after late object(s) (" +
                                       std::to_string(previous->objects) + " before): "
                                 : std::string("computed: ")) +
                       Summary(record));
    if (hook_due) {
        done.log.push_back(RunHook(context.settings.hook, outcome.folder, kHookTimeoutSeconds));
        record.hook_done = true;
        WriteStudyRecord(outcome.folder, record);
    }
    index.Set(record);
    return done;
}

std::vector<std::string> StudiesIndexHeader() {
    return {"StudyDate", "StudyTime",        "Unit",         "Device",
            "Events",    "KarSum_mGy",       "PkaSum_Gycm2", "PeakSkinDose_mGy",
            "Flags",     "StudyInstanceUid", "Objects",      "Computations",
            "Computed",  "Folder",           "Notes"};
}

StudiesIndex::StudiesIndex(fs::path out) : out_(std::move(out)) {}

void StudiesIndex::LoadRecords() {
    RemoveStaleTemporaryFiles(out_);
    std::error_code error;
    auto it = fs::recursive_directory_iterator(out_, fs::directory_options::skip_permission_denied,
                                               error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it.depth() > 4 || it->path().filename() != kRecordFile) {
            if (it.depth() >= 4) {
                it.disable_recursion_pending();
            }
            continue;
        }
        if (std::optional<StudyRecord> record = ReadStudyRecord(it->path().parent_path())) {
            Set(*record);
        }
    }
}

void StudiesIndex::Set(const StudyRecord& record) {
    const std::lock_guard<std::mutex> lock(mutex_);
    lines_[record.key] = record.index_fields;
}

size_t StudiesIndex::size() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return lines_.size();
}

void StudiesIndex::Write() {
    std::vector<std::vector<std::string>> rows;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& entry : lines_) {
            rows.push_back(entry.second);
        }
    }
    // Oldest study first, as a year's log reads (every line has all the header's fields).
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        return std::tie(a[0], a[1]) < std::tie(b[0], b[1]);
    });
    rows.insert(rows.begin(), StudiesIndexHeader());
    std::vector<std::string> lines;
    for (const std::vector<std::string>& fields : rows) {
        std::string line;
        for (const std::string& field : fields) {
            line += (line.empty() ? "" : ",") + CsvField(field);
        }
        lines.push_back(line);
    }
    WriteTextLines(out_ / kIndexFile, lines, kIndexFile);
}

std::string RunHook(const std::string& command, const fs::path& folder, int timeout_seconds) {
    const std::string script = command + " \"$1\"";
    const std::string folder_text = folder.string();
    const char* argv[] = {"/bin/sh",           "-c",   script.c_str(), "korvex2-hook",
                          folder_text.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
        return "hook not started: " + command;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return "hook stopped after " + std::to_string(timeout_seconds) + " s: " + command;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        return "hook done: " + command + " " + folder_text;
    }
    return "hook failed (status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) +
           "): " + command + " " + folder_text;
}

}  // namespace korvex::cli
