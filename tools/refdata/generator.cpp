#include "tools/refdata/generator.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <numbers>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>

#include "engine/backscatter.h"
#include "engine/beam_quality.h"
#include "engine/depth_dose.h"
#include "engine/engine_state.h"
#include "engine/reference_tables.h"
#include "engine/spectrum.h"
#include "engine/text_file.h"
#include "engine/text_rules.h"
#include "tools/refdata/cross_sections.h"
#include "tools/refdata/kernel_simulation.h"
#include "tools/refdata/material_files.h"
#include "tools/refdata/materials.h"
#include "tools/refdata/photon_tables.h"
#include "tools/refdata/reference_writer.h"
#include "tools/refdata/xraylib_access.h"

namespace korvex::refdata {
namespace {

constexpr double kCutoffEnergy = 1.0;  // keV: photons below are absorbed where they are
constexpr double kMaterialTolerance = 0.002;
constexpr int kMaterialMaxRows = 100;

// Mass energy-absorption coefficients of dry air, cm^2/g (Hubbell & Seltzer, NIST
// Standard Reference Database 126).
constexpr std::array<std::pair<double, double>, 10> kNistAir{{{10, 4.742},
                                                              {15, 1.334},
                                                              {20, 0.5389},
                                                              {30, 0.1537},
                                                              {40, 0.06833},
                                                              {50, 0.04098},
                                                              {60, 0.03041},
                                                              {80, 0.02407},
                                                              {100, 0.02325},
                                                              {150, 0.02496}}};

// Writes to the log as it goes and keeps the lines for the report file.
class Reporter {
  public:
    explicit Reporter(std::ostream& log) : log_(log) {}
    void Line(const std::string& text) {
        log_ << text << '\n';
        log_.flush();
        lines_.push_back(text);
    }
    void Save(const std::filesystem::path& path) const {
        if (path.empty()) {
            return;
        }
        std::string text;
        for (const std::string& line : lines_) {
            text += line + "\n";
        }
        WriteFileAtomically(path, text, path.filename().string());
    }

