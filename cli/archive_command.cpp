#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <ostream>
#include <thread>

#include "cli/exit_codes.h"
#include "cli/failure.h"
#include "cli/node_commands.h"
#include "cli/study_outputs.h"
#include "cli/table_pdf.h"
#include "dose_report/dicom_text.h"
#include "dose_report/dose_report_reader.h"
#include "engine/errors.h"

namespace korvex::cli {
namespace fs = std::filesystem;

namespace {

bool IsDoseReportClass(const std::string& uid) {
    const std::vector<AcceptedClass>& classes = AcceptedDoseReportClasses();
    return std::any_of(classes.begin(), classes.end(),
                       [&](const AcceptedClass& c) { return uid == c.uid; });
}

// A study key for files without a usable Study Instance UID: each such file is a study of
// its own, named after its path, so that its doses are still computed.
std::string KeyOfPath(const fs::path& path) {
    return "nouid-" + Fingerprint(path.string());
}

struct Walk {
    std::map<std::string, StudyObjects> studies;
    std::map<std::string, std::vector<std::string>> sops;
    int skipped = 0;
};

void AddFile(const fs::path& path, Walk& walk, NodeLog& log) {
    DoseReportIdentity identity;
    try {
        identity = ReadDoseReportIdentity(path);
    } catch (const DoseReportError& error) {
        log.Say("skipped " + path.string() + ": " + error.what());
        ++walk.skipped;
        return;
    }
    if (!IsDoseReportClass(identity.sop_class_uid)) {
        log.Say("skipped " + path.string() + ": not a dose report class (" +
                identity.sop_class_uid + ")");
        ++walk.skipped;
        return;
    }
    const std::string key =
        IsValidUid(identity.study_instance_uid) ? identity.study_instance_uid : KeyOfPath(path);
    const std::string id =
        IsValidUid(identity.sop_instance_uid) ? identity.sop_instance_uid : path.string();
    std::vector<std::string>& sops = walk.sops[key];
    if (std::find(sops.begin(), sops.end(), id) != sops.end()) {
        log.Say("kept once: " + path.string() + " repeats object " + id);
        return;
    }
    sops.push_back(id);
    StudyObjects& study = walk.studies[key];
    study.key = key;
    if (study.study_date.empty()) {
        study.study_date = identity.study_date;
    }
    study.files.push_back(path);
}

Walk WalkFolders(const std::vector<std::string>& folders, NodeLog& log) {
    Walk walk;
    for (const std::string& folder : folders) {
        std::error_code error;
        if (!fs::is_directory(folder, error)) {
            throw InputFileFailure("「" + folder + "」はフォルダーではありません。", folder);
        }
        std::vector<fs::path> files;
        for (fs::recursive_directory_iterator it(
                 folder, fs::directory_options::skip_permission_denied, error);
             !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (it->is_regular_file(error)) {
                files.push_back(it->path());
            }
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            AddFile(file, walk, log);
        }
    }
    for (auto& [key, study] : walk.studies) {
        study.digest = ObjectsDigest(walk.sops[key]);
    }
    return walk;
}

struct Progress {
    std::atomic<size_t> next{0};
    std::atomic<int> finished{0};
    std::atomic<int> computed{0};
    std::atomic<int> failed{0};
    std::atomic<long> events{0};
};

void Work(EngineState& state, const std::vector<StudyObjects>& studies, const StudyContext& context,
          StudiesIndex& index, NodeLog& log, Progress& progress) {
    for (size_t i = progress.next++; i < studies.size(); i = progress.next++) {
        try {
            const StudyDone done = ProcessStudy(state, studies[i], context, index);
            for (const std::string& line : done.log) {
                log.Say("study " + studies[i].key + ": " + line);
            }
            progress.computed += done.computed ? 1 : 0;
            progress.events += done.events;
        } catch (const std::exception& error) {
            log.Say("study " + studies[i].key + " not written: " + error.what());
            ++progress.failed;
        }
        ++progress.finished;
    }
}

std::string ProgressLine(const Progress& p, size_t total, double seconds) {
    char text[160];
    std::snprintf(text, sizeof text, "%d/%zu studies (%d computed, %d failed), %ld events, %.0f s",
                  p.finished.load(), total, p.computed.load(), p.failed.load(), p.events.load(),
                  seconds);
    return text;
}

bool WriteIndex(StudiesIndex& index, NodeLog& log) {
    try {
        index.Write();
        return true;
    } catch (const FileError& error) {
        log.Say(std::string("index not written: ") + error.what());
        return false;
    }
}

}  // namespace

int RunArchive(const CommonOptions& common, const ArchiveRequest& request, std::ostream& err) {
    NodeLog log(err, "korvex2-archive");
    const auto start = std::chrono::steady_clock::now();
    std::vector<EngineState> states;
    states.push_back(LoadState(common));
    std::vector<std::string> problems;
    StudyContext context;
    try {
        context = MakeStudyContext(states[0].working_folder, request.out, request.device,
                                   request.model, request.japanese, problems);
    } catch (const FileError& error) {
        throw InputFileFailure(error.what(),
                               (states[0].working_folder / kNodeSettingsFile).string());
    }
    for (const std::string& problem : problems) {
        log.Say(problem);
    }
    const Walk walk = WalkFolders(request.folders, log);
    std::vector<StudyObjects> studies;
    for (const auto& entry : walk.studies) {
        studies.push_back(entry.second);
    }
    log.Say(std::to_string(studies.size()) + " studies found, " + std::to_string(walk.skipped) +
            " file(s) skipped");
    fs::create_directories(request.out);
    StudiesIndex index(request.out);
    index.LoadRecords();
    KeepDrawingApplication();
    const int jobs =
        std::min<int>(request.jobs, std::max<int>(1, static_cast<int>(studies.size())));
    while (static_cast<int>(states.size()) < jobs) {
        states.push_back(LoadState(common));
    }
    Progress progress;
    std::vector<std::thread> workers;
    for (int j = 0; j < jobs; ++j) {
        workers.emplace_back([&, j] {
            Work(states[static_cast<size_t>(j)], studies, context, index, log, progress);
        });
    }
    const auto seconds = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    for (int tick = 0; progress.finished.load() < static_cast<int>(studies.size()); ++tick) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        if (tick % 8 == 7) {
            log.Say(ProgressLine(progress, studies.size(), seconds()));
        }
        if (tick % 40 == 39) {
            WriteIndex(index, log);  // a killed run leaves an index of what it finished
        }
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    EndDrawingApplication();
    const bool indexed = WriteIndex(index, log);
    log.Say("done: " + ProgressLine(progress, studies.size(), seconds()));
    return ExitStatus(progress.failed.load() > 0 || !indexed ? ExitCode::OutputFile
                                                             : ExitCode::Success);
}

}  // namespace korvex::cli
