#include "dose_report/dicom_text.h"

#include "dose_report/sr_content.h"

// DCMTK's headers follow its configuration header, which sr_content.h includes first.
#include <dcmtk/dcmdata/dcspchrs.h>

#include <memory>
#include <optional>
#include <utility>

#include "engine/charset.h"
#include "engine/text_rules.h"

namespace korvex {
namespace {

constexpr char kEscape = 0x1B;

// DICOM pads values with blanks, and some writers with NUL bytes.
constexpr std::string_view kDicomPadding(" \0", 2);

bool IsPlainAscii(std::string_view bytes) {
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 || b == static_cast<unsigned char>(kEscape)) {
            return false;
        }
    }
    return true;
}

// Japanese with ISO 2022 code extensions as DICOM uses them (PS3.5 6.1.2.5), rewritten as
// EUC-JP so that one iconv conversion decodes it: JIS X 0208 pairs get the high bit, JIS X
// 0212 pairs the 0x8F prefix, half-width katakana in G1 the 0x8E prefix.
std::optional<std::string> JapaneseToEucJp(std::string_view bytes, bool katakana_in_g1) {
    enum class G0 { Ascii, Kanji, SupplementaryKanji } g0 = G0::Ascii;
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b == static_cast<unsigned char>(kEscape)) {
            const std::string_view rest = bytes.substr(i + 1);
            if (rest.starts_with("(B") || rest.starts_with("(J")) {
                g0 = G0::Ascii;
                i += 2;
            } else if (rest.starts_with("$B") || rest.starts_with("$@")) {
                g0 = G0::Kanji;
                i += 2;
            } else if (rest.starts_with("$(D")) {
                g0 = G0::SupplementaryKanji;
                i += 3;
            } else if (rest.starts_with(")I")) {
                katakana_in_g1 = true;
                i += 2;
            } else {
                return std::nullopt;
            }
            continue;
        }
        if (b >= 0x80) {
            if (!katakana_in_g1 || b < 0xA1 || b > 0xDF) {
                return std::nullopt;
            }
            out += static_cast<char>(0x8E);
            out += static_cast<char>(b);
        } else if (g0 != G0::Ascii && b >= 0x21 && b <= 0x7E) {
            if (i + 1 >= bytes.size()) {
                return std::nullopt;
            }
            const auto second = static_cast<unsigned char>(bytes[i + 1]);
            if (second < 0x21 || second > 0x7E) {
                return std::nullopt;
            }
            if (g0 == G0::SupplementaryKanji) {
                out += static_cast<char>(0x8F);
            }
            out += static_cast<char>(b | 0x80);
            out += static_cast<char>(second | 0x80);
            ++i;
        } else {
            // A control character or blank returns G0 to the default repertoire.
            if (b < 0x21) {
                g0 = G0::Ascii;
            }
            out += static_cast<char>(b);
        }
    }
    return out;
}

// Japanese as Japanese units write it: JIS X 0208 and JIS X 0212 with ISO 2022 code
// extensions, and JIS X 0201 katakana. DCMTK on the C library's iconv refuses ISO 2022 IR
// 87 and 159, and reads JIS X 0201's G0 as Romaji (0x7E an overline, 0x5C a yen sign), so
// that a name would read differently with and without a katakana in it; the program reads
// these itself, with G0 as ASCII.
bool IsJapaneseTerm(std::string_view term) {
    return term == "ISO 2022 IR 87" || term == "ISO 2022 IR 159" || term == "ISO 2022 IR 13" ||
           term == "ISO_IR 13";
}

std::optional<std::string> DecodeJapanese(std::string_view bytes,
                                          const std::vector<std::string>& terms) {
    const bool katakana =
        !terms.empty() && (terms.front() == "ISO_IR 13" || terms.front() == "ISO 2022 IR 13");
    const std::optional<std::string> euc = JapaneseToEucJp(bytes, katakana);
    return euc ? ConvertCharset(*euc, "EUC-JP", "UTF-8") : std::nullopt;
}

