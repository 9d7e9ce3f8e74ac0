#include "spreadsheet/xls/XlsReader.h"

#include <algorithm>
#include <cstdio>

#include "spreadsheet/xls/BiffBytes.h"

namespace spreadsheet::xls {
namespace {

constexpr std::uint16_t kBiff8Version = 0x0600;
constexpr std::uint16_t kBiff5Version = 0x0500;
constexpr std::uint16_t kBofGlobals = 0x0005;
constexpr std::int32_t kMaxRows = 65536;
constexpr std::int32_t kMaxColumns = 256;
constexpr std::size_t kBiff8XfSize = 20;
constexpr std::size_t kBiff5XfSize = 16;

std::string Hex(std::uint16_t id) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%04X", id);
    return buf;
}

[[noreturn]] void Damaged(const Record& r, const char* what) {
    throw SpreadsheetError("damaged workbook stream: record " + Hex(r.id) + " at offset " +
                           std::to_string(r.offset) + " " + what);
}

void NeedBytes(const Record& r, std::size_t n) {
    if (r.data.size() < n)
        Damaged(r, "is too short");
}

class StreamReader {
  public:
    StreamReader(const std::string& path, std::string stream) : path_(path) {
        doc_.stream = std::move(stream);
        workbook_ = std::make_unique<Workbook>(path);
    }

    ParsedWorkbookStream Run() {
        ReadGlobals();
        for (auto& sheet : doc_.sheets)
            ReadSheet(sheet);
        return {std::move(workbook_), std::move(doc_)};
    }

  private:
    bool biff8() const { return doc_.version == BiffVersion::Biff8; }
    std::string_view stream() const { return doc_.stream; }

    std::u16string Decode8Bit(std::string_view bytes) const { return decoder_.Decode(bytes); }

    // A BIFF5 byte string with an 8- or 16-bit length at `at`; BIFF8 unicode strings likewise.
    std::u16string StringAt(const Record& r, std::size_t at, bool length16,
                            std::vector<std::string_view> continues = {}) const {
        if (biff8()) {
            std::vector<std::string_view> segments{r.data.substr(std::min(at, r.data.size()))};
            for (auto c : continues)
                segments.push_back(c);
            ContinuedReader in(std::move(segments));
            return ReadUnicodeString(in, length16);
        }
        const std::size_t lengthSize = length16 ? 2 : 1;
        NeedBytes(r, at + lengthSize);
        const std::size_t cch = length16 ? GetU16(r.data, at) : GetU8(r.data, at);
        if (r.data.size() - at - lengthSize < cch)
            Damaged(r, "has a string longer than its data");
        return Decode8Bit(r.data.substr(at + lengthSize, cch));
    }

