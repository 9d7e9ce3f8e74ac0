#include "spreadsheet/xlsx/XlsxWriter.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>
#include <set>

#include "spreadsheet/xlsx/CellAddress.h"
#include "spreadsheet/xlsx/FormulaShift.h"
#include "spreadsheet/xlsx/XmlPart.h"
#include "util/Utf.h"

namespace spreadsheet::xlsx {
namespace {

constexpr const char* kXmlDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";

struct Namespaces {
    const char* main;
    const char* relationshipTypes;  // the prefix of relationship types
};
constexpr Namespaces kTransitional = {
    "http://schemas.openxmlformats.org/spreadsheetml/2006/main",
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"};
constexpr Namespaces kStrict = {"http://purl.oclc.org/ooxml/spreadsheetml/main",
                                "http://purl.oclc.org/ooxml/officeDocument/relationships/"};

constexpr const char* kSharedStringsContentType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml";
constexpr const char* kStylesContentType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml";

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

std::optional<std::int64_t> ParseInteger(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

std::string NumberText(double value) {
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}

const char* ErrorText(std::uint32_t code) {
    switch (static_cast<CellError>(code)) {
        case CellError::Null:
            return "#NULL!";
        case CellError::Div0:
            return "#DIV/0!";
        case CellError::Value:
            return "#VALUE!";
        case CellError::Ref:
            return "#REF!";
        case CellError::Name:
            return "#NAME?";
        case CellError::Num:
            return "#NUM!";
        case CellError::NA:
            return "#N/A";
    }
    return "#VALUE!";
}

bool NeedsPreservedSpace(std::string_view text) {
    if (text.empty())
        return false;
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    return space(text.front()) || space(text.back()) || text.find_first_of("\t\n\r") != text.npos ||
           text.find("  ") != text.npos;
}

std::string SharedStringXml(const std::string& prefix, std::string_view text) {
    std::string out = "<" + prefix + "si><" + prefix + "t";
    if (NeedsPreservedSpace(text))
        out += " xml:space=\"preserve\"";
    out += ">";
    AppendOfficeText(out, text);
    out += "</" + prefix + "t></" + prefix + "si>";
    return out;
}

// The shared strings table as the save grows it.
class SharedStringWriter {
  public:
    SharedStringWriter(const Workbook& workbook, const SharedStringTable& table,
                       std::map<std::uint32_t, std::uint32_t> savedTexts)
        : workbook_(workbook), table_(table), savedTexts_(std::move(savedTexts)) {}

    std::uint32_t IndexFor(std::uint32_t poolIndex) {
        ++references_;
        // The file's own entry, when it is the same plain text (a rich one would bring its runs).
        if (poolIndex < table_.count && table_.plain[poolIndex])
            return poolIndex;
        if (auto it = savedTexts_.find(poolIndex); it != savedTexts_.end())
            return it->second;
        const auto index = static_cast<std::uint32_t>(table_.count + added_.size());
        added_.push_back(util::Utf16ToUtf8(workbook_.strings().at(poolIndex)));
        savedTexts_.emplace(poolIndex, index);
        return index;
    }
    void ReferenceRemoved() { --references_; }

    std::int64_t referenceDelta() const { return references_; }
    const std::vector<std::string>& added() const { return added_; }
    std::map<std::uint32_t, std::uint32_t>& savedTexts() { return savedTexts_; }

  private:
    const Workbook& workbook_;
    const SharedStringTable& table_;
    std::map<std::uint32_t, std::uint32_t> savedTexts_;
    std::vector<std::string> added_;
    std::int64_t references_ = 0;
};

class SheetSplicer {
  public:
    SheetSplicer(const XmlPart& xml, const Worksheet& sheet, SharedStringWriter& strings,
                 std::set<std::string>& overwrittenFormulas)
        : xml_(xml), sheet_(sheet), strings_(strings), overwrittenFormulas_(overwrittenFormulas) {}

    std::string Run() {
        const pugi::xml_node root = xml_.root();
        const pugi::xml_node sheetData = ChildElement(root, "sheetData");
        if (!sheetData)
            xml_.Fail("the worksheet has no sheetData");
        prefix_ = PrefixOf(sheetData);

        std::map<std::int32_t, std::map<std::int32_t, const Cell*>> written;
        for (const CellRef& ref : sheet_.written())
            written[ref.row][ref.column] = sheet_.Find(ref.row, ref.column);

        struct RowNode {
            std::int32_t index;
            pugi::xml_node node;
        };
        std::vector<RowNode> rows;
        std::int32_t rowIndex = 0;
        for (pugi::xml_node row = sheetData.first_child(); row; row = row.next_sibling()) {
            if (row.type() != pugi::node_element || LocalName(row) != "row")
                continue;
            if (const auto r = ParseInteger(Attribute(row, "r").value())) {
                rowIndex = static_cast<std::int32_t>(*r);
            } else {
                ++rowIndex;
            }
            rows.push_back({rowIndex, row});
        }

        // Rows are in ascending order in every workbook Office writes; a package that mixes them
        // up still gets each new row before the first row below it.
        std::map<std::int32_t, std::size_t> rowAt;
        bool ascending = true;
        for (std::size_t k = 0; k < rows.size(); ++k) {
            rowAt.emplace(rows[k].index, k);
            if (k > 0 && rows[k].index <= rows[k - 1].index)
                ascending = false;
        }
        std::string rowsAtEnd;
        for (const auto& [row, cells] : written) {
            if (const auto existing = rowAt.find(row); existing != rowAt.end()) {
                SpliceRow(rows[existing->second].node, row, cells);
                continue;
            }
            std::string cellsXml;
            for (const auto& [column, cell] : cells)
                AppendNewCell(cellsXml, row, column, cell, true);
            if (cellsXml.empty())
                continue;
            const std::string rowXml = "<" + prefix_ + "row r=\"" + std::to_string(row) + "\">" +
                                       cellsXml + "</" + prefix_ + "row>";
            std::optional<std::size_t> next;
            if (ascending) {
                if (const auto it = rowAt.upper_bound(row); it != rowAt.end())
                    next = it->second;
            } else {
                for (std::size_t k = 0; k < rows.size() && !next; ++k)
                    if (rows[k].index > row)
                        next = k;
            }
            if (next) {
                const std::size_t at = xml_.ElementBegin(rows[*next].node);
                splices_.push_back({at, at, rowXml});
            } else {
                rowsAtEnd += rowXml;
            }
        }
        if (!rowsAtEnd.empty())
            AppendChildren(sheetData, rowsAtEnd);
        if (!sharedMasters_.empty())
            HandOverSharedFormulas(sheetData, written);
        UpdateDimension(root, written);
        return ApplySplices(xml_.original(), std::move(splices_));
    }

  private:
    // Adds children at the end of an element, opening it when it was written empty.
    void AppendChildren(pugi::xml_node element, const std::string& children) {
        if (xml_.IsEmptyElement(element)) {
            const std::size_t end = xml_.StartTagEnd(element);
            splices_.push_back(
                {end - 2, end, ">" + children + "</" + std::string(element.name()) + ">"});
        } else {
            const std::size_t at = xml_.EndTagBegin(element);
            splices_.push_back({at, at, children});
        }
    }

    void SpliceRow(pugi::xml_node row, std::int32_t rowIndex,
                   const std::map<std::int32_t, const Cell*>& cells) {
        struct CellNode {
            std::int32_t column;
            pugi::xml_node node;
        };
        std::vector<CellNode> existing;
        std::int32_t column = 0;
        for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element || LocalName(c) != "c")
                continue;
            if (const auto ref = ParseCellAddress(Attribute(c, "r").value())) {
                column = ref->column;
            } else {
                ++column;
            }
            existing.push_back({column, c});
        }
        std::string atEnd;
        std::int32_t lowest = kMaxColumns, highest = 0;
        for (const auto& [writtenColumn, cell] : cells) {
            const std::int32_t col = writtenColumn;  // a lambda below needs a plain variable
            const auto same = std::find_if(existing.begin(), existing.end(),
                                           [&](const CellNode& n) { return n.column == col; });
            if (same != existing.end()) {
                ForgetOldCell(same->node, rowIndex, col);
                std::string xml;
                AppendNewCell(xml, rowIndex, col, cell, false);
                splices_.push_back(
                    {xml_.ElementBegin(same->node), xml_.ElementEnd(same->node), xml});
                continue;
            }
            std::string xml;
            AppendNewCell(xml, rowIndex, col, cell, true);
            if (xml.empty())
                continue;
            lowest = std::min(lowest, col);
            highest = std::max(highest, col);
            const auto next = std::find_if(existing.begin(), existing.end(),
                                           [&](const CellNode& n) { return n.column > col; });
            if (next != existing.end()) {
                const std::size_t at = xml_.ElementBegin(next->node);
                splices_.push_back({at, at, xml});
            } else {
                atEnd += xml;
            }
        }
        if (!atEnd.empty())
            AppendChildren(row, atEnd);
        // The row's span of columns is a hint to readers, kept covering its cells.
        if (highest == 0)
            return;
        const pugi::xml_attribute spans = Attribute(row, "spans");
        if (!spans)
            return;
        const std::string_view value = spans.value();
        const std::size_t colon = value.find(':');
        const auto first = ParseInteger(value.substr(0, colon));
        const auto last =
            colon == value.npos ? std::nullopt : ParseInteger(value.substr(colon + 1));
        if (!first || !last || (*first <= lowest && *last >= highest))
            return;
        const std::string updated = std::to_string(std::min<std::int64_t>(*first, lowest)) + ":" +
                                    std::to_string(std::max<std::int64_t>(*last, highest));
        splices_.push_back({xml_.ValueBegin(spans), xml_.ValueEnd(spans), updated});
    }

    // What an overwritten cell took with it: a shared string reference, a formula.
    void ForgetOldCell(pugi::xml_node c, std::int32_t row, std::int32_t column) {
        if (std::string_view(Attribute(c, "t").value()) == "s" && ChildElement(c, "v")) {
            strings_.ReferenceRemoved();
        }
        const pugi::xml_node f = ChildElement(c, "f");
        if (!f)
            return;
        overwrittenFormulas_.insert(CellAddress(row, column));
        // The cell that holds a shared formula's text: the other cells of the group read it.
        if (std::string_view(Attribute(f, "t").value()) == "shared" && *f.child_value()) {
            sharedMasters_[Attribute(f, "si").value()] = {row, column, f.child_value()};
        }
    }

    struct SharedMaster {
        std::int32_t row = 0, column = 0;
        std::string formula;
    };

    // An overwritten cell took a shared formula's text with it: the first remaining cell of the
    // group takes the formula over, moved to its own place, and the group's range shrinks to
    // the remaining cells. A formula this cannot move leaves the group's cells their values.
    void HandOverSharedFormulas(
        pugi::xml_node sheetData,
        const std::map<std::int32_t, std::map<std::int32_t, const Cell*>>& written) {
        struct Member {
            std::int32_t row, column;
            pugi::xml_node f;
        };
        std::map<std::string, std::vector<Member>> groups;
        std::int32_t rowIndex = 0;
        for (pugi::xml_node row = sheetData.first_child(); row; row = row.next_sibling()) {
            if (row.type() != pugi::node_element || LocalName(row) != "row")
                continue;
            if (const auto r = ParseInteger(Attribute(row, "r").value())) {
                rowIndex = static_cast<std::int32_t>(*r);
            } else {
                ++rowIndex;
            }
            std::int32_t column = 0;
            const auto writtenRow = written.find(rowIndex);
            for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling()) {
                if (c.type() != pugi::node_element || LocalName(c) != "c")
                    continue;
                if (const auto ref = ParseCellAddress(Attribute(c, "r").value())) {
                    column = ref->column;
                } else {
                    ++column;
                }
                if (writtenRow != written.end() && writtenRow->second.count(column))
                    continue;
                const pugi::xml_node f = ChildElement(c, "f");
                if (!f || std::string_view(Attribute(f, "t").value()) != "shared")
                    continue;
                const std::string si = Attribute(f, "si").value();
                if (sharedMasters_.count(si))
                    groups[si].push_back({rowIndex, column, f});
            }
        }
        for (const auto& [si, members] : groups) {
            const SharedMaster& master = sharedMasters_.at(si);
            const Member& heir = members.front();
            const auto moved =
                ShiftFormula(master.formula, heir.row - master.row, heir.column - master.column);
            if (!moved) {
                for (const Member& m : members)
                    splices_.push_back({xml_.ElementBegin(m.f), xml_.ElementEnd(m.f), ""});
                continue;
            }
            CellRange range{{kMaxRows, kMaxColumns}, {1, 1}};
            for (const Member& m : members) {
                range.first.row = std::min(range.first.row, m.row);
                range.first.column = std::min(range.first.column, m.column);
                range.last.row = std::max(range.last.row, m.row);
                range.last.column = std::max(range.last.column, m.column);
            }
            std::string f = "<" + std::string(heir.f.name()) + " t=\"shared\" ref=\"" +
                            FormatCellRange(range) + "\" si=\"";
            AppendEscaped(f, si, true);
            f += "\">";
            AppendEscaped(f, *moved, false);
            f += "</" + std::string(heir.f.name()) + ">";
            splices_.push_back({xml_.ElementBegin(heir.f), xml_.ElementEnd(heir.f), f});
        }
    }

