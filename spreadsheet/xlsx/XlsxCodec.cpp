#include "spreadsheet/xlsx/XlsxCodec.h"

#include "spreadsheet/core/NumberFormat.h"
#include "spreadsheet/xlsx/CellAddress.h"
#include "spreadsheet/xlsx/XlsxWriter.h"
#include "util/Env.h"

namespace spreadsheet::xlsx {
namespace {

constexpr std::uint32_t kGeneralFormat = 0;
constexpr std::uint32_t kBuiltInDate = kWrittenDateFormatId;
constexpr std::uint32_t kBuiltInTime = kWrittenTimeFormatId;
constexpr std::uint32_t kFirstCustomFormat = 164;
// The notation the standard conversion gives a date with a time (as the .xls side writes it).
const std::u16string kDateTimeCode(kWrittenDateTimeFormatCode);
// Office refuses workbooks with more cell formats than this.
constexpr std::size_t kMaxCellStyles = 64000;

bool IsGeneralCode(const std::u16string& code) {
    static const std::u16string kGeneral = u"general";
    if (code.size() != kGeneral.size())
        return false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        char16_t c = code[i];
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != kGeneral[i])
            return false;
    }
    return true;
}

}  // namespace

CellLimits XlsxCodec::limits() const {
    return {kMaxRows, kMaxColumns};
}

std::uint32_t XlsxCodec::StyleCount() const {
    return doc_.styles.present ? static_cast<std::uint32_t>(doc_.styles.cellFormatIds.size()) : 1;
}

std::uint32_t XlsxCodec::FormatIdOf(std::uint32_t style) const {
    if (style < doc_.styles.cellFormatIds.size())
        return doc_.styles.cellFormatIds[style];
    const std::uint32_t count = StyleCount();
    if (style >= count && style - count < added_.cellStyles.size()) {
        return added_.cellStyles[style - count].formatId;
    }
    return kGeneralFormat;
}

const std::u16string* XlsxCodec::FormatCodeOf(std::uint32_t formatId) const {
    if (auto it = doc_.styles.formatCodes.find(formatId); it != doc_.styles.formatCodes.end()) {
        return &it->second;
    }
    for (const auto& [id, code] : added_.formats)
        if (id == formatId)
            return &code;
    return nullptr;
}

NumberKind XlsxCodec::NumberKindOf(std::uint32_t style) const {
    const std::uint32_t id = FormatIdOf(style);
    if (const std::u16string* code = FormatCodeOf(id))
        return ClassifyNumberFormat(*code);
    return BuiltInNumberFormatKind(static_cast<int>(id));
}

bool XlsxCodec::IsGeneralStyle(std::uint32_t style) const {
    const std::uint32_t id = FormatIdOf(style);
    if (const std::u16string* code = FormatCodeOf(id))
        return IsGeneralCode(*code);
    return id == kGeneralFormat;
}

std::uint32_t XlsxCodec::StyleForNewCell(const Worksheet& sheet, std::int32_t row,
                                         std::int32_t column) const {
    for (const SheetLayout& layout : doc_.sheets) {
        if (layout.sheet != &sheet)
            continue;
        if (auto it = layout.rowStyles.find(row); it != layout.rowStyles.end())
            return it->second;
        for (const auto& c : layout.columnStyles)
            if (column >= c.first && column <= c.last)
                return c.style;
        break;
    }
    return 0;
}

std::uint32_t XlsxCodec::FormatIdFor(DateTimeKind kind) {
    switch (kind) {
        case DateTimeKind::Date:
            return kBuiltInDate;
        case DateTimeKind::Time:
            return kBuiltInTime;
        case DateTimeKind::DateTime:
            break;
    }
    std::uint32_t next = kFirstCustomFormat;
    for (const auto& [id, code] : doc_.styles.formatCodes) {
        if (code == kDateTimeCode)
            return id;
        next = std::max(next, id + 1);
    }
    for (const auto& [id, code] : added_.formats) {
        if (code == kDateTimeCode)
            return id;
        next = std::max(next, id + 1);
    }
    added_.formats.emplace_back(next, kDateTimeCode);
    return next;
}

std::uint32_t XlsxCodec::DateStyleFor(std::uint32_t style, DateTimeKind kind) {
    // A styles part without cell formats is too odd to extend: the number keeps its style.
    if (!doc_.styles.present && !doc_.layout.stylesPart.empty())
        return style;
    const std::uint32_t count = StyleCount();
    std::uint32_t base = style;
    if (base >= count) {
        base = base - count < added_.cellStyles.size() ? added_.cellStyles[base - count].base : 0;
    }
    const std::uint32_t formatId = FormatIdFor(kind);
    if (FormatIdOf(style) == formatId)
        return style;
    for (std::size_t i = 0; i < added_.cellStyles.size(); ++i) {
        if (added_.cellStyles[i].base == base && added_.cellStyles[i].formatId == formatId) {
            return count + static_cast<std::uint32_t>(i);
        }
    }
    if (count + added_.cellStyles.size() >= kMaxCellStyles) {
        throw SpreadsheetError("the workbook has too many cell formats to add a date format");
    }
    added_.cellStyles.push_back({base, formatId});
    return count + static_cast<std::uint32_t>(added_.cellStyles.size() - 1);
}

std::string XlsxCodec::SavedBytes(const Workbook& workbook) {
    if (!workbook.modified() && added_.empty())
        return doc_.package->bytes();
    return WriteXlsxPackage(workbook, doc_, added_, savedTexts_).bytes;
}

void XlsxCodec::Save(const Workbook& workbook, util::Env& env) {
    if (!workbook.modified() && added_.empty()) {
        util::WriteFileAtomically(env, workbook.path(), doc_.package->bytes());
        return;
    }
    SavedPackage saved = WriteXlsxPackage(workbook, doc_, added_, savedTexts_);
    util::WriteFileAtomically(env, workbook.path(), saved.bytes);

    // The file now holds the saved package: later saves start from it.
    auto package = std::make_unique<ZipPackage>(workbook.path(), std::move(saved.bytes));
    doc_.package = std::move(package);
    for (std::size_t i = 0; i < saved.addedSharedStrings.size(); ++i)
        doc_.sharedStrings.plain.push_back(true);
    doc_.sharedStrings.count += static_cast<std::uint32_t>(saved.addedSharedStrings.size());
    savedTexts_ = std::move(saved.savedTexts);
    doc_.layout.sharedStringsPart = saved.sharedStringsPart;
    if (saved.calcChainRemoved)
        doc_.layout.calcChainPart.clear();
    if (!added_.empty()) {
        if (!doc_.styles.present) {
            doc_.styles.present = true;
            doc_.styles.cellFormatIds = {kGeneralFormat};
        }
        for (const auto& s : added_.cellStyles)
            doc_.styles.cellFormatIds.push_back(s.formatId);
        for (const auto& [id, code] : added_.formats)
            doc_.styles.formatCodes[id] = code;
        doc_.layout.stylesPart = saved.stylesPart;
        added_ = {};
    }
}

}  // namespace spreadsheet::xlsx