    void ReadGlobals() {
        const Record first = ReadRecordAt(stream(), 0);
        if (first.id == rec::kBofBiff2 || first.id == rec::kBofBiff3 ||
            first.id == rec::kBofBiff4) {
            throw SpreadsheetError(path_ +
                                   ": an Excel 2, 3 or 4 workbook (BIFF2-4) is not supported");
        }
        if (first.id != rec::kBof) {
            throw SpreadsheetError(path_ +
                                   ": the workbook stream does not start with a BOF record");
        }
        NeedBytes(first, 4);
        const std::uint16_t version = GetU16(first.data, 0);
        const std::uint16_t type = GetU16(first.data, 2);
        if (version == kBiff8Version) {
            doc_.version = BiffVersion::Biff8;
            doc_.codePage = 1200;
        } else if (version == kBiff5Version) {
            doc_.version = BiffVersion::Biff5;
        } else {
            throw SpreadsheetError(path_ + ": unsupported BIFF version " + Hex(version));
        }
        if (type != kBofGlobals) {
            throw SpreadsheetError(path_ +
                                   ": the workbook stream does not start with workbook globals");
        }

        std::size_t at = 0;
        for (;;) {
            if (at >= stream().size()) {
                throw SpreadsheetError(
                    "damaged workbook stream: the workbook globals have no EOF record");
            }
            const Record r = ReadRecordAt(stream(), at);
            at = r.end();
            const std::size_t index = doc_.globals.size();
            doc_.globals.push_back(r);
            if (index > 0 && r.id == rec::kBof)
                Damaged(r, "opens a substream inside the globals");
            if (r.id == rec::kEof)
                break;
            switch (r.id) {
                case rec::kFilePass:
                    throw SpreadsheetError(path_ +
                                           ": the workbook is encrypted (password protected)");
                case rec::kCodePage:
                    NeedBytes(r, 2);
                    doc_.codePage = GetU16(r.data, 0);
                    if (!biff8())
                        decoder_ = CodePageDecoder(doc_.codePage);
                    break;
                case rec::kDateMode:
                    NeedBytes(r, 2);
                    workbook_->setDate1904(GetU16(r.data, 0) == 1);
                    break;
                case rec::kFormat:
                    ReadFormat(r, index);
                    break;
                case rec::kXf:
                    ReadXf(r, index);
                    break;
                case rec::kBoundSheet:
                    boundSheets_.push_back(index);
                    break;
                case rec::kSst:
                    ReadSst(index);
                    break;
                case rec::kExtSst:
                    doc_.extSstRecord = index;
                    break;
                default:
                    break;
            }
        }
        // Each sheet must end before the next one starts: walking it stops there, so sheets
        // that claim the same records cost one walk, not one each.
        for (std::size_t index : boundSheets_) {
            const Record& r = doc_.globals[index];
            NeedBytes(r, 4);
            sheetStarts_.push_back(GetU32(r.data, 0));
        }
        std::sort(sheetStarts_.begin(), sheetStarts_.end());
        if (std::adjacent_find(sheetStarts_.begin(), sheetStarts_.end()) != sheetStarts_.end())
            throw SpreadsheetError("damaged workbook stream: two sheets start at the same offset");
        for (std::size_t index : boundSheets_)
            ReadBoundSheet(doc_.globals[index], index);
        CheckSubstreamsDoNotOverlap();
    }

    void ReadFormat(const Record& r, std::size_t index) {
        NeedBytes(r, biff8() ? 5 : 3);
        const std::uint16_t id = GetU16(r.data, 0);
        doc_.formats[id] = StringAt(r, 2, biff8());
        doc_.lastFormatRecord = index;
    }

    void ReadXf(const Record& r, std::size_t index) {
        NeedBytes(r, biff8() ? kBiff8XfSize : kBiff5XfSize);
        XfEntry xf;
        xf.formatId = GetU16(r.data, 2);
        xf.isStyle = (GetU16(r.data, 4) & 0x0004) != 0;
        xf.bytes = std::string(r.data);
        doc_.xfs.push_back(std::move(xf));
        if (!doc_.firstXfRecord)
            doc_.firstXfRecord = index;
        doc_.lastXfRecord = index;
    }

    // The SST and the CONTINUE records after it, read as one run of data.
    void ReadSst(std::size_t index) {
        if (!biff8())
            return;
        doc_.sstRecord = index;
        const Record& sst = doc_.globals[index];
        NeedBytes(sst, 8);
        doc_.sstTotal = GetU32(sst.data, 0);
        const std::uint32_t unique = GetU32(sst.data, 4);
        std::vector<std::string_view> segments{sst.data.substr(8)};
        std::size_t at = sst.end();
        std::size_t dataSize = sst.data.size();
        while (at < stream().size()) {
            const Record c = ReadRecordAt(stream(), at);
            if (c.id != rec::kContinue)
                break;
            segments.push_back(c.data);
            dataSize += c.data.size();
            at = c.end();
        }
        // Each string takes at least three bytes: a count never buys more memory than that.
        const std::size_t plausible = std::min<std::size_t>(unique, dataSize / 3 + 1);
        auto& pool = workbook_->strings();
        pool.reserve(plausible);
        doc_.sstFormatting.reserve(plausible);
        ContinuedReader in(std::move(segments));
        for (std::uint32_t i = 0; i < unique; ++i) {
            if (in.AtEnd()) {
                throw SpreadsheetError("damaged workbook stream: the shared string table holds " +
                                       std::to_string(i) + " of its " + std::to_string(unique) +
                                       " strings");
            }
            RichString s = ReadRichString(in);
            pool.Append(std::move(s.text));
            s.text.clear();
            doc_.sstFormatting.push_back(std::move(s));
        }
    }

