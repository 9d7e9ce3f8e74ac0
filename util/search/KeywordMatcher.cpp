#include "util/search/KeywordMatcher.h"

#include <QChar>

namespace util {

namespace {

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// A byte that starts no valid UTF-8 sequence becomes a value outside Unicode, so it can only
// match the same stray byte.
constexpr char32_t kStrayByteBase = 0x110000;

// Decodes one UTF-8 character at text[i], advancing i; rejects overlong forms and surrogates.
char32_t DecodeAt(std::string_view text, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        ++i;
        return lead;
    } else if (lead >= 0xC2 && lead < 0xE0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead < 0xF0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead < 0xF5) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    }
    if (length == 0 || i + length > text.size()) {
        ++i;
        return kStrayByteBase + lead;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char next = byte(i + k);
        if ((next & 0xC0) != 0x80) {
            ++i;
            return kStrayByteBase + lead;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++i;
        return kStrayByteBase + lead;
    }
    i += length;
    return value;
}

void DecodeUpper(std::string_view text, std::u32string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size();) {
        const char32_t c = DecodeAt(text, i);
        out.push_back(c < kStrayByteBase ? QChar::toUpper(c) : c);
    }
}

}  // namespace

KeywordMatcher::KeywordMatcher(std::string_view keyword) : keywordIsAscii_(IsAscii(keyword)) {
    upperAsciiKeyword_.assign(keyword);
    for (char& c : upperAsciiKeyword_)
        c = UpperAscii(c);
    DecodeUpper(keyword, upperKeyword_);
}

bool KeywordMatcher::Matches(std::string_view name) {
    if (upperKeyword_.empty() || name.empty())
        return false;
    if (keywordIsAscii_ && IsAscii(name)) {
        const std::string_view keyword = upperAsciiKeyword_;
        if (keyword.size() > name.size())
            return false;
        const std::size_t last = name.size() - keyword.size();
        for (std::size_t start = 0; start <= last; ++start) {
            std::size_t k = 0;
            while (k < keyword.size() && UpperAscii(name[start + k]) == keyword[k])
                ++k;
            if (k == keyword.size())
                return true;
        }
        return false;
    }
    DecodeUpper(name, upperName_);
    return std::u32string_view(upperName_).find(upperKeyword_) != std::u32string_view::npos;
}

std::string_view NamePartOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view ExtensionOf(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

void LowerAsciiInPlace(std::string& text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
}

}  // namespace util
