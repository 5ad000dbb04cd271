#include "adapter/ModifiedUtf8.h"

#include <cstddef>

namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;
constexpr char32_t kReplacement = 0xFFFD;

// One decoded character: its code point (kInvalid for an invalid subpart) and its length.
struct Decoded {
    char32_t codePoint;
    size_t length;
};

bool isHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool isLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Decodes the character that starts at p[0] (not the terminating zero) of NUL-terminated text. The
// allowed range of each following byte follows Unicode's table of well-formed sequences, so a
// sequence that breaks off is exactly one maximal invalid subpart: its length is the lead byte
// and the bytes that still fitted. The terminating zero never fits, so no length check is
// needed. hostForm also accepts what the JVM writes and standard UTF-8 forbids: surrogates
// encoded directly (ED A0..BF) and U+0000 as C0 80.
Decoded decode(const unsigned char* p, bool hostForm) {
    const unsigned char lead = p[0];
    size_t following;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    char32_t codePoint;
    if (lead < 0x80) {
        return Decoded{lead, 1};
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        following = 1;
        codePoint = lead & 0x1F;
    } else if (lead == 0xC0 && hostForm) {
        following = 1;
        high = 0x80;
        codePoint = 0;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        following = 2;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED && !hostForm) high = 0x9F;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        following = 3;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
        codePoint = lead & 0x07;
    } else {
        return Decoded{kInvalid, 1};
    }
    for (size_t i = 1; i <= following; ++i) {
        if (p[i] < low || p[i] > high) return Decoded{kInvalid, i};
        codePoint = (codePoint << 6) | (p[i] & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return Decoded{codePoint, following + 1};
}

// Appends c in UTF-8; a surrogate code point gets the 3-byte form modified UTF-8 uses.
void append(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Where text stops being passable unchanged: at its end, or at the first character that the
// other side needs converted.
template <typename NeedsConversion>
const unsigned char* cleanPrefixEnd(const unsigned char* p, bool hostForm,
                                    NeedsConversion needsConversion) {
    while (*p != 0) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const Decoded d = decode(p, hostForm);
        if (needsConversion(d.codePoint)) break;
        p += d.length;
    }
    return p;
}

}  // namespace

namespace ModifiedUtf8 {

const char* toHost(const char* text, std::string& storage) {
    const unsigned char* start = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* p =
        cleanPrefixEnd(start, false, [](char32_t c) { return c == kInvalid || c >= 0x10000; });
    if (*p == 0) return text;

    storage.assign(text, static_cast<size_t>(p - start));
    while (*p != 0) {
        const Decoded d = decode(p, false);
        if (d.codePoint == kInvalid) {
            append(storage, kReplacement);
        } else if (d.codePoint >= 0x10000) {
            const char32_t offset = d.codePoint - 0x10000;
            append(storage, 0xD800 + (offset >> 10));
            append(storage, 0xDC00 + (offset & 0x3FF));
        } else {
            storage.append(reinterpret_cast<const char*>(p), d.length);
        }
        p += d.length;
    }
    return storage.c_str();
}

std::string fromHost(const char* bytes) {
    const unsigned char* start = reinterpret_cast<const unsigned char*>(bytes);
    const unsigned char* p = cleanPrefixEnd(start, true, [](char32_t c) {
        return c == kInvalid || c == 0 || isHighSurrogate(c) || isLowSurrogate(c);
    });
    if (*p == 0) return std::string(bytes, static_cast<size_t>(p - start));

    std::string out(bytes, static_cast<size_t>(p - start));
    while (*p != 0) {
        if (*p < 0x80) {
            out += static_cast<char>(*p++);
            continue;
        }
        const Decoded d = decode(p, true);
        if (d.codePoint == 0) break;  // an encoded U+0000 ends the C string
        if (isHighSurrogate(d.codePoint)) {
            const Decoded next =
                p[d.length] != 0 ? decode(p + d.length, true) : Decoded{kInvalid, 0};
            if (isLowSurrogate(next.codePoint)) {
                append(out, 0x10000 + ((d.codePoint - 0xD800) << 10) + (next.codePoint - 0xDC00));
                p += d.length + next.length;
                continue;
            }
        }
        const bool valid = d.codePoint != kInvalid && !isHighSurrogate(d.codePoint) &&
                           !isLowSurrogate(d.codePoint);
        if (valid) {
            out.append(reinterpret_cast<const char*>(p), d.length);
        } else {
            append(out, kReplacement);
        }
        p += d.length;
    }
    return out;
}

}  // namespace ModifiedUtf8
