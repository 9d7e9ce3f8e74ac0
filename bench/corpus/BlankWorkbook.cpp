#include "bench/corpus/BlankWorkbook.h"

#include <fstream>
#include <stdexcept>

#include "automation/Dispatch.h"
#include "spreadsheet/application/SpreadsheetApplication.h"
#include "spreadsheet/cfb/CompoundFile.h"
#include "spreadsheet/xls/BiffBytes.h"

namespace bench {

namespace {

using spreadsheet::xls::AppendU16;
using spreadsheet::xls::AppendU32;
using spreadsheet::xls::AppendU8;
using spreadsheet::xls::PutU32At;

constexpr std::uint16_t kBof = 0x0809, kEof = 0x000A, kCodepage = 0x0042, kWindow1 = 0x003D,
                        kDateMode = 0x0022, kFont = 0x0031, kFormat = 0x041E, kXf = 0x00E0,
                        kStyle = 0x0293, kBoundSheet = 0x0085, kSst = 0x00FC, kExtSst = 0x00FF,
                        kIndex = 0x020B, kDimensions = 0x0200, kColInfo = 0x007D, kWindow2 = 0x023E,
                        kBoolErr = 0x0205;
constexpr std::uint16_t kDateFormatId = 164;

void Record(std::string& out, std::uint16_t type, const std::string& body) {
    AppendU16(out, type);
    AppendU16(out, static_cast<std::uint16_t>(body.size()));
    out += body;
}

std::string Bof(std::uint16_t kind) {
    std::string b;
    AppendU16(b, 0x0600);  // BIFF8
    AppendU16(b, kind);
    AppendU16(b, 0x0DBB);
    AppendU16(b, 0x07CC);
    AppendU32(b, 0);
    AppendU32(b, 6);
    return b;
}

// Uncompressed UTF-16 text with an 8-bit or 16-bit length.
void AppendText(std::string& b, const std::u16string& text, bool shortLength) {
    if (shortLength)
        AppendU8(b, static_cast<std::uint8_t>(text.size()));
    else
        AppendU16(b, static_cast<std::uint16_t>(text.size()));
    AppendU8(b, 0x01);
    for (char16_t c : text)
        AppendU16(b, c);
}

std::string Xf(std::uint16_t format, bool styleXf) {
    std::string b;
    AppendU16(b, 0);  // font
    AppendU16(b, format);
    AppendU16(b, styleXf ? 0xFFF5 : 0x0001);  // style XF, or a locked cell XF of style 0
    AppendU8(b, 0x20);                        // bottom aligned
    AppendU8(b, 0);
    AppendU8(b, 0);
    AppendU8(b, styleXf ? 0 : (format ? 0x04 : 0));  // the number format is the cell's own
    AppendU32(b, 0);
    AppendU32(b, 0);
    AppendU16(b, 0x20C0);
    return b;
}

}  // namespace

std::string BlankWorkbookStream(const BlankWorkbookLayout& layout) {
    std::string out;
    Record(out, kBof, Bof(0x0005));
    {
        std::string b;
        AppendU16(b, 1200);
        Record(out, kCodepage, b);
    }
    {
        std::string b;
        for (std::uint16_t v : {0, 0, 0x3000, 0x2000, 0x0038, 0, 0, 1, 0x0258})
            AppendU16(b, v);
        Record(out, kWindow1, b);
    }
    Record(out, kDateMode, std::string(2, '\0'));
    for (int i = 0; i < 4; ++i) {
        std::string b;
        for (std::uint16_t v : {200, 0, 0x7FFF, 400, 0})
            AppendU16(b, v);
        for (int k = 0; k < 4; ++k)
            AppendU8(b, k == 2 ? 0x86 : 0);  // GB2312 character set
        AppendText(b, u"宋体", true);
        Record(out, kFont, b);
    }
    {
        std::string b;
        AppendU16(b, kDateFormatId);
        AppendText(b, u"yyyy/m/d", false);
        Record(out, kFormat, b);
    }
    for (int i = 0; i < 15; ++i)
        Record(out, kXf, Xf(0, true));
    Record(out, kXf, Xf(0, false));              // 15: General
    Record(out, kXf, Xf(kDateFormatId, false));  // 16: a date
    {
        std::string b;
        AppendU16(b, 0x8000);
        AppendU8(b, 0);
        AppendU8(b, 0xFF);
        Record(out, kStyle, b);
    }
    std::vector<std::size_t> offsetFields;
    for (const std::u16string& name : layout.sheetNames) {
        std::string b;
        AppendU32(b, 0);  // patched below
        AppendU8(b, 0);
        AppendU8(b, 0);
        AppendText(b, name, true);
        offsetFields.push_back(out.size() + 4);
        Record(out, kBoundSheet, b);
    }
    {
        std::string b;
        AppendU32(b, 0);
        AppendU32(b, 0);
        Record(out, kSst, b);
        std::string e;
        AppendU16(e, 8);
        Record(out, kExtSst, e);
    }
    Record(out, kEof, "");

    for (std::size_t s = 0; s < layout.sheetNames.size(); ++s) {
        PutU32At(out, offsetFields[s], static_cast<std::uint32_t>(out.size()));
        Record(out, kBof, Bof(0x0010));
        Record(out, kIndex, std::string(16, '\0'));
        Record(out, kDimensions, std::string(14, '\0'));
        if (s == 0) {
            for (std::size_t c = 0; c < layout.columnWidths.size(); ++c) {
                std::string b;
                AppendU16(b, static_cast<std::uint16_t>(c));
                AppendU16(b, static_cast<std::uint16_t>(c));
                AppendU16(b, static_cast<std::uint16_t>(layout.columnWidths[c]));
                AppendU16(b, 15);
                AppendU16(b, 0);
                AppendU16(b, 0);
                Record(out, kColInfo, b);
            }
        }
        if (s == 0) {
            for (const auto& e : layout.errorCells) {
                std::string b;
                AppendU16(b, static_cast<std::uint16_t>(e.row - 1));
                AppendU16(b, static_cast<std::uint16_t>(e.column - 1));
                AppendU16(b, 15);
                AppendU8(b, static_cast<std::uint8_t>(e.code));
                AppendU8(b, 1);  // an error, not a boolean
                Record(out, kBoolErr, b);
            }
        }
        std::string w;
        AppendU16(w, s == 0 ? 0x06B6 : 0x00B6);
        for (std::uint16_t v : {0, 0, 0x40, 0, 0, 0})
            AppendU16(w, v);
        AppendU32(w, 0);
        Record(out, kWindow2, w);
        Record(out, kEof, "");
    }
    return out;
}

void WriteBlankWorkbook(const std::string& path, const BlankWorkbookLayout& layout) {
    spreadsheet::cfb::CompoundFile file;
    file.root().kind = spreadsheet::cfb::Entry::Kind::Storage;
    file.root().name = "Root Entry";
    std::string bytes = file.Serialize({{"Workbook", BlankWorkbookStream(layout)}});
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush())
        throw std::runtime_error("cannot write " + path);
}

void FillWorkbook(const std::string& path, const std::vector<TextCell>& cells) {
    using automation::Arg;
    using automation::Variant;
    auto app = spreadsheet::CreateSpreadsheetApplication();
    auto books = automation::AsObject(automation::Get(*app, "WorkBooks"), "WorkBooks");
    automation::Call(*books, "Open", {Arg::ByVal(Variant::FromUtf8(path))});
    for (const TextCell& c : cells) {
        auto cell = automation::AsObject(
            automation::Get(*app, "Cells", {Arg::ByVal(c.row), Arg::ByVal(c.column)}), "Cells");
        automation::Put(*cell, "Value", Arg::ByVal(Variant::FromUtf8(c.text)));
    }
    auto book = automation::AsObject(automation::Get(*app, "ActiveWorkbook"), "ActiveWorkbook");
    automation::Call(*book, "Save");
    automation::Call(*app, "Quit");
}

}  // namespace bench
