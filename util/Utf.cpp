#include "util/Utf.h"

namespace util {

namespace {
constexpr char32_t kReplacement = 0xFFFD;

// Writes cp as UTF-8 at out and returns the position after it.
char* PutUtf8(char32_t cp, char* out) {
    if (cp < 0x80) {
        *out++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out++ = static_cast<char>(0xC0 | (cp >> 6));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (cp >> 12));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (cp >> 18));
        *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}
}  // namespace

void AppendUtf16AsUtf8(std::u16string_view text, std::string& out) {
    // Every UTF-16 unit becomes at most three bytes (a surrogate pair, four for two units).
    const std::size_t start = out.size();
    out.resize(start + text.size() * 3);
    char* p = out.data() + start;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        char32_t c = text[i];
        if (c < 0x80) {
            *p++ = static_cast<char>(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        p = PutUtf8(c, p);
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    AppendUtf16AsUtf8(text, out);
    return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    // Never more UTF-16 units than bytes.
    std::u16string out(text.size(), u'\0');
    char16_t* o = out.data();
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            *o++ = b;
            ++i;
            continue;
        }
        std::size_t len = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2, cp = b & 0x1F, min = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3, cp = b & 0x0F, min = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4, cp = b & 0x07, min = 0x10000;
        }
        bool ok = len != 0 && i + len <= n;
        for (std::size_t k = 1; ok && k < len; ++k) {
            unsigned char c = static_cast<unsigned char>(text[i + k]);
            if (!IsUtf8Continuation(c)) ok = false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
        if (!ok) {
            *o++ = static_cast<char16_t>(kReplacement);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            *o++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *o++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            *o++ = static_cast<char16_t>(cp);
        }
        i += len;
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

}  // namespace util
