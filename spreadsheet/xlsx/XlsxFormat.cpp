#include "spreadsheet/xlsx/XlsxFormat.h"

#include "spreadsheet/xlsx/XlsxCodec.h"
#include "spreadsheet/xlsx/XlsxReader.h"

namespace spreadsheet::xlsx {

std::unique_ptr<Workbook> LoadXlsx(const std::string& path, std::string_view bytes) {
    auto workbook = std::make_unique<Workbook>(path);
    auto package = std::make_unique<ZipPackage>(path, std::string(bytes));
    XlsxDocument document = ReadXlsxPackage(std::move(package), *workbook);
    workbook->setCodec(std::make_unique<XlsxCodec>(std::move(document)));
    return workbook;
}

}  // namespace spreadsheet::xlsx
