#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "cli/json_output.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"

namespace korvex::cli {

// The user's language for the tool while it lives: every variable the language rule reads
// (settings/user_language.h) is cleared and the ones given are set; then the environment
// as it was. One locale alone is LC_ALL.
class ScopedLanguage {
  public:
    using Variables = std::initializer_list<std::pair<const char*, const char*>>;

    explicit ScopedLanguage(const char* locale) : ScopedLanguage(Variables{{"LC_ALL", locale}}) {}
    explicit ScopedLanguage(Variables variables) {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(name);
        }
        for (const auto& [name, value] : variables) {
            setenv(name, value, 1);
        }
    }
    ~ScopedLanguage() {
        for (size_t i = 0; i < std::size(kNames); ++i) {
            if (saved_[i]) {
                setenv(kNames[i], saved_[i]->c_str(), 1);
            } else {
                unsetenv(kNames[i]);
            }
        }
    }
    ScopedLanguage(const ScopedLanguage&) = delete;
    ScopedLanguage& operator=(const ScopedLanguage&) = delete;

  private:
    static constexpr const char* kNames[] = {"LC_ALL", "LC_MESSAGES", "LANG", "LANGUAGE",
                                             "KORVEX2_LANGUAGE"};
    std::vector<std::optional<std::string>> saved_;
};

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
