#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "cli/node_spool.h"

namespace korvex::cli {

// The node's log: one line per event, with the local time, to one stream (standard error,
// which systemd's journal keeps), whole lines even from several threads.
class NodeLog {
  public:
    explicit NodeLog(std::ostream& out, std::string name = "korvex2-node")
        : out_(out), name_(std::move(name)) {}
    void Say(const std::string& line);

  private:
    std::ostream& out_;
    std::string name_;
    std::mutex mutex_;
};

struct NetworkOptions {
    std::string bind = "127.0.0.1";  // the address to listen on
    int port = 11112;                // 0: any free port (the log names it)
    std::string ae_title = "KORVEX2";
    std::vector<std::string> allowed;  // calling AE titles; empty: any
    std::uintmax_t max_object_bytes = 64u * 1024u * 1024u;
    int max_associations = 16;  // at once; more wait in the listen queue
    int timeout_seconds = 60;   // network silence that ends an association
};

// The storage classes a unit may send a dose report in.
struct AcceptedClass {
    const char* uid;
    const char* name;
};
const std::vector<AcceptedClass>& AcceptedDoseReportClasses();

// Receives C-STOREs of dose reports (and answers C-ECHO) until `stop` is set, each
// association on its own thread: an object is checked (its class and UIDs, a dose report's
// root), written to the spool and only then acknowledged; `stored` is called with its
// study for each new object. `listening` is called once with the port. Throws
// std::runtime_error when the address cannot be used. Returns after the running
// associations have ended.
void RunStorageNode(const NetworkOptions& options, const Spool& spool, NodeLog& log,
                    const std::function<void(const std::string& study_uid)>& stored,
                    const std::function<void(int port)>& listening, const std::atomic<bool>& stop);

}  // namespace korvex::cli
