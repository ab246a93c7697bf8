#include "tests/node/node_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <stdexcept>
#include <thread>

#include "tests/node/node_test_support.h"

namespace korvex::node_test {
namespace fs = std::filesystem;

namespace {

// Waits for the child at most `limit`; true when it ended, with its status.
bool Reap(pid_t pid, std::chrono::seconds limit, int& status) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

}  // namespace

NodeProcess::NodeProcess(fs::path workdir, fs::path out, fs::path log)
    : workdir_(std::move(workdir)), out_(std::move(out)), log_(std::move(log)) {}

NodeProcess::~NodeProcess() {
    if (pid_ > 0) {
        Kill();
    }
}

void NodeProcess::Start(const std::vector<std::string>& options,
                        std::optional<rlim_t> file_size_limit) {
    std::vector<std::string> args = {KORVEX_CLI_PATH, "listen",    "--port",         "0", "--out",
                                     out_.string(),   "--workdir", workdir_.string()};
    args.insert(args.end(), options.begin(), options.end());
    const size_t lines_before = LogLines().size();
    pid_ = fork();
    if (pid_ == 0) {
        if (file_size_limit) {
            const rlimit limit{*file_size_limit, *file_size_limit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        const int log = open(log_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        dup2(log, 1);
        dup2(log, 2);
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    port_ = 0;
    WaitFor(
        [&] {
            const std::vector<std::string> lines = LogLines();
            for (size_t i = lines_before; i < lines.size(); ++i) {
                const size_t at = lines[i].find("listening on 127.0.0.1:");
                if (at != std::string::npos) {
                    port_ = std::stoi(lines[i].substr(at + 23));
                }
            }
            return port_ > 0;
        },
        std::chrono::seconds(60));
    if (port_ == 0) {
        Kill();
        throw std::runtime_error("the node did not start listening");
    }
}

void NodeProcess::Stop() {
    kill(pid_, SIGTERM);
    int status = 0;
    if (!Reap(pid_, std::chrono::seconds(90), status)) {
        Kill();
        throw std::runtime_error("the node did not stop after SIGTERM");
    }
    pid_ = -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error("the node ended with status " + std::to_string(status));
    }
}

void NodeProcess::Kill() {
    kill(pid_, SIGKILL);
    int status = 0;
    Reap(pid_, std::chrono::seconds(30), status);
    pid_ = -1;
}

std::vector<std::string> NodeProcess::LogLines() const {
    return Lines(log_);
}

Sent SendWithStorescu(int port, const std::string& calling_ae, const std::vector<fs::path>& files) {
    std::string command = "storescu -v -R -nh -to 10 -ta 10 -td 60 -aet " + calling_ae +
                          " -aec KORVEX2 127.0.0.1 " + std::to_string(port);
    for (const fs::path& file : files) {
        command += " " + Quoted(file.string());
    }
    Sent sent;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return sent;
    }
    std::array<char, 4096> buffer{};
    while (const size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) {
        sent.output.append(buffer.data(), n);
    }
    const int status = pclose(pipe);
    sent.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return sent;
}

std::vector<std::string> Acknowledged(const Sent& sent, const std::vector<fs::path>& files,
                                      const std::vector<std::string>& sop_uids) {
    std::vector<std::string> acknowledged;
    int current = -1;
    size_t start = 0;
    while (start < sent.output.size()) {
        size_t end = sent.output.find('\n', start);
        end = end == std::string::npos ? sent.output.size() : end;
        const std::string line = sent.output.substr(start, end - start);
        start = end + 1;
        for (size_t i = 0; i < files.size(); ++i) {
            if (line.find("Sending file: " + files[i].string()) != std::string::npos) {
                current = static_cast<int>(i);
            }
        }
        if (current >= 0 && line.find("Received Store Response (Success)") != std::string::npos) {
            acknowledged.push_back(sop_uids[static_cast<size_t>(current)]);
            current = -1;
        }
    }
    return acknowledged;
}

bool WaitFor(const std::function<bool()>& done, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return done();
}

}  // namespace korvex::node_test
