#include "cli/report_output.h"
#include "settings/user_name.h"

namespace korvex::cli {

std::string RegisteredUserName(const std::filesystem::path& working_folder) {
    return ReadUserName(working_folder).value_or(std::string());
}

}  // namespace korvex::cli
