#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvex::cli {

// A small JSON object writer: members in the order they are added, numbers with 17
// significant digits (they read back to the same double), texts as UTF-8 with the
// required escapes. Non-finite numbers are refused: JSON has no NaN or infinity.
class JsonObject {
  public:
    JsonObject& Number(std::string_view key, double value);
    JsonObject& Text(std::string_view key, std::string_view value);
    JsonObject& Object(std::string_view key, const JsonObject& value);
    JsonObject& TextArray(std::string_view key, const std::vector<std::string>& values);

    std::string Serialise() const;

  private:
    void Key(std::string_view key);
    std::string body_;
};

std::string JsonString(std::string_view text);
std::string JsonNumber(double value);

}  // namespace korvex::cli