// Every other Specific Character Set through DCMTK (single-byte sets, UTF-8, GB18030, GBK,
// and code extensions of other sets such as Korean). A set it does not know and bytes the
// set does not hold give nullopt. The converter of the last set is kept, as a report's
// texts share one set.
std::optional<std::string> DecodeWithDcmtk(std::string_view bytes,
                                           const std::vector<std::string>& terms) {
    thread_local std::string selected_value;
    thread_local std::unique_ptr<DcmSpecificCharacterSet> converter;
    thread_local bool usable = false;
    std::string value;
    for (const std::string& term : terms) {
        value += (&term == &terms.front() ? "" : "\\") + term;
    }
    if (converter == nullptr || value != selected_value) {
        SilenceDcmtkLog();
        converter = std::make_unique<DcmSpecificCharacterSet>();
        usable = converter->selectCharacterSet(OFString(value.data(), value.size()), "ISO_IR 192")
                     .good();
        selected_value = value;
    }
    OFString converted;
    if (!usable ||
        converter->convertString(OFString(bytes.data(), bytes.size()), converted).bad()) {
        return std::nullopt;
    }
    std::string text(converted.c_str(), converted.length());
    // Only well-formed UTF-8 leaves the reader, whatever the conversion let through.
    return IsValidUtf8(text) ? std::optional<std::string>(std::move(text)) : std::nullopt;
}

std::optional<std::string> Decode(std::string_view bytes, const std::vector<std::string>& terms) {
    if (IsPlainAscii(bytes)) {
        return std::string(bytes);
    }
    for (const std::string& term : terms) {
        if (IsJapaneseTerm(term)) {
            return DecodeJapanese(bytes, terms);
        }
    }
    return DecodeWithDcmtk(bytes, terms);
}

std::string HexByte(unsigned char b) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return std::string("\\x") + kDigits[b >> 4] + kDigits[b & 0x0F];
}

// Blanks for line breaks and tabs; other control bytes escaped.
std::string WithoutControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\r' || c == '\n' || c == '\t' || c == '\f') {
            out += ' ';
        } else if (b < 0x20 || b == 0x7F) {
            out += HexByte(b);
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::vector<std::string> CharacterSetTerms(std::string_view value) {
    std::vector<std::string> terms;
    if (Trimmed(value, kDicomPadding).empty()) {
        return terms;
    }
    size_t start = 0;
    while (true) {
        const size_t end = value.find('\\', start);
        terms.emplace_back(Trimmed(value.substr(start, end - start), kDicomPadding));
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    return terms;
}

std::string EscapeBytes(std::string_view bytes) {
    std::string out;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F) {
            out += c;
        } else {
            out += HexByte(b);
        }
    }
    return out;
}

std::optional<std::string> TryDecodeDicomText(std::string_view bytes,
                                              const std::vector<std::string>& terms) {
    if (const std::optional<std::string> decoded =
            Decode(TrimmedRight(bytes, kDicomPadding), terms)) {
        return WithoutControls(*decoded);
    }
    return std::nullopt;
}

std::string DecodeDicomText(std::string_view bytes, const std::vector<std::string>& terms) {
    if (std::optional<std::string> decoded = TryDecodeDicomText(bytes, terms)) {
        return std::move(*decoded);
    }
    return EscapeBytes(TrimmedRight(bytes, kDicomPadding));
}

bool IsValidUid(std::string_view uid) {
    if (uid.empty() || uid.size() > 64) {
        return false;
    }
    size_t start = 0;
    while (start <= uid.size()) {
        size_t end = uid.find('.', start);
        end = end == std::string_view::npos ? uid.size() : end;
        const std::string_view component = uid.substr(start, end - start);
        if (component.empty() || (component.size() > 1 && component[0] == '0')) {
            return false;
        }
        for (char c : component) {
            if (c < '0' || c > '9') {
                return false;
            }
        }
        start = end + 1;
    }
    return true;
}

}  // namespace korvex
