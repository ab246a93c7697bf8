#include "dose_report/dose_report_reader.h"

#include "dose_report/sr_content.h"

// DCMTK's headers follow its configuration header, which sr_content.h includes first.
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcmetinf.h>

#include <system_error>

#include "dose_report/dicom_text.h"
#include "dose_report/report_values.h"
#include "engine/text_rules.h"
#include "engine/user_message.h"

namespace korvex {
namespace {

// A UID is padded to even length with a NUL, other texts with a blank.
constexpr std::string_view kUidPadding(" \0", 2);

// Which slot of the event's numbers a numeric concept fills; null for any other concept.
std::vector<NumericItem>* SlotOf(EventNumbers& numbers, const std::string& code) {
    const ConceptCodes& c = Codes();
    const std::pair<const std::string*, std::vector<NumericItem>*> slots[] = {
        {&c.kvp, &numbers.kvp},
        {&c.dose_rp, &numbers.kar},
        {&c.dap, &numbers.pka},
        {&c.primary_angle, &numbers.primary},
        {&c.secondary_angle, &numbers.secondary},
        {&c.source_isocentre, &numbers.source_isocentre},
        {&c.source_reference, &numbers.source_reference},
        {&c.field_area, &numbers.field_area},
        {&c.field_width, &numbers.field_width},
        {&c.field_height, &numbers.field_height},
        {&c.source_detector, &numbers.source_detector},
        {&c.table_longitudinal, &numbers.table_longitudinal},
        {&c.table_lateral, &numbers.table_lateral},
        {&c.table_height, &numbers.table_height},
    };
    for (const auto& [slot_code, slot] : slots) {
        if (*slot_code == code) {
            return slot;
        }
    }
    return nullptr;
}

class Reader {
  public:
    Reader(DcmDataset& dataset, DoseReport& report) : dataset_(dataset), report_(report) {}
    void Read();

  private:
    void ReadHeader();
    CodedText CodedValue(DcmItem& item);
    void ReadPatientSize(const std::vector<NumericItem>& heights,
                         const std::vector<NumericItem>& weights);
    IrradiationEvent ReadEvent(DcmItem& container, int number);
    FilterLayer ReadFilter(DcmItem& container, std::vector<EventNote>& notes);
    void ReadAccumulated(DcmItem& container);
    void ReadReferencePoint(DcmItem& item, const std::string& value_type);
    AcquisitionPlane PlaneOf(DcmItem& item, std::string& text);
    std::string Text(std::string_view bytes);

