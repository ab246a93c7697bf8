#pragma once

#include <filesystem>
#include <string>

namespace korvex {

// What a file given to the program (`korvex2 FILE...`, a double-click in the file manager)
// is, and so which window opens it.
enum class GivenFileKind {
    Device,      // ".kvx2" or ".kvx": added to the working folder and chosen
    Results,     // ".csv": a results table, read into the results window
    DoseReport,  // a DICOM file (".dcm", or a DICOM start): the dose-report window
    Unusable,    // missing, no regular file or unreadable: `reason` says which
    Unknown,     // none of the above
};

struct GivenFile {
    GivenFileKind kind = GivenFileKind::Unknown;
    std::string reason;  // for Unusable: the reader's message, naming the file
};

// Tells the kind from the name's extension (in any case) and, for other names, from the
// start of the file: a DICOM file with its 128-byte preamble and "DICM", or a data set
// written without them (its first element in group 0002 or 0008), as exports do.
GivenFile ClassifyGivenFile(const std::filesystem::path& path);

}  // namespace korvex
