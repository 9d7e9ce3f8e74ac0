#include "spreadsheet/xls/XlsWriter.h"

#include <algorithm>
#include <map>
#include <optional>
#include <unordered_map>

#include "spreadsheet/xls/BiffBytes.h"

namespace spreadsheet::xls {
namespace {

constexpr std::size_t kMaxRowRecordsPerBlock = 32;
constexpr std::int32_t kMaxRows = 65536;
constexpr std::int32_t kMaxColumns = 256;
constexpr std::size_t kMaxCellText = 32767;         // the most characters a cell holds
constexpr std::uint16_t kRowFlagsDefault = 0x0100;  // the flag bit that must always be set
constexpr std::uint16_t kRowFlagUnsynced = 0x0040;
constexpr std::uint16_t kDefaultCellXf = 15;
constexpr std::uint16_t kWindow2 = 0x023E;

bool IsCellRecord(std::uint16_t id) {
    switch (id) {
        case rec::kNumber:
        case rec::kRk:
        case rec::kMulRk:
        case rec::kBlank:
        case rec::kMulBlank:
        case rec::kBoolErr:
        case rec::kLabelSst:
        case rec::kLabel:
        case rec::kRString:
        case rec::kFormula:
            return true;
        default:
            return false;
    }
}

bool IsFormulaCompanion(std::uint16_t id) {
    return id == rec::kString || id == rec::kSharedFormula || id == rec::kArray ||
           id == rec::kTable;
}

std::string RecordBytes(std::uint16_t id, std::string_view data) {
    std::string out;
    AppendRecord(out, id, data);
    return out;
}

// One cell record of a sheet (with the records that belong to it: a formula's STRING, SHRFMLA,
// ARRAY or TABLE and CONTINUEs), either copied from the file or made by the writer.
struct CellItem {
    std::uint16_t firstCol = 0;
    std::uint16_t lastCol = 0;
    std::string_view original;
    std::string made;
    bool isMade = false;

    std::string_view bytes() const { return isMade ? std::string_view(made) : original; }
    std::uint16_t id() const { return GetU16(bytes(), 0); }
    bool covers(std::uint16_t col) const { return firstCol <= col && col <= lastCol; }

    static CellItem Made(std::uint16_t first, std::uint16_t last, std::string bytes) {
        CellItem item;
        item.firstCol = first;
        item.lastCol = last;
        item.made = std::move(bytes);
        item.isMade = true;
        return item;
    }
};

struct RowData {
    std::optional<std::string> rowRecord;  // the ROW record's data
    std::vector<CellItem> cells;
};

struct SheetLayout {
    std::vector<SubstreamRecord> records;  // the sheet's substream as loaded
    std::map<std::uint32_t, RowData> rows;
    std::size_t regionBegin = 0;  // record indexes of the cell table: [begin, end)
    std::size_t regionEnd = 0;
    std::vector<std::string_view> interlopers;  // other records found among the cells
    // Shared formulas (SHRFMLA, ARRAY, TABLE) whose first cell was overwritten while other
    // cells of their range still use them.
    std::vector<std::string> orphanedShared;
    bool hadDbCells = false;
};

class Writer {
  public:
    Writer(const XlsDocument& doc, const Workbook& wb, const AddedStyles& added)
        : doc_(doc), wb_(wb), added_(added) {}

    std::string Build() {
        if (doc_.version != BiffVersion::Biff8) {
            throw SpreadsheetError("an Excel 95 (BIFF5) workbook cannot be saved");
        }
        totalXfs_ = doc_.xfs.size() + added_.xfs.size();
        // Texts get their shared-string indexes before the globals are written.
        for (const auto& sheet : doc_.sheets) {
            if (sheet.worksheetIndex < 0)
                continue;
            const Worksheet& ws = wb_.worksheet(sheet.worksheetIndex);
            for (const CellRef& ref : ws.written()) {
                const Cell* cell = ws.Find(ref.row, ref.column);
                if (cell && cell->type == CellType::Text &&
                    !wb_.strings().at(cell->payload).empty())
                    SstIndexFor(cell->payload);
            }
        }
        PlanAllSheets();
        out_.reserve(doc_.stream.size() + doc_.stream.size() / 8 + 4096);
        WriteGlobals();
        WriteSheets();
        return std::move(out_);
    }

  private:
    std::string_view stream() const { return doc_.stream; }

