#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "spreadsheet/xls/BiffRecords.h"
#include "spreadsheet/xls/BiffText.h"

namespace spreadsheet::xls {

enum class BiffVersion : std::uint8_t { Biff5, Biff8 };

// One XF record: its number format and, for cloning, its bytes.
struct XfEntry {
    std::uint16_t formatId = 0;
    bool isStyle = false;
    std::string bytes;  // the record's data
};

// A ROW record's formatting, for the style of new cells.
struct RowFormat {
    std::uint16_t xf = 0;
    bool hasFormat = false;  // fGhostDirty: the row's XF applies to its empty cells
};

struct ColumnFormat {
    std::uint16_t first = 0;
    std::uint16_t last = 0;
    std::uint16_t xf = 0;
};

// One sheet of the workbook as BOUNDSHEET lists it, with where its substream lies.
struct SheetEntry {
    std::size_t boundSheetRecord = 0;  // index into XlsDocument::globals
    std::uint8_t type = 0;             // 0 worksheet, 1 macro sheet, 2 chart, 6 VB module
    std::size_t start = 0;             // stream position of its BOF
    std::size_t end = 0;               // stream position just past its EOF
    int worksheetIndex = -1;           // in the model, -1 when it is no worksheet
    std::map<std::uint16_t, RowFormat> rowFormats;  // by 0-based row
    std::vector<ColumnFormat> columnFormats;
};

// Everything of a loaded workbook stream that saving needs beyond the model's cells.
struct XlsDocument {
    BiffVersion version = BiffVersion::Biff8;
    std::string stream;  // the workbook stream as loaded
    std::uint16_t codePage = 1252;
    std::vector<Record> globals;     // the globals substream, BOF to EOF
    std::vector<SheetEntry> sheets;  // in BOUNDSHEET order
    std::vector<XfEntry> xfs;
    std::map<std::uint16_t, std::u16string> formats;  // FORMAT records: id to code
    std::optional<std::size_t> lastFormatRecord;      // indexes into globals
    std::optional<std::size_t> firstXfRecord;
    std::optional<std::size_t> lastXfRecord;
    std::optional<std::size_t> sstRecord;  // the SST; its CONTINUEs follow it
    std::optional<std::size_t> extSstRecord;
    std::uint32_t sstTotal = 0;             // the SST's count of references
    std::vector<RichString> sstFormatting;  // runs and phonetic blocks per shared string
    std::uint16_t defaultRowHeight = 0x00FF;
    bool defaultRowHeightCustom = false;
};

}  // namespace spreadsheet::xls