    // The markup of a written cell; nothing for a new cell with neither value nor style.
    void AppendNewCell(std::string& out, std::int32_t row, std::int32_t column, const Cell* cell,
                       bool isNew) {
        if (!cell)
            return;
        if (isNew && cell->type == CellType::Empty && cell->style == 0)
            return;
        out += "<" + prefix_ + "c r=\"" + CellAddress(row, column) + "\"";
        if (cell->style != 0)
            out += " s=\"" + std::to_string(cell->style) + "\"";
        std::string value;
        switch (cell->type) {
            case CellType::Empty:
                out += "/>";
                return;
            case CellType::Number:
                value = NumberText(cell->number);
                break;
            case CellType::Text:
                out += " t=\"s\"";
                value = std::to_string(strings_.IndexFor(cell->payload));
                break;
            case CellType::Boolean:
                out += " t=\"b\"";
                value = cell->payload ? "1" : "0";
                break;
            case CellType::Error:
                out += " t=\"e\"";
                value = ErrorText(cell->payload);
                break;
        }
        out += "><" + prefix_ + "v>" + value + "</" + prefix_ + "v></" + prefix_ + "c>";
    }

    void UpdateDimension(
        pugi::xml_node root,
        const std::map<std::int32_t, std::map<std::int32_t, const Cell*>>& written) {
        const pugi::xml_node dimension = ChildElement(root, "dimension");
        const pugi::xml_attribute ref = Attribute(dimension, "ref");
        if (!ref)
            return;
        std::optional<CellRange> range = ParseCellRange(ref.value());
        // A sheet with no cells says "A1"; that single cell is no bound to keep.
        bool fromNothing = !range;
        if (range && range->first == range->last &&
            !sheet_.HasCell(range->first.row, range->first.column)) {
            fromNothing = true;
        }
        CellRange grown = fromNothing ? CellRange{{kMaxRows, kMaxColumns}, {1, 1}} : *range;
        bool any = false;
        for (const auto& [row, cells] : written)
            for (const auto& [column, cell] : cells) {
                if (!cell || (cell->type == CellType::Empty && cell->style == 0))
                    continue;
                any = true;
                grown.first.row = std::min(grown.first.row, row);
                grown.first.column = std::min(grown.first.column, column);
                grown.last.row = std::max(grown.last.row, row);
                grown.last.column = std::max(grown.last.column, column);
            }
        if (!any)
            return;
        const std::string text = FormatCellRange(grown);
        if (text != ref.value())
            splices_.push_back({xml_.ValueBegin(ref), xml_.ValueEnd(ref), text});
    }