    std::uint32_t SstIndexFor(std::uint32_t poolIndex) {
        if (poolIndex < doc_.sstFormatting.size())
            return poolIndex;
        auto [it, inserted] = newSstIndex_.try_emplace(
            poolIndex,
            static_cast<std::uint32_t>(doc_.sstFormatting.size() + newSstStrings_.size()));
        if (inserted) {
            const auto& text = wb_.strings().at(poolIndex);
            if (text.size() > kMaxCellText) {
                throw SpreadsheetError("a text of " + std::to_string(text.size()) +
                                       " characters is longer than a cell holds (32767)");
            }
            newSstStrings_.push_back(poolIndex);
        }
        return it->second;
    }

    // --- globals -------------------------------------------------------------------------

    void CopyRecord(const Record& r) { out_.append(stream().substr(r.offset, r.end() - r.offset)); }

    void WriteAddedFormats() {
        for (const auto& [id, code] : added_.formats) {
            std::string data;
            AppendU16(data, id);
            AppendU16(data, static_cast<std::uint16_t>(code.size()));
            const bool compressed = FitsCompressed(code);
            AppendU8(data, compressed ? 0 : 1);
            AppendChars(data, code, compressed);
            AppendRecord(out_, rec::kFormat, data);
        }
    }

    void WriteAddedXfs() {
        for (const auto& xf : added_.xfs)
            AppendRecord(out_, rec::kXf, xf);
    }

    void WriteGlobals() {
        const auto& g = doc_.globals;
        const bool rewriteSst = !newSstStrings_.empty();
        std::optional<std::size_t> sstContinuesEnd;
        if (doc_.sstRecord) {
            std::size_t k = *doc_.sstRecord + 1;
            while (k < g.size() && g[k].id == rec::kContinue)
                ++k;
            sstContinuesEnd = k;
        }
        std::int64_t sstShift = 0;
        bool extSstWritten = false;
        for (std::size_t i = 0; i < g.size(); ++i) {
            const Record& r = g[i];
            if (!doc_.lastFormatRecord && doc_.firstXfRecord && i == *doc_.firstXfRecord)
                WriteAddedFormats();
            if (doc_.sstRecord && i > *doc_.sstRecord && i < *sstContinuesEnd) {
                if (!rewriteSst)
                    CopyRecord(r);
                continue;
            }
            if (doc_.sstRecord && i == *doc_.sstRecord) {
                if (rewriteSst) {
                    WriteSst();
                    if (!doc_.extSstRecord) {
                        WriteExtSst();
                        extSstWritten = true;
                    }
                } else {
                    sstShift = static_cast<std::int64_t>(out_.size()) -
                               static_cast<std::int64_t>(r.offset);
                    const std::size_t at = out_.size();
                    CopyRecord(r);
                    PutU32At(out_, at + kRecordHeaderSize, SstTotal());
                }
            } else if (doc_.extSstRecord && i == *doc_.extSstRecord) {
                if (rewriteSst) {
                    if (!extSstWritten)
                        WriteExtSst();
                } else {
                    const std::size_t at = out_.size() + kRecordHeaderSize;
                    CopyRecord(r);
                    // Its string positions are stream offsets: they move with the SST.
                    for (std::size_t e = 2; e + 8 <= r.data.size(); e += 8) {
                        PutU32At(out_, at + e,
                                 static_cast<std::uint32_t>(GetU32(r.data, e) + sstShift));
                    }
                }
            } else if (r.id == rec::kEof) {
                if (!doc_.sstRecord && rewriteSst) {
                    WriteSst();
                    WriteExtSst();
                }
                CopyRecord(r);
            } else {
                if (r.id == rec::kBoundSheet)
                    boundSheetOut_[i] = out_.size();
                CopyRecord(r);
            }
            if (doc_.lastFormatRecord && i == *doc_.lastFormatRecord)
                WriteAddedFormats();
            if (doc_.lastXfRecord && i == *doc_.lastXfRecord)
                WriteAddedXfs();
        }
    }

    std::uint32_t SstTotal() const {
        const std::int64_t total = static_cast<std::int64_t>(doc_.sstTotal) + sstTotalDelta_;
        return static_cast<std::uint32_t>(std::max<std::int64_t>(total, 0));
    }

