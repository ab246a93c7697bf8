#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace korvex::node_test {

// `korvex2-cli listen` as a child process on a free loopback port, its log in a file.
// Every wait is bounded; the destructor kills what is still running.
class NodeProcess {
  public:
    NodeProcess(std::filesystem::path workdir, std::filesystem::path out,
                std::filesystem::path log);
    ~NodeProcess();
    NodeProcess(const NodeProcess&) = delete;
    NodeProcess& operator=(const NodeProcess&) = delete;

    // Starts the node and waits until it listens; `file_size_limit` is RLIMIT_FSIZE.
    void Start(const std::vector<std::string>& options,
               std::optional<rlim_t> file_size_limit = std::nullopt);
    void Stop();  // SIGTERM, then the exit status is checked to be 0
    void Kill();  // SIGKILL, as a power cut would
    bool Running() const { return pid_ > 0; }
    int port() const { return port_; }
    std::vector<std::string> LogLines() const;

  private:
    std::filesystem::path workdir_;
    std::filesystem::path out_;
    std::filesystem::path log_;
    pid_t pid_ = -1;
    int port_ = 0;
};

struct Sent {
    int status = -1;
    std::string output;  // storescu's log (verbose)
};

// DCMTK's storescu sending `files` in one association to the node on 127.0.0.1, proposing
// only their classes, as a unit does.
Sent SendWithStorescu(int port, const std::string& calling_ae,
                      const std::vector<std::filesystem::path>& files);

// The SOP instance UIDs whose C-STORE storescu saw answered with success, read from its
// verbose log (files are sent in order, each answered before the next).
std::vector<std::string> Acknowledged(const Sent& sent,
                                      const std::vector<std::filesystem::path>& files,
                                      const std::vector<std::string>& sop_uids);

// Polls `done` until it holds or `limit` passes.
bool WaitFor(const std::function<bool()>& done, std::chrono::seconds limit);

}  // namespace korvex::node_test
