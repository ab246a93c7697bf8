#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/json_output.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"

namespace korvex::cli {

// A synthetic working folder with the typical device; runs the tool in this process and
// keeps what it printed.
class CliTest : public ::testing::Test {
  protected:
    explicit CliTest(const fixtures::WorkdirOptions& options = {}) {
        fixtures::WriteSyntheticWorkdir(folder_.path(), options);
        fixtures::WriteTypicalDevice(folder_.path());
    }

    int Run(std::vector<std::string> args) {
        args.push_back("--workdir");
        args.push_back(folder_.path().string());
        out_.str({});
        err_.str({});
        return RunCommandLine(args, "/nowhere/korvex2-cli", out_, err_);
    }

    Json Output() const { return Json::parse(out_.str()); }

    fixtures::TempFolder folder_;
    std::ostringstream out_;
    std::ostringstream err_;
};

}  // namespace korvex::cli
