#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "report/print_surface.h"

class QPagedPaintDevice;

namespace korvex {

// A document that paints its own pages with a QPainter on a printer or a PDF writer,
// calling newPage() between them; false when the device could not be painted on. May run
// several times (every repaint of a preview).
using PagedDrawing = std::function<bool(QPagedPaintDevice&)>;

// The page `draw` draws as an A4 PDF (landscape unless the drawing sets the orientation)
// with its fonts embedded and `title` in its information. Needs a QGuiApplication (fonts);
// throws FileError when the page cannot be drawn.
std::string PdfDocument(std::string_view title, const PageDrawing& draw);

// Writes PdfDocument to a temporary file beside `path` and renames it into place, so an
// existing file survives a failed write. Throws FileError naming the file.
void WritePdfDocument(const std::filesystem::path& path, std::string_view title,
                      const PageDrawing& draw);

// The pages `draw` paints as an A4 portrait PDF with its fonts embedded and `title` in its
// information. Needs a QGuiApplication (fonts); throws FileError when they cannot be drawn.
std::string PagedPdfDocument(std::string_view title, const PagedDrawing& draw);

// PagedPdfDocument written atomically, as WritePdfDocument. Throws FileError naming the file.
void WritePagedPdfDocument(const std::filesystem::path& path, std::string_view title,
                           const PagedDrawing& draw);

}  // namespace korvex