    const XmlPart& xml_;
    const Worksheet& sheet_;
    SharedStringWriter& strings_;
    std::set<std::string>& overwrittenFormulas_;
    std::string prefix_;
    std::vector<Splice> splices_;
    std::map<std::string, SharedMaster> sharedMasters_;  // by the group's si
};

// Replaces an attribute's number, or adds the attribute to the element's start tag.
void SetCountAttribute(const XmlPart& xml, pugi::xml_node element, const char* name,
                       std::int64_t value, std::vector<Splice>& splices, bool addWhenMissing) {
    const pugi::xml_attribute a = Attribute(element, name);
    const std::string text = std::to_string(std::max<std::int64_t>(value, 0));
    if (a) {
        splices.push_back({xml.ValueBegin(a), xml.ValueEnd(a), text});
    } else if (addWhenMissing) {
        const std::size_t at = xml.ElementBegin(element) + 1 + std::strlen(element.name());
        splices.push_back({at, at, std::string(" ") + name + "=\"" + text + "\""});
    }
}

std::int64_t AttributeNumber(pugi::xml_node node, const char* name, std::int64_t fallback) {
    return ParseInteger(Attribute(node, name).value()).value_or(fallback);
}

void AppendChildrenTo(const XmlPart& xml, pugi::xml_node element, const std::string& children,
                      std::vector<Splice>& splices) {
    if (xml.IsEmptyElement(element)) {
        const std::size_t end = xml.StartTagEnd(element);
        splices.push_back(
            {end - 2, end, ">" + children + "</" + std::string(element.name()) + ">"});
    } else {
        const std::size_t at = xml.EndTagBegin(element);
        splices.push_back({at, at, children});
    }
}

std::string SpliceSharedStrings(const XmlPart& xml, const SharedStringWriter& strings) {
    const pugi::xml_node sst = xml.root();
    const std::string prefix = PrefixOf(sst);
    std::vector<Splice> splices;
    std::string added;
    for (const auto& text : strings.added())
        added += SharedStringXml(prefix, text);
    if (!added.empty())
        AppendChildrenTo(xml, sst, added, splices);
    std::int64_t entries = 0;
    for (pugi::xml_node si = sst.first_child(); si; si = si.next_sibling())
        if (si.type() == pugi::node_element && LocalName(si) == "si")
            ++entries;
    SetCountAttribute(xml, sst, "uniqueCount",
                      entries + static_cast<std::int64_t>(strings.added().size()), splices, false);
    if (Attribute(sst, "count")) {
        SetCountAttribute(xml, sst, "count",
                          AttributeNumber(sst, "count", 0) + strings.referenceDelta(), splices,
                          false);
    }
    return ApplySplices(xml.original(), std::move(splices));
}

std::string NewSharedStrings(const Namespaces& ns, const SharedStringWriter& strings) {
    std::string out = kXmlDeclaration;
    out += std::string("<sst xmlns=\"") + ns.main + "\" count=\"" +
           std::to_string(std::max<std::int64_t>(strings.referenceDelta(), 0)) +
           "\" uniqueCount=\"" + std::to_string(strings.added().size()) + "\">";
    for (const auto& text : strings.added())
        out += SharedStringXml("", text);
    out += "</sst>";
    return out;
}

std::string NumberFormatXml(const std::string& prefix, std::uint32_t id,
                            const std::u16string& code) {
    std::string out = "<" + prefix + "numFmt numFmtId=\"" + std::to_string(id) + "\" formatCode=\"";
    AppendEscaped(out, util::Utf16ToUtf8(code), true);
    out += "\"/>";
    return out;
}

// A copy of cellXfs entry `xf` that shows numbers in format `formatId`.
std::string CellStyleXml(const XmlPart& xml, pugi::xml_node xf, std::uint32_t formatId) {
    std::string out = "<" + std::string(xf.name());
    bool hasApply = false;
    for (pugi::xml_attribute a = xf.first_attribute(); a; a = a.next_attribute()) {
        const std::string_view name = a.name();
        out += " ";
        out += name;
        out += "=\"";
        if (name == "numFmtId") {
            out += std::to_string(formatId);
        } else if (name == "applyNumberFormat") {
            out += "1";
            hasApply = true;
        } else {
            AppendEscaped(out, a.value(), true);
        }
        out += "\"";
    }
    if (!Attribute(xf, "numFmtId"))
        out += " numFmtId=\"" + std::to_string(formatId) + "\"";
    if (!hasApply)
        out += " applyNumberFormat=\"1\"";
    if (xml.IsEmptyElement(xf))
        return out + "/>";
    const std::size_t inner = xml.StartTagEnd(xf);
    out += ">" + xml.original().substr(inner, xml.EndTagBegin(xf) - inner);
    return out + "</" + std::string(xf.name()) + ">";
}

std::string SpliceStyles(const XmlPart& xml, const AddedStyles& added) {
    const pugi::xml_node root = xml.root();
    const std::string prefix = PrefixOf(root);
    std::vector<Splice> splices;
    if (!added.formats.empty()) {
        std::string formats;
        for (const auto& [id, code] : added.formats)
            formats += NumberFormatXml(prefix, id, code);
        if (const pugi::xml_node numFmts = ChildElement(root, "numFmts")) {
            std::int64_t count = 0;
            for (pugi::xml_node f = numFmts.first_child(); f; f = f.next_sibling())
                if (f.type() == pugi::node_element)
                    ++count;
            AppendChildrenTo(xml, numFmts, formats, splices);
            SetCountAttribute(xml, numFmts, "count",
                              count + static_cast<std::int64_t>(added.formats.size()), splices,
                              false);
        } else {
            // numFmts comes first in a style sheet.
            const std::size_t at = xml.StartTagEnd(root);
            splices.push_back({at, at,
                               "<" + prefix + "numFmts count=\"" +
                                   std::to_string(added.formats.size()) + "\">" + formats + "</" +
                                   prefix + "numFmts>"});
        }
    }
    if (!added.cellStyles.empty()) {
        const pugi::xml_node cellXfs = ChildElement(root, "cellXfs");
        if (!cellXfs)
            xml.Fail("the styles have no cellXfs to add a date format to");
        std::vector<pugi::xml_node> xfs;
        for (pugi::xml_node xf = cellXfs.first_child(); xf; xf = xf.next_sibling())
            if (xf.type() == pugi::node_element && LocalName(xf) == "xf")
                xfs.push_back(xf);
        std::string styles;
        for (const auto& style : added.cellStyles) {
            if (style.base >= xfs.size())
                xml.Fail("internal: a date style based on a missing style");
            styles += CellStyleXml(xml, xfs[style.base], style.formatId);
        }
        AppendChildrenTo(xml, cellXfs, styles, splices);
        SetCountAttribute(xml, cellXfs, "count",
                          static_cast<std::int64_t>(xfs.size() + added.cellStyles.size()), splices,
                          false);
    }
    return ApplySplices(xml.original(), std::move(splices));
}

// A style sheet for a workbook that had none: the General style and the added ones.
std::string NewStyles(const Namespaces& ns, const AddedStyles& added) {
    std::string out = kXmlDeclaration;
    out += std::string("<styleSheet xmlns=\"") + ns.main + "\">";
    if (!added.formats.empty()) {
        out += "<numFmts count=\"" + std::to_string(added.formats.size()) + "\">";
        for (const auto& [id, code] : added.formats)
            out += NumberFormatXml("", id, code);
        out += "</numFmts>";
    }
    out +=
        "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
        "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
        "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
        "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
        "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
        "</cellStyleXfs>";
    out += "<cellXfs count=\"" + std::to_string(1 + added.cellStyles.size()) + "\">";
    out += "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>";
    for (const auto& style : added.cellStyles) {
        out += "<xf numFmtId=\"" + std::to_string(style.formatId) +
               "\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>";
    }
    out +=
        "</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/>"
        "</cellStyles></styleSheet>";
    return out;
}

// The calculation chain without the entries of overwritten formulas; nothing when none is left.
std::optional<std::string> SpliceCalcChain(
    const XmlPart& xml, const std::map<std::string, std::set<std::string>>& removed) {
    const pugi::xml_node root = xml.root();
    std::vector<Splice> splices;
    std::string sheet, lastKeptSheet;
    bool anyKept = false;
    for (pugi::xml_node c = root.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element || LocalName(c) != "c")
            continue;
        const pugi::xml_attribute i = Attribute(c, "i");
        if (i)
            sheet = i.value();  // an entry without i is on the sheet of the one before
        const auto it = removed.find(sheet);
        if (it != removed.end() && it->second.count(Attribute(c, "r").value())) {
            splices.push_back({xml.ElementBegin(c), xml.ElementEnd(c), ""});
            continue;
        }
        if (!i && anyKept && sheet != lastKeptSheet) {
            const std::size_t at = xml.ElementBegin(c) + 1 + std::strlen(c.name());
            splices.push_back({at, at, " i=\"" + sheet + "\""});
        } else if (!i && !anyKept && !sheet.empty()) {
            const std::size_t at = xml.ElementBegin(c) + 1 + std::strlen(c.name());
            splices.push_back({at, at, " i=\"" + sheet + "\""});
        }
        anyKept = true;
        lastKeptSheet = sheet;
    }
    if (!anyKept)
        return std::nullopt;
    return ApplySplices(xml.original(), std::move(splices));
}

