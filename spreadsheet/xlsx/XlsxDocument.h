#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "spreadsheet/model/Worksheet.h"
#include "spreadsheet/xlsx/ZipPackage.h"

namespace spreadsheet::xlsx {

// Where the parts of a package are, as its relationships name them.
struct PackageLayout {
    std::string workbookPart;       // "xl/workbook.xml"
    std::string workbookRelsPart;   // "xl/_rels/workbook.xml.rels"
    std::string stylesPart;         // empty when the workbook has none
    std::string sharedStringsPart;  // empty when the workbook has none
    std::string calcChainPart;      // empty when the workbook has none
    bool strict = false;  // the ISO strict namespaces (purl.oclc.org) rather than the transitional
};

// The number formats of the workbook's cell styles (cellXfs).
struct StyleTable {
    bool present = false;                      // the package has a styles part with cellXfs
    std::vector<std::uint32_t> cellFormatIds;  // numFmtId of each cellXfs entry
    std::map<std::uint32_t, std::u16string> formatCodes;  // the custom numFmts
};

// What a worksheet part says about the styles of cells it does not hold.
struct SheetLayout {
    const Worksheet* sheet = nullptr;
    std::string partName;  // "xl/worksheets/sheet1.xml"
    std::string sheetId;   // workbook.xml's sheetId, which the calculation chain uses
    std::map<std::int32_t, std::uint32_t> rowStyles;  // rows with customFormat
    struct ColumnStyle {
        std::int32_t first = 0, last = 0;
        std::uint32_t style = 0;
    };
    std::vector<ColumnStyle> columnStyles;
};

// The shared strings table as the file holds it.
struct SharedStringTable {
    std::uint32_t count = 0;  // entries in the part
    std::vector<bool> plain;  // entry i is one plain run (no rich text, no phonetic runs)
};

// Everything a save needs beyond the model.
struct XlsxDocument {
    std::unique_ptr<ZipPackage> package;
    PackageLayout layout;
    StyleTable styles;
    std::vector<SheetLayout> sheets;  // one per model worksheet, same order
    SharedStringTable sharedStrings;
};

}  // namespace spreadsheet::xlsx
