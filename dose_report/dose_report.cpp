#include "dose_report/dose_report.h"

namespace korvex {

std::string PlaneLabel(AcquisitionPlane plane) {
    switch (plane) {
        case AcquisitionPlane::Single:
            return "単一";
        case AcquisitionPlane::A:
            return "A";
        case AcquisitionPlane::B:
            return "B";
        case AcquisitionPlane::Unknown:
            break;
    }
    return "不明";
}

}  // namespace korvex