    // The SST with CONTINUE records: a string's header never splits; its characters may, and
    // the CONTINUE then starts with the compression flag; runs split only between runs.
    void WriteSst() {
        const std::size_t count = doc_.sstFormatting.size() + newSstStrings_.size();
        dsst_ = std::max<std::size_t>(8, count / 128 + 1);
        extSst_.clear();
        std::size_t recordStart = out_.size();
        auto begin = [&](std::uint16_t id) {
            recordStart = out_.size();
            AppendU16(out_, id);
            AppendU16(out_, 0);
        };
        auto finish = [&] {
            PutU16At(out_, recordStart + 2,
                     static_cast<std::uint16_t>(out_.size() - recordStart - kRecordHeaderSize));
        };
        auto room = [&] {
            return kMaxRecordData - (out_.size() - recordStart - kRecordHeaderSize);
        };
        auto next = [&] {
            finish();
            begin(rec::kContinue);
        };
        begin(rec::kSst);
        AppendU32(out_, SstTotal());
        AppendU32(out_, static_cast<std::uint32_t>(count));
        for (std::size_t i = 0; i < count; ++i) {
            const bool original = i < doc_.sstFormatting.size();
            const std::u16string& text =
                wb_.strings().at(original ? static_cast<std::uint32_t>(i)
                                          : newSstStrings_[i - doc_.sstFormatting.size()]);
            static const RichString kPlain;
            const RichString& fmt = original ? doc_.sstFormatting[i] : kPlain;
            const bool compressed = FitsCompressed(text);
            const std::size_t unit = compressed ? 1 : 2;
            const std::size_t header =
                3 + (fmt.runs.empty() ? 0 : 2) + (fmt.phonetic.empty() ? 0 : 4);
            if (room() < header + (text.empty() ? 0 : unit))
                next();
            if (i % dsst_ == 0) {
                extSst_.push_back({static_cast<std::uint32_t>(out_.size()),
                                   static_cast<std::uint16_t>(out_.size() - recordStart)});
            }
            AppendU16(out_, static_cast<std::uint16_t>(text.size()));
            AppendU8(out_, static_cast<std::uint8_t>((compressed ? 0 : 1) |
                                                     (fmt.phonetic.empty() ? 0 : 0x04) |
                                                     (fmt.runs.empty() ? 0 : 0x08)));
            if (!fmt.runs.empty())
                AppendU16(out_, static_cast<std::uint16_t>(fmt.runs.size() / 4));
            if (!fmt.phonetic.empty())
                AppendU32(out_, static_cast<std::uint32_t>(fmt.phonetic.size()));
            std::size_t done = 0;
            while (done < text.size()) {
                std::size_t fit = room() / unit;
                if (fit == 0) {
                    next();
                    AppendU8(out_, compressed ? 0 : 1);
                    continue;
                }
                const std::size_t take = std::min(fit, text.size() - done);
                AppendChars(out_, std::u16string_view(text).substr(done, take), compressed);
                done += take;
            }
            for (std::size_t k = 0; k + 4 <= fmt.runs.size(); k += 4) {
                if (room() < 4)
                    next();
                out_.append(fmt.runs, k, 4);
            }
            std::size_t p = 0;
            while (p < fmt.phonetic.size()) {
                if (room() == 0)
                    next();
                const std::size_t take = std::min(room(), fmt.phonetic.size() - p);
                out_.append(fmt.phonetic, p, take);
                p += take;
            }
        }
        finish();
    }

    void WriteExtSst() {
        std::string data;
        AppendU16(data, static_cast<std::uint16_t>(dsst_));
        for (const auto& [position, inRecord] : extSst_) {
            if (data.size() + 8 > kMaxRecordData)
                break;
            AppendU32(data, position);
            AppendU16(data, inRecord);
            AppendU16(data, 0);
        }
        AppendRecord(out_, rec::kExtSst, data);
    }

    // --- sheets --------------------------------------------------------------------------

    void PlanAllSheets() {
        if (planned_)
            return;
        planned_ = true;
        for (std::size_t s = 0; s < doc_.sheets.size(); ++s) {
            const auto& sheet = doc_.sheets[s];
            if (sheet.worksheetIndex < 0 || !wb_.worksheet(sheet.worksheetIndex).modified())
                continue;
            layouts_[s] = PlanSheet(sheet, wb_.worksheet(sheet.worksheetIndex));
        }
    }

    void WriteSheets() {
        PlanAllSheets();
        std::vector<std::size_t> order(doc_.sheets.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return doc_.sheets[a].start < doc_.sheets[b].start;
        });
        std::size_t previousEnd = doc_.globals.back().end();
        for (std::size_t s : order) {
            const SheetEntry& sheet = doc_.sheets[s];
            out_.append(stream().substr(previousEnd, sheet.start - previousEnd));
            const std::size_t newStart = out_.size();
            PutU32At(out_, boundSheetOut_.at(sheet.boundSheetRecord) + kRecordHeaderSize,
                     static_cast<std::uint32_t>(newStart));
            auto it = layouts_.find(s);
            if (it == layouts_.end()) {
                CopySheet(sheet, newStart);
            } else {
                WriteChangedSheet(sheet, it->second);
            }
            previousEnd = sheet.end;
        }
        out_.append(stream().substr(previousEnd));
    }

