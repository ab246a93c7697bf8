#pragma once

// The content tree of a structured report as dcmdata holds it. Only the reader's own files
// include this header: it brings DCMTK's headers, which stay out of the library's
// interface.

// DCMTK's configuration header comes before its other headers.
#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcitem.h>
#include <dcmtk/dcmsr/codes/dcm.h>

#include <functional>
#include <string>
#include <vector>

#include "dose_report/report_values.h"

namespace korvex {

// Deeper nesting than any template of PS3.16 needs is not followed (a damaged file could
// otherwise nest without end).
inline constexpr int kMaxContentDepth = 32;

// Concept code values, from DCMTK's constants of the DCM coding scheme.
struct ConceptCodes {
    static std::string Of(const DSRBasicCodedEntry& code) { return code.CodeValue.c_str(); }

    std::string report = Of(CODE_DCM_XRayRadiationDoseReport);
    std::string event = Of(CODE_DCM_IrradiationEventXRayData);
    std::string accumulated = Of(CODE_DCM_AccumulatedXRayDoseData);
    std::string ct_acquisition = Of(CODE_DCM_CTAcquisition);
    std::string event_uid = Of(CODE_DCM_IrradiationEventUID);
    std::string started = Of(CODE_DCM_DateTimeStarted);
    std::string event_type = Of(CODE_DCM_IrradiationEventType);
    std::string plane = Of(CODE_DCM_AcquisitionPlane);
    std::string kvp = Of(CODE_DCM_KVP);
    std::string dose_rp = Of(CODE_DCM_Dose_RP);
    std::string dap = Of(CODE_DCM_DoseAreaProduct);
    std::string filters = Of(CODE_DCM_XRayFilters);
    std::string filter_type = Of(CODE_DCM_XRayFilterType);
    std::string no_filter = Of(CODE_DCM_NoFilter);
    std::string filter_material = Of(CODE_DCM_XRayFilterMaterial);
    std::string thickness_min = Of(CODE_DCM_XRayFilterThicknessMinimum);
    std::string thickness_max = Of(CODE_DCM_XRayFilterThicknessMaximum);
    std::string primary_angle = Of(CODE_DCM_PositionerPrimaryAngle);
    std::string secondary_angle = Of(CODE_DCM_PositionerSecondaryAngle);
    std::string source_isocentre = Of(CODE_DCM_DistanceSourceToIsocenter);
    std::string source_reference = Of(CODE_DCM_DistanceSourceToReferencePoint);
    std::string field_area = Of(CODE_DCM_CollimatedFieldArea);
    std::string field_width = Of(CODE_DCM_CollimatedFieldWidth);
    std::string field_height = Of(CODE_DCM_CollimatedFieldHeight);
    std::string source_detector = Of(CODE_DCM_DistanceSourceToDetector);
    std::string table_longitudinal = Of(CODE_DCM_TableLongitudinalPosition);
    std::string table_lateral = Of(CODE_DCM_TableLateralPosition);
    std::string table_height = Of(CODE_DCM_TableHeightPosition);
    std::string table_relationship = Of(CODE_DCM_PatientTableRelationship);
    std::string orientation = Of(CODE_DCM_PatientOrientation);
    std::string orientation_modifier = Of(CODE_DCM_PatientOrientationModifier);
    // LOINC's Body height and Body weight, as TID 10001's patient characteristics give them.
    std::string patient_height = "8302-2";
    std::string patient_weight = "29463-7";
    std::string reference_point = Of(CODE_DCM_ReferencePointDefinition);
    std::string dap_total = Of(CODE_DCM_DoseAreaProductTotal);
    std::string dose_rp_total = Of(CODE_DCM_Dose_RP_Total);
    std::string plane_a = Of(CODE_DCM_PlaneA);
    std::string plane_b = Of(CODE_DCM_PlaneB);
    std::string single_plane = Of(CODE_DCM_SinglePlane);
    std::string stationary = Of(CODE_DCM_StationaryAcquisition_113611);
    std::string stepping = Of(CODE_DCM_SteppingAcquisition);
    std::string rotational = Of(CODE_DCM_RotationalAcquisition);
};
const ConceptCodes& Codes();

// Fluoroscopy as an event type (SRT, SCT); filter materials under any scheme designator.
bool IsFluoroscopy(const std::string& code);
bool IsCopper(const std::string& code);
bool IsAluminium(const std::string& code);

// The element's whole value as stored (all values, backslashes kept), no conversion; empty
// when absent.
std::string Raw(DcmItem& item, const DcmTagKey& tag);

struct Code {
    std::string value;
    std::string meaning;  // raw bytes in the data set's character set
};

// The first item of a code sequence: its code value (short, long or URN) and meaning.
Code ReadCode(DcmItem& item, const DcmTagKey& sequence);

// A NUM content item: the Numeric Value's numbers (the binary Floating Point Value where
// the text is empty), its unit and its qualifier, decoded with the data set's character
// set.
NumericItem ReadNumeric(DcmItem& item, const std::vector<std::string>& charset);

// Visits the content items below `container`, depth first. `take` returns true for an item
// it has consumed; containers it leaves are entered, down to kMaxContentDepth, and
// `too_deep` is set where a deeper one is not.
using ItemVisitor = std::function<bool(DcmItem& item, const std::string& value_type,
                                       const Code& concept_name, int depth)>;
void Visit(DcmItem& container, int depth, bool& too_deep, const ItemVisitor& take);

// DCMTK's own warnings would go to the console; the reader reports what matters itself.
void SilenceDcmtkLog();

}  // namespace korvex
