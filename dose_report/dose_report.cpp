#include "dose_report/dose_report.h"

namespace korvex {
namespace {

struct PlaneNames {
    const char* label;  // for the user
    const char* word;   // for scripts
};

PlaneNames NamesOf(AcquisitionPlane plane) {
    switch (plane) {
        case AcquisitionPlane::Single:
            return {"単一", "Single"};
        case AcquisitionPlane::A:
            return {"A", "A"};
        case AcquisitionPlane::B:
            return {"B", "B"};
        case AcquisitionPlane::Unknown:
            break;
    }
    return {"不明", "Unknown"};
}

}  // namespace

std::string PlaneLabel(AcquisitionPlane plane) {
    return NamesOf(plane).label;
}

std::string PlaneWord(AcquisitionPlane plane) {
    return NamesOf(plane).word;
}

}  // namespace korvex