    // A sheet the session did not change: copied, with its INDEX's stream offsets moved.
    void CopySheet(const SheetEntry& sheet, std::size_t newStart) {
        const std::int64_t delta =
            static_cast<std::int64_t>(newStart) - static_cast<std::int64_t>(sheet.start);
        out_.append(stream().substr(sheet.start, sheet.end - sheet.start));
        if (delta == 0)
            return;
        for (const auto& [r, depth] : ReadSubstream(stream(), sheet.start)) {
            if (depth != 1 || r.id != rec::kIndex || r.data.size() < 16)
                continue;
            const std::size_t at = newStart + (r.offset - sheet.start) + kRecordHeaderSize;
            const auto& index = r;  // clang 14 cannot capture a structured binding
            auto shift = [&](std::size_t field) {
                const std::uint32_t v = GetU32(index.data, field);
                if (v != 0)
                    PutU32At(out_, at + field, static_cast<std::uint32_t>(v + delta));
            };
            shift(12);
            for (std::size_t e = 16; e + 4 <= r.data.size(); e += 4)
                shift(e);
        }
    }

    SheetLayout PlanSheet(const SheetEntry& sheet, const Worksheet& ws) {
        SheetLayout layout;
        layout.records = ReadSubstream(stream(), sheet.start);
        const auto& recs = layout.records;
        auto isTable = [&](const SubstreamRecord& sr) {
            const auto id = sr.record.id;
            return sr.depth == 1 && (IsCellRecord(id) || id == rec::kRow || id == rec::kDbCell);
        };
        std::optional<std::size_t> first, last;
        for (std::size_t i = 0; i < recs.size(); ++i) {
            if (!isTable(recs[i]))
                continue;
            if (!first)
                first = i;
            last = i;
        }
        if (first) {
            layout.regionBegin = *first;
            std::size_t end = *last + 1;
            // The companions of the last cell belong to the table too.
            while (
                end < recs.size() && recs[end].depth == 1 &&
                (IsFormulaCompanion(recs[end].record.id) || recs[end].record.id == rec::kContinue))
                ++end;
            layout.regionEnd = end;
        } else {
            // No cells yet: the table goes after DIMENSIONS, else before WINDOW2 or the EOF.
            std::size_t at = recs.size() - 1;
            for (std::size_t i = 0; i < recs.size(); ++i) {
                if (recs[i].depth != 1)
                    continue;
                if (recs[i].record.id == rec::kDimensions) {
                    at = i + 1;
                    break;
                }
            }
            if (at == recs.size() - 1) {
                for (std::size_t i = 0; i < recs.size(); ++i)
                    if (recs[i].depth == 1 && recs[i].record.id == kWindow2) {
                        at = i;
                        break;
                    }
            }
            layout.regionBegin = layout.regionEnd = at;
        }

        // Records come row after row: look the row up only when it changes, and append at the
        // end of the map when it is new.
        std::optional<std::uint32_t> lastRow;
        RowData* lastRowData = nullptr;
        auto rowOf = [&](std::uint32_t row) -> RowData& {
            if (lastRow != row) {
                auto it = layout.rows.lower_bound(row);
                if (it == layout.rows.end() || it->first != row)
                    it = layout.rows.emplace_hint(it, row, RowData{});
                lastRow = row;
                lastRowData = &it->second;
            }
            return *lastRowData;
        };
        CellItem* current = nullptr;
        bool lastWasInterloper = false;
        for (std::size_t i = layout.regionBegin; i < layout.regionEnd; ++i) {
            const auto& [r, depth] = recs[i];
            const std::string_view whole = stream().substr(r.offset, r.end() - r.offset);
            if (depth == 1 && IsCellRecord(r.id)) {
                const std::uint16_t row = GetU16(r.data, 0);
                CellItem item;
                item.firstCol = GetU16(r.data, 2);
                item.lastCol = item.firstCol;
                if (r.id == rec::kMulRk)
                    item.lastCol =
                        static_cast<std::uint16_t>(item.firstCol + (r.data.size() - 6) / 6 - 1);
                if (r.id == rec::kMulBlank)
                    item.lastCol =
                        static_cast<std::uint16_t>(item.firstCol + (r.data.size() - 6) / 2 - 1);
                item.original = whole;
                auto& cells = rowOf(row).cells;
                cells.push_back(item);
                current = &cells.back();
                lastWasInterloper = false;
            } else if (depth == 1 && current &&
                       (IsFormulaCompanion(r.id) || r.id == rec::kContinue)) {
                // Contiguous with the cell record: one view over both.
                current->original =
                    stream().substr(current->original.data() - stream().data(),
                                    r.end() - (current->original.data() - stream().data()));
            } else if (depth == 1 && r.id == rec::kRow) {
                rowOf(GetU16(r.data, 0)).rowRecord = std::string(r.data);
                current = nullptr;
                lastWasInterloper = false;
            } else if (depth == 1 && r.id == rec::kDbCell) {
                layout.hadDbCells = true;
                current = nullptr;
                lastWasInterloper = false;
            } else {
                if (lastWasInterloper && !layout.interlopers.empty() &&
                    layout.interlopers.back().data() + layout.interlopers.back().size() ==
                        whole.data()) {
                    auto& back = layout.interlopers.back();
                    back = std::string_view(back.data(), back.size() + whole.size());
                } else {
                    layout.interlopers.push_back(whole);
                }
                current = nullptr;
                lastWasInterloper = true;
            }
        }

        for (const CellRef& ref : ws.written()) {
            const Cell* cell = ws.Find(ref.row, ref.column);
            if (!cell)
                continue;
            if (ref.row < 1 || ref.row > kMaxRows || ref.column < 1 || ref.column > kMaxColumns) {
                throw SpreadsheetError("cell row " + std::to_string(ref.row) + ", column " +
                                       std::to_string(ref.column) +
                                       " lies outside an Excel 97-2003 sheet");
            }
            // Writes come row after row too; a map node stays where it is.
            if (lastRow != static_cast<std::uint32_t>(ref.row - 1)) {
                lastRow = static_cast<std::uint32_t>(ref.row - 1);
                lastRowData = &layout.rows[*lastRow];
            }
            ApplyWrite(layout, *lastRowData, static_cast<std::uint16_t>(ref.row - 1),
                       static_cast<std::uint16_t>(ref.column - 1), *cell);
        }
        for (const std::string& shared : layout.orphanedShared)
            RehomeSharedFormula(layout, shared);
        return layout;
    }

