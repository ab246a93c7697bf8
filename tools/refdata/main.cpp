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

#include <CLI/CLI.hpp>

#include <exception>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

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
    command.add_option("--beam", request.divergence, "divergent (default) or parallel rays")
        ->transform(CLI::CheckedTransformer(beams, CLI::ignore_case));
    command.add_option("--patient", request.patient, "slab (default) or large")
        ->transform(CLI::CheckedTransformer(patients, CLI::ignore_case));
    command.add_option("--histories", request.histories, "source photons (default 1000000)")
        ->check(CLI::PositiveNumber);
    command.add_option("--batches", request.batches, "batches (default 100)")
        ->check(CLI::Range(2, 100000));
    command.add_option("--seed", request.seed, "master seed")->check(CLI::PositiveNumber);
    command.add_option("--threads", request.threads, "worker threads (default: every core)")
        ->check(CLI::PositiveNumber);
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
    std::string device_name;
    std::filesystem::path device_folder = "data";
    double copper_mm = 0;
    double couch_cm = 0;
    CLI::App* device =
        app.add_subcommand("validation-device", "write a device file for the validation exposures");
    device->add_option("--name", device_name, "device name")->required();
    device->add_option("--cu", copper_mm, "added copper, mm")->check(CLI::NonNegativeNumber);
    device->add_option("--couch-thickness", couch_cm, "couch-equivalent thickness, cm")
        ->required()
        ->check(CLI::Range(0.0, 10.0));
    device->add_option("--workdir", device_folder, "working folder (default data)");
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
            std::cout << korvex::refdata::WriteValidationDevice(device_folder, device_name,
                                                                copper_mm, couch_cm)
                      << "\n";
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
