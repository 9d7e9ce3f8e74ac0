#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace spreadsheet::xls {

// Record identifiers of the BIFF5 and BIFF8 workbook stream that this reader and writer use.
namespace rec {
inline constexpr std::uint16_t kFormula = 0x0006;
inline constexpr std::uint16_t kEof = 0x000A;
inline constexpr std::uint16_t kDateMode = 0x0022;
inline constexpr std::uint16_t kFilePass = 0x002F;
inline constexpr std::uint16_t kContinue = 0x003C;
inline constexpr std::uint16_t kCodePage = 0x0042;
inline constexpr std::uint16_t kDefColWidth = 0x0055;
inline constexpr std::uint16_t kColInfo = 0x007D;
inline constexpr std::uint16_t kBoundSheet = 0x0085;
inline constexpr std::uint16_t kMulRk = 0x00BD;
inline constexpr std::uint16_t kMulBlank = 0x00BE;
inline constexpr std::uint16_t kRString = 0x00D6;
inline constexpr std::uint16_t kDbCell = 0x00D7;
inline constexpr std::uint16_t kXf = 0x00E0;
inline constexpr std::uint16_t kSst = 0x00FC;
inline constexpr std::uint16_t kLabelSst = 0x00FD;
inline constexpr std::uint16_t kExtSst = 0x00FF;
inline constexpr std::uint16_t kDimensions = 0x0200;
inline constexpr std::uint16_t kBlank = 0x0201;
inline constexpr std::uint16_t kNumber = 0x0203;
inline constexpr std::uint16_t kLabel = 0x0204;
inline constexpr std::uint16_t kBoolErr = 0x0205;
inline constexpr std::uint16_t kString = 0x0207;
inline constexpr std::uint16_t kRow = 0x0208;
inline constexpr std::uint16_t kIndex = 0x020B;
inline constexpr std::uint16_t kArray = 0x0221;
inline constexpr std::uint16_t kDefaultRowHeight = 0x0225;
inline constexpr std::uint16_t kTable = 0x0236;
inline constexpr std::uint16_t kRk = 0x027E;
inline constexpr std::uint16_t kFormat = 0x041E;
inline constexpr std::uint16_t kSharedFormula = 0x04BC;
inline constexpr std::uint16_t kBof = 0x0809;
// Beginning-of-file records of BIFF2, BIFF3 and BIFF4, which this reader does not take.
inline constexpr std::uint16_t kBofBiff2 = 0x0009;
inline constexpr std::uint16_t kBofBiff3 = 0x0209;
inline constexpr std::uint16_t kBofBiff4 = 0x0409;
}  // namespace rec

inline constexpr std::size_t kRecordHeaderSize = 4;
// The most data one record may carry in BIFF8; longer data goes on in CONTINUE records.
inline constexpr std::size_t kMaxRecordData = 8224;

// One record of a workbook stream: where its header starts and its data.
struct Record {
    std::uint16_t id = 0;
    std::size_t offset = 0;  // stream position of the record header
    std::string_view data;
    std::size_t end() const { return offset + kRecordHeaderSize + data.size(); }
};

// Reads the record at `offset`; throws SpreadsheetError when its header or data run past the
// stream's end.
Record ReadRecordAt(std::string_view stream, std::size_t offset);

// The records of one substream: from the BOF at `offset` to its matching EOF (embedded chart
// substreams included, with their nesting depth). Throws when the stream ends before that EOF.
struct SubstreamRecord {
    Record record;
    int depth = 1;  // 1 for the substream's own records, 2 and more inside embedded substreams
};
std::vector<SubstreamRecord> ReadSubstream(std::string_view stream, std::size_t offset);
// Where that substream ends (just past its EOF), with the same checks and no record list.
std::size_t SubstreamEnd(std::string_view stream, std::size_t offset);

// Appends a record with the given data (at most 65535 bytes).
void AppendRecord(std::string& out, std::uint16_t id, std::string_view data);

}  // namespace spreadsheet::xls