    // A shared formula must follow a formula cell of its range, and its cells name that cell.
    // It moves behind the next cell that still uses it, which becomes the one the others name
    // (the formula's relative references hold for any cell). With no such cell left it goes.
    static void RehomeSharedFormula(SheetLayout& layout, const std::string& shared) {
        constexpr std::size_t kFormulaTokensAt = 22;
        constexpr std::uint8_t kPtgExp = 0x01;
        const std::string_view range = std::string_view(shared).substr(kRecordHeaderSize);
        const std::uint16_t firstRow = GetU16(range, 0), lastRow = GetU16(range, 2);
        const std::uint8_t firstCol = GetU8(range, 4), lastCol = GetU8(range, 5);
        // The formula cells of the range that name its first cell, in file order.
        std::vector<std::pair<std::uint16_t, CellItem*>> users;
        for (auto it = layout.rows.lower_bound(firstRow);
             it != layout.rows.end() && it->first <= lastRow; ++it) {
            for (CellItem& item : it->second.cells) {
                if (item.isMade || item.firstCol < firstCol || item.firstCol > lastCol ||
                    item.id() != rec::kFormula)
                    continue;
                const std::string_view data = item.bytes().substr(kRecordHeaderSize);
                if (data.size() < kFormulaTokensAt + 5 ||
                    GetU8(data, kFormulaTokensAt) != kPtgExp ||
                    GetU16(data, kFormulaTokensAt + 1) != firstRow ||
                    GetU16(data, kFormulaTokensAt + 3) != firstCol)
                    continue;
                users.push_back({static_cast<std::uint16_t>(it->first), &item});
            }
        }
        if (users.empty())
            return;
        const std::uint16_t hostRow = users.front().first;
        const std::uint16_t hostCol = users.front().second->firstCol;
        bool rangeCanStartAtHost = true;
        for (auto& [row, item] : users) {
            rangeCanStartAtHost = rangeCanStartAtHost && item->firstCol >= hostCol;
            std::string bytes(item->bytes());
            PutU16At(bytes, kRecordHeaderSize + kFormulaTokensAt + 1, hostRow);
            PutU16At(bytes, kRecordHeaderSize + kFormulaTokensAt + 3, hostCol);
            item->made = std::move(bytes);
            item->isMade = true;
        }
        std::string moved = shared;
        if (rangeCanStartAtHost) {
            PutU16At(moved, kRecordHeaderSize, hostRow);
            moved[kRecordHeaderSize + 4] = static_cast<char>(hostCol);
        }
        CellItem& host = *users.front().second;
        const std::size_t formulaEnd = kRecordHeaderSize + GetU16(host.made, 2);
        host.made.insert(formulaEnd, moved);
    }

