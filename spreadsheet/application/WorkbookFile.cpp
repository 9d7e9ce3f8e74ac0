#include "spreadsheet/application/WorkbookFile.h"

#include <string_view>

#include "util/Env.h"

#ifdef EXCELMERGE_HAVE_XLS
#include "spreadsheet/xls/XlsFormat.h"
#endif
#ifdef EXCELMERGE_HAVE_XLSX
#include "spreadsheet/xlsx/XlsxFormat.h"
#endif

namespace spreadsheet {
namespace {

constexpr std::string_view kCompoundFileSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
constexpr std::string_view kZipSignature("PK\x03\x04", 4);

// BOF record numbers of BIFF2 to BIFF8, for a workbook stream saved without its container.
bool StartsWithBiffBof(std::string_view bytes) {
    if (bytes.size() < 4)
        return false;
    const unsigned id = static_cast<unsigned char>(bytes[0]) |
                        (static_cast<unsigned>(static_cast<unsigned char>(bytes[1])) << 8);
    return id == 0x0809 || id == 0x0009 || id == 0x0209 || id == 0x0409;
}

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

}  // namespace

std::unique_ptr<Workbook> LoadWorkbookFromBytes(const std::string& path, std::string bytes) {
    const std::string_view view(bytes);
    if (view.starts_with(kCompoundFileSignature) || StartsWithBiffBof(view)) {
#ifdef EXCELMERGE_HAVE_XLS
        return xls::LoadXls(path, view);
#else
        throw SpreadsheetError(Quoted(path) +
                               " is an .xls workbook, and this build cannot read .xls");
#endif
    }
    if (view.starts_with(kZipSignature)) {
#ifdef EXCELMERGE_HAVE_XLSX
        return xlsx::LoadXlsx(path, view);
#else
        throw SpreadsheetError(Quoted(path) +
                               " is a zip package, and this build cannot read .xlsx");
#endif
    }
    if (view.empty())
        throw SpreadsheetError(Quoted(path) + " is empty, not a workbook");
    throw SpreadsheetError(Quoted(path) + " is not a workbook");
}

std::unique_ptr<Workbook> OpenWorkbookFile(const std::string& path, util::Env& env) {
    if (path.empty())
        throw SpreadsheetError("no file name given");
    util::FileInfo info;
    std::string bytes;
    try {
        info = env.Stat(path);
        if (!info.exists)
            throw SpreadsheetError(Quoted(path) + " does not exist");
        if (info.isDirectory)
            throw SpreadsheetError(Quoted(path) + " is a folder, not a workbook");
        if (!info.isRegular)
            throw SpreadsheetError(Quoted(path) + " is not a regular file");
        if (info.size > kLargestWorkbookFile)
            throw SpreadsheetError(Quoted(path) + " is " + std::to_string(info.size) +
                                   " bytes, larger than any workbook this application opens (" +
                                   std::to_string(kLargestWorkbookFile) + " bytes)");
        bytes = env.ReadFile(path, kLargestWorkbookFile);
    } catch (const util::IoError& e) {
        throw SpreadsheetError(e.what());
    }
    return LoadWorkbookFromBytes(path, std::move(bytes));
}

}  // namespace spreadsheet
