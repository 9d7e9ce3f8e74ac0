#pragma once

// Building small packages part by part, reading a package's parts back, and writing texts into
// cells the way the application does.

#include <gtest/gtest.h>

#include <QLocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "spreadsheet/core/TextStorage.h"
#include "spreadsheet/model/Workbook.h"
#include "spreadsheet/xlsx/XlsxFormat.h"
#include "spreadsheet/xlsx/ZipPackage.h"
#include "util/Utf.h"

namespace xlsxtest {

using spreadsheet::xlsx::ZipPackage;

// An archive with no entries: the end-of-central-directory record alone.
inline std::string EmptyZip() {
    return std::string("PK\x05\x06", 4) + std::string(18, '\0');
}

inline std::string MakePackage(const std::map<std::string, std::string>& parts) {
    ZipPackage empty("fixture", EmptyZip());
    std::map<std::string, std::optional<std::string>> changes(parts.begin(), parts.end());
    return empty.Rewrite(changes);
}

inline std::map<std::string, std::string> PartsOf(const std::string& bytes) {
    ZipPackage package("parts", bytes);
    std::map<std::string, std::string> out;
    for (const auto& name : package.EntryNames())
        out[name] = package.Read(name);
    return out;
}

inline const char* kContentTypes =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/><Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/></Types>)";

inline const char* kRootRels =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>)";

inline const char* kOneSheetWorkbook =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="Data" sheetId="1" r:id="rId1"/></sheets></workbook>)";

inline const char* kOneSheetRels =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/></Relationships>)";

inline std::string SheetXml(const std::string& inner) {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)" +
           inner + "</worksheet>";
}

// A package of one sheet "Data" holding `sheetXml`, with any further parts (they replace the
// default ones of the same name).
inline std::map<std::string, std::string> OneSheetParts(
    const std::string& sheetXml, const std::map<std::string, std::string>& more = {}) {
    std::map<std::string, std::string> parts = {
        {"[Content_Types].xml", kContentTypes}, {"_rels/.rels", kRootRels},
        {"xl/workbook.xml", kOneSheetWorkbook}, {"xl/_rels/workbook.xml.rels", kOneSheetRels},
        {"xl/worksheets/sheet1.xml", sheetXml},
    };
    for (const auto& [name, text] : more)
        parts[name] = text;
    return parts;
}

inline std::string U8(const std::u16string& s) {
    return util::Utf16ToUtf8(s);
}

inline std::string TextAt(const spreadsheet::Workbook& wb, int sheet, int row, int column) {
    const spreadsheet::Cell* c = wb.worksheet(sheet).Find(row, column);
    if (!c || c->type != spreadsheet::CellType::Text)
        return "<no text>";
    return U8(wb.strings().at(c->payload));
}

// Writes a text into a cell as the application's Value put does: the cell keeps its style or
// takes its row's or column's, and a date written into a General cell gets a date style.
inline void WriteText(spreadsheet::Workbook& wb, int sheetIndex, int row, int column,
                      const std::u16string& text) {
    using namespace spreadsheet;
    static const TextStorage storage(QLocale(QLocale::Chinese, QLocale::China));
    Worksheet& sheet = wb.worksheet(sheetIndex);
    Cell& cell = sheet.Write(row, column, wb.codec().StyleForNewCell(sheet, row, column));
    const StoredText stored = storage.Classify(text, wb.date1904());
    cell.formula = false;
    switch (stored.kind) {
        case StoredKind::Empty:
            cell.type = CellType::Empty;
            break;
        case StoredKind::Number:
            cell.type = CellType::Number;
            cell.number = stored.number;
            break;
        case StoredKind::Date:
            cell.type = CellType::Number;
            cell.number = stored.number;
            if (wb.codec().IsGeneralStyle(cell.style))
                cell.style = wb.codec().DateStyleFor(cell.style, stored.dateTime);
            break;
        case StoredKind::Text:
            cell.type = CellType::Text;
            cell.payload = wb.strings().Intern(text);
            break;
    }
}

inline std::string ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// A fresh folder under the system's temporary folder, removed at the end of the test.
class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/xlsxtest-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace xlsxtest
