#include "dose_report/sr_content.h"

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcsequen.h>
#include <dcmtk/oflog/oflog.h>

#include <cmath>
#include <mutex>
#include <optional>

#include "dose_report/dicom_text.h"
#include "engine/text_rules.h"

namespace korvex {
namespace {

std::vector<DcmItem*> Children(DcmItem& item) {
    std::vector<DcmItem*> children;
    DcmSequenceOfItems* sequence = nullptr;
    if (item.findAndGetSequence(DCM_ContentSequence, sequence).bad() || sequence == nullptr) {
        return children;
    }
    // Walked from item to item: getItem(i) counts from the first item each time, which
    // made a report of thousands of items quadratic.
    for (DcmObject* child = sequence->nextInContainer(nullptr); child != nullptr;
         child = sequence->nextInContainer(child)) {
        if (auto* item = dynamic_cast<DcmItem*>(child)) {
            children.push_back(item);
        }
    }
    return children;
}

// The numbers of a Numeric Value (DS, several separated by backslashes), leniently: every
// part that is a finite number counts, the last one that is not is kept for the reason.
void ReadNumberText(const std::string& text, NumericItem& num) {
    num.text = EscapeBytes(Trimmed(text));
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\\', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string part(Trimmed(text.substr(start, end - start)));
        if (!part.empty()) {
            const std::optional<double> value = ParseDecimal(part);
            if (value && std::isfinite(*value)) {
                num.values.push_back(*value);
            } else {
                num.unreadable = EscapeBytes(part);
            }
        }
        start = end + 1;
    }
}

// The optional binary value, used only where the text is empty.
void ReadFloatingPointValue(DcmItem& measured, NumericItem& num) {
    Float64 value = 0;
    for (unsigned long i = 0; measured.findAndGetFloat64(DCM_FloatingPointValue, value, i).good();
         ++i) {
        if (std::isfinite(value)) {
            num.values.push_back(value);
        } else {
            num.unreadable = "NaN/Inf";
        }
        num.text += (i == 0 ? "" : "\\") +
                    (std::isfinite(value) ? ShortestNumberText(value) : std::string("NaN/Inf"));
    }
}

}  // namespace

const ConceptCodes& Codes() {
    static const ConceptCodes codes;
    return codes;
}

bool IsFluoroscopy(const std::string& code) {
    return code == "P5-06000" || code == "44491008";
}
bool IsCopper(const std::string& code) {
    return code == "C-127F9" || code == "66925006";
}
bool IsAluminium(const std::string& code) {
    return code == "C-120F9" || code == "12503006" || code == "105830007";
}

std::string Raw(DcmItem& item, const DcmTagKey& tag) {
    OFString value;
    if (item.findAndGetOFStringArray(tag, value).bad()) {
        return {};
    }
    return std::string(value.c_str(), value.length());
}

Code ReadCode(DcmItem& item, const DcmTagKey& sequence) {
    DcmItem* code_item = nullptr;
    if (item.findAndGetSequenceItem(sequence, code_item, 0).bad() || code_item == nullptr) {
        return {};
    }
    Code code;
    code.value = Trimmed(Raw(*code_item, DCM_CodeValue));
    if (code.value.empty()) {
        code.value = Trimmed(Raw(*code_item, DCM_LongCodeValue));
    }
    if (code.value.empty()) {
        code.value = Trimmed(Raw(*code_item, DCM_URNCodeValue));
    }
    code.meaning = Raw(*code_item, DCM_CodeMeaning);
    return code;
}

NumericItem ReadNumeric(DcmItem& item, const std::vector<std::string>& charset) {
    NumericItem num;
    num.qualifier =
        DecodeDicomText(ReadCode(item, DCM_NumericValueQualifierCodeSequence).meaning, charset);
    DcmItem* measured = nullptr;
    if (item.findAndGetSequenceItem(DCM_MeasuredValueSequence, measured, 0).bad() ||
        measured == nullptr) {
        return num;
    }
    ReadNumberText(Raw(*measured, DCM_NumericValue), num);
    if (num.values.empty() && num.unreadable.empty()) {
        ReadFloatingPointValue(*measured, num);
    }
    num.unit =
        DecodeDicomText(ReadCode(*measured, DCM_MeasurementUnitsCodeSequence).value, charset);
    if (num.qualifier.empty()) {
        num.qualifier = DecodeDicomText(
            ReadCode(*measured, DCM_NumericValueQualifierCodeSequence).meaning, charset);
    }
    return num;
}

void Visit(DcmItem& container, int depth, bool& too_deep, const ItemVisitor& take) {
    for (DcmItem* child : Children(container)) {
        const std::string value_type(Trimmed(Raw(*child, DCM_ValueType)));
        const Code concept_name = ReadCode(*child, DCM_ConceptNameCodeSequence);
        if (take(*child, value_type, concept_name, depth)) {
            continue;
        }
        if (value_type == "CONTAINER" || !Children(*child).empty()) {
            if (depth + 1 >= kMaxContentDepth) {
                too_deep = true;
            } else {
                Visit(*child, depth + 1, too_deep, take);
            }
        }
    }
}

void SilenceDcmtkLog() {
    static std::once_flag once;
    std::call_once(once, [] { OFLog::configure(OFLogger::OFF_LOG_LEVEL); });
}

}  // namespace korvex
