#include "tests/node/node_test_support.h"

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <fstream>
#include <stdexcept>

#include "tests/fixtures/dose_report_fixtures.h"

namespace korvex::node_test {

void WriteStudyObject(const std::filesystem::path& path, const std::string& study_uid,
                      const std::string& sop_uid, int first_event, int events,
                      const std::string& station) {
    fixtures::FixtureReport report;
    report.station_name = station;
    report.study_instance_uid = study_uid;
    report.sop_instance_uid = sop_uid;
    for (int i = 0; i < events; ++i) {
        report.events.push_back(fixtures::NumberedEvent(first_event + i));
    }
    fixtures::WriteDoseReportFile(path, report);
}

void WriteImageObject(const std::filesystem::path& path, const std::string& study_uid,
                      const std::string& sop_uid) {
    DcmFileFormat file;
    DcmDataset& data = *file.getDataset();
    data.putAndInsertString(DCM_SOPClassUID, UID_CTImageStorage);
    data.putAndInsertString(DCM_SOPInstanceUID, sop_uid.c_str());
    data.putAndInsertString(DCM_StudyInstanceUID, study_uid.c_str());
    data.putAndInsertString(DCM_SeriesInstanceUID, (study_uid + ".1").c_str());
    data.putAndInsertString(DCM_Modality, "CT");
    if (file.saveFile(OFFilename(path.c_str()), EXS_LittleEndianExplicit).bad()) {
        throw std::runtime_error("image fixture not written");
    }
}

std::string TestUid(int a, int b) {
    return "1.2.826.0.1.3680043.10.1417.9." + std::to_string(a) + "." + std::to_string(b);
}

std::vector<std::string> Lines(const std::filesystem::path& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

int Count(const std::vector<std::string>& lines, const std::string& text) {
    int count = 0;
    for (const std::string& line : lines) {
        count += line.find(text) != std::string::npos ? 1 : 0;
    }
    return count;
}

}  // namespace korvex::node_test