// Part names in the content types and relationships are URIs from the package root.
std::string AddOverride(const XmlPart& xml, const std::string& part, const char* contentType) {
    std::string entry = "<" + PrefixOf(xml.root()) + "Override PartName=\"/";
    AppendEscaped(entry, part, true);
    entry += std::string("\" ContentType=\"") + contentType + "\"/>";
    std::vector<Splice> splices;
    AppendChildrenTo(xml, xml.root(), entry, splices);
    return ApplySplices(xml.original(), std::move(splices));
}

std::string RemoveOverride(const XmlPart& xml, const std::string& part) {
    std::vector<Splice> splices;
    for (pugi::xml_node o = xml.root().first_child(); o; o = o.next_sibling()) {
        if (o.type() != pugi::node_element || LocalName(o) != "Override")
            continue;
        std::string_view name = Attribute(o, "PartName").value();
        if (!name.empty() && name.front() == '/')
            name.remove_prefix(1);
        if (EqualsIgnoringCase(name, part))
            splices.push_back({xml.ElementBegin(o), xml.ElementEnd(o), ""});
    }
    return ApplySplices(xml.original(), std::move(splices));
}

std::string RelativeTarget(const std::string& fromPart, const std::string& part) {
    const std::size_t slash = fromPart.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : fromPart.substr(0, slash + 1);
    if (!folder.empty() && part.compare(0, folder.size(), folder) == 0)
        return part.substr(folder.size());
    return "/" + part;
}

