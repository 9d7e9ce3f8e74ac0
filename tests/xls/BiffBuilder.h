#pragma once

// Small BIFF streams built in the tests: records, XF lists, shared strings, sheets.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "spreadsheet/xls/BiffBytes.h"
#include "spreadsheet/xls/BiffRecords.h"
#include "spreadsheet/xls/BiffText.h"

namespace xlstest {

using namespace spreadsheet::xls;

inline std::string U8(std::uint8_t v) {
    return std::string(1, static_cast<char>(v));
}
inline std::string U16(std::uint16_t v) {
    std::string s;
    AppendU16(s, v);
    return s;
}
inline std::string U32(std::uint32_t v) {
    std::string s;
    AppendU32(s, v);
    return s;
}
inline std::string F64(double v) {
    std::string s;
    AppendF64(s, v);
    return s;
}
inline std::string Rec(std::uint16_t id, std::string_view data) {
    std::string s;
    AppendRecord(s, id, data);
    return s;
}
// Characters of a UTF-16 text, 8-bit or 16-bit.
inline std::string Chars(std::u16string_view text, bool high) {
    std::string s;
    AppendChars(s, text, !high);
    return s;
}
// XLUnicodeString with a 16-bit length (LABEL, STRING, FORMAT).
inline std::string UStr(std::u16string_view text) {
    const bool high = !FitsCompressed(text);
    return U16(static_cast<std::uint16_t>(text.size())) + U8(high ? 1 : 0) + Chars(text, high);
}
inline std::string CellHead(std::uint16_t row, std::uint16_t col, std::uint16_t xf) {
    return U16(row) + U16(col) + U16(xf);
}

inline std::string Number(std::uint16_t row, std::uint16_t col, double v, std::uint16_t xf = 15) {
    return Rec(rec::kNumber, CellHead(row, col, xf) + F64(v));
}
inline std::string LabelSst(std::uint16_t row, std::uint16_t col, std::uint32_t isst,
                            std::uint16_t xf = 15) {
    return Rec(rec::kLabelSst, CellHead(row, col, xf) + U32(isst));
}
inline std::string Blank(std::uint16_t row, std::uint16_t col, std::uint16_t xf = 15) {
    return Rec(rec::kBlank, CellHead(row, col, xf));
}
inline std::string RowRec(std::uint16_t row, std::uint16_t colMic, std::uint16_t colMac,
                          std::uint16_t flags = 0x0100, std::uint16_t xf = 15) {
    return Rec(rec::kRow, U16(row) + U16(colMic) + U16(colMac) + U16(0x00FF) + U16(0) + U16(0) +
                              U16(flags) + U16(xf));
}
inline std::string Dimensions(std::uint32_t r1, std::uint32_t r2, std::uint16_t c1,
                              std::uint16_t c2) {
    return Rec(rec::kDimensions, U32(r1) + U32(r2) + U16(c1) + U16(c2) + U16(0));
}

// An XF record: style XF when isStyle, else a cell XF with parent style 0.
inline std::string XfData(std::uint16_t format, bool isStyle) {
    std::string d = U16(0) + U16(format) + U16(isStyle ? 0xFFF5 : 0x0001) + U8(0x20) + U8(0) +
                    U8(0) + U8(isStyle ? 0x00 : 0xF8) + U32(0) + U32(0) + U16(0x20C0);
    return d;
}
// The usual 16 XFs: 0-14 style XFs, 15 the default cell XF; extra cell XFs with the given formats.
inline std::vector<std::string> StandardXfs(const std::vector<std::uint16_t>& extraFormats = {}) {
    std::vector<std::string> out;
    for (int i = 0; i < 15; ++i)
        out.push_back(Rec(rec::kXf, XfData(0, true)));
    out.push_back(Rec(rec::kXf, XfData(0, false)));
    for (auto f : extraFormats)
        out.push_back(Rec(rec::kXf, XfData(f, false)));
    return out;
}

struct SheetRecords {
    std::u16string name;
    std::vector<std::string> records;  // between BOF and EOF
    std::uint8_t type = 0;             // BOUNDSHEET sheet type
    std::uint8_t state = 0;            // visibility
};

// A whole workbook stream: globals (BOF, the given records, BOUNDSHEETs, EOF) then the sheets.
inline std::string BuildStream(const std::vector<std::string>& globals,
                               const std::vector<SheetRecords>& sheets, bool biff8 = true,
                               std::uint16_t codePage = 936) {
    auto bof = [&](std::uint16_t type) {
        return Rec(rec::kBof, U16(biff8 ? 0x0600 : 0x0500) + U16(type) +
                                  (biff8 ? U16(0) + U16(0) + U32(0) + U32(0) : U16(0) + U16(0)));
    };
    auto sheetName = [&](const std::u16string& name) {
        if (biff8) {
            const bool high = !FitsCompressed(name);
            return U8(static_cast<std::uint8_t>(name.size())) + U8(high ? 1 : 0) +
                   Chars(name, high);
        }
        // BIFF5 names in the tests are ASCII or given as bytes through Latin-1 code units.
        std::string bytes;
        for (char16_t c : name)
            bytes.push_back(static_cast<char>(c));
        return U8(static_cast<std::uint8_t>(bytes.size())) + bytes;
    };
    std::string head = bof(0x0005);
    if (!biff8)
        head += Rec(rec::kCodePage, U16(codePage));
    for (const auto& g : globals)
        head += g;
    std::size_t boundSize = 0;
    for (const auto& s : sheets)
        boundSize += 4 + 6 + sheetName(s.name).size();
    const std::string eof = Rec(rec::kEof, "");
    std::size_t offset = head.size() + boundSize + eof.size();
    std::string bound;
    std::string bodies;
    for (const auto& s : sheets) {
        std::string body = bof(s.type == 2 ? 0x0020 : 0x0010);
        for (const auto& r : s.records)
            body += r;
        body += eof;
        bound += Rec(rec::kBoundSheet, U32(static_cast<std::uint32_t>(offset)) + U8(s.state) +
                                           U8(s.type) + sheetName(s.name));
        offset += body.size();
        bodies += body;
    }
    return head + bound + eof + bodies;
}

}  // namespace xlstest
