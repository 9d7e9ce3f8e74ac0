#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "spreadsheet/model/Workbook.h"
#include "spreadsheet/model/WorkbookCodec.h"
#include "spreadsheet/xls/XlsDocument.h"
#include "spreadsheet/xls/XlsWriter.h"

namespace spreadsheet::xls {

// The .xls side of a loaded workbook: styles (XF records) and everything else of the file, kept
// for a save that changes only the written cells.
class XlsCodec final : public WorkbookCodec {
  public:
    // Puts a new workbook stream into the file's container and gives the new file's bytes.
    using Container = std::function<std::string(std::string workbookStream)>;

    XlsCodec(XlsDocument document, std::string fileBytes, Container container,
             const Workbook& workbook);

    const char* formatName() const override;
    CellLimits limits() const override { return {65536, 256}; }
    NumberKind NumberKindOf(std::uint32_t style) const override;
    std::uint32_t StyleForNewCell(const Worksheet& sheet, std::int32_t row,
                                  std::int32_t column) const override;
    std::uint32_t DateStyleFor(std::uint32_t style, DateTimeKind kind) override;
    bool IsGeneralStyle(std::uint32_t style) const override;
    void Save(const Workbook& workbook, util::Env& env) override;

    // The file's bytes as Save writes them.
    std::string SavedBytes(const Workbook& workbook) const;
    // The workbook stream as Save writes it.
    std::string SavedStream(const Workbook& workbook) const;

    const XlsDocument& document() const { return document_; }

  private:
    std::uint32_t FindOrAddDateStyle(std::uint32_t style, DateTimeKind kind);
    std::uint16_t FormatOf(std::uint32_t style) const;
    const std::string* XfBytes(std::uint32_t style) const;
    NumberKind KindOfFormat(std::uint16_t formatId) const;
    std::uint16_t FormatIdFor(DateTimeKind kind);

    XlsDocument document_;
    std::string fileBytes_;
    Container container_;
    AddedStyles added_;
    // DateStyleFor's answers: a merge asks once for every date it writes.
    std::map<std::pair<std::uint32_t, DateTimeKind>, std::uint32_t> dateStyles_;
    std::map<const Worksheet*, std::size_t> sheetOf_;  // model sheet to its SheetEntry
    std::vector<NumberKind> kinds_;                    // by XF index, added XFs included
};

}  // namespace spreadsheet::xls
