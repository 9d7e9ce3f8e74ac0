#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "spreadsheet/model/Workbook.h"

namespace spreadsheet::xls {

// Loads a BIFF8 or BIFF5/7 workbook (an OLE2 file with a "Workbook" or "Book" stream) into the
// model, with a codec that keeps everything else of the file for a lossless save.
// Throws SpreadsheetError with the reason: no workbook stream, an encrypted workbook, an older
// BIFF version, damaged records.
std::unique_ptr<Workbook> LoadXls(const std::string& path, std::string_view bytes);

}  // namespace spreadsheet::xls
