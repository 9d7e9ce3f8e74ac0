#pragma once

#include <memory>
#include <string>

#include "spreadsheet/model/Workbook.h"
#include "spreadsheet/xlsx/XlsxDocument.h"

namespace spreadsheet::xlsx {

// Reads the package into `workbook` (worksheets, texts, date system) and returns what a save
// needs besides. Throws SpreadsheetError with the reason.
XlsxDocument ReadXlsxPackage(std::unique_ptr<ZipPackage> package, Workbook& workbook);

// The part a relationship's target names, relative to the part that holds the relationship.
std::string ResolvePartName(const std::string& sourcePart, const std::string& target);
// "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels".
std::string RelationshipsPartOf(const std::string& part);

}  // namespace spreadsheet::xlsx