  private:
    std::ostream& log_;
    std::vector<std::string> lines_;
};

std::string Fixed(double value, const char* pattern) {
    return FormatNumber(value, pattern);
}

std::string Percent(double fraction) {
    return FormatNumber(100.0 * fraction, "0.000") + " %";
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string KevName(double energy) {
    return ShortestNumberText(energy);
}

void WriteCrossSectionFiles(const std::filesystem::path& folder, Reporter& report) {
    const Material tungsten = Tungsten();
    const Material aluminium = Aluminium();
    const Material copper = Copper();
    const Material air = DryAir();
    const Material tissue = IcruSoftTissue();

    std::vector<AttenuationRow> rows;
    for (int i = 1; i <= kFineGridSize; ++i) {
        const double e = 0.5 * i;
        rows.push_back({e, LinearAttenuation(tungsten, e), LinearAttenuation(aluminium, e),
                        LinearAttenuation(copper, e), MassEnergyAbsorption(air, e),
                        MassEnergyAbsorption(tissue, e), LinearAttenuation(tissue, e)});
    }
    WriteAttenuationFile(folder / kAttenuationFile, rows);
    report.Line("wrote " + std::string(kAttenuationFile) + " (300 rows, 0.5 .. 150 keV)");

    std::vector<double> energies;
    std::vector<double> primary;
    for (int k = 2; k <= 30; ++k) {
        const double e = 5.0 * k;
        energies.push_back(e);
        primary.push_back(e * MassEnergyAbsorption(tissue, e));
    }
    WritePrimaryFile(folder / kPrimaryFile, energies, primary,
                     {"P0(E) = E * muen/rho of ICRU-44 soft tissue (keV cm2/g), E in keV",
                      "korvex-refdata, xraylib " + xrl::Version()});
    report.Line("wrote " + std::string(kPrimaryFile) + " (29 pairs, 2 provenance lines)");

    report.Line("");
    report.Line("mu_en/rho of dry air against NIST (Hubbell & Seltzer), cm2/g:");
    report.Line("  E keV   NIST      here      dev       free-electron transfer  dev");
    for (const auto& [e, nist] : kNistAir) {
        const double here = MassEnergyAbsorption(air, e);
        const double free = MassEnergyAbsorptionFreeElectron(air, e);
        report.Line("  " + Fixed(e, "##0") + "     " + Fixed(nist, "0.00000") + "   " +
                    Fixed(here, "0.00000") + "   " + Percent(here / nist - 1) + "   " +
                    Fixed(free, "0.00000") + "   " + Percent(free / nist - 1));
    }

    report.Line("");
    report.Line("filter material files (rows, largest interpolation error at whole keV 1..150):");
    for (const FilterMaterialFile& material_file : FilterMaterials()) {
        const MaterialTable table =
            MaterialFileRows(material_file.material, kMaterialTolerance, kMaterialMaxRows);
        WriteMaterialFile(folder / material_file.file_name, material_file, table);
        report.Line("  " + material_file.file_name + ": " + std::to_string(table.rows.size()) +
                    " rows, " + Percent(table.max_relative_error));
    }
}

struct KernelRun {
    SimulationResult result;
    double seconds = 0;
};

KernelRun RunEnergy(const PhotonTables& tables, double energy, const GeneratorOptions& options,
                    int threads) {
    SimulationSettings settings;
    settings.energy_kev = energy;
    const std::int64_t histories =
        options.histories > 0 ? options.histories : PlannedHistories(energy);
    settings.batches = options.batches;
    settings.histories_per_batch = std::max<std::int64_t>(1, histories / options.batches);
    settings.seed = options.seed;
    settings.threads = threads;
    const auto start = std::chrono::steady_clock::now();
    KernelRun run{SimulateKernels(tables, settings), 0};
    run.seconds = Seconds(start);
    return run;
}

struct RunStatistics {
    double energy = 0;
    Estimate backscatter_30;  // backscatter factor of a 30 x 30 cm2 field at 100 cm
    Estimate layer1_scatter;  // on-axis scatter in layer 1 from the 80-ring field, keV cm2/g
};

// Statistics of one energy: the backscatter factor of a 30 x 30 cm2 field at 100 cm and
// the layer-1 scatter total of the 80-ring field, each with its relative standard
// uncertainty from the batches, and the energy balance of all histories.
RunStatistics ReportRun(const PhotonTables& tables, const KernelRun& run, bool with_depth,
                        Reporter& report) {
    RunStatistics stats;
    stats.energy = run.result.energy_kev;
    const double e = run.result.energy_kev;
    const double kerma_factor = tables.KermaFactor(e);
    const double density = tables.Phantom().density;
    stats.backscatter_30 = BatchEstimate(run.result, [&](const KernelTally& t) {
        return SquareBackscatterFactor(BackscatterKernel(t, kerma_factor), 30, 100);
    });
    std::string line = "  " + Fixed(e, "##0.0#") + " keV  " +
                       std::to_string(run.result.total.histories) + " histories  " +
                       Fixed(run.seconds, "0.0") + " s  BSF(30x30) " +
                       Fixed(stats.backscatter_30.mean, "0.0000") + " +- " +
                       Percent(stats.backscatter_30.Relative());
    if (with_depth) {
        stats.layer1_scatter = BatchEstimate(run.result, [&](const KernelTally& t) {
            const std::vector<double> kernel = ScatterKernel(t, density);
            double sum = 0.0;
            for (int k = 0; k < kScatterRings; ++k) {
                sum += kernel[static_cast<std::size_t>(k)];
            }
            return sum;
        });
        line += "  layer-1 scatter " + DataNumber(stats.layer1_scatter.mean, 5) + " keV cm2/g +- " +
                Percent(stats.layer1_scatter.Relative());
    }
    const double incident = e * static_cast<double>(run.result.total.histories);
    line +=
        "  energy balance " + DataNumber(run.result.total.AccountedEnergy() / incident - 1.0, 2);
    report.Line(line);
    return stats;
}

void ReportLargestUncertainties(const std::vector<RunStatistics>& runs, Reporter& report) {
    const RunStatistics* worst_bsf = nullptr;
    const RunStatistics* worst_layer = nullptr;
    for (const RunStatistics& run : runs) {
        if (run.energy < 20.0) {
            continue;
        }
        if (!worst_bsf || run.backscatter_30.Relative() > worst_bsf->backscatter_30.Relative()) {
            worst_bsf = &run;
        }
        if (!worst_layer ||
            run.layer1_scatter.Relative() > worst_layer->layer1_scatter.Relative()) {
            worst_layer = &run;
        }
    }
    if (worst_bsf && worst_layer) {
        report.Line("largest relative standard uncertainty from 20 keV up: BSF(30x30) " +
                    Percent(worst_bsf->backscatter_30.Relative()) + " (" +
                    KevName(worst_bsf->energy) + " keV), layer-1 scatter " +
                    Percent(worst_layer->layer1_scatter.Relative()) + " (" +
                    KevName(worst_layer->energy) + " keV)");
    }
}

std::string BackscatterHeader(const std::string& phantom, const std::vector<double>& energies,
                              const GeneratorOptions& options) {
    std::string header = "r(cm)";
    for (double e : energies) {
        // Appended piece by piece: GCC 12 at -O3 warns falsely on "," + std::string.
        header += ',';
        header += KevName(e);
        header += "keV";
    }
    header += "  dBSF per 0.1 cm ring: surface kerma of backscattered photons per primary kerma, " +
              phantom + " phantom and kerma; korvex-refdata, xraylib " + xrl::Version() +
              ", seed " + std::to_string(options.seed);
    return header;
}

void GenerateKernels(const GeneratorOptions& options, const Material& phantom,
                     const std::vector<double>& energies, bool reference_set, Reporter& report) {
    const int threads = options.threads > 0
                            ? options.threads
                            : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    const double highest = *std::max_element(energies.begin(), energies.end());
    const auto start = std::chrono::steady_clock::now();
    const PhotonTables tables(phantom, kCutoffEnergy, std::max(highest, kCutoffEnergy + 1.0));
    report.Line("");
    report.Line("Monte Carlo: " + phantom.name + " (" + DataNumber(phantom.density) +
                " g/cm3), photons followed down to " + KevName(kCutoffEnergy) + " keV, " +
                std::to_string(threads) + " threads, " + std::to_string(options.batches) +
                " batches, seed " + std::to_string(options.seed) + "; tables " +
                Fixed(Seconds(start), "0.0") + " s");

    std::vector<std::vector<double>> columns;
    std::vector<RunStatistics> statistics;
    for (double e : energies) {
        const KernelRun run = RunEnergy(tables, e, options, threads);
        const bool depth_file = reference_set && e >= 10.0;
        statistics.push_back(ReportRun(tables, run, depth_file, report));
        columns.push_back(BackscatterKernel(run.result.total, tables.KermaFactor(e)));
        if (depth_file) {
            std::filesystem::create_directories(options.output / "PDS-data");
            WriteScatterKernelFile(options.output / "PDS-data" / (KevName(e) + ".dat"),
                                   ScatterKernel(run.result.total, phantom.density));
        }
        if (!reference_set) {
            for (double diameter : {10.0, 20.0, 30.0}) {
                const double kf = tables.KermaFactor(e);
                const Estimate bsf = BatchEstimate(run.result, [&](const KernelTally& t) {
                    return CircleBackscatterFactor(BackscatterKernel(t, kf), diameter, 100);
                });
                report.Line("    circle " + Fixed(diameter, "0") + " cm at 100 cm: BSF " +
                            Fixed(bsf.mean, "0.0000") + " +- " + Percent(bsf.Relative()));
            }
        }
    }
    if (reference_set) {
        ReportLargestUncertainties(statistics, report);
    }
    const std::string name =
        reference_set ? std::string(kBackscatterKernelFile) : std::string("backscatter-kernel.dat");
    WriteBackscatterKernelFile(options.output / name,
                               BackscatterHeader(phantom.name, energies, options), columns);
    report.Line("wrote " + name + (reference_set ? " and PDS-data/10.dat .. 150.dat" : "") +
                "; Monte Carlo wall time " + Fixed(Seconds(start), "0.0") + " s");
}

// The engine's own depth factor at `depth_cm` for a square field of `side_cm` at
// `distance_cm`, from the kernel files just written; the reason when the step fails.
std::string EngineDepthFactorText(EngineState& state, double side_cm, double distance_cm,
                                  double depth_cm) {
    CalculationCase& c = state.calc;
    c.FieldShape = FieldShapeKind::Square;
    c.SurfaceFieldSizeA = side_cm;
    c.SurfaceFieldSizeB = side_cm;
    c.EffectiveSurfaceDistance = distance_cm;
    c.CouchDepth = depth_cm;
    const DepthStepResult result = ComputeDepthFactor(state);
    return result.succeeded ? Fixed(c.DepthFactor, "0.000") : "failed (" + result.reason + ")";
}

}  // namespace

std::int64_t PlannedHistories(double energy_kev) {
    // Below 10 keV nearly every photon is absorbed at its first interaction and the runs
    // take no time; there only the backscatter column is made.
    if (energy_kev < 10.0) {
        return 10'000'000;
    }
    return 40'000'000;
}

std::vector<double> BackscatterKernelEnergies() {
    std::vector<double> energies{1.0};
    for (int j = 2; j <= kKernelEnergyCount; ++j) {
        energies.push_back(5.0 * (j - 1));
    }
    return energies;
}

std::vector<double> ScatterKernelEnergies() {
    std::vector<double> energies;
    for (int e = 10; e <= 150; e += 5) {
        energies.push_back(e);
    }
    return energies;
}

void RunGenerator(const GeneratorOptions& options, std::ostream& log) {
    const auto start = std::chrono::steady_clock::now();
    const Material phantom = PhantomByName(options.phantom);
    const bool reference_set = options.energies.empty();
    if (reference_set && options.phantom != "tissue") {
        throw std::invalid_argument(
            "the reference files are for the soft-tissue phantom; "
            "give --energies for a " +
            options.phantom + " kernel");
    }
    if (options.batches < 2) {
        throw std::invalid_argument("at least 2 batches are needed for an uncertainty");
    }
    std::filesystem::create_directories(options.output);
    Reporter report(log);
    report.Line("korvex-refdata, xraylib " + xrl::Version() + ", output " +
                options.output.string());
    if (!options.command_line.empty()) {
        report.Line("command: " + options.command_line);
    }
    if (reference_set) {
        WriteCrossSectionFiles(options.output, report);
        if (!options.tables_only) {
            GenerateKernels(options, phantom, BackscatterKernelEnergies(), true, report);
        }
    } else {
        GenerateKernels(options, phantom, options.energies, false, report);
    }
    report.Line("");
    report.Line("total wall time " + Fixed(Seconds(start), "0.0") + " s");
    report.Save(options.report);
}

void RunEngineCheck(const std::filesystem::path& folder, std::ostream& log) {
    EngineState state(LoadReferenceTables(folder), folder);
    state.calc.TargetAngle = 12;
    state.calc.FocusReceptorDistance = 120;
    log << "engine on " << folder.string() << " (anode angle 12 degrees)\n";
    for (double filtration_mm : {2.5, 3.0}) {
        for (double v : {60.0, 70.0, 80.0, 100.0, 120.0}) {
            state.calc.InherentFiltration = 0.1 * filtration_mm;
            state.calc.TubeVoltage = v;
            ComputeSpectrum(state, v);
            log << "  " << Fixed(v, "0") << " kV, " << Fixed(filtration_mm, "0.0") << " mm Al: HVL "
                << Fixed(ComputeBeamQuality(state, v).half_value_layer_mm, "0.00")
                << " mm Al, dose-to-kerma ratio " << Fixed(state.calc.DoseToKermaRatio, "0.0000")
                << ", BSF at 100 cm";
            for (double side : {10.0, 20.0, 30.0}) {
                state.calc.FieldShape = FieldShapeKind::Square;
                state.calc.SurfaceFieldSizeA = side;
                state.calc.SurfaceFieldSizeB = side;
                state.calc.EffectiveSurfaceDistance = 100;
                ComputeBackscatterFactor(state);
                log << " " << Fixed(side, "0") << "x" << Fixed(side, "0") << ": "
                    << Fixed(state.calc.MeanBackscatterFactor, "0.000");
            }
            log << ", depth factor at 1 cm (20x20) " << EngineDepthFactorText(state, 20, 100, 1.0)
                << "\n";
        }
    }
}

}  // namespace korvex::refdata
