#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "spreadsheet/model/Workbook.h"
#include "spreadsheet/xlsx/XlsxCodec.h"
#include "spreadsheet/xlsx/XlsxDocument.h"

namespace spreadsheet::xlsx {

// A saved package and what the codec must remember of it once the file is written.
struct SavedPackage {
    std::string bytes;
    std::vector<std::string> addedSharedStrings;        // appended to the table, in order
    std::map<std::uint32_t, std::uint32_t> savedTexts;  // pool index -> table index
    std::string sharedStringsPart;                      // the table's part after the save
    std::string stylesPart;                             // the styles' part after the save
    bool calcChainRemoved = false;                      // every entry of it was overwritten
};

// Builds the package with the written cells of every changed sheet spliced into that sheet's
// original markup, the shared strings, styles and calculation chain kept consistent with them,
// and every other part copied from the old package as it was.
SavedPackage WriteXlsxPackage(const Workbook& workbook, const XlsxDocument& document,
                              const AddedStyles& added,
                              const std::map<std::uint32_t, std::uint32_t>& savedTexts);

}  // namespace spreadsheet::xlsx
