#include "spreadsheet/xls/BiffRecords.h"

#include <cstdio>

#include "spreadsheet/model/Workbook.h"
#include "spreadsheet/xls/BiffBytes.h"

namespace spreadsheet::xls {

Record ReadRecordAt(std::string_view stream, std::size_t offset) {
    if (offset > stream.size() || stream.size() - offset < kRecordHeaderSize) {
        throw SpreadsheetError("damaged workbook stream: record header at offset " +
                               std::to_string(offset) + " runs past the stream end");
    }
    Record r;
    r.id = GetU16(stream, offset);
    const std::size_t length = GetU16(stream, offset + 2);
    if (stream.size() - offset - kRecordHeaderSize < length) {
        throw SpreadsheetError("damaged workbook stream: record 0x" +
                               [&] {
                                   char buf[8];
                                   std::snprintf(buf, sizeof buf, "%04X", r.id);
                                   return std::string(buf);
                               }() +
                               " at offset " + std::to_string(offset) + " claims " +
                               std::to_string(length) + " bytes, beyond the stream end");
    }
    r.offset = offset;
    r.data = stream.substr(offset + kRecordHeaderSize, length);
    return r;
}

namespace {

template <class OnRecord>
void WalkSubstream(std::string_view stream, std::size_t offset, OnRecord&& onRecord) {
    int depth = 0;
    std::size_t at = offset;
    bool first = true;
    for (;;) {
        if (at >= stream.size()) {
            throw SpreadsheetError("damaged workbook stream: the substream at offset " +
                                   std::to_string(offset) + " has no end-of-file record");
        }
        const Record r = ReadRecordAt(stream, at);
        if (first && r.id != rec::kBof) {
            throw SpreadsheetError(
                "damaged workbook stream: no beginning-of-file record at offset " +
                std::to_string(offset));
        }
        first = false;
        if (r.id == rec::kBof)
            ++depth;
        onRecord(r, depth);
        at = r.end();
        if (r.id == rec::kEof && --depth == 0)
            break;
    }
}

}  // namespace

std::size_t SubstreamEnd(std::string_view stream, std::size_t offset) {
    std::size_t end = offset;
    WalkSubstream(stream, offset, [&](const Record& r, int) { end = r.end(); });
    return end;
}

std::vector<SubstreamRecord> ReadSubstream(std::string_view stream, std::size_t offset) {
    std::vector<SubstreamRecord> out;
    WalkSubstream(stream, offset, [&](const Record& r, int depth) { out.push_back({r, depth}); });
    return out;
}

void AppendRecord(std::string& out, std::uint16_t id, std::string_view data) {
    AppendU16(out, id);
    AppendU16(out, static_cast<std::uint16_t>(data.size()));
    out.append(data);
}

}  // namespace spreadsheet::xls
