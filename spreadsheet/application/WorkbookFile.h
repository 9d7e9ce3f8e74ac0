#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "spreadsheet/model/Workbook.h"

namespace util {
class Env;
}

namespace spreadsheet {

// Files larger than this are refused before they are read.
inline constexpr std::uint64_t kLargestWorkbookFile = std::uint64_t{512} << 20;

// Loads a workbook from a file's bytes, by what the bytes hold rather than by the file's name:
// an OLE2 compound file (or a bare BIFF workbook stream) is an .xls workbook, a zip package an
// .xlsx one. Anything else (an empty file, a text, a picture) fails with "... is not a workbook".
std::unique_ptr<Workbook> LoadWorkbookFromBytes(const std::string& path, std::string bytes);

// Reads and loads the workbook at path. A missing file, a folder, a file too large to be a
// workbook and an unreadable one fail with SpreadsheetError naming the file and the reason.
std::unique_ptr<Workbook> OpenWorkbookFile(const std::string& path, util::Env& env);

}  // namespace spreadsheet
