#pragma once

#include <iosfwd>
#include <string>

#include "cli/command_options.h"
#include "engine/couch_model.h"

namespace korvex::cli {

// `korvex2-cli device create --name NAME --frd CM --fid CM --angle DEG --inherent MM --al MM
// --cu MM [--filter MATERIAL:MM] --kv KV --k0 MGY --k1 MGY --kd MGY
// [--couch layer|table-top [--mattress CM]]`: the texts of the device dialog's boxes, as
// typed, and its couch choice.
struct DeviceOptions {
    std::string name, receptor, isocentre, angle, inherent, aluminium, copper, filter, kv;
    std::string k0, k1, kd;
    CouchModel couch = kDefaultCouchModel;
    std::string mattress;  // cm; used only when given
    bool mattress_given = false;
};

void AddDeviceCommand(CLI::App& app, const Help& help, DeviceOptions& options);

// The device dialog without its window: the same boxes, the same OK and the same Save
// (DeviceEntry, FilterEntry), so the same inputs are refused with the same message (a
// usage error) and the same file is written. A mattress given for the layer model is a
// usage error. Prints the three calibration values, the couch model (with the mattress of
// a table top) and the file name.
int RunDeviceCreate(const DeviceOptions& options, const CommonOptions& common, std::ostream& out);

}  // namespace korvex::cli
