#include "cli/node_commands.h"

#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <csignal>
#include <map>
#include <mutex>
#include <ostream>
#include <set>
#include <thread>

#include "cli/exit_codes.h"
#include "cli/failure.h"
#include "cli/study_outputs.h"
#include "cli/table_pdf.h"
#include "dose_report/dicom_text.h"
#include "dose_report/dose_report_reader.h"
#include "engine/errors.h"

namespace korvex::cli {
namespace fs = std::filesystem;

namespace {

std::atomic<bool> stop_requested{false};

extern "C" void RequestStop(int) {
    stop_requested.store(true);
}

// SIGTERM (systemd) and SIGINT (a terminal) end the node after the running associations;
// a write beyond the file-size limit must fail with EFBIG, not end the program; a sender
// that hangs up must not either.
void InstallSignals() {
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
}

StudyContext ContextFor(const EngineState& state, const std::string& out, const std::string& device,
                        DoseModel model, bool japanese, NodeLog& log) {
    std::vector<std::string> problems;
    try {
        StudyContext context =
            MakeStudyContext(state.working_folder, out, device, model, japanese, problems);
        for (const std::string& problem : problems) {
            log.Say(problem);
        }
        return context;
    } catch (const FileError& error) {
        throw InputFileFailure(error.what(), (state.working_folder / kNodeSettingsFile).string());
    }
}

// The study date of the first object that has one, so that the study's folder stays
// where it is when objects arrive in any order.
std::string StudyDateOf(const std::vector<fs::path>& objects) {
    for (const fs::path& object : objects) {
        try {
            const std::string date = ReadDoseReportIdentity(object).study_date;
            if (!date.empty()) {
                return date;
            }
        } catch (const DoseReportError&) {
        }
    }
    return {};
}

// The studies that have objects not yet computed, and when a failed one may be tried again.
class PendingStudies {
  public:
    void Add(const std::string& study) {
        const std::lock_guard<std::mutex> lock(mutex_);
        pending_.insert(study);
    }
    // The studies quiet for `quiet` and not waiting after a failure; taken out of the set.
    std::vector<std::string> TakeQuiet(const Spool& spool, std::chrono::seconds quiet) {
        const std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::string> due;
        const auto now = std::chrono::steady_clock::now();
        for (auto it = pending_.begin(); it != pending_.end();) {
            const auto retry = retry_at_.find(*it);
            if ((retry == retry_at_.end() || retry->second <= now) &&
                spool.QuietFor(*it) >= quiet) {
                due.push_back(*it);
                retry_at_.erase(*it);
                it = pending_.erase(it);
            } else {
                ++it;
            }
        }
        return due;
    }
    void RetryLater(const std::string& study) {
        const std::lock_guard<std::mutex> lock(mutex_);
        pending_.insert(study);
        retry_at_[study] = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    }