    void ReadBoundSheet(const Record& r, std::size_t index) {
        NeedBytes(r, biff8() ? 8 : 7);
        SheetEntry sheet;
        sheet.boundSheetRecord = index;
        sheet.start = GetU32(r.data, 0);
        const std::uint8_t state = GetU8(r.data, 4) & 0x03;
        sheet.type = GetU8(r.data, 5);
        const std::u16string name = StringAt(r, 6, false);
        if (sheet.start >= stream().size())
            Damaged(r, "points past the stream end");
        const auto next = std::upper_bound(sheetStarts_.begin(), sheetStarts_.end(), sheet.start);
        const std::size_t limit = next == sheetStarts_.end() ? stream().size() : *next;
        sheet.end = SubstreamEnd(stream().substr(0, limit), sheet.start);
        if (sheet.type == 0) {
            sheet.worksheetIndex = workbook_->worksheetCount();
            const SheetVisibility visibility = state == 1   ? SheetVisibility::Hidden
                                               : state == 2 ? SheetVisibility::VeryHidden
                                                            : SheetVisibility::Visible;
            workbook_->AddWorksheet(name, visibility);
        }
        doc_.sheets.push_back(std::move(sheet));
    }

    void CheckSubstreamsDoNotOverlap() const {
        std::vector<std::pair<std::size_t, std::size_t>> spans;
        spans.push_back({0, doc_.globals.back().end()});
        for (const auto& s : doc_.sheets)
            spans.push_back({s.start, s.end});
        std::sort(spans.begin(), spans.end());
        for (std::size_t i = 1; i < spans.size(); ++i) {
            if (spans[i].first < spans[i - 1].second) {
                throw SpreadsheetError("damaged workbook stream: sheets overlap at offset " +
                                       std::to_string(spans[i].first));
            }
        }
    }

