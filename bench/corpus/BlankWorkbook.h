#pragma once

#include <string>
#include <vector>

namespace bench {

// The workbook stream of a new BIFF8 workbook with the named empty worksheets, the usual
// fonts and style records, an empty shared-string table and, on the first sheet, the given
// column widths (in 1/256 of a character). Cell XF 15 is General, 16 shows dates as yyyy/m/d.
struct BlankWorkbookLayout {
    std::vector<std::u16string> sheetNames = {u"Sheet1"};
    std::vector<int> columnWidths;
    // Error cells on the first sheet: (row, column, BIFF error code such as 0x07 for #DIV/0!).
    struct ErrorCell {
        int row, column, code;
    };
    std::vector<ErrorCell> errorCells;
};
std::string BlankWorkbookStream(const BlankWorkbookLayout& layout);

// Writes a new .xls file holding that workbook stream.
void WriteBlankWorkbook(const std::string& path, const BlankWorkbookLayout& layout);

// Opens the workbook at path in a new instance of the embedded spreadsheet application, writes
// each text into its cell of the first worksheet through Cells and Value, and saves it.
struct TextCell {
    int row, column;
    std::string text;
};
void FillWorkbook(const std::string& path, const std::vector<TextCell>& cells);

}  // namespace bench
