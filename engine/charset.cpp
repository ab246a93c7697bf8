#include "engine/charset.h"

#include <iconv.h>

#include <cerrno>
#include <string>
#include <vector>

namespace korvex {
namespace {

bool IsContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// The conversions this thread has opened, kept open: opening one loads its character
// set's module again each time, some milliseconds per file read. A kept conversion is
// reset to its initial state before each use, as a new one would start.
class ThreadConverters {
  public:
    static constexpr std::size_t kKept = 16;

    ~ThreadConverters() {
        for (const Kept& kept : kept_) {
            iconv_close(kept.handle);
        }
    }

    // The conversion from `from` to `to`; nullopt when iconv does not know the pair.
    std::optional<iconv_t> Get(const char* to, const char* from) {
        for (const Kept& kept : kept_) {
            if (kept.to == to && kept.from == from) {
                iconv(kept.handle, nullptr, nullptr, nullptr, nullptr);
                return kept.handle;
            }
        }
        const iconv_t handle = iconv_open(to, from);
        if (handle == reinterpret_cast<iconv_t>(-1)) {
            return std::nullopt;
        }
        if (kept_.size() == kKept) {
            iconv_close(kept_.front().handle);
            kept_.erase(kept_.begin());
        }
        kept_.push_back({to, from, handle});
        return handle;
    }

  private:
    struct Kept {
        std::string to;
        std::string from;
        iconv_t handle;
    };
    std::vector<Kept> kept_;
};

std::optional<iconv_t> Converter(const char* to, const char* from) {
    thread_local ThreadConverters converters;
    return converters.Get(to, from);
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos) {
    const auto b = static_cast<unsigned char>(text[pos]);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (b < 0x80) {
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        low = b == 0xE0 ? 0xA0 : 0x80;
        high = b == 0xED ? 0x9F : 0xBF;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        low = b == 0xF0 ? 0x90 : 0x80;
        high = b == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (pos + length > text.size()) {
        return 0;
    }
    const auto second = static_cast<unsigned char>(text[pos + 1]);
    if (second < low || second > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if (!IsContinuation(static_cast<unsigned char>(text[pos + k]))) {
            return 0;
        }
    }
    return length;
}

bool IsValidUtf8(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t length = Utf8SequenceLength(text, pos);
        if (length == 0) {
            return false;
        }
        pos += length;
    }
    return true;
}

std::optional<std::string> ConvertCharset(std::string_view bytes, const char* from, const char* to,
                                          std::string_view replacement) {
    const std::optional<iconv_t> converter = Converter(to, from);
    if (!converter) {
        return std::nullopt;
    }
    std::string output(bytes.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t in_left = bytes.size();
    std::size_t out_used = 0;
    bool flushing = false;
    for (;;) {
        char* out = output.data() + out_used;
        std::size_t out_left = output.size() - out_used;
        // A last call without input writes any shift sequence the target set still owes.
        const std::size_t result = flushing ? iconv(*converter, nullptr, nullptr, &out, &out_left)
                                            : iconv(*converter, &in, &in_left, &out, &out_left);
        out_used = output.size() - out_left;
        if (result != static_cast<std::size_t>(-1)) {
            if (flushing) {
                break;
            }
            flushing = true;
            continue;
        }
        if (errno == E2BIG) {
            output.resize(output.size() * 2);
            continue;
        }
        if (replacement.empty() || flushing) {
            return std::nullopt;
        }
        // An invalid or incomplete sequence: replace its first byte and go on after it.
        output.resize(out_used);
        output += replacement;
        out_used = output.size();
        output.resize(out_used + in_left * 2 + 16);
        ++in;
        --in_left;
        iconv(*converter, nullptr, nullptr, nullptr, nullptr);
    }
    output.resize(out_used);
    return output;
}

bool CanConvertCharset(const char* from, const char* to) {
    return Converter(to, from).has_value();
}

}  // namespace korvex
