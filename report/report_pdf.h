#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "report/print_surface.h"

namespace korvex {

// The page `draw` draws as an A4 PDF (landscape unless the drawing sets the orientation)
// with its fonts embedded and `title` in its information. Needs a QGuiApplication (fonts);
// throws FileError when the page cannot be drawn.
std::string PdfDocument(std::string_view title, const PageDrawing& draw);

// Writes PdfDocument to a temporary file beside `path` and renames it into place, so an
// existing file survives a failed write. Throws FileError naming the file.
void WritePdfDocument(const std::filesystem::path& path, std::string_view title,
                      const PageDrawing& draw);

}  // namespace korvex
