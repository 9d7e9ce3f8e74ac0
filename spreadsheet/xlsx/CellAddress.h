#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "spreadsheet/model/Cell.h"

namespace spreadsheet::xlsx {

constexpr std::int32_t kMaxRows = 1048576;
constexpr std::int32_t kMaxColumns = 16384;

// "B12" (also "$B$12") as row 12, column 2; nothing when it is no cell of a sheet.
std::optional<CellRef> ParseCellAddress(std::string_view text);
// "B" as 2; nothing when it is no column.
std::optional<std::int32_t> ParseColumnLetters(std::string_view text);
std::string ColumnLetters(std::int32_t column);
std::string CellAddress(std::int32_t row, std::int32_t column);

// A rectangle of cells; a single cell is a range of one.
struct CellRange {
    CellRef first;
    CellRef last;
};
// "A1:C5" or "A1"; nothing when it is neither.
std::optional<CellRange> ParseCellRange(std::string_view text);
std::string FormatCellRange(const CellRange& range);

}  // namespace spreadsheet::xlsx
