#include "cli/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace korvex::cli {

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
    return out;
}

std::string JsonNumber(double value) {
    if (!std::isfinite(value)) {
        throw std::invalid_argument("JSON has no non-finite numbers");
    }
    char buffer[64];
    auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 17);
    if (error != std::errc()) {
        throw std::invalid_argument("number cannot be written");
    }
    return std::string(buffer, end);
}

void JsonObject::Key(std::string_view key) {
    if (!body_.empty()) {
        body_ += ", ";
    }
    body_ += JsonString(key);
    body_ += ": ";
}

JsonObject& JsonObject::Number(std::string_view key, double value) {
    Key(key);
    body_ += JsonNumber(value);
    return *this;
}

JsonObject& JsonObject::Text(std::string_view key, std::string_view value) {
    Key(key);
    body_ += JsonString(value);
    return *this;
}

JsonObject& JsonObject::Object(std::string_view key, const JsonObject& value) {
    Key(key);
    body_ += value.Serialise();
    return *this;
}

JsonObject& JsonObject::TextArray(std::string_view key, const std::vector<std::string>& values) {
    Key(key);
    body_ += '[';
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0) {
            body_ += ", ";
        }
        body_ += JsonString(values[i]);
    }
    body_ += ']';
    return *this;
}

std::string JsonObject::Serialise() const {
    return "{" + body_ + "}";
}

}  // namespace korvex::cli