std::string AddRelationship(const XmlPart& xml, const std::string& type,
                            const std::string& target) {
    std::set<std::string> ids;
    for (pugi::xml_node r = xml.root().first_child(); r; r = r.next_sibling())
        if (r.type() == pugi::node_element)
            ids.insert(Attribute(r, "Id").value());
    int n = 1;
    while (ids.count("rId" + std::to_string(n)))
        ++n;
    std::string entry = "<" + PrefixOf(xml.root()) + "Relationship Id=\"rId" + std::to_string(n) +
                        "\" Type=\"" + type + "\" Target=\"";
    AppendEscaped(entry, target, true);
    entry += "\"/>";
    std::vector<Splice> splices;
    AppendChildrenTo(xml, xml.root(), entry, splices);
    return ApplySplices(xml.original(), std::move(splices));
}

std::string RemoveRelationships(const XmlPart& xml, std::string_view kind) {
    std::vector<Splice> splices;
    for (pugi::xml_node r = xml.root().first_child(); r; r = r.next_sibling()) {
        if (r.type() != pugi::node_element || LocalName(r) != "Relationship")
            continue;
        const std::string_view type = Attribute(r, "Type").value();
        const std::size_t slash = type.rfind('/');
        if (type.substr(slash == type.npos ? 0 : slash + 1) == kind) {
            splices.push_back({xml.ElementBegin(r), xml.ElementEnd(r), ""});
        }
    }
    return ApplySplices(xml.original(), std::move(splices));
}