  private:
    std::mutex mutex_;
    std::set<std::string> pending_;
    std::map<std::string, std::chrono::steady_clock::time_point> retry_at_;
};

void ComputeSpooled(EngineState& state, const Spool& spool, const std::string& study,
                    const StudyContext& context, StudiesIndex& index, NodeLog& log,
                    PendingStudies& pending) {
    const std::vector<fs::path> files = spool.Objects(study);
    if (files.empty()) {
        return;
    }
    std::vector<std::string> sops;
    for (const fs::path& file : files) {
        sops.push_back(file.stem().string());
    }
    const StudyObjects objects{study, files, StudyDateOf(files), ObjectsDigest(sops)};
    try {
        const StudyDone done = ProcessStudy(state, objects, context, index);
        for (const std::string& line : done.log) {
            log.Say("study " + study + ": " + line);
        }
        index.Write();
    } catch (const std::exception& error) {
        log.Say("study " + study + " not written, tried again in a minute: " + error.what());
        pending.RetryLater(study);
    }
}

const Said kNodeDeviceHelp = {"DoseNode.txt にない装置に使う装置データファイル",
                              "device data file for units DoseNode.txt does not name"};

}  // namespace

void AddListenCommand(CLI::App& app, const Help& help, ListenRequest& r) {
    CLI::App* listen = app.add_subcommand(
        "listen", help({"線量レポートを DICOM で受け取り、検査ごとに計算するノードとして動きます",
                        "run as a DICOM node that receives dose reports and computes each "
                        "study"}));
    listen->add_option("--out", r.out, help({"出力フォルダー", "output folder"}))->required();
    listen
        ->add_option("--port", r.network.port,
                     help({"待ち受けるポート (既定 11112)", "port to listen on (default 11112)"}))
        ->check(CLI::Range(0, 65535));
    listen->add_option("--aet", r.network.ae_title,
                       help({"このノードの AE タイトル (既定 KORVEX2)",
                             "this node's AE title (default KORVEX2)"}));
    listen->add_option("--allow", r.network.allowed,
                       help({"受け付ける送信元 AE タイトル (繰り返し可、省略時はすべて)",
                             "calling AE title to accept (repeatable; none: any)"}));
    listen->add_option("--bind", r.network.bind,
                       help({"待ち受けるアドレス (既定 127.0.0.1: このコンピューターのみ)",
                             "address to listen on (default 127.0.0.1: this computer only)"}));
    listen->add_option("--device", r.device, help(kNodeDeviceHelp));
    listen->add_option("--spool", r.spool,
                       help({"受け取ったオブジェクトの保存先 (既定 OUT/spool)",
                             "where received objects are kept (default OUT/spool)"}));
    listen
        ->add_option("--quiet-seconds", r.quiet_seconds,
                     help({"この秒数何も届かなければ検査を計算します (既定 180)",
                           "compute a study after this many seconds without objects "
                           "(default 180)"}))
        ->check(CLI::Range(0, 86400));
    listen
        ->add_option("--max-object-mb", r.max_object_mb,
                     help({"1 オブジェクトの上限 (MB、既定 64)",
                           "largest object accepted (MB, default 64)"}))
        ->check(CLI::Range(0.001, 1024.0));
    AddModelOption(listen, help, r.model);
}

void AddArchiveCommand(CLI::App& app, const Help& help, ArchiveRequest& r) {
    CLI::App* archive = app.add_subcommand(
        "archive", help({"フォルダーの線量レポートを検査ごとにまとめて計算します",
                         "compute every study of folders of dose reports"}));
    archive->add_option("folders", r.folders, help({"線量レポートのフォルダー", "folders"}))
        ->required();
    archive->add_option("--out", r.out, help({"出力フォルダー", "output folder"}))->required();
    archive
        ->add_option(
            "--jobs", r.jobs,
            help({"同時に計算する検査の数 (既定 2)", "studies computed at once (default 2)"}))
        ->check(CLI::Range(1, 64));
    archive->add_option("--device", r.device, help(kNodeDeviceHelp));
    AddModelOption(archive, help, r.model);
}

int RunListen(const CommonOptions& common, const ListenRequest& request, std::ostream& err) {
    InstallSignals();
    NodeLog log(err);
    EngineState state = LoadState(common);
    const StudyContext context =
        ContextFor(state, request.out, request.device, request.model, request.japanese, log);
    const Spool spool(request.spool.empty() ? fs::path(request.out) / "spool"
                                            : fs::path(request.spool));
    StudiesIndex index(request.out);
    index.LoadRecords();
    KeepDrawingApplication();
    PendingStudies pending;
    for (const std::string& study : spool.Studies()) {
        pending.Add(study);  // resumed: computed unless its record names the same objects
    }
    NetworkOptions network = request.network;
    network.max_object_bytes = static_cast<std::uintmax_t>(request.max_object_mb * 1024 * 1024);
    std::thread scheduler([&] {
        while (!stop_requested.load()) {
            for (const std::string& study :
                 pending.TakeQuiet(spool, std::chrono::seconds(request.quiet_seconds))) {
                ComputeSpooled(state, spool, study, context, index, log, pending);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    });
    try {
        RunStorageNode(
            network, spool, log, [&](const std::string& study) { pending.Add(study); },
            [&](int port) {
                log.Say("listening on " + network.bind + ":" + std::to_string(port) + " as " +
                        network.ae_title +
                        (network.allowed.empty() ? " (any calling AE title)" : "") + "; spool " +
                        spool.root().string() + "; out " + request.out);
            },
            stop_requested);
    } catch (const std::runtime_error& error) {
        stop_requested.store(true);
        scheduler.join();
        throw CommandFailure(Failure{ExitCode::Usage, error.what(), {}, {}, {}, {}});
    }
    stop_requested.store(true);
    scheduler.join();
    EndDrawingApplication();
    log.Say("stopped; studies not yet computed are computed at the next start");
    return ExitStatus(ExitCode::Success);
}

}  // namespace korvex::cli
