#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "spreadsheet/model/Workbook.h"

namespace spreadsheet::xlsx {

// Loads an Office Open XML workbook (.xlsx, .xlsm: a zip package with xl/workbook.xml) into the
// model, with a codec that keeps every part of the package for a lossless save.
// Throws SpreadsheetError with the reason: no zip package, a missing part, a package that
// decompresses beyond the size cap, entity declarations, indexes outside the shared strings or
// the styles, damaged markup.
std::unique_ptr<Workbook> LoadXlsx(const std::string& path, std::string_view bytes);

}  // namespace spreadsheet::xlsx
