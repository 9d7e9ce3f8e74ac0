#include "spreadsheet/xls/XlsCodec.h"

#include <algorithm>

#include "spreadsheet/core/NumberFormat.h"
#include "spreadsheet/xls/BiffBytes.h"
#include "util/Env.h"

namespace spreadsheet::xls {
namespace {

constexpr std::uint16_t kDefaultCellXf = 15;
constexpr std::uint16_t kGeneralFormat = 0;
constexpr std::uint16_t kBuiltInDate = kWrittenDateFormatId;
constexpr std::uint16_t kBuiltInTime = kWrittenTimeFormatId;
constexpr std::uint16_t kFirstCustomFormat = 164;
constexpr std::size_t kMaxXfs = 4050;  // what Excel 97-2003 takes
constexpr std::size_t kXfFormatOffset = 2;
constexpr std::size_t kXfUsedAttributesOffset = 9;
constexpr std::uint8_t kXfUsesOwnNumberFormat = 0x04;
const std::u16string kDateTimeCode(kWrittenDateTimeFormatCode);

}  // namespace

XlsCodec::XlsCodec(XlsDocument document, std::string fileBytes, Container container,
                   const Workbook& workbook)
    : document_(std::move(document)),
      fileBytes_(std::move(fileBytes)),
      container_(std::move(container)) {
    for (std::size_t i = 0; i < document_.sheets.size(); ++i) {
        const int index = document_.sheets[i].worksheetIndex;
        if (index >= 0)
            sheetOf_[&workbook.worksheet(index)] = i;
    }
    // Reading a cell asks for its style's kind: classify each XF's format once.
    kinds_.reserve(document_.xfs.size());
    for (std::size_t i = 0; i < document_.xfs.size(); ++i)
        kinds_.push_back(KindOfFormat(FormatOf(static_cast<std::uint32_t>(i))));
}

const char* XlsCodec::formatName() const {
    return document_.version == BiffVersion::Biff8 ? "Excel 97-2003 workbook (BIFF8)"
                                                   : "Excel 5.0/95 workbook (BIFF5)";
}

const std::string* XlsCodec::XfBytes(std::uint32_t style) const {
    if (style < document_.xfs.size())
        return &document_.xfs[style].bytes;
    const std::size_t added = style - document_.xfs.size();
    if (style >= document_.xfs.size() && added < added_.xfs.size())
        return &added_.xfs[added];
    return nullptr;
}

std::uint16_t XlsCodec::FormatOf(std::uint32_t style) const {
    const std::string* xf = XfBytes(style);
    return xf && xf->size() >= kXfFormatOffset + 2 ? GetU16(*xf, kXfFormatOffset) : kGeneralFormat;
}

NumberKind XlsCodec::KindOfFormat(std::uint16_t formatId) const {
    auto it = document_.formats.find(formatId);
    if (it != document_.formats.end())
        return ClassifyNumberFormat(it->second);
    for (const auto& [id, code] : added_.formats)
        if (id == formatId)
            return ClassifyNumberFormat(code);
    return BuiltInNumberFormatKind(formatId);
}

NumberKind XlsCodec::NumberKindOf(std::uint32_t style) const {
    return style < kinds_.size() ? kinds_[style] : KindOfFormat(kGeneralFormat);
}

bool XlsCodec::IsGeneralStyle(std::uint32_t style) const {
    const std::uint16_t id = FormatOf(style);
    if (id == kGeneralFormat)
        return true;
    auto it = document_.formats.find(id);
    if (it == document_.formats.end())
        return false;
    std::u16string lower = it->second;
    for (auto& c : lower)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    return lower == u"general";
}

std::uint32_t XlsCodec::StyleForNewCell(const Worksheet& sheet, std::int32_t row,
                                        std::int32_t column) const {
    const std::uint32_t fallback =
        std::min<std::size_t>(kDefaultCellXf, document_.xfs.empty() ? 0 : document_.xfs.size() - 1);
    auto it = sheetOf_.find(&sheet);
    if (it == sheetOf_.end() || row < 1 || column < 1 || row > limits().rows)
        return fallback;
    // A format that names no XF of the file (a damaged file) is no format.
    const auto valid = [&](std::uint16_t xf) { return xf < document_.xfs.size(); };
    const SheetEntry& entry = document_.sheets[it->second];
    auto rowIt = entry.rowFormats.find(static_cast<std::uint16_t>(row - 1));
    if (rowIt != entry.rowFormats.end() && rowIt->second.hasFormat && valid(rowIt->second.xf))
        return rowIt->second.xf;
    const auto col = static_cast<std::uint32_t>(column - 1);
    for (const ColumnFormat& c : entry.columnFormats)
        if (c.first <= col && col <= c.last)
            return valid(c.xf) ? c.xf : fallback;
    return fallback;
}

std::uint16_t XlsCodec::FormatIdFor(DateTimeKind kind) {
    switch (kind) {
        case DateTimeKind::Date:
            return kBuiltInDate;
        case DateTimeKind::Time:
            return kBuiltInTime;
        case DateTimeKind::DateTime:
            break;
    }
    for (const auto& [id, code] : document_.formats)
        if (code == kDateTimeCode)
            return id;
    for (const auto& [id, code] : added_.formats)
        if (code == kDateTimeCode)
            return id;
    std::uint16_t next = kFirstCustomFormat;
    for (const auto& [id, code] : document_.formats)
        if (id >= next)
            next = static_cast<std::uint16_t>(id + 1);
    for (const auto& [id, code] : added_.formats)
        if (id >= next)
            next = static_cast<std::uint16_t>(id + 1);
    // Nor a number some XF names without a FORMAT record: that XF would change its look.
    for (const XfEntry& xf : document_.xfs)
        if (xf.formatId >= next)
            next = static_cast<std::uint16_t>(xf.formatId + 1);
    added_.formats.push_back({next, kDateTimeCode});
    return next;
}

std::uint32_t XlsCodec::DateStyleFor(std::uint32_t style, DateTimeKind kind) {
    const auto key = std::make_pair(style, kind);
    if (auto known = dateStyles_.find(key); known != dateStyles_.end())
        return known->second;
    const std::uint32_t answer = FindOrAddDateStyle(style, kind);
    dateStyles_.emplace(key, answer);
    return answer;
}

std::uint32_t XlsCodec::FindOrAddDateStyle(std::uint32_t style, DateTimeKind kind) {
    const std::string* base = XfBytes(style);
    if (!base)
        base = XfBytes(kDefaultCellXf);
    if (!base || base->size() < kXfUsedAttributesOffset + 1)
        return style;
    const std::uint16_t formatId = FormatIdFor(kind);
    if (FormatOf(style) == formatId)
        return style;
    std::string wanted = *base;
    PutU16At(wanted, kXfFormatOffset, formatId);
    if (document_.version == BiffVersion::Biff8) {
        wanted[kXfUsedAttributesOffset] =
            static_cast<char>(wanted[kXfUsedAttributesOffset] | kXfUsesOwnNumberFormat);
    }
    const std::size_t total = document_.xfs.size() + added_.xfs.size();
    // An XF that differs only in the flag saying its format is its own shows the same.
    auto sameLook = [&](std::string candidate) {
        if (candidate.size() != wanted.size())
            return false;
        if (document_.version == BiffVersion::Biff8) {
            candidate[kXfUsedAttributesOffset] =
                static_cast<char>(candidate[kXfUsedAttributesOffset] | kXfUsesOwnNumberFormat);
        }
        return candidate == wanted;
    };
    for (std::size_t i = 0; i < total; ++i)
        if (sameLook(*XfBytes(static_cast<std::uint32_t>(i))))
            return static_cast<std::uint32_t>(i);
    if (total >= kMaxXfs) {
        throw SpreadsheetError("the workbook has too many cell formats to add a date format");
    }
    added_.xfs.push_back(std::move(wanted));
    kinds_.push_back(KindOfFormat(formatId));
    return static_cast<std::uint32_t>(total);
}

std::string XlsCodec::SavedStream(const Workbook& workbook) const {
    if (!workbook.modified() && added_.formats.empty() && added_.xfs.empty())
        return document_.stream;
    return BuildWorkbookStream(document_, workbook, added_);
}

std::string XlsCodec::SavedBytes(const Workbook& workbook) const {
    if (document_.version != BiffVersion::Biff8) {
        throw SpreadsheetError(workbook.path() +
                               ": an Excel 5.0/95 (BIFF5) workbook cannot be saved; save it as an "
                               "Excel 97-2003 workbook first");
    }
    if (!workbook.modified() && added_.formats.empty() && added_.xfs.empty())
        return fileBytes_;
    return container_(BuildWorkbookStream(document_, workbook, added_));
}

void XlsCodec::Save(const Workbook& workbook, util::Env& env) {
    const std::string bytes = SavedBytes(workbook);
    util::WriteFileAtomically(env, workbook.path(), bytes);
}

}  // namespace spreadsheet::xls
