#pragma once

#include <string>
#include <string_view>

namespace util {

// UTF-16 to UTF-8. A lone surrogate becomes U+FFFD, the replacement character.
std::string Utf16ToUtf8(std::u16string_view text);
void AppendUtf16AsUtf8(std::u16string_view text, std::string& out);

// UTF-8 to UTF-16. A malformed byte sequence becomes U+FFFD, one for each bad byte.
std::u16string Utf8ToUtf16(std::string_view text);

// Length in bytes of the UTF-8 sequence that starts with lead byte b (1 for a stray byte).
inline std::size_t Utf8SequenceLength(unsigned char b) {
    if (b < 0xC0)
        return 1;
    if (b < 0xE0)
        return 2;
    if (b < 0xF0)
        return 3;
    if (b < 0xF8)
        return 4;
    return 1;
}

// True for a byte that continues a multi-byte UTF-8 character (never a character's start).
inline bool IsUtf8Continuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

}  // namespace util
