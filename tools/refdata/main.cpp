// korvex-refdata: makes the reference data of the bundled working folder, and checks the
// dose calculation against a full Monte Carlo of one exposure.
//
//   korvex-refdata [--output DIR] [--threads N] [--seed S] [--histories N] [--batches B]
//                  [--tables-only] [--report FILE]
//       the whole reference part of a working folder (default DIR: data)
//   korvex-refdata --phantom water --energies 49.35,83 --output DIR [...]
//       a backscatter kernel table for the listed energies only (validation)
//   korvex-refdata --check DIR
//       what the engine makes of the working folder DIR
//   korvex-refdata exposure --device FILE --kv KV --shape square|circle --size CM --fsd CM
//                  --couch tissue|carbon [...]
//       the full-exposure simulation alone, one JSON line
//   korvex-refdata compare  (the same options)
//       the dose calculation and the simulation of the same exposure, one JSON line
//   korvex-refdata couch-scatter [--workdir DIR] [--histories N] [--refine U] [...]
//       the table top's scatter table "CouchScatter.dat" of the working folder; with
//       --refine, its nodes above the uncertainty U rerun with more histories
//   korvex-refdata couch-scatter-point --kv KV --cu MM --field CM --transmission T
//                  --mattress CM [...]
//       one beam's S_c simulated and as the table gives it, one JSON line

#include <CLI/CLI.hpp>

#include <cstdint>
#include <exception>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/couch_model.h"
#include "engine/couch_scatter_table.h"
#include "tools/refdata/couch_scatter_generator.h"
#include "tools/refdata/exposure_comparison.h"
#include "tools/refdata/generator.h"