    DcmDataset& dataset_;
    DoseReport& report_;
    std::vector<std::string> charset_;
    bool escaped_text_ = false;
    bool too_deep_ = false;
};

std::string Reader::Text(std::string_view bytes) {
    if (std::optional<std::string> decoded = TryDecodeDicomText(bytes, charset_)) {
        return *decoded;
    }
    escaped_text_ = true;
    return DecodeDicomText(bytes, charset_);
}

void Reader::ReadHeader() {
    charset_ = CharacterSetTerms(Raw(dataset_, DCM_SpecificCharacterSet));
    report_.manufacturer = Text(Trimmed(Raw(dataset_, DCM_Manufacturer)));
    report_.model = Text(Trimmed(Raw(dataset_, DCM_ManufacturerModelName)));
    report_.station_name = Text(Trimmed(Raw(dataset_, DCM_StationName)));
    report_.study_date = EscapeBytes(Trimmed(Raw(dataset_, DCM_StudyDate)));
    report_.study_time = EscapeBytes(Trimmed(Raw(dataset_, DCM_StudyTime)));
    report_.patient_name = Text(Trimmed(Raw(dataset_, DCM_PatientName)));
    report_.patient_id = Text(Trimmed(Raw(dataset_, DCM_PatientID)));
    report_.study_instance_uid =
        EscapeBytes(Trimmed(Raw(dataset_, DCM_StudyInstanceUID), kUidPadding));
    report_.sop_instance_uid = EscapeBytes(Trimmed(Raw(dataset_, DCM_SOPInstanceUID), kUidPadding));
    report_.sop_class_uid = EscapeBytes(Trimmed(Raw(dataset_, DCM_SOPClassUID), kUidPadding));
}

CodedText Reader::CodedValue(DcmItem& item) {
    const Code code = ReadCode(item, DCM_ConceptCodeSequence);
    return {EscapeBytes(Trimmed(code.value)), Text(Trimmed(code.meaning))};
}

// A header number (DS) as a numeric item in `unit`; no item when the element is empty.
std::vector<NumericItem> HeaderNumber(DcmDataset& dataset, const DcmTagKey& tag,
                                      const std::string& unit) {
    const std::string text(Trimmed(Raw(dataset, tag)));
    if (text.empty()) {
        return {};
    }
    NumericItem item;
    item.unit = unit;
    item.text = EscapeBytes(text);
    if (const std::optional<double> value = ParseDecimal(text)) {
        item.values.push_back(*value);
    } else {
        item.unreadable = item.text;
    }
    return {item};
}

// The header's Patient's Size (m) and Weight (kg) first, the report's items where the header
// leaves them empty.
void Reader::ReadPatientSize(const std::vector<NumericItem>& heights,
                             const std::vector<NumericItem>& weights) {
    std::vector<NumericItem> header_height = HeaderNumber(dataset_, DCM_PatientSize, "m");
    std::vector<NumericItem> header_weight = HeaderNumber(dataset_, DCM_PatientWeight, "kg");
    report_.patient_height_cm =
        ReportLevelValue(header_height.empty() ? heights : header_height, ReportQuantity::Distance,
                         {"患者の身長", "Patient's height"}, report_.notes);
    report_.patient_weight_kg =
        ReportLevelValue(header_weight.empty() ? weights : header_weight, ReportQuantity::Mass,
                         {"患者の体重", "Patient's weight"}, report_.notes);
}

AcquisitionPlane Reader::PlaneOf(DcmItem& item, std::string& text) {
    const Code plane = ReadCode(item, DCM_ConceptCodeSequence);
    const ConceptCodes& c = Codes();
    if (plane.value == c.plane_a) {
        return AcquisitionPlane::A;
    }
    if (plane.value == c.plane_b) {
        return AcquisitionPlane::B;
    }
    if (plane.value == c.single_plane) {
        return AcquisitionPlane::Single;
    }
    text = Text(Trimmed(plane.meaning));
    return AcquisitionPlane::Unknown;
}

std::string EventTypeLabel(const Code& type, const std::string& meaning) {
    const ConceptCodes& c = Codes();
    if (IsFluoroscopy(type.value)) {
        return KORVEX_TRANSLATE_NOOP("korvex::Core", "透視");
    }
    if (type.value == c.stationary) {
        return KORVEX_TRANSLATE_NOOP("korvex::Core", "撮影");
    }
    if (type.value == c.stepping) {
        return KORVEX_TRANSLATE_NOOP("korvex::Core", "ステップ撮影");
    }
    if (type.value == c.rotational) {
        return KORVEX_TRANSLATE_NOOP("korvex::Core", "回転撮影");
    }
    return meaning.empty() ? EscapeBytes(type.value) : meaning;
}

IrradiationEvent Reader::ReadEvent(DcmItem& container, int number) {
    const ConceptCodes& c = Codes();
    IrradiationEvent event;
    event.number = number;
    EventNumbers numbers;
    Visit(container, 0, too_deep_,
          [&](DcmItem& item, const std::string& value_type, const Code& name, int) {
              if (value_type == "CONTAINER" && name.value == c.filters) {
                  event.has_filter_container = true;
                  event.filters.push_back(ReadFilter(item, event.notes));
              } else if (name.value == c.event_uid) {
                  event.uid = EscapeBytes(Trimmed(Raw(item, DCM_UID)));
              } else if (name.value == c.started) {
                  event.date_time = EscapeBytes(Trimmed(Raw(item, DCM_DateTime)));
              } else if (name.value == c.event_type) {
                  const Code type = ReadCode(item, DCM_ConceptCodeSequence);
                  event.event_type_code = EscapeBytes(type.value);
                  event.event_type = EventTypeLabel(type, Text(Trimmed(type.meaning)));
              } else if (name.value == c.plane) {
                  event.plane = PlaneOf(item, event.plane_text);
              } else if (name.value == c.table_relationship) {
                  event.patient_table_relationship = CodedValue(item);
              } else if (name.value == c.orientation) {
                  // Its modifier may be its child: the walk goes on below it.
                  event.patient_orientation = CodedValue(item);
                  return false;
              } else if (name.value == c.orientation_modifier) {
                  event.patient_orientation_modifier = CodedValue(item);
              } else if (std::vector<NumericItem>* slot = SlotOf(numbers, name.value)) {
                  slot->push_back(ReadNumeric(item, charset_));
              } else {
                  return false;
              }
              return true;
          });
    TakeEventValues(numbers, event);
    return event;
}

FilterLayer Reader::ReadFilter(DcmItem& container, std::vector<EventNote>& notes) {
    const ConceptCodes& c = Codes();
    FilterLayer layer;
    std::vector<NumericItem> minimum;
    std::vector<NumericItem> maximum;
    Visit(container, 0, too_deep_, [&](DcmItem& item, const std::string&, const Code& name, int) {
        if (name.value == c.filter_type) {
            layer.no_filter = ReadCode(item, DCM_ConceptCodeSequence).value == c.no_filter;
        } else if (name.value == c.filter_material) {
            const Code material = ReadCode(item, DCM_ConceptCodeSequence);
            layer.material_code = EscapeBytes(material.value);
            layer.material_name = Text(Trimmed(material.meaning));
            layer.material = IsCopper(material.value)      ? FilterMaterial::Copper
                             : IsAluminium(material.value) ? FilterMaterial::Aluminium
                                                           : FilterMaterial::Other;
        } else if (name.value == c.thickness_min) {
            minimum.push_back(ReadNumeric(item, charset_));
        } else if (name.value == c.thickness_max) {
            maximum.push_back(ReadNumeric(item, charset_));
        } else {
            return false;
        }
        return true;
    });
    layer.thickness_mm = FilterThickness(minimum, maximum, notes);
    return layer;
}

void Reader::ReadReferencePoint(DcmItem& item, const std::string& value_type) {
    std::string definition;
    if (value_type == "CODE") {
        const Code code = ReadCode(item, DCM_ConceptCodeSequence);
        // The meaning is the standard's English: its code follows in ASCII brackets.
        definition = Text(Trimmed(code.meaning)) + " (" + EscapeBytes(code.value) + ")";
    } else {
        definition = Text(Trimmed(Raw(item, DCM_TextValue)));
    }
    if (definition.empty()) {
        return;
    }
    std::string& known = report_.reference_point_definition;
    if (known.empty()) {
        known = definition;
    } else if (known.find(definition) == std::string::npos) {
        known += " / " + definition;
    }
}

void Reader::ReadAccumulated(DcmItem& container) {
    const ConceptCodes& c = Codes();
    AccumulatedTotals totals;
    std::string plane_text;
    std::vector<EventNote> notes;
    std::vector<NumericItem> pka;
    std::vector<NumericItem> kar;
    Visit(container, 0, too_deep_,
          [&](DcmItem& item, const std::string& value_type, const Code& name, int) {
              if (name.value == c.plane) {
                  totals.plane = PlaneOf(item, plane_text);
              } else if (name.value == c.dap_total) {
                  pka.push_back(ReadNumeric(item, charset_));
              } else if (name.value == c.dose_rp_total) {
                  kar.push_back(ReadNumeric(item, charset_));
              } else if (name.value == c.reference_point) {
                  ReadReferencePoint(item, value_type);
              } else {
                  return false;
              }
              return true;
          });
    totals.pka_gycm2 = FirstOf(pka, ReportQuantity::DoseAreaProduct, false, kDapTotalName, notes);
    totals.kar_mgy = FirstOf(kar, ReportQuantity::DoseRp, false, kDoseRpTotalName, notes);
    for (const EventNote& note : notes) {
        report_.notes.push_back("累積線量（" + PlaneLabel(totals.plane) +
                                "）: " + note.text.japanese);
    }
    report_.totals.push_back(totals);
}

void Reader::Read() {
    ReadHeader();
    const ConceptCodes& c = Codes();
    int event_count = 0;
    int ct_count = 0;
    std::vector<NumericItem> heights;
    std::vector<NumericItem> weights;
    Visit(dataset_, 0, too_deep_,
          [&](DcmItem& item, const std::string& value_type, const Code& name, int) {
              if (value_type == "CONTAINER" && name.value == c.event) {
                  report_.events.push_back(ReadEvent(item, ++event_count));
              } else if (value_type == "CONTAINER" && name.value == c.accumulated) {
                  ReadAccumulated(item);
              } else if (value_type == "CONTAINER" && name.value == c.ct_acquisition) {
                  ++ct_count;
              } else if (name.value == c.reference_point) {
                  ReadReferencePoint(item, value_type);
              } else if (value_type == "NUM" && name.value == c.patient_height) {
                  heights.push_back(ReadNumeric(item, charset_));
              } else if (value_type == "NUM" && name.value == c.patient_weight) {
                  weights.push_back(ReadNumeric(item, charset_));
              } else {
                  return false;
              }
              return true;
          });
    ReadPatientSize(heights, weights);
    if (report_.events.empty()) {
        report_.notes.push_back("照射イベントがありません。");
    }
    if (ct_count > 0) {
        report_.notes.push_back("CT の照射 " + std::to_string(ct_count) +
                                " 件は透視・撮影の照射ではないため計算しません。");
    }
    if (too_deep_) {
        report_.notes.push_back("入れ子が深すぎる部分（" + std::to_string(kMaxContentDepth) +
                                " 段を超える）は読んでいません。");
    }
    if (escaped_text_) {
        report_.notes.push_back("文字セットで読めない文字は \\xNN で示しています。");
    }
}

std::string FileLabel(const std::filesystem::path& path) {
    return path.filename().string();
}

void CheckFile(const std::filesystem::path& path) {
    const std::string label = FileLabel(path);
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status)) {
        throw DoseReportError("ファイル「" + label + "」が見つかりません。");
    }
    if (!std::filesystem::is_regular_file(status)) {
        throw DoseReportError("「" + label + "」はファイルではありません。");
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        throw DoseReportError("ファイル「" + label + "」を開けません。");
    }
    if (size > kMaxDoseReportBytes) {
        throw DoseReportError("ファイル「" + label + "」は線量レポートとしては大きすぎます（" +
                              std::to_string(size / (1024 * 1024)) + " MB）。");
    }
}

}  // namespace