    std::uint16_t CellXf(const Cell& cell) const {
        if (cell.style < totalXfs_)
            return static_cast<std::uint16_t>(cell.style);
        return static_cast<std::uint16_t>(
            std::min<std::size_t>(kDefaultCellXf, totalXfs_ ? totalXfs_ - 1 : 0));
    }

    std::string ValueRecord(std::uint16_t row, std::uint16_t col, const Cell& cell) {
        std::string data;
        AppendU16(data, row);
        AppendU16(data, col);
        AppendU16(data, CellXf(cell));
        switch (cell.type) {
            case CellType::Number:
                AppendF64(data, cell.number);
                return RecordBytes(rec::kNumber, data);
            case CellType::Text:
                if (!wb_.strings().at(cell.payload).empty()) {
                    AppendU32(data, SstIndexFor(cell.payload));
                    ++sstTotalDelta_;
                    return RecordBytes(rec::kLabelSst, data);
                }
                return RecordBytes(rec::kBlank, data);
            case CellType::Boolean:
                AppendU8(data, cell.payload != 0 ? 1 : 0);
                AppendU8(data, 0);
                return RecordBytes(rec::kBoolErr, data);
            case CellType::Error:
                AppendU8(data, static_cast<std::uint8_t>(cell.payload));
                AppendU8(data, 1);
                return RecordBytes(rec::kBoolErr, data);
            case CellType::Empty:
            default:
                return RecordBytes(rec::kBlank, data);
        }
    }

    // The part [a, b] (entry indexes) of a MULRK or MULBLANK, as one record.
    static std::string PieceOf(std::string_view record, std::size_t a, std::size_t b) {
        const std::uint16_t id = GetU16(record, 0);
        const std::string_view data = record.substr(kRecordHeaderSize);
        const std::uint16_t row = GetU16(data, 0);
        const std::uint16_t firstCol = GetU16(data, 2);
        const std::size_t entry = id == rec::kMulRk ? 6 : 2;
        std::string out;
        AppendU16(out, row);
        AppendU16(out, static_cast<std::uint16_t>(firstCol + a));
        out.append(data.substr(4 + entry * a, entry * (b - a + 1)));
        if (a == b)
            return RecordBytes(id == rec::kMulRk ? rec::kRk : rec::kBlank, out);
        AppendU16(out, static_cast<std::uint16_t>(firstCol + b));
        return RecordBytes(id, out);
    }

    // What must stay of a formula's records when its cell is overwritten: a SHRFMLA, ARRAY or
    // TABLE that other cells of its range still use.
    static std::string SharedPartsOf(std::string_view bytes) {
        std::string kept;
        bool keeping = false;
        std::size_t at = 0;
        while (at + kRecordHeaderSize <= bytes.size()) {
            const std::uint16_t id = GetU16(bytes, at);
            const std::size_t len = GetU16(bytes, at + 2);
            const std::string_view data = bytes.substr(at + kRecordHeaderSize, len);
            const std::string_view whole = bytes.substr(at, kRecordHeaderSize + len);
            if (id == rec::kSharedFormula || id == rec::kArray || id == rec::kTable) {
                keeping = data.size() >= 6 &&
                          (GetU16(data, 0) != GetU16(data, 2) || GetU8(data, 4) != GetU8(data, 5));
                if (keeping)
                    kept.append(whole);
            } else if (id == rec::kContinue) {
                if (keeping)
                    kept.append(whole);
            } else {
                keeping = false;
            }
            at += kRecordHeaderSize + len;
        }
        return kept;
    }

