#pragma once

#include <string>
#include <vector>

#include "engine/couch_model.h"
#include "engine/dose_model.h"
#include "engine/dose_uncertainty.h"

namespace korvex {

// The patient entrance reference point lies this far from the isocentre towards the focus,
// cm (IEC 60601-2-43); the field size and the default focus-skin distance refer to it.
inline constexpr double kReferencePointOffset = 15;

enum class FieldShapeKind { Unset = 0, Square = 1, Circle = 2 };

// Every scalar that one calculation reads or sets. Distances and thicknesses in cm
// (filter thicknesses are mm only in files and on screen), energies in keV, tube
// voltage in kV, doses in mGy, kerma-area products in Gy*cm^2, angles in degrees.
// Members no calculation has set yet read as 0 or empty text.
struct CalculationCase {
    // Device data, from a device file or the device dialog.
    double TargetAngle = 0;               // anode angle, degrees
    double InherentFiltration = 0;        // aluminium equivalent, cm
    double AddedAluminium = 0;            // cm
    double AddedCopper = 0;               // cm
    int ArbitraryFilterOn = 0;            // 1 when a filter of a chosen material is present
    std::string ArbitraryFilterMaterial;  // material file name without ".ele"
    double ArbitraryFilterThickness = 0;  // cm
    double FocusReceptorDistance = 0;     // focus to image receptor, cm
    double FocusIsocentreDistance = 0;    // focus to isocentre, cm
    double CouchTransmission = 0;         // primary transmission of the couch
    double KermaCorrectionFactor = 0;     // applied to the displayed Ka,r and P_KA
    double CouchEquivalentThickness = 0;  // phantom thickness equivalent to the couch, cm
    CouchModel Couch = kDefaultCouchModel;
    double MattressThickness = 0;  // table-top model: mattress between table top and skin, cm

    // Exposure conditions from the main window.
    double TubeVoltage = 0;        // kV
    double FocusSkinDistance = 0;  // focus to entrance surface as entered, cm
    double DisplayedKar = 0;       // Ka,r shown by the device, mGy
    double DisplayedPka = 0;       // P_KA shown by the device, Gy*cm^2
    FieldShapeKind FieldShape = FieldShapeKind::Unset;
    double ReferenceFieldSize = 0;        // side or diameter at the reference point, cm (as shown)
    std::string BodySite;                 // body-site text, "---" when none was given
    DoseModel Model = kDefaultDoseModel;  // the formula the calculation uses; the steps read it

    // Intermediate values and results of the last calculation.
    double EffectiveSurfaceDistance = 0;  // FocusSkinDistance - CouchEquivalentThickness, cm
    double SurfaceFieldSizeA = 0;         // field size at the effective surface, cm
    double SurfaceFieldSizeB = 0;         // cm
    double FieldHalfLong = 0;             // working half side or radius, cm
    double FieldHalfShort = 0;            // cm
    double CorrectedKar = 0;              // mGy
    double CorrectedPka = 0;              // Gy*cm^2
    // Primary air kerma at the entrance surface behind the couch, mGy: at the skin's own
    // distance in the validated model, the corrected Ka,r times T in the legacy one.
    double PrimaryAirKerma = 0;
    double DoseToKermaRatio = 0;       // primary tissue dose / air kerma
    double HalfValueLayer = 0;         // first HVL of the beam, mm Al (engine/beam_quality.h)
    double MeanEnergy = 0;             // mean photon energy of the beam, keV
    double MeanBackscatterFactor = 0;  // weighted by the tissue-dose spectrum
    double CouchDepth = 0;             // copy of CouchEquivalentThickness, cm
    // Dose at the couch depth as a fraction of the dose at the phantom surface (validated)
    // or in the first 0.5 cm layer (legacy).
    double DepthFactor = 0;
    double LayerSurfaceDose = 0;          // dose at the surface of the couch layer, mGy
    double SkinDose = 0;                  // entrance-surface skin absorbed dose, mGy
    double PrimarySurfaceDose = 0;        // DoseToKermaRatio * PrimaryAirKerma, mGy
    double ForwardBackscatterFactor = 0;  // SkinDose / PrimarySurfaceDose
    // Table-top model: the couch-scatter-to-primary ratio at the skin's centre (S_c) and the
    // beam's transmission through table top and mattress (T_n); 0 otherwise.
    double CouchScatterRatio = 0;
    double TableTopTransmission = 0;
    // The axes of the couch-scatter table beyond which the case lay, so that S_c is the
    // table's edge there ("couch transmission" for a T above the table's): empty inside.
    std::vector<std::string> CouchScatterBeyondTable;
    // Relative expanded uncertainty (k = 2) of SkinDose and its parts; 0 and empty parts
    // when none is stated (the legacy formula).
    double SkinDoseUncertainty = 0;
    SkinDoseBudget UncertaintyBudget;
};

}  // namespace korvex
