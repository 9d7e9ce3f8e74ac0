#pragma once

#include <memory>
#include <string>

#include "spreadsheet/model/Workbook.h"
#include "spreadsheet/xls/XlsDocument.h"

namespace spreadsheet::xls {

struct ParsedWorkbookStream {
    std::unique_ptr<Workbook> workbook;  // cells, texts, date system; no codec yet
    XlsDocument document;
};

// Reads a BIFF8 or BIFF5/7 workbook stream into the model. Throws SpreadsheetError with the
// reason for an encrypted workbook, an older BIFF version or damaged records.
ParsedWorkbookStream ParseWorkbookStream(const std::string& path, std::string stream);

// The value of an RK number.
double DecodeRk(std::uint32_t rk);

}  // namespace spreadsheet::xls