    void ReadSheet(SheetEntry& sheet) {
        Worksheet* ws =
            sheet.worksheetIndex >= 0 ? &workbook_->worksheet(sheet.worksheetIndex) : nullptr;
        // A cell record takes ten bytes or more: enough buckets without a count of records.
        if (ws)
            ws->Reserve(ws->cellCount() + (sheet.end - sheet.start) / 10);
        // A formula with a text result: its STRING record follows (after any SHRFMLA/ARRAY).
        std::optional<std::pair<std::int32_t, std::int32_t>> pendingString;
        // The substream's own records; those of embedded chart substreams are passed over.
        int depth = 0;
        for (std::size_t at = sheet.start; at < sheet.end;) {
            const Record r = ReadRecordAt(stream(), at);
            at = r.end();
            if (r.id == rec::kBof)
                ++depth;
            const int recordDepth = depth;
            if (r.id == rec::kEof)
                --depth;
            if (recordDepth != 1)
                continue;
            switch (r.id) {
                case rec::kRow: {
                    NeedBytes(r, 16);
                    RowFormat f;
                    f.hasFormat = (GetU16(r.data, 12) & 0x0080) != 0;
                    f.xf = GetU16(r.data, 14) & 0x0FFF;
                    sheet.rowFormats[GetU16(r.data, 0)] = f;
                    break;
                }
                case rec::kColInfo: {
                    NeedBytes(r, 10);
                    sheet.columnFormats.push_back(
                        {GetU16(r.data, 0), GetU16(r.data, 2), GetU16(r.data, 6)});
                    break;
                }
                case rec::kDefaultRowHeight:
                    if (r.data.size() >= 4) {
                        doc_.defaultRowHeight = GetU16(r.data, 2);
                        doc_.defaultRowHeightCustom = (GetU16(r.data, 0) & 0x0001) != 0;
                    }
                    break;
                default:
                    break;
            }
            if (!ws)
                continue;
            switch (r.id) {
                case rec::kNumber: {
                    NeedBytes(r, 14);
                    Cell c = NumberCell(GetU16(r.data, 4), GetF64(r.data, 6));
                    Put(*ws, r, GetU16(r.data, 0), GetU16(r.data, 2), c);
                    pendingString.reset();
                    break;
                }
                case rec::kRk: {
                    NeedBytes(r, 10);
                    Cell c = NumberCell(GetU16(r.data, 4), DecodeRk(GetU32(r.data, 6)));
                    Put(*ws, r, GetU16(r.data, 0), GetU16(r.data, 2), c);
                    pendingString.reset();
                    break;
                }
                case rec::kMulRk: {
                    NeedBytes(r, 12);  // at least one number
                    const std::size_t count = (r.data.size() - 6) / 6;
                    if ((r.data.size() - 6) % 6 != 0)
                        Damaged(r, "has a broken list of numbers");
                    const std::uint16_t row = GetU16(r.data, 0);
                    const std::uint16_t col = GetU16(r.data, 2);
                    for (std::size_t k = 0; k < count; ++k) {
                        Cell c = NumberCell(GetU16(r.data, 4 + 6 * k),
                                            DecodeRk(GetU32(r.data, 6 + 6 * k)));
                        Put(*ws, r, row, static_cast<std::uint32_t>(col + k), c);
                    }
                    pendingString.reset();
                    break;
                }
                case rec::kBlank: {
                    NeedBytes(r, 6);
                    Cell c;
                    c.style = GetU16(r.data, 4);
                    Put(*ws, r, GetU16(r.data, 0), GetU16(r.data, 2), c);
                    pendingString.reset();
                    break;
                }
                case rec::kMulBlank: {
                    NeedBytes(r, 8);  // at least one blank
                    if (r.data.size() % 2 != 0)
                        Damaged(r, "has a broken list of blanks");
                    const std::size_t count = (r.data.size() - 6) / 2;
                    const std::uint16_t row = GetU16(r.data, 0);
                    const std::uint16_t col = GetU16(r.data, 2);
                    for (std::size_t k = 0; k < count; ++k) {
                        Cell c;
                        c.style = GetU16(r.data, 4 + 2 * k);
                        Put(*ws, r, row, static_cast<std::uint32_t>(col + k), c);
                    }
                    pendingString.reset();
                    break;
                }
                case rec::kBoolErr: {
                    NeedBytes(r, 8);
                    Cell c;
                    c.style = GetU16(r.data, 4);
                    const bool isError = GetU8(r.data, 7) != 0;
                    c.type = isError ? CellType::Error : CellType::Boolean;
                    c.payload = isError ? GetU8(r.data, 6) : (GetU8(r.data, 6) != 0 ? 1 : 0);
                    Put(*ws, r, GetU16(r.data, 0), GetU16(r.data, 2), c);
                    pendingString.reset();
                    break;
                }
                case rec::kLabelSst: {
                    NeedBytes(r, 10);
                    const std::uint32_t isst = GetU32(r.data, 6);
                    if (!doc_.sstRecord || isst >= doc_.sstFormatting.size()) {
                        Damaged(r, "refers to a shared string that does not exist");
                    }
                    Cell c;
                    c.style = GetU16(r.data, 4);
                    c.type = CellType::Text;
                    c.payload = isst;
                    Put(*ws, r, GetU16(r.data, 0), GetU16(r.data, 2), c);
                    pendingString.reset();
                    break;
                }
                case rec::kLabel:
                case rec::kRString: {
                    NeedBytes(r, 8);
                    Cell c;
                    c.style = GetU16(r.data, 4);
                    c.type = CellType::Text;
                    c.payload = workbook_->strings().Append(
                        StringAt(r, 6, true, ContinuesAt(at, sheet.end)));
                    Put(*ws, r, GetU16(r.data, 0), GetU16(r.data, 2), c);
                    pendingString.reset();
                    break;
                }
                case rec::kFormula: {
                    NeedBytes(r, 20);
                    const std::uint16_t row = GetU16(r.data, 0);
                    const std::uint16_t col = GetU16(r.data, 2);
                    Cell c;
                    c.style = GetU16(r.data, 4);
                    c.formula = true;
                    pendingString.reset();
                    if (GetU16(r.data, 12) == 0xFFFF) {
                        const std::uint8_t kind = GetU8(r.data, 6);
                        switch (kind) {
                            case 0:  // text, in the STRING record that follows
                                c.type = CellType::Text;
                                c.payload = EmptyTextIndex();
                                pendingString = {{row, col}};
                                break;
                            case 1:
                                c.type = CellType::Boolean;
                                c.payload = GetU8(r.data, 8) != 0 ? 1 : 0;
                                break;
                            case 2:
                                c.type = CellType::Error;
                                c.payload = GetU8(r.data, 8);
                                break;
                            case 3:
                                c.type = CellType::Text;
                                c.payload = EmptyTextIndex();
                                break;
                            default:
                                c.type = CellType::Empty;
                                break;
                        }
                    } else {
                        c.type = CellType::Number;
                        c.number = GetF64(r.data, 6);
                    }
                    Put(*ws, r, row, col, c);
                    break;
                }
                case rec::kString: {
                    if (!pendingString)
                        break;
                    const auto [row, col] = *pendingString;
                    pendingString.reset();
                    std::u16string text = StringAt(r, 0, true, ContinuesAt(at, sheet.end));
                    if (InBounds(row, col)) {
                        if (const Cell* old = ws->Find(row + 1, col + 1)) {
                            Cell c = *old;
                            c.payload = workbook_->strings().Append(std::move(text));
                            ws->Load(row + 1, col + 1, c);
                        }
                    }
                    break;
                }
                case rec::kSharedFormula:
                case rec::kArray:
                case rec::kTable:
                case rec::kContinue:
                    break;  // formula definitions: the cells hold their cached results
                default:
                    break;
            }
        }
    }