DoseReport ReadDoseReport(const std::filesystem::path& path) {
    SilenceDcmtkLog();
    CheckFile(path);
    const std::string label = FileLabel(path);
    DcmFileFormat file;
    OFCondition status = file.loadFile(OFFilename(path.c_str()), EXS_Unknown, EGL_noChange,
                                       DCM_MaxReadLength, ERM_autoDetect);
    if (status.good()) {
        status = file.loadAllDataIntoMemory();
    }
    if (status.bad()) {
        throw DoseReportError("「" + label + "」は DICOM ファイルとして読めません（" +
                              status.text() + "）。");
    }
    DcmDataset& dataset = *file.getDataset();
    if (ReadCode(dataset, DCM_ConceptNameCodeSequence).value != Codes().report) {
        throw DoseReportError("「" + label + "」は X 線線量構造化レポート（RDSR）ではありません。");
    }
    DoseReport report;
    report.path = path;
    Reader(dataset, report).Read();
    DcmMetaInfo& meta = *file.getMetaInfo();
    report.sending_ae_title = EscapeBytes(Trimmed(Raw(meta, DCM_SendingApplicationEntityTitle)));
    if (report.sending_ae_title.empty()) {
        report.sending_ae_title = EscapeBytes(Trimmed(Raw(meta, DCM_SourceApplicationEntityTitle)));
    }
    return report;
}

DoseReportIdentity ReadDoseReportIdentity(const std::filesystem::path& path) {
    SilenceDcmtkLog();
    CheckFile(path);
    DcmFileFormat file;
    const OFCondition status =
        file.loadFileUntilTag(OFFilename(path.c_str()), EXS_Unknown, EGL_noChange,
                              DCM_MaxReadLength, ERM_autoDetect, DCM_SeriesInstanceUID);
    if (status.bad()) {
        throw DoseReportError("「" + FileLabel(path) + "」は DICOM ファイルとして読めません（" +
                              status.text() + "）。");
    }
    DcmDataset& dataset = *file.getDataset();
    return {EscapeBytes(Trimmed(Raw(dataset, DCM_StudyInstanceUID), kUidPadding)),
            EscapeBytes(Trimmed(Raw(dataset, DCM_SOPInstanceUID), kUidPadding)),
            EscapeBytes(Trimmed(Raw(dataset, DCM_StudyDate))),
            EscapeBytes(Trimmed(Raw(dataset, DCM_SOPClassUID), kUidPadding))};
}

}  // namespace korvex
