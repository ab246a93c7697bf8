#pragma once

// Reads a PDF back with poppler's pdftotext (package poppler-utils): its words with their
// boxes, so tests can check where the report's texts landed on the sheet.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QSizeF>
#include <QString>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "report/qt_text.h"

namespace korvex::testing {

constexpr double kPointMm = 25.4 / 72;

struct Word {
    double x_min, y_min, x_max, y_max;  // mm from the sheet's top-left corner
    QString text;
};

inline std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// The words of the PDF with their boxes, and the page size in mm.
inline std::vector<Word> Words(const std::filesystem::path& pdf, QSizeF* page_mm = nullptr) {
    const std::filesystem::path html = pdf.string() + ".html";
    const std::string command = "pdftotext -bbox '" + pdf.string() + "' '" + html.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << "pdftotext (poppler-utils) is needed";
    const QString text = ToQString(ReadAll(html));
    const QRegularExpression page(R"re(<page width="([\d.]+)" height="([\d.]+)")re");
    if (const auto match = page.match(text); match.hasMatch() && page_mm) {
        *page_mm = {match.captured(1).toDouble() * kPointMm,
                    match.captured(2).toDouble() * kPointMm};
    }
    const QRegularExpression word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    std::vector<Word> words;
    for (auto it = word.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        words.push_back({match.captured(1).toDouble() * kPointMm,
                         match.captured(2).toDouble() * kPointMm,
                         match.captured(3).toDouble() * kPointMm,
                         match.captured(4).toDouble() * kPointMm, match.captured(5)});
    }
    return words;
}

inline const Word* FindWord(const std::vector<Word>& words, const char* text, int occurrence = 0) {
    for (const Word& word : words) {
        if (word.text == QString::fromUtf8(text) && occurrence-- == 0) {
            return &word;
        }
    }
    return nullptr;
}

}  // namespace korvex::testing