// A part name beside the workbook part that the package does not use yet.
std::string FreePartName(const ZipPackage& package, const std::string& workbookPart,
                         const std::string& fileName) {
    const std::size_t slash = workbookPart.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : workbookPart.substr(0, slash + 1);
    std::string name = folder + fileName + ".xml";
    for (int n = 2; package.Has(name); ++n)
        name = folder + fileName + std::to_string(n) + ".xml";
    return name;
}

class PackageWriter {
  public:
    PackageWriter(const Workbook& workbook, const XlsxDocument& doc, const AddedStyles& added,
                  const std::map<std::uint32_t, std::uint32_t>& savedTexts)
        : workbook_(workbook),
          doc_(doc),
          added_(added),
          strings_(workbook, doc.sharedStrings, savedTexts),
          ns_(doc.layout.strict ? kStrict : kTransitional) {}

    SavedPackage Write() {
        SavedPackage result;
        result.sharedStringsPart = doc_.layout.sharedStringsPart;
        result.stylesPart = doc_.layout.stylesPart;

        std::map<std::string, std::set<std::string>> overwrittenFormulas;  // sheetId -> cells
        for (const SheetLayout& layout : doc_.sheets) {
            if (!layout.sheet->modified())
                continue;
            const XmlPart xml(Label(layout.partName), doc_.package->Read(layout.partName), true);
            changes_[layout.partName] =
                SheetSplicer(xml, *layout.sheet, strings_, overwrittenFormulas[layout.sheetId])
                    .Run();
        }

        if (!strings_.added().empty() || strings_.referenceDelta() != 0) {
            if (!doc_.layout.sharedStringsPart.empty()) {
                const XmlPart xml(Label(doc_.layout.sharedStringsPart),
                                  doc_.package->Read(doc_.layout.sharedStringsPart), true);
                changes_[doc_.layout.sharedStringsPart] = SpliceSharedStrings(xml, strings_);
            } else if (!strings_.added().empty()) {
                result.sharedStringsPart =
                    FreePartName(*doc_.package, doc_.layout.workbookPart, "sharedStrings");
                changes_[result.sharedStringsPart] = NewSharedStrings(ns_, strings_);
                AddPart(result.sharedStringsPart, kSharedStringsContentType, "sharedStrings");
            }
        }

        if (!added_.empty()) {
            if (!doc_.layout.stylesPart.empty()) {
                const XmlPart xml(Label(doc_.layout.stylesPart),
                                  doc_.package->Read(doc_.layout.stylesPart), true);
                changes_[doc_.layout.stylesPart] = SpliceStyles(xml, added_);
            } else {
                result.stylesPart = FreePartName(*doc_.package, doc_.layout.workbookPart, "styles");
                changes_[result.stylesPart] = NewStyles(ns_, added_);
                AddPart(result.stylesPart, kStylesContentType, "styles");
            }
        }

        bool anyFormula = false;
        for (const auto& [sheet, cells] : overwrittenFormulas)
            anyFormula |= !cells.empty();
        if (anyFormula && !doc_.layout.calcChainPart.empty() &&
            doc_.package->Has(doc_.layout.calcChainPart)) {
            const XmlPart xml(Label(doc_.layout.calcChainPart),
                              doc_.package->Read(doc_.layout.calcChainPart), true);
            auto chain = SpliceCalcChain(xml, overwrittenFormulas);
            changes_[doc_.layout.calcChainPart] = chain;
            if (!chain) {
                RemovePart(doc_.layout.calcChainPart, "calcChain");
                result.calcChainRemoved = true;
            }
        }

        result.bytes = changes_.empty() ? doc_.package->bytes() : doc_.package->Rewrite(changes_);
        result.addedSharedStrings = strings_.added();
        result.savedTexts = std::move(strings_.savedTexts());
        return result;
    }

