#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "spreadsheet/model/Workbook.h"
#include "spreadsheet/xls/XlsDocument.h"

namespace spreadsheet::xls {

// What a session added to the workbook's styles: number formats and cell XFs (their record
// data), appended after the file's own.
struct AddedStyles {
    std::vector<std::pair<std::uint16_t, std::u16string>> formats;
    std::vector<std::string> xfs;
};

// The BIFF8 workbook stream of `workbook`: the loaded stream with the written cells put in.
// Every record the session did not change is copied as it was; the shared strings, the ROW,
// DIMENSIONS, INDEX and DBCELL records of changed sheets and the sheet offsets follow the
// changes. Throws SpreadsheetError when a written value cannot be stored.
std::string BuildWorkbookStream(const XlsDocument& document, const Workbook& workbook,
                                const AddedStyles& added);

}  // namespace spreadsheet::xls
