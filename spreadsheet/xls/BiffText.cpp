#include "spreadsheet/xls/BiffText.h"

#include <iconv.h>

#include <cerrno>

#include "spreadsheet/model/Workbook.h"
#include "spreadsheet/xls/BiffBytes.h"

namespace spreadsheet::xls {
namespace {

std::string IconvNameFor(std::uint16_t codePage) {
    switch (codePage) {
        case 367:
            return "ASCII";
        case 1200:
            return "UTF-16LE";
        case 10000:
        case 32768:
            return "MACINTOSH";
        case 32769:
            return "CP1252";  // Excel writes 0x8001 for Windows Latin 1
        case 65001:
            return "UTF-8";
        default:
            return "CP" + std::to_string(codePage);
    }
}

bool IconvKnows(const std::string& name) {
    iconv_t cd = iconv_open("UTF-16LE", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv_close(cd);
    return true;
}

}  // namespace

CodePageDecoder::CodePageDecoder(std::uint16_t codePage) : codePage_(codePage) {
    iconvName_ = IconvNameFor(codePage);
    if (!IconvKnows(iconvName_))
        iconvName_ = "CP1252";
}

std::u16string CodePageDecoder::Decode(std::string_view bytes) const {
    std::u16string out;
    if (bytes.empty())
        return out;
    bool ascii = true;
    for (char c : bytes)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
        out.reserve(bytes.size());
        for (char c : bytes)
            out.push_back(static_cast<char16_t>(c));
        return out;
    }
    iconv_t cd = iconv_open("UTF-16LE", iconvName_.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        for (char c : bytes)
            out.push_back(static_cast<unsigned char>(c));
        return out;
    }
    std::string buffer(bytes.size() * 4 + 8, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    std::string produced;
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        std::size_t outLeft = buffer.size();
        const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        produced.append(buffer.data(), buffer.size() - outLeft);
        if (rc == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // An invalid or cut-off sequence: one replacement character for the byte.
            produced.append("\xFD\xFF", 2);
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    out.reserve(produced.size() / 2);
    for (std::size_t i = 0; i + 1 < produced.size(); i += 2) {
        out.push_back(static_cast<char16_t>(GetU16(produced, i)));
    }
    return out;
}

ContinuedReader::ContinuedReader(std::vector<std::string_view> segments)
    : segments_(std::move(segments)) {}

void ContinuedReader::Truncated() const {
    throw SpreadsheetError("damaged workbook stream: a string runs past the end of its records");
}

void ContinuedReader::NextSegmentIfDone() {
    while (segment_ < segments_.size() && position_ >= segments_[segment_].size()) {
        ++segment_;
        position_ = 0;
    }
}

bool ContinuedReader::AtEnd() const {
    for (std::size_t s = segment_; s < segments_.size(); ++s) {
        const std::size_t from = s == segment_ ? position_ : 0;
        if (from < segments_[s].size())
            return false;
    }
    return true;
}

std::uint8_t ContinuedReader::U8() {
    NextSegmentIfDone();
    if (segment_ >= segments_.size())
        Truncated();
    return GetU8(segments_[segment_], position_++);
}

std::uint16_t ContinuedReader::U16() {
    const std::uint16_t lo = U8();
    return static_cast<std::uint16_t>(lo | (U8() << 8));
}

std::uint32_t ContinuedReader::U32() {
    const std::uint32_t lo = U16();
    return lo | (static_cast<std::uint32_t>(U16()) << 16);
}

void ContinuedReader::Skip(std::size_t count) {
    while (count > 0) {
        NextSegmentIfDone();
        if (segment_ >= segments_.size())
            Truncated();
        const std::size_t take = std::min(count, segments_[segment_].size() - position_);
        position_ += take;
        count -= take;
    }
}

void ContinuedReader::Chars(std::size_t cch, bool highByte, std::u16string& out) {
    while (cch > 0) {
        if (segment_ >= segments_.size())
            Truncated();
        if (position_ >= segments_[segment_].size()) {
            // Character data going on in the next CONTINUE starts with its own flag byte.
            ++segment_;
            position_ = 0;
            if (segment_ >= segments_.size() || segments_[segment_].empty())
                Truncated();
            highByte = (GetU8(segments_[segment_], position_++) & 0x01) != 0;
            continue;
        }
        const std::string_view seg = segments_[segment_];
        const std::size_t unit = highByte ? 2 : 1;
        const std::size_t available = (seg.size() - position_) / unit;
        if (available == 0)
            Truncated();  // half a UTF-16 unit at a record's end
        const std::size_t take = std::min(cch, available);
        if (highByte) {
            for (std::size_t i = 0; i < take; ++i)
                out.push_back(static_cast<char16_t>(GetU16(seg, position_ + 2 * i)));
        } else {
            for (std::size_t i = 0; i < take; ++i)
                out.push_back(static_cast<char16_t>(GetU8(seg, position_ + i)));
        }
        position_ += take * unit;
        cch -= take;
    }
}

RichString ReadRichString(ContinuedReader& in) {
    RichString s;
    const std::uint16_t cch = in.U16();
    const std::uint8_t flags = in.U8();
    const bool highByte = (flags & 0x01) != 0;
    const bool hasPhonetic = (flags & 0x04) != 0;
    const bool hasRuns = (flags & 0x08) != 0;
    const std::uint16_t runCount = hasRuns ? in.U16() : 0;
    const std::uint32_t phoneticSize = hasPhonetic ? in.U32() : 0;
    s.text.reserve(cch);
    in.Chars(cch, highByte, s.text);
    if (runCount > 0) {
        s.runs.reserve(std::size_t{runCount} * 4);
        for (std::size_t i = 0; i < std::size_t{runCount} * 4; ++i)
            s.runs.push_back(static_cast<char>(in.U8()));
    }
    if (phoneticSize > 0) {
        // Bounded by the data actually there: U8 throws at the end of the records.
        for (std::uint32_t i = 0; i < phoneticSize; ++i)
            s.phonetic.push_back(static_cast<char>(in.U8()));
    }
    return s;
}

std::u16string ReadUnicodeString(ContinuedReader& in, bool lengthIs16Bit) {
    const std::size_t cch = lengthIs16Bit ? in.U16() : in.U8();
    const std::uint8_t flags = in.U8();
    std::u16string text;
    text.reserve(cch);
    const bool hasRuns = (flags & 0x08) != 0;
    const bool hasPhonetic = (flags & 0x04) != 0;
    if (hasRuns)
        in.U16();
    if (hasPhonetic)
        in.U32();
    in.Chars(cch, (flags & 0x01) != 0, text);
    return text;
}

bool FitsCompressed(std::u16string_view text) {
    for (char16_t c : text)
        if (c > 0xFF)
            return false;
    return true;
}

void AppendChars(std::string& out, std::u16string_view text, bool compressed) {
    if (compressed) {
        for (char16_t c : text)
            out.push_back(static_cast<char>(c));
    } else {
        for (char16_t c : text)
            AppendU16(out, c);
    }
}

}  // namespace spreadsheet::xls