  private:
    std::string Label(const std::string& part) const {
        return workbook_.path() + " (" + part + ")";
    }

    // The current text of a part, with the changes of this save so far.
    std::unique_ptr<XmlPart> Current(const std::string& part) const {
        const auto it = changes_.find(part);
        std::string text =
            it != changes_.end() && it->second ? *it->second : doc_.package->Read(part);
        return std::make_unique<XmlPart>(Label(part), std::move(text), true);
    }

    void AddPart(const std::string& part, const char* contentType, const char* relationshipKind) {
        const std::string types = "[Content_Types].xml";
        changes_[types] = AddOverride(*Current(types), part, contentType);
        changes_[doc_.layout.workbookRelsPart] =
            AddRelationship(*Current(doc_.layout.workbookRelsPart),
                            std::string(ns_.relationshipTypes) + relationshipKind,
                            RelativeTarget(doc_.layout.workbookPart, part));
    }

    void RemovePart(const std::string& part, const char* relationshipKind) {
        const std::string types = "[Content_Types].xml";
        changes_[types] = RemoveOverride(*Current(types), part);
        changes_[doc_.layout.workbookRelsPart] =
            RemoveRelationships(*Current(doc_.layout.workbookRelsPart), relationshipKind);
    }

    const Workbook& workbook_;
    const XlsxDocument& doc_;
    const AddedStyles& added_;
    SharedStringWriter strings_;
    const Namespaces& ns_;
    std::map<std::string, std::optional<std::string>> changes_;
};

}  // namespace

SavedPackage WriteXlsxPackage(const Workbook& workbook, const XlsxDocument& document,
                              const AddedStyles& added,
                              const std::map<std::uint32_t, std::uint32_t>& savedTexts) {
    return PackageWriter(workbook, document, added, savedTexts).Write();
}

}  // namespace spreadsheet::xlsx