    void ApplyWrite(SheetLayout& layout, RowData& rd, std::uint16_t row, std::uint16_t col,
                    const Cell& cell) {
        auto& cells = rd.cells;
        for (std::size_t k = 0; k < cells.size();) {
            CellItem& item = cells[k];
            if (!item.covers(col)) {
                ++k;
                continue;
            }
            if (!item.isMade && item.id() == rec::kLabelSst)
                --sstTotalDelta_;
            if (item.firstCol == item.lastCol) {
                std::string shared =
                    item.id() == rec::kFormula ? SharedPartsOf(item.bytes()) : std::string();
                if (!shared.empty())
                    layout.orphanedShared.push_back(std::move(shared));
                cells.erase(cells.begin() + static_cast<std::ptrdiff_t>(k));
                continue;
            }
            // A run of numbers or blanks: split around the written column.
            const std::size_t at = col - item.firstCol;
            const std::size_t count = item.lastCol - item.firstCol + 1u;
            const std::string bytes(item.bytes());
            std::vector<CellItem> pieces;
            if (at > 0)
                pieces.push_back(CellItem::Made(item.firstCol, static_cast<std::uint16_t>(col - 1),
                                                PieceOf(bytes, 0, at - 1)));
            if (at + 1 < count)
                pieces.push_back(CellItem::Made(static_cast<std::uint16_t>(col + 1), item.lastCol,
                                                PieceOf(bytes, at + 1, count - 1)));
            cells.erase(cells.begin() + static_cast<std::ptrdiff_t>(k));
            cells.insert(cells.begin() + static_cast<std::ptrdiff_t>(k), pieces.begin(),
                         pieces.end());
            k += pieces.size();
        }
        std::size_t pos = 0;
        while (pos < cells.size() && cells[pos].firstCol <= col)
            ++pos;
        cells.insert(cells.begin() + static_cast<std::ptrdiff_t>(pos),
                     CellItem::Made(col, col, ValueRecord(row, col, cell)));

        if (!rd.rowRecord) {
            std::string data;
            AppendU16(data, row);
            AppendU16(data, col);
            AppendU16(data, static_cast<std::uint16_t>(col + 1));
            AppendU16(data, doc_.defaultRowHeight);
            AppendU16(data, 0);
            AppendU16(data, 0);
            AppendU16(data,
                      static_cast<std::uint16_t>(
                          kRowFlagsDefault | (doc_.defaultRowHeightCustom ? kRowFlagUnsynced : 0)));
            AppendU16(data, kDefaultCellXf);
            rd.rowRecord = std::move(data);
        } else if (rd.rowRecord->size() >= 6) {
            std::string& data = *rd.rowRecord;
            const std::uint16_t colMic = GetU16(data, 2);
            const std::uint16_t colMac = GetU16(data, 4);
            // An empty row has colMic == colMac.
            if (colMic >= colMac) {
                PutU16At(data, 2, col);
                PutU16At(data, 4, static_cast<std::uint16_t>(col + 1));
            } else {
                if (col < colMic)
                    PutU16At(data, 2, col);
                if (col + 1 > colMac)
                    PutU16At(data, 4, static_cast<std::uint16_t>(col + 1));
            }
        }
    }

    struct Block {
        std::vector<std::uint32_t> rows;
        std::size_t rowRecords = 0;
    };

    std::vector<Block> BlocksOf(const SheetLayout& layout) const {
        std::vector<Block> blocks;
        for (const auto& [row, rd] : layout.rows) {
            if (rd.cells.empty() && !rd.rowRecord)
                continue;
            if (blocks.empty() ||
                (rd.rowRecord && blocks.back().rowRecords == kMaxRowRecordsPerBlock))
                blocks.emplace_back();
            blocks.back().rows.push_back(row);
            if (rd.rowRecord)
                ++blocks.back().rowRecords;
        }
        return blocks;
    }