    // The data of the CONTINUE records from `at` on.
    std::vector<std::string_view> ContinuesAt(std::size_t at, std::size_t end) const {
        std::vector<std::string_view> out;
        while (at < end) {
            const Record c = ReadRecordAt(stream(), at);
            if (c.id != rec::kContinue)
                break;
            out.push_back(c.data);
            at = c.end();
        }
        return out;
    }

    std::uint32_t EmptyTextIndex() {
        if (!emptyText_)
            emptyText_ = workbook_->strings().Append(std::u16string());
        return *emptyText_;
    }

    static Cell NumberCell(std::uint16_t xf, double value) {
        Cell c;
        c.style = xf;
        c.type = CellType::Number;
        c.number = value;
        return c;
    }

    static bool InBounds(std::uint32_t row, std::uint32_t col) {
        return row < static_cast<std::uint32_t>(kMaxRows) &&
               col < static_cast<std::uint32_t>(kMaxColumns);
    }

    // Cells outside the sheet's grid cannot be addressed: they are left out of the model (and
    // kept in the file).
    static void Put(Worksheet& ws, const Record&, std::uint32_t row, std::uint32_t col,
                    const Cell& c) {
        if (!InBounds(row, col))
            return;
        ws.Load(static_cast<std::int32_t>(row) + 1, static_cast<std::int32_t>(col) + 1, c);
    }

    std::string path_;
    XlsDocument doc_;
    std::unique_ptr<Workbook> workbook_;
    CodePageDecoder decoder_{1252};
    std::vector<std::size_t> boundSheets_;
    std::vector<std::size_t> sheetStarts_;  // sorted
    std::optional<std::uint32_t> emptyText_;
};

}  // namespace

double DecodeRk(std::uint32_t rk) {
    double value;
    if (rk & 0x02) {
        value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::string raw(8, '\0');
        PutU32At(raw, 0, static_cast<std::uint32_t>(bits));
        PutU32At(raw, 4, static_cast<std::uint32_t>(bits >> 32));
        value = GetF64(raw, 0);
    }
    return (rk & 0x01) ? value / 100.0 : value;
}

ParsedWorkbookStream ParseWorkbookStream(const std::string& path, std::string stream) {
    try {
        StreamReader reader(path, std::move(stream));
        return reader.Run();
    } catch (const SpreadsheetError& e) {
        // Every reason names the file.
        const std::string what = e.what();
        if (what.rfind(path + ":", 0) == 0)
            throw;
        throw SpreadsheetError(path + ": " + what);
    }
}

}  // namespace spreadsheet::xls
