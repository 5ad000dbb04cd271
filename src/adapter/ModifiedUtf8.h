// ModifiedUtf8: the two text conversions at the host boundary. Strategies speak standard UTF-8;
// the JVM's string functions speak its modified UTF-8 (supplementary characters as surrogate
// pairs, U+0000 as C0 80). Bytes that are not UTF-8 become U+FFFD, nothing after them is lost.
#ifndef TOUCHLINE_ADAPTER_MODIFIEDUTF8_H
#define TOUCHLINE_ADAPTER_MODIFIEDUTF8_H

#include <string>

namespace ModifiedUtf8 {

// The modified UTF-8 form of the NUL-terminated strategy text, for NewStringUTF. Text that is
// already valid as it stands (ASCII, valid 2- and 3-byte characters) is returned itself, not
// copied; otherwise the converted text is built in storage and storage's characters returned.
// Each maximal invalid subpart (Unicode's recommended practice) becomes one U+FFFD; a 4-byte
// character becomes its surrogate pair.
const char* toHost(const char* text, std::string& storage);

// The standard UTF-8 form of NUL-terminated host text (GetStringUTFChars): surrogate pairs
// become 4-byte characters, a lone surrogate or any invalid subpart U+FFFD, and the text ends
// at an encoded U+0000 (C0 80), as the C string it becomes must. Text that needs no change is
// copied once, straight into the result.
std::string fromHost(const char* bytes);

}  // namespace ModifiedUtf8

#endif
