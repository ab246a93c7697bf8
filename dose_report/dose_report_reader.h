#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "dose_report/dose_report.h"

namespace korvex {

// Larger files are refused before DCMTK reads them: a dose report of even thousands of
// events stays far below this.
inline constexpr std::uintmax_t kMaxDoseReportBytes = 64u * 1024u * 1024u;

// Reads an X-ray radiation dose SR (PS3.16 TID 10001: a root container 113701 with
// irradiation events 113706 and accumulated totals 113702). Reads leniently: the content
// tree is walked as it is, every concept is matched by its code value, and whatever is
// present but cannot be used is kept with its reason (in the value, the event's notes or
// the report's notes), so that no event is dropped without a word. Throws DoseReportError
// with the user's message when the file is missing, is no DICOM file, is too large or
// holds no X-ray radiation dose report.
DoseReport ReadDoseReport(const std::filesystem::path& path);

// The header values that group files by study, read without the content tree (the parse
// stops at the Series Instance UID), so that thousands of files are sorted quickly.
struct DoseReportIdentity {
    std::string study_instance_uid;
    std::string sop_instance_uid;
    std::string study_date;
    std::string sop_class_uid;
};
// Throws DoseReportError as ReadDoseReport does for a missing, too large or non-DICOM file.
DoseReportIdentity ReadDoseReportIdentity(const std::filesystem::path& path);

}  // namespace korvex