namespace {

using korvex::refdata::ApertureShape;
using korvex::refdata::BeamDivergence;
using korvex::refdata::CouchModel;
using korvex::refdata::ExposureRequest;
using korvex::refdata::PatientModel;

int DefaultThreads() {
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware == 0 ? 1 : static_cast<int>(hardware);
}

void AddGeneratorOptions(CLI::App& app, korvex::refdata::GeneratorOptions& options,
                         std::string& check_folder) {
    app.add_option("--output", options.output, "folder of the generated files (default data)");
    app.add_option("--phantom", options.phantom, "phantom material")
        ->check(CLI::IsMember({"tissue", "water"}));
    app.add_option("--energies", options.energies, "kernel energies in keV, comma separated")
        ->delimiter(',')
        ->check(CLI::PositiveNumber);
    app.add_option("--histories", options.histories, "histories per energy")
        ->check(CLI::PositiveNumber);
    app.add_option("--batches", options.batches, "batches per energy")
        ->check(CLI::Range(2, 100000));
    app.add_option("--threads", options.threads, "worker threads (default: every core)")
        ->check(CLI::PositiveNumber);
    app.add_option("--seed", options.seed, "master seed")->check(CLI::PositiveNumber);
    app.add_flag("--tables-only", options.tables_only, "cross-section files only");
    app.add_option("--report", options.report, "statistics report file");
    app.add_option("--check", check_folder, "print what the engine makes of this folder");
}

// How many histories a simulation runs, in how many batches, from which seed, on how many
// threads: the same options for every Monte Carlo command.
void AddRunOptions(CLI::App& command, std::int64_t& histories, int& batches, std::uint64_t& seed,
                   int& threads) {
    command.add_option("--histories", histories, "source photons (default 1000000)")
        ->check(CLI::PositiveNumber);
    command.add_option("--batches", batches, "batches (default 100)")->check(CLI::Range(2, 100000));
    command.add_option("--seed", seed, "master seed")->check(CLI::PositiveNumber);
    command.add_option("--threads", threads, "worker threads (default: every core)")
        ->check(CLI::PositiveNumber);
}

void AddExposureOptions(CLI::App& command, ExposureRequest& request) {
    const std::map<std::string, ApertureShape> shapes{{"square", ApertureShape::Square},
                                                      {"circle", ApertureShape::Circle}};
    const std::map<std::string, CouchModel> couches{{"tissue", CouchModel::Tissue},
                                                    {"carbon", CouchModel::CarbonFibre}};
    const std::map<std::string, BeamDivergence> beams{{"divergent", BeamDivergence::Divergent},
                                                      {"parallel", BeamDivergence::Parallel}};
    const std::map<std::string, PatientModel> patients{{"slab", PatientModel::Slab},
                                                       {"large", PatientModel::Large}};
    command.add_option("--device", request.device, "device file in the working folder")->required();
    command.add_option("--kv", request.tube_voltage_kv, "tube voltage, kV")
        ->required()
        ->check(CLI::PositiveNumber);
    command.add_option("--shape", request.shape, "field shape")
        ->required()
        ->transform(CLI::CheckedTransformer(shapes, CLI::ignore_case));
    command
        .add_option("--size", request.field_size_cm, "side or diameter at the reference point, cm")
        ->required()
        ->check(CLI::PositiveNumber);
    command.add_option("--fsd", request.focus_skin_distance_cm, "focus-skin distance, cm")
        ->required()
        ->check(CLI::PositiveNumber);
    command.add_option("--couch", request.couch, "couch model")
        ->required()
        ->transform(CLI::CheckedTransformer(couches, CLI::ignore_case));
    command
        .add_option("--mattress", request.mattress_cm,
                    "carbon couch: mattress thickness, cm (default: a table-top device's own, "
                    "else 4)")
        ->check(CLI::Range(0.0, korvex::kMaxMattressThicknessCm));
    command.add_option("--beam", request.divergence, "divergent (default) or parallel rays")
        ->transform(CLI::CheckedTransformer(beams, CLI::ignore_case));
    command.add_option("--patient", request.patient, "slab (default) or large")
        ->transform(CLI::CheckedTransformer(patients, CLI::ignore_case));
    AddRunOptions(command, request.histories, request.batches, request.seed, request.threads);
    command.add_option("--workdir", request.working_folder, "working folder (default data)");
    command.add_option("--disc-radius", request.disc.radius_cm, "scoring disc radius, cm")
        ->check(CLI::PositiveNumber);
    command.add_option("--disc-thickness", request.disc.thickness_cm, "scoring disc thickness, cm")
        ->check(CLI::PositiveNumber);
    command
        .add_option("--exclusion-margin", request.disc.exclusion_margin_cm,
                    "margin around the disc for track-length scoring, cm")
        ->check(CLI::NonNegativeNumber);
}

void AddCouchScatterOptions(CLI::App& command, korvex::refdata::CouchScatterOptions& options) {
    command.add_option("--workdir", options.working_folder,
                       "working folder: reference data in, table out (default data)");
    AddRunOptions(command, options.histories, options.batches, options.seed, options.threads);
}

void AddCouchNodeOptions(CLI::App& command, korvex::refdata::CouchScatterNode& node) {
    command.add_option("--kv", node.tube_voltage_kv, "tube voltage, kV")
        ->required()
        ->check(CLI::Range(20.0, 149.5));
    command.add_option("--cu", node.copper_mm, "added copper, mm")->check(CLI::Range(0.0, 5.0));
    command.add_option("--field", node.field_side_cm, "square side at the skin, cm")
        ->required()
        ->check(CLI::Range(1.0, 40.0));
    command.add_option("--transmission", node.transmission, "couch transmission T")
        ->required()
        ->check(CLI::Range(0.05, 1.0));
    command.add_option("--mattress", node.mattress_cm, "mattress, cm")
        ->check(CLI::Range(0.0, 10.0));
}

struct ValidationDeviceOptions {
    std::string name;
    std::filesystem::path folder = "data";
    double copper_mm = 0;
    double couch_cm = 0;
    korvex::CouchModel couch = korvex::CouchModel::Layer;
    std::optional<double> mattress_cm;
};

CLI::App* AddValidationDeviceOptions(CLI::App& app, ValidationDeviceOptions& options) {
    CLI::App* device =
        app.add_subcommand("validation-device", "write a device file for the validation exposures");
    device->add_option("--name", options.name, "device name")->required();
    device->add_option("--cu", options.copper_mm, "added copper, mm")
        ->check(CLI::NonNegativeNumber);
    device->add_option("--couch-thickness", options.couch_cm, "couch-equivalent thickness, cm")
        ->required()
        ->check(CLI::Range(0.0, 10.0));
    device->add_option("--workdir", options.folder, "working folder (default data)");
    const std::map<std::string, korvex::CouchModel> couch_models{
        {"layer", korvex::CouchModel::Layer}, {"table-top", korvex::CouchModel::TableTop}};
    device->add_option("--couch-model", options.couch, "layer (default) or table-top")
        ->transform(CLI::CheckedTransformer(couch_models, CLI::ignore_case));
    device
        ->add_option("--mattress", options.mattress_cm,
                     "table-top: mattress thickness, cm (default 4)")
        ->check(CLI::Range(0.0, korvex::kMaxMattressThicknessCm));
    return device;
}

std::string WriteDevice(const ValidationDeviceOptions& options) {
    if (options.mattress_cm && options.couch != korvex::CouchModel::TableTop) {
        throw std::invalid_argument("--mattress needs --couch-model table-top");
    }
    return korvex::refdata::WriteValidationDevice(
        options.folder, options.name, options.copper_mm, options.couch_cm, options.couch,
        options.mattress_cm.value_or(korvex::kDefaultMattressThicknessCm));
}

// A node simulated and looked up in the working folder's table.
nlohmann::json CouchScatterPoint(const korvex::refdata::CouchScatterNode& node,
                                 const korvex::refdata::CouchScatterOptions& options) {
    const korvex::refdata::CouchScatterValue simulated =
        korvex::refdata::SimulateCouchScatter(node, options);
    const korvex::CouchScatterLookup table =
        korvex::LookUpCouchScatter(korvex::ReadCouchScatterTable(options.working_folder),
                                   {node.tube_voltage_kv, simulated.half_value_layer_mm,
                                    node.field_side_cm, node.transmission, node.mattress_cm});
    return {{"TubeVoltage", node.tube_voltage_kv},
            {"AddedCopper", node.copper_mm},
            {"FieldSize", node.field_side_cm},
            {"CouchTransmission", node.transmission},
            {"MattressThickness", node.mattress_cm},
            {"HalfValueLayer", simulated.half_value_layer_mm},
            {"CarbonPlateThickness", simulated.plate_cm},
            {"SimulatedCouchScatterRatio", simulated.ratio},
            {"SimulatedCouchScatterUncertainty", simulated.uncertainty},
            {"TableCouchScatterRatio", table.ratio},
            {"DosePercent", 100.0 * ((1 + table.ratio) / (1 + simulated.ratio) - 1)},
            {"Clamped", table.clamped}};
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"korvex-refdata: reference data of the working folder and its validation"};
    korvex::refdata::GeneratorOptions options;
    std::string check_folder;
    AddGeneratorOptions(app, options, check_folder);
    ExposureRequest request;
    request.threads = DefaultThreads();
    CLI::App* exposure = app.add_subcommand("exposure", "full-exposure simulation, one JSON line");
    CLI::App* compare =
        app.add_subcommand("compare", "dose calculation against the simulation, one JSON line");
    AddExposureOptions(*exposure, request);
    AddExposureOptions(*compare, request);
    compare->add_flag("--engine-only", request.engine_only,
                      "the dose calculation alone, without the simulation");
    ValidationDeviceOptions device_options;
    CLI::App* device = AddValidationDeviceOptions(app, device_options);
    korvex::refdata::CouchScatterOptions couch_options;
    couch_options.threads = DefaultThreads();
    korvex::refdata::CouchScatterNode couch_node;
    CLI::App* couch_table =
        app.add_subcommand("couch-scatter", "the table top's scatter table of the working folder");
    AddCouchScatterOptions(*couch_table, couch_options);
    couch_table
        ->add_option("--refine", couch_options.refine_above,
                     "rerun the existing table's nodes whose uncertainty exceeds this")
        ->check(CLI::PositiveNumber);
    couch_table->add_flag("--reuse", couch_options.reuse,
                          "take over the nodes the existing table already has");
    CLI::App* couch_point = app.add_subcommand(
        "couch-scatter-point", "one beam's table-top scatter simulated and from the table");
    AddCouchScatterOptions(*couch_point, couch_options);
    AddCouchNodeOptions(*couch_point, couch_node);
    app.require_subcommand(0, 1);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error);
    }
    options.command_line = "korvex-refdata";
    for (int i = 1; i < argc; ++i) {
        options.command_line += std::string(" ") + argv[i];
    }
    try {
        if (device->parsed()) {
            std::cout << WriteDevice(device_options) << "\n";
        } else if (couch_table->parsed()) {
            korvex::refdata::GenerateCouchScatterTable(couch_options, std::cerr);
        } else if (couch_point->parsed()) {
            std::cout << CouchScatterPoint(couch_node, couch_options).dump() << "\n";
        } else if (exposure->parsed()) {
            std::cout << korvex::refdata::SimulateExposure(request).dump() << "\n";
        } else if (compare->parsed()) {
            std::cout << korvex::refdata::CompareExposure(request).dump() << "\n";
        } else if (!check_folder.empty()) {
            korvex::refdata::RunEngineCheck(check_folder, std::cout);
        } else {
            korvex::refdata::RunGenerator(options, std::cout);
        }
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "korvex-refdata: " << error.what() << "\n";
        return 1;
    }
}
