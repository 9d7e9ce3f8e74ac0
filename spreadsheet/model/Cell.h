#pragma once

#include <cstdint>

namespace spreadsheet {

enum class CellType : std::uint8_t { Empty, Number, Text, Boolean, Error };

// Error values as the file formats code them (BIFF's codes; .xlsx maps its texts to these).
enum class CellError : std::uint8_t {
    Null = 0x00,   // #NULL!
    Div0 = 0x07,   // #DIV/0!
    Value = 0x0F,  // #VALUE!
    Ref = 0x17,    // #REF!
    Name = 0x1D,   // #NAME?
    Num = 0x24,    // #NUM!
    NA = 0x2A,     // #N/A
};

// One cell of a sheet. A cell may exist with no value (a formatted blank).
struct Cell {
    double number = 0;          // Number
    std::uint32_t payload = 0;  // Text: index into the workbook's strings; Boolean: 0 or 1;
                                // Error: a CellError code
    std::uint32_t style = 0;    // the format's own style index (an XF index, a cellXfs index)
    CellType type = CellType::Empty;
    bool formula = false;  // the value is the cached result of a formula
    bool written = false;  // written during this session; the codec rewrites it on save
};

// 1-based row and column, as the spreadsheet application counts them.
struct CellRef {
    std::int32_t row = 0;
    std::int32_t column = 0;
    friend bool operator==(const CellRef&, const CellRef&) = default;
    friend auto operator<=>(const CellRef&, const CellRef&) = default;
};

}  // namespace spreadsheet
