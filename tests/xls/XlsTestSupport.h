#pragma once

// Loading built streams with a codec whose container is the stream itself, and a check of the
// cell index records (INDEX, DBCELL) that readers use to find rows.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>

#include "spreadsheet/xls/XlsCodec.h"
#include "spreadsheet/xls/XlsReader.h"

namespace xlstest {

struct Loaded {
    std::unique_ptr<spreadsheet::Workbook> workbook;
    spreadsheet::xls::XlsCodec* codec = nullptr;
};

inline Loaded LoadStream(const std::string& stream) {
    auto parsed = spreadsheet::xls::ParseWorkbookStream("t.xls", stream);
    Loaded out;
    auto codec = std::make_unique<spreadsheet::xls::XlsCodec>(
        std::move(parsed.document), stream, [](std::string s) { return s; }, *parsed.workbook);
    out.codec = codec.get();
    parsed.workbook->setCodec(std::move(codec));
    out.workbook = std::move(parsed.workbook);
    return out;
}

// Every INDEX entry names a DBCELL; every DBCELL names its block's first ROW and, through its
// offsets, the first cell record of each of the block's rows.
inline void ExpectConsistentCellIndex(const std::string& stream) {
    using namespace spreadsheet::xls;
    auto parsed = ParseWorkbookStream("t.xls", stream);
    for (const auto& sheet : parsed.document.sheets) {
        const auto records = ReadSubstream(stream, sheet.start);
        std::map<std::size_t, Record> at;
        for (const auto& sr : records)
            at[sr.record.offset] = sr.record;
        std::set<std::size_t> dbCells;
        for (const auto& [pos, r] : at) {
            if (r.id == rec::kDbCell)
                dbCells.insert(pos);
            if (r.id == rec::kIndex) {
                for (std::size_t e = 16; e + 4 <= r.data.size(); e += 4) {
                    const auto target = GetU32(r.data, e);
                    ASSERT_TRUE(at.count(target) && at[target].id == rec::kDbCell)
                        << "INDEX entry " << target;
                }
                const auto defColWidth = GetU32(r.data, 12);
                if (defColWidth) {
                    EXPECT_EQ(at[defColWidth].id, rec::kDefColWidth);
                }
            }
        }
        for (std::size_t pos : dbCells) {
            const Record& db = at[pos];
            const std::size_t firstRow = pos - GetU32(db.data, 0);
            ASSERT_TRUE(at.count(firstRow) && at[firstRow].id == rec::kRow) << "DBCELL at " << pos;
            std::vector<std::uint16_t> rows;
            for (std::size_t p = firstRow; at.count(p) && at[p].id == rec::kRow; p = at[p].end())
                rows.push_back(GetU16(at[p].data, 0));
            std::size_t p = at[firstRow].end();
            ASSERT_EQ((db.data.size() - 4) / 2, rows.size());
            for (std::size_t i = 0; i < rows.size(); ++i) {
                p += GetU16(db.data, 4 + 2 * i);
                ASSERT_TRUE(at.count(p)) << "DBCELL offset " << i << " lands inside a record";
                const Record& cell = at[p];
                if (cell.id != rec::kRow && cell.id != rec::kDbCell &&
                    GetU16(cell.data, 0) != rows[i]) {
                    // A row with no cells points at the next row's first cell.
                    EXPECT_GT(GetU16(cell.data, 0), rows[i]);
                }
            }
        }
    }
}

}  // namespace xlstest
