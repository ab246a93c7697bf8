#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace korvex {

// The program keeps its texts in UTF-8; Qt wants QString. The one conversion each way.
inline QString ToQString(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string ToUtf8(const QString& text) {
    return text.toStdString();
}

}  // namespace korvex
