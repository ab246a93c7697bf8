#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/command_options.h"
#include "cli/dicom_node.h"

namespace CLI {
class App;
}

namespace korvex::cli {

// `korvex2-cli listen --out DIR [--port N] [--aet AET] [--allow AET]... [--bind ADDR]
// [--device DEV] [--spool DIR] [--quiet-seconds N] [--max-object-mb MB] [--model M]`.
struct ListenRequest {
    NetworkOptions network;
    std::string out;
    std::string spool;  // empty: OUT/spool
    std::string device;
    int quiet_seconds = 180;
    double max_object_mb = 64;
    DoseModel model = kDefaultDoseModel;
    bool japanese = true;
};

// `korvex2-cli archive DIR... --out OUT [--jobs N] [--device DEV] [--model M]`.
struct ArchiveRequest {
    std::vector<std::string> folders;
    std::string out;
    std::string device;
    int jobs = 2;
    DoseModel model = kDefaultDoseModel;
    bool japanese = true;
};

void AddListenCommand(CLI::App& app, const Help& help, ListenRequest& request);
void AddArchiveCommand(CLI::App& app, const Help& help, ArchiveRequest& request);

// Runs the node until SIGTERM or SIGINT; the log goes to `err`. Returns 0 after a stop.
int RunListen(const CommonOptions& common, const ListenRequest& request, std::ostream& err);

// Computes every study of the folders that is not computed yet; progress and the log go
// to `err`. Returns 0, or 4 when some study's outputs could not be written.
int RunArchive(const CommonOptions& common, const ArchiveRequest& request, std::ostream& err);

}  // namespace korvex::cli
