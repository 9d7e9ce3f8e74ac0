#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "spreadsheet/model/Workbook.h"
#include "spreadsheet/model/WorkbookCodec.h"
#include "spreadsheet/xlsx/XlsxDocument.h"

namespace spreadsheet::xlsx {

// Cell styles and number formats added during the run, written into the styles part on save.
struct AddedStyles {
    struct CellStyle {
        std::uint32_t base = 0;  // the cellXfs entry it copies
        std::uint32_t formatId = 0;
    };
    std::vector<CellStyle> cellStyles;  // appended after the file's cellXfs, in this order
    std::vector<std::pair<std::uint32_t, std::u16string>> formats;  // new custom numFmts
    bool empty() const { return cellStyles.empty() && formats.empty(); }
};

// The .xlsx side of a loaded workbook: styles for the value rules, and a save that splices the
// written cells into the package and copies every other part as it was.
class XlsxCodec : public WorkbookCodec {
  public:
    explicit XlsxCodec(XlsxDocument document) : doc_(std::move(document)) {}

    const char* formatName() const override { return "Office Open XML workbook (.xlsx)"; }
    CellLimits limits() const override;

    NumberKind NumberKindOf(std::uint32_t style) const override;
    std::uint32_t StyleForNewCell(const Worksheet& sheet, std::int32_t row,
                                  std::int32_t column) const override;
    std::uint32_t DateStyleFor(std::uint32_t style, DateTimeKind kind) override;
    bool IsGeneralStyle(std::uint32_t style) const override;

    void Save(const Workbook& workbook, util::Env& env) override;

    // The bytes a save writes (the file's own bytes when nothing changed).
    std::string SavedBytes(const Workbook& workbook);

  private:
    std::uint32_t FormatIdOf(std::uint32_t style) const;
    const std::u16string* FormatCodeOf(std::uint32_t formatId) const;
    std::uint32_t FormatIdFor(DateTimeKind kind);
    std::uint32_t StyleCount() const;

    XlsxDocument doc_;
    AddedStyles added_;
    // Texts written as shared strings that the file's table did not hold: the string pool's
    // index -> the index in the saved table. Kept across saves.
    std::map<std::uint32_t, std::uint32_t> savedTexts_;
};

}  // namespace spreadsheet::xlsx