    void WriteChangedSheet(const SheetEntry&, SheetLayout& layout) {
        const auto& recs = layout.records;
        const std::vector<Block> blocks = BlocksOf(layout);
        const bool dbCells = layout.hadDbCells || HasIndex(recs);
        std::size_t dbCellCount = 0;
        if (dbCells)
            for (const auto& b : blocks)
                dbCellCount += b.rowRecords > 0 ? 1 : 0;

        std::optional<std::size_t> indexAt, defColWidthAt;
        // Records before the cell table, with INDEX remade and DIMENSIONS widened.
        for (std::size_t i = 0; i < layout.regionBegin; ++i) {
            const auto& [r, depth] = recs[i];
            if (depth == 1 && r.id == rec::kIndex) {
                indexAt = out_.size();
                std::string data(16 + 4 * dbCellCount, '\0');
                AppendRecord(out_, rec::kIndex, data);
                continue;
            }
            if (depth == 1 && r.id == rec::kDefColWidth)
                defColWidthAt = out_.size();
            if (depth == 1 && r.id == rec::kDimensions && r.data.size() >= 14) {
                const std::size_t at = out_.size() + kRecordHeaderSize;
                CopyRecord(r);
                WidenDimensions(at, r.data, layout);
                continue;
            }
            CopyRecord(r);
        }

        std::vector<std::uint32_t> dbCellPositions;
        for (const Block& block : blocks) {
            const std::size_t firstRowAt = out_.size();
            std::size_t firstRowEnd = firstRowAt;
            bool firstRow = true;
            for (std::uint32_t row : block.rows) {
                const RowData& rd = layout.rows.at(row);
                if (!rd.rowRecord)
                    continue;
                AppendRecord(out_, rec::kRow, *rd.rowRecord);
                if (firstRow)
                    firstRowEnd = out_.size();
                firstRow = false;
            }
            std::vector<std::uint16_t> offsets;
            std::size_t previous = firstRowEnd;
            for (std::uint32_t row : block.rows) {
                const RowData& rd = layout.rows.at(row);
                if (rd.rowRecord) {
                    offsets.push_back(static_cast<std::uint16_t>(
                        std::min<std::size_t>(out_.size() - previous, 0xFFFF)));
                    previous = out_.size();
                }
                for (const CellItem& item : rd.cells)
                    out_.append(item.bytes());
            }
            if (dbCells && block.rowRecords > 0) {
                dbCellPositions.push_back(static_cast<std::uint32_t>(out_.size()));
                std::string data;
                AppendU32(data, static_cast<std::uint32_t>(out_.size() - firstRowAt));
                for (std::uint16_t o : offsets)
                    AppendU16(data, o);
                AppendRecord(out_, rec::kDbCell, data);
            }
        }
        for (std::string_view other : layout.interlopers)
            out_.append(other);
        for (std::size_t i = layout.regionEnd; i < recs.size(); ++i)
            CopyRecord(recs[i].record);

        if (indexAt) {
            const std::size_t at = *indexAt + kRecordHeaderSize;
            std::uint32_t rwMic = 0, rwMac = 0;
            if (!blocks.empty()) {
                rwMic = blocks.front().rows.front();
                rwMac = blocks.back().rows.back() + 1;
            }
            PutU32At(out_, at + 4, rwMic);
            PutU32At(out_, at + 8, rwMac);
            PutU32At(out_, at + 12, defColWidthAt ? static_cast<std::uint32_t>(*defColWidthAt) : 0);
            for (std::size_t b = 0; b < dbCellPositions.size(); ++b)
                PutU32At(out_, at + 16 + 4 * b, dbCellPositions[b]);
        }
    }

    void WidenDimensions(std::size_t at, std::string_view data, const SheetLayout& layout) {
        std::uint32_t rwMic = GetU32(data, 0), rwMac = GetU32(data, 4);
        std::uint16_t colMic = GetU16(data, 8), colMac = GetU16(data, 10);
        bool empty = rwMac <= rwMic || colMac <= colMic;
        for (const auto& [row, rd] : layout.rows) {
            for (const CellItem& item : rd.cells) {
                if (!item.isMade)
                    continue;
                if (empty) {
                    rwMic = row;
                    rwMac = row + 1;
                    colMic = item.firstCol;
                    colMac = static_cast<std::uint16_t>(item.lastCol + 1);
                    empty = false;
                }
                rwMic = std::min(rwMic, row);
                rwMac = std::max(rwMac, row + 1);
                colMic = std::min(colMic, item.firstCol);
                colMac =
                    std::max<std::uint16_t>(colMac, static_cast<std::uint16_t>(item.lastCol + 1));
            }
        }
        PutU32At(out_, at, rwMic);
        PutU32At(out_, at + 4, rwMac);
        PutU16At(out_, at + 8, colMic);
        PutU16At(out_, at + 10, colMac);
    }

    static bool HasIndex(const std::vector<SubstreamRecord>& recs) {
        for (const auto& sr : recs)
            if (sr.depth == 1 && sr.record.id == rec::kIndex)
                return true;
        return false;
    }

    const XlsDocument& doc_;
    const Workbook& wb_;
    const AddedStyles& added_;
    std::size_t totalXfs_ = 0;
    std::string out_;
    std::unordered_map<std::uint32_t, std::uint32_t> newSstIndex_;
    std::vector<std::uint32_t> newSstStrings_;
    std::int64_t sstTotalDelta_ = 0;
    std::size_t dsst_ = 8;
    std::vector<std::pair<std::uint32_t, std::uint16_t>> extSst_;
    std::map<std::size_t, std::size_t> boundSheetOut_;
    bool planned_ = false;
    std::map<std::size_t, SheetLayout> layouts_;
};

}  // namespace

std::string BuildWorkbookStream(const XlsDocument& document, const Workbook& workbook,
                                const AddedStyles& added) {
    Writer writer(document, workbook, added);
    return writer.Build();
}

}  // namespace spreadsheet::xls
