// The two text conversions at the host boundary, on tables of cases: what a strategy's UTF-8
// becomes for NewStringUTF, and what the host's modified UTF-8 becomes for the strategy.
#include <gtest/gtest.h>

#include <string>

#include "FakeJvm.h"
#include "adapter/ModifiedUtf8.h"

namespace {

const std::string kFffd = "\xEF\xBF\xBD";

// Standard UTF-8 of one code point, written out independently of the unit under test.
std::string utf8(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
        out += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                static_cast<char>(0x80 | (c & 0x3F))};
    } else {
        out += {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
                static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    }
    return out;
}

// What Java's own encoder writes for one code point: UTF-16 units, each as 1 to 3 bytes.
std::string javaModifiedUtf8(char32_t c) {
    if (c < 0x10000) return utf8(c);
    return utf8(0xD800 + ((c - 0x10000) >> 10)) + utf8(0xDC00 + ((c - 0x10000) & 0x3FF));
}

struct Case {
    const char* what;
    std::string in;
    std::string out;
};

std::string toHost(const std::string& text) {
    std::string storage;
    return ModifiedUtf8::toHost(text.c_str(), storage);
}

TEST(ModifiedUtf8, StrategyTextBecomesValidModifiedUtf8) {
    const std::string grin = "\xF0\x9F\x98\x80";              // U+1F600
    const std::string grinPair = "\xED\xA0\xBD\xED\xB8\x80";  // its surrogate pair
    const Case cases[] = {
        {"empty", "", ""},
        {"ASCII", "plain text 123\n", "plain text 123\n"},
        {"2-byte", "caf\xC3\xA9", "caf\xC3\xA9"},
        {"3-byte", "\xE2\x82\xAC 5 \xEF\xBF\xBF", "\xE2\x82\xAC 5 \xEF\xBF\xBF"},
        {"3-byte below and above the surrogates", "\xED\x9F\xBF\xEE\x80\x80",
         "\xED\x9F\xBF\xEE\x80\x80"},
        {"4-byte", grin + " emoji then ABCDEFGH", grinPair + " emoji then ABCDEFGH"},
        {"first and last supplementary", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF",
         "\xED\xA0\x80\xED\xB0\x80\xED\xAF\xBF\xED\xBF\xBF"},
        {"byte over F4", "\xFF tail", kFffd + " tail"},
        {"F5 sequence", "\xF5\x80\x80\x80", kFffd + kFffd + kFffd + kFffd},
        {"stray continuations",
         "a\x80\xBF"
         "b",
         "a" + kFffd + kFffd + "b"},
        {"truncated 4-byte at the end", "\xF0\x9F\x98", kFffd},
        {"truncated 4-byte before text", "\xF0\x9F\x98!ok", kFffd + "!ok"},
        {"truncated 3-byte then 2-byte", "\xE2\x82\xC3\xA9", kFffd + "\xC3\xA9"},
        {"lead byte at the end", "abc\xC3", "abc" + kFffd},
        {"overlong 2-byte", "\xC0\xAF", kFffd + kFffd},
        {"overlong NUL", "\xC0\x80", kFffd + kFffd},
        {"overlong 3-byte", "\xE0\x80\xAF", kFffd + kFffd + kFffd},
        {"overlong 4-byte", "\xF0\x80\x80\x80", kFffd + kFffd + kFffd + kFffd},
        {"surrogate encoded directly", "\xED\xA0\x80", kFffd + kFffd + kFffd},
        {"surrogate pair encoded directly", grinPair,
         kFffd + kFffd + kFffd + kFffd + kFffd + kFffd},
        {"above U+10FFFF", "\xF4\x90\x80\x80", kFffd + kFffd + kFffd + kFffd},
        {"mixed", "\xF0\x9F\x98\x80\xFFx\xE2\x82", grinPair + kFffd + "x" + kFffd},
    };
    for (const Case& c : cases) {
        std::string storage;
        const char* host = ModifiedUtf8::toHost(c.in.c_str(), storage);
        EXPECT_EQ(c.out, std::string(host)) << c.what;
        EXPECT_TRUE(fakejvm::isModifiedUtf8(host)) << c.what;
        // Text that needs no change is handed on itself, never copied.
        EXPECT_EQ(c.in == c.out, host == c.in.c_str()) << c.what;
    }
}

TEST(ModifiedUtf8, HostTextBecomesStandardUtf8) {
    const Case cases[] = {
        {"empty", "", ""},
        {"ASCII", "robot 7", "robot 7"},
        {"2- and 3-byte", "gr\xC3\xBC\xC3\x9F \xE2\x82\xAC", "gr\xC3\xBC\xC3\x9F \xE2\x82\xAC"},
        {"surrogate pair", "a\xED\xA0\xBD\xED\xB8\x80z", "a\xF0\x9F\x98\x80z"},
        {"last code point", "\xED\xAF\xBF\xED\xBF\xBF", "\xF4\x8F\xBF\xBF"},
        {"lone high surrogate", "\xED\xA0\xBDx", kFffd + "x"},
        {"lone high surrogate at the end", "x\xED\xA0\xBD", "x" + kFffd},
        {"lone low surrogate", "\xED\xB8\x80", kFffd},
        {"high, high, low", "\xED\xA0\xBD\xED\xA0\xBD\xED\xB8\x80", kFffd + "\xF0\x9F\x98\x80"},
        {"low then high", "\xED\xB8\x80\xED\xA0\xBD", kFffd + kFffd},
        {"U+0000 ends the text",
         "ab\xC0\x80"
         "cd",
         "ab"},
        {"U+0000 first",
         "\xC0\x80"
         "cd",
         ""},
        {"malformed bytes", "\xFF\xC3", kFffd + kFffd},
        {"truncated 3-byte", "\xE2\x82!", kFffd + "!"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.out, ModifiedUtf8::fromHost(c.in.c_str())) << c.what;
    }
}

TEST(ModifiedUtf8, EveryCodePointCrossesBothWaysAsJavaEncodesIt) {
    for (char32_t c = 1; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        const std::string text = utf8(c);
        const std::string host = toHost(text);
        ASSERT_EQ(javaModifiedUtf8(c), host) << "U+" << std::hex << static_cast<long>(c);
        ASSERT_EQ(text, ModifiedUtf8::fromHost(host.c_str()))
            << "U+" << std::hex << static_cast<long>(c);
    }
}

}  // namespace
