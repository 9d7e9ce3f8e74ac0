#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace spreadsheet::xls {

// Decodes 8-bit text of a BIFF5 workbook in its CODEPAGE (936, 932, 950, 1252, ...). Bytes the
// code page cannot decode become U+FFFD.
class CodePageDecoder {
  public:
    explicit CodePageDecoder(std::uint16_t codePage = 1252);
    std::u16string Decode(std::string_view bytes) const;
    std::uint16_t codePage() const { return codePage_; }

  private:
    std::uint16_t codePage_;
    std::string iconvName_;
};

// Reads data that goes on across CONTINUE records: the record's data followed by the data of
// each CONTINUE. Plain reads step over record boundaries; character data re-reads the
// compression flag at the start of each CONTINUE, as BIFF8 strings require.
class ContinuedReader {
  public:
    explicit ContinuedReader(std::vector<std::string_view> segments);

    bool AtEnd() const;
    std::uint8_t U8();
    std::uint16_t U16();
    std::uint32_t U32();
    void Skip(std::size_t count);
    // cch characters, 8-bit (Latin-1) or UTF-16 as the flag says, appended to out.
    void Chars(std::size_t cch, bool highByte, std::u16string& out);
    // Position of the next byte: which segment and where in it.
    std::size_t segment() const { return segment_; }
    std::size_t position() const { return position_; }

  private:
    void NextSegmentIfDone();
    [[noreturn]] void Truncated() const;

    std::vector<std::string_view> segments_;
    std::size_t segment_ = 0;
    std::size_t position_ = 0;
};

// A BIFF8 unicode string with its formatting runs and phonetic block kept as bytes, so it can
// be written back.
struct RichString {
    std::u16string text;
    std::string runs;      // 4 bytes per formatting run
    std::string phonetic;  // the Far East phonetic block
};

// Reads an XLUnicodeRichExtendedString (the SST's form).
RichString ReadRichString(ContinuedReader& in);
// Reads an XLUnicodeString (cch 16-bit, flags, characters) as LABEL and STRING hold it.
std::u16string ReadUnicodeString(ContinuedReader& in, bool lengthIs16Bit = true);

// True when every code unit fits in one byte, so the string can be stored compressed.
bool FitsCompressed(std::u16string_view text);
// Appends the characters of text compressed (low bytes) or as UTF-16LE.
void AppendChars(std::string& out, std::u16string_view text, bool compressed);

}  // namespace spreadsheet::xls
