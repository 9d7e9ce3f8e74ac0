#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace spreadsheet::xlsx {

// The formula a shared formula gives a cell `rows` down and `columns` right of the cell it is
// written for: relative cell references move, absolute ($) parts stay, a reference moved off
// the sheet becomes #REF!. Texts, quoted sheet names and structured references are left alone.
// Nothing when the formula holds whole-column or whole-row references, which this does not
// move.
std::optional<std::string> ShiftFormula(std::string_view formula, std::int32_t rows,
                                        std::int32_t columns);

}  // namespace spreadsheet::xlsx
