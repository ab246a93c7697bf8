// korvex-refdata: makes the reference data of the bundled working folder.
//
//   korvex-refdata [--output DIR] [--threads N] [--seed S] [--histories N] [--batches B]
//                  [--tables-only] [--report FILE]
//       the whole reference part of a working folder (default DIR: data)
//   korvex-refdata --phantom water --energies 49.35,83 --output DIR [...]
//       a backscatter kernel table for the listed energies only (validation)
//   korvex-refdata --check DIR
//       what the engine makes of the working folder DIR

#include <exception>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/text_rules.h"
#include "tools/refdata/generator.h"

namespace {

constexpr const char* kUsage =
    "usage: korvex-refdata [--output DIR] [--phantom tissue|water] [--energies E1,E2,...]\n"
    "                      [--histories N] [--batches B] [--threads N] [--seed S]\n"
    "                      [--tables-only] [--report FILE]\n"
    "       korvex-refdata --check DIR\n";

double PositiveNumber(const std::string& text, const std::string& option) {
    const auto value = korvex::ParseDecimal(text);
    if (!value || !(*value > 0)) {
        throw std::invalid_argument(option + " needs a positive number, not \"" + text + "\"");
    }
    return *value;
}

std::int64_t PositiveWhole(const std::string& text, const std::string& option) {
    const double value = PositiveNumber(text, option);
    if (value != static_cast<double>(static_cast<std::int64_t>(value))) {
        throw std::invalid_argument(option + " needs a whole number, not \"" + text + "\"");
    }
    return static_cast<std::int64_t>(value);
}

std::vector<double> EnergyList(const std::string& text) {
    std::vector<double> energies;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = text.find(',', start);
        const std::size_t end = comma == std::string::npos ? text.size() : comma;
        energies.push_back(PositiveNumber(text.substr(start, end - start), "--energies"));
        start = end + 1;
    }
    return energies;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        korvex::refdata::GeneratorOptions options;
        std::string check_folder;
        const std::vector<std::string> args(argv + 1, argv + argc);
        options.command_line = "korvex-refdata";
        for (const std::string& arg : args) {
            options.command_line += " " + arg;
        }
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& arg = args[i];
            auto value = [&]() -> const std::string& {
                if (i + 1 >= args.size()) {
                    throw std::invalid_argument(arg + " needs a value");
                }
                return args[++i];
            };
            if (arg == "--output") {
                options.output = value();
            } else if (arg == "--phantom") {
                options.phantom = value();
            } else if (arg == "--energies") {
                options.energies = EnergyList(value());
            } else if (arg == "--histories") {
                options.histories = PositiveWhole(value(), arg);
            } else if (arg == "--batches") {
                options.batches = static_cast<int>(PositiveWhole(value(), arg));
            } else if (arg == "--threads") {
                options.threads = static_cast<int>(PositiveWhole(value(), arg));
            } else if (arg == "--seed") {
                options.seed = static_cast<std::uint64_t>(PositiveWhole(value(), arg));
            } else if (arg == "--tables-only") {
                options.tables_only = true;
            } else if (arg == "--report") {
                options.report = value();
            } else if (arg == "--check") {
                check_folder = value();
            } else if (arg == "--help" || arg == "-h") {
                std::cout << kUsage;
                return 0;
            } else {
                throw std::invalid_argument("unknown argument \"" + arg + "\"");
            }
        }
        if (!check_folder.empty()) {
            korvex::refdata::RunEngineCheck(check_folder, std::cout);
        } else {
            korvex::refdata::RunGenerator(options, std::cout);
        }
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "korvex-refdata: " << error.what() << "\n" << kUsage;
        return 1;
    }
}
