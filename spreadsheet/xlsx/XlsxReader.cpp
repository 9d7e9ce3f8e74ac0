#include "spreadsheet/xlsx/XlsxReader.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "automation/OleDate.h"
#include "spreadsheet/core/CellValues.h"
#include "spreadsheet/xlsx/CellAddress.h"
#include "spreadsheet/xlsx/XmlPart.h"
#include "util/Utf.h"

namespace spreadsheet::xlsx {
namespace {

constexpr std::string_view kContentTypesPart = "[Content_Types].xml";
constexpr std::string_view kRootRelsPart = "_rels/.rels";
constexpr std::string_view kStrictPrefix = "http://purl.oclc.org/ooxml/";

// A relationship type's last segment: ".../relationships/worksheet" -> "worksheet".
std::string_view RelationshipKind(std::string_view type) {
    const std::size_t slash = type.rfind('/');
    return slash == std::string_view::npos ? type : type.substr(slash + 1);
}

bool IsTrue(std::string_view value) {
    return value == "1" || value == "true";
}

std::optional<std::uint32_t> ParseIndex(std::string_view text) {
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\n' ||
                             text.front() == '\r'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' ||
                             text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::optional<double> ParseNumber(std::string_view text) {
    text = Trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

struct Relationship {
    std::string id, kind, target;
};

std::optional<CellError> ErrorFromText(std::string_view text) {
    static const std::pair<std::string_view, CellError> kErrors[] = {
        {"#NULL!", CellError::Null}, {"#DIV/0!", CellError::Div0}, {"#VALUE!", CellError::Value},
        {"#REF!", CellError::Ref},   {"#NAME?", CellError::Name},  {"#NUM!", CellError::Num},
        {"#N/A", CellError::NA},
    };
    for (const auto& [name, code] : kErrors)
        if (name == text)
            return code;
    return std::nullopt;
}

// Reads an ISO 8601 date, time or both ("2024-01-05", "2024-01-05T13:45:00.5Z", "13:45:00")
// as the platform's date; nothing when it is none.
std::optional<double> ParseIsoDateTime(std::string_view text) {
    text = Trimmed(text);
    automation::DateTimeParts parts;
    double fraction = 0;
    auto number = [&](std::size_t& i, std::size_t digits, int& out) {
        if (i + digits > text.size())
            return false;
        int v = 0;
        for (std::size_t k = 0; k < digits; ++k) {
            const char c = text[i + k];
            if (c < '0' || c > '9')
                return false;
            v = v * 10 + (c - '0');
        }
        out = v;
        i += digits;
        return true;
    };
    std::size_t i = 0;
    bool hasDate = false;
    if (text.size() >= 10 && text[4] == '-') {
        if (!number(i, 4, parts.year) || text[i++] != '-' || !number(i, 2, parts.month) ||
            text[i++] != '-' || !number(i, 2, parts.day)) {
            return std::nullopt;
        }
        hasDate = true;
        if (i < text.size() && text[i] == 'T')
            ++i;
    }
    if (i < text.size() && text[i] != 'Z' && text[i] != '+' && text[i] != '-') {
        if (!number(i, 2, parts.hour) || i >= text.size() || text[i++] != ':' ||
            !number(i, 2, parts.minute)) {
            return std::nullopt;
        }
        if (i < text.size() && text[i] == ':') {
            ++i;
            if (!number(i, 2, parts.second))
                return std::nullopt;
            if (i < text.size() && text[i] == '.') {
                ++i;
                double scale = 0.1;
                while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
                    fraction += (text[i++] - '0') * scale;
                    scale /= 10;
                }
            }
        }
    } else if (!hasDate) {
        return std::nullopt;
    }
    // A zone suffix is ignored: the application keeps local wall-clock times.
    const auto ole = automation::OleDateFromParts(parts);
    if (!ole)
        return std::nullopt;
    return *ole + (*ole >= 0 ? fraction : -fraction) / 86400.0;
}

class PackageReader {
  public:
    PackageReader(std::unique_ptr<ZipPackage> package, Workbook& workbook) : workbook_(workbook) {
        doc_.package = std::move(package);
    }

    XlsxDocument Read() {
        if (!doc_.package->Has(kContentTypesPart)) {
            Fail("the package has no [Content_Types].xml: not an Office Open XML workbook");
        }
        FindWorkbookPart();
        ReadStyles();
        ReadSharedStrings();
        ReadWorkbook();
        return std::move(doc_);
    }

  private:
    [[noreturn]] void Fail(const std::string& reason) const {
        throw SpreadsheetError(workbook_.path() + ": " + reason);
    }

    std::string Label(std::string_view part) const {
        return workbook_.path() + " (" + std::string(part) + ")";
    }

    std::unique_ptr<XmlPart> Parse(const std::string& part) const {
        return std::make_unique<XmlPart>(Label(part), doc_.package->Read(part), false);
    }

    std::unique_ptr<XmlPart> ParseRequired(const std::string& part, const char* what) const {
        if (!doc_.package->Has(part))
            Fail("the package has no " + std::string(what) + " (" + part + ")");
        return Parse(part);
    }

    std::vector<Relationship> ReadRelationships(const std::string& relsPart,
                                                const std::string& sourcePart) const {
        std::vector<Relationship> out;
        if (!doc_.package->Has(relsPart))
            return out;
        const auto xml = Parse(relsPart);
        for (pugi::xml_node r = xml->root().first_child(); r; r = r.next_sibling()) {
            if (r.type() != pugi::node_element || LocalName(r) != "Relationship")
                continue;
            if (std::string_view(Attribute(r, "TargetMode").value()) == "External")
                continue;
            out.push_back({Attribute(r, "Id").value(),
                           std::string(RelationshipKind(Attribute(r, "Type").value())),
                           ResolvePartName(sourcePart, Attribute(r, "Target").value())});
            if (std::string_view(Attribute(r, "Type").value()).substr(0, kStrictPrefix.size()) ==
                kStrictPrefix) {
                strictSeen_ = true;
            }
        }
        return out;
    }

    void FindWorkbookPart() {
        if (!doc_.package->Has(kRootRelsPart))
            Fail("the package has no _rels/.rels");
        for (const auto& rel : ReadRelationships(std::string(kRootRelsPart), ""))
            if (rel.kind == "officeDocument") {
                doc_.layout.workbookPart = rel.target;
                break;
            }
        if (doc_.layout.workbookPart.empty())
            Fail("the package names no workbook part");
        if (!doc_.package->Has(doc_.layout.workbookPart)) {
            Fail("the package has no workbook part (" + doc_.layout.workbookPart + ")");
        }
        doc_.layout.strict = strictSeen_;
        doc_.layout.workbookRelsPart = RelationshipsPartOf(doc_.layout.workbookPart);
        if (!doc_.package->Has(doc_.layout.workbookRelsPart)) {
            Fail("the package has no relationships for its workbook (" +
                 doc_.layout.workbookRelsPart + ")");
        }
        workbookRels_ = ReadRelationships(doc_.layout.workbookRelsPart, doc_.layout.workbookPart);
        for (const auto& rel : workbookRels_) {
            if (rel.kind == "styles")
                doc_.layout.stylesPart = rel.target;
            if (rel.kind == "sharedStrings")
                doc_.layout.sharedStringsPart = rel.target;
            if (rel.kind == "calcChain")
                doc_.layout.calcChainPart = rel.target;
        }
    }

    void ReadStyles() {
        const std::string& part = doc_.layout.stylesPart;
        if (part.empty())
            return;
        const auto xml = ParseRequired(part, "styles part");
        StyleTable& styles = doc_.styles;
        if (const auto numFmts = ChildElement(xml->root(), "numFmts")) {
            for (pugi::xml_node f = numFmts.first_child(); f; f = f.next_sibling()) {
                if (f.type() != pugi::node_element || LocalName(f) != "numFmt")
                    continue;
                const auto id = ParseIndex(Attribute(f, "numFmtId").value());
                if (!id)
                    xml->Fail("a number format without a valid numFmtId");
                styles.formatCodes[*id] = util::Utf8ToUtf16(Attribute(f, "formatCode").value());
            }
        }
        const auto cellXfs = ChildElement(xml->root(), "cellXfs");
        if (!cellXfs)
            return;
        styles.present = true;
        for (pugi::xml_node xf = cellXfs.first_child(); xf; xf = xf.next_sibling()) {
            if (xf.type() != pugi::node_element || LocalName(xf) != "xf")
                continue;
            const char* id = Attribute(xf, "numFmtId").value();
            const auto value = *id ? ParseIndex(id) : std::optional<std::uint32_t>(0);
            if (!value)
                xml->Fail("a cell style with an invalid numFmtId");
            styles.cellFormatIds.push_back(*value);
        }
    }

    // The text of an <si> or <is>: its <t>, or its rich runs' <t> joined; phonetic runs dropped.
    static std::string RichText(pugi::xml_node holder, bool* plain) {
        std::string text;
        int runs = 0;
        bool phonetic = false;
        for (pugi::xml_node n = holder.first_child(); n; n = n.next_sibling()) {
            if (n.type() != pugi::node_element)
                continue;
            const auto name = LocalName(n);
            if (name == "t") {
                text += n.child_value();
                ++runs;
            } else if (name == "r") {
                text += ChildElement(n, "t").child_value();
                runs += 2;
            } else if (name == "rPh" || name == "phoneticPr") {
                phonetic = true;
            }
        }
        if (plain)
            *plain = runs == 1 && !phonetic;
        return DecodeOfficeEscapes(text);
    }

    void ReadSharedStrings() {
        const std::string& part = doc_.layout.sharedStringsPart;
        if (part.empty())
            return;
        const auto xml = ParseRequired(part, "shared strings part");
        auto& pool = workbook_.strings();
        auto& table = doc_.sharedStrings;
        for (pugi::xml_node si = xml->root().first_child(); si; si = si.next_sibling()) {
            if (si.type() != pugi::node_element || LocalName(si) != "si")
                continue;
            bool plain = false;
            pool.Append(util::Utf8ToUtf16(RichText(si, &plain)));
            table.plain.push_back(plain);
        }
        table.count = static_cast<std::uint32_t>(table.plain.size());
    }

    void ReadWorkbook() {
        const auto xml = Parse(doc_.layout.workbookPart);
        const pugi::xml_node root = xml->root();
        if (const auto pr = ChildElement(root, "workbookPr")) {
            workbook_.setDate1904(IsTrue(Attribute(pr, "date1904").value()));
        }
        const auto sheets = ChildElement(root, "sheets");
        if (!sheets)
            xml->Fail("the workbook lists no sheets");
        for (pugi::xml_node s = sheets.first_child(); s; s = s.next_sibling()) {
            if (s.type() != pugi::node_element || LocalName(s) != "sheet")
                continue;
            const std::string relId = Attribute(s, "id").value();
            const Relationship* rel = nullptr;
            for (const auto& r : workbookRels_)
                if (r.id == relId)
                    rel = &r;
            if (!rel)
                xml->Fail("the sheet \"" + std::string(Attribute(s, "name").value()) +
                          "\" has no part (relationship " + relId + ")");
            if (rel->kind != "worksheet")
                continue;  // chart sheets, dialog and macro sheets
            const std::string_view state = Attribute(s, "state").value();
            const SheetVisibility visibility = state == "hidden"       ? SheetVisibility::Hidden
                                               : state == "veryHidden" ? SheetVisibility::VeryHidden
                                                                       : SheetVisibility::Visible;
            Worksheet& sheet =
                workbook_.AddWorksheet(util::Utf8ToUtf16(Attribute(s, "name").value()), visibility);
            SheetLayout layout;
            layout.sheet = &sheet;
            layout.partName = rel->target;
            layout.sheetId = Attribute(s, "sheetId").value();
            ReadWorksheet(sheet, layout);
            doc_.sheets.push_back(std::move(layout));
        }
    }

    // `where` names the referring cell, row or column; it is only built for the failure.
    template <class Where>
    std::uint32_t CheckedStyle(const XmlPart& xml, std::string_view text, Where&& where) const {
        if (text.empty())
            return 0;
        const auto style = ParseIndex(text);
        const std::size_t styleCount = doc_.styles.present ? doc_.styles.cellFormatIds.size() : 1;
        if (!style || *style >= styleCount) {
            xml.Fail(std::string(where()) + " refers to style " + std::string(text) +
                     ", but the workbook has " + std::to_string(styleCount));
        }
        return *style;
    }

    void ReadWorksheet(Worksheet& sheet, SheetLayout& layout) {
        const auto xml = ParseRequired(layout.partName, "worksheet part");
        const pugi::xml_node root = xml->root();
        if (const auto cols = ChildElement(root, "cols")) {
            for (pugi::xml_node col = cols.first_child(); col; col = col.next_sibling()) {
                if (col.type() != pugi::node_element || LocalName(col) != "col")
                    continue;
                const char* styleText = Attribute(col, "style").value();
                if (!*styleText)
                    continue;
                const auto first = ParseIndex(Attribute(col, "min").value());
                const auto last = ParseIndex(Attribute(col, "max").value());
                if (!first || !last || *first < 1 || *last < *first)
                    continue;
                layout.columnStyles.push_back(
                    {static_cast<std::int32_t>(std::min<std::uint32_t>(*first, kMaxColumns)),
                     static_cast<std::int32_t>(std::min<std::uint32_t>(*last, kMaxColumns)),
                     CheckedStyle(*xml, styleText, [] { return "a column"; })});
            }
        }
        const auto sheetData = ChildElement(root, "sheetData");
        if (!sheetData)
            xml->Fail("the worksheet has no sheetData");
        std::int32_t rowIndex = 0;
        for (pugi::xml_node row = sheetData.first_child(); row; row = row.next_sibling()) {
            if (row.type() != pugi::node_element || LocalName(row) != "row")
                continue;
            if (const char* r = Attribute(row, "r").value(); *r) {
                const auto index = ParseIndex(r);
                if (!index || *index < 1 || *index > static_cast<std::uint32_t>(kMaxRows)) {
                    xml->Fail("a row number outside 1.." + std::to_string(kMaxRows) + ": " + r);
                }
                rowIndex = static_cast<std::int32_t>(*index);
            } else if (++rowIndex > kMaxRows) {
                xml->Fail("more than " + std::to_string(kMaxRows) + " rows");
            }
            if (IsTrue(Attribute(row, "customFormat").value())) {
                layout.rowStyles[rowIndex] =
                    CheckedStyle(*xml, Attribute(row, "s").value(), [] { return "a row"; });
            }
            std::int32_t column = 0;
            for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling()) {
                if (c.type() != pugi::node_element || LocalName(c) != "c")
                    continue;
                std::int32_t cellRow = rowIndex;
                if (const char* r = Attribute(c, "r").value(); *r) {
                    const auto ref = ParseCellAddress(r);
                    if (!ref)
                        xml->Fail("a cell outside the sheet's limits: " + std::string(r));
                    cellRow = ref->row;
                    column = ref->column;
                } else if (++column > kMaxColumns) {
                    xml->Fail("a row with more than " + std::to_string(kMaxColumns) + " cells");
                }
                sheet.Load(cellRow, column, ReadCell(*xml, c, cellRow, column));
            }
        }
    }

    Cell ReadCell(const XmlPart& xml, pugi::xml_node c, std::int32_t row, std::int32_t column) {
        Cell cell;
        const auto where = [&] { return "cell " + CellAddress(row, column); };
        cell.style = CheckedStyle(xml, Attribute(c, "s").value(), where);
        cell.formula = static_cast<bool>(ChildElement(c, "f"));
        const std::string_view type = Attribute(c, "t").value();
        const pugi::xml_node v = ChildElement(c, "v");
        if (type == "inlineStr") {
            const auto is = ChildElement(c, "is");
            if (!is && !v)
                return cell;
            const std::string text =
                is ? RichText(is, nullptr) : DecodeOfficeEscapes(v.child_value());
            cell.type = CellType::Text;
            cell.payload = workbook_.strings().Append(util::Utf8ToUtf16(text));
            return cell;
        }
        if (!v)
            return cell;  // formatting alone, or a formula with no cached result
        const std::string_view value = v.child_value();
        if (type.empty() || type == "n") {
            if (Trimmed(value).empty())
                return cell;
            const auto number = ParseNumber(value);
            if (!number)
                xml.Fail(where() + " holds no number: \"" + std::string(value) + "\"");
            cell.type = CellType::Number;
            cell.number = *number;
        } else if (type == "s") {
            const auto index = ParseIndex(Trimmed(value));
            if (!index || *index >= doc_.sharedStrings.count) {
                xml.Fail(where() + " refers to shared string " + std::string(value) +
                         ", but the workbook has " + std::to_string(doc_.sharedStrings.count));
            }
            cell.type = CellType::Text;
            cell.payload = *index;
        } else if (type == "str") {
            cell.type = CellType::Text;
            cell.payload =
                workbook_.strings().Append(util::Utf8ToUtf16(DecodeOfficeEscapes(value)));
        } else if (type == "b") {
            cell.type = CellType::Boolean;
            cell.payload = IsTrue(Trimmed(value)) ? 1 : 0;
        } else if (type == "e") {
            cell.type = CellType::Error;
            // Errors newer than the seven classic ones (#SPILL!, #CALC! ...) read as #VALUE!.
            cell.payload = static_cast<std::uint32_t>(
                ErrorFromText(Trimmed(value)).value_or(CellError::Value));
        } else if (type == "d") {
            const auto ole = ParseIsoDateTime(value);
            if (!ole)
                xml.Fail(where() + " holds no ISO 8601 date: \"" + std::string(value) + "\"");
            cell.type = CellType::Number;
            cell.number = SerialFromOleDate(*ole, workbook_.date1904()).value_or(*ole);
        } else {
            xml.Fail(where() + " has an unknown type \"" + std::string(type) + "\"");
        }
        return cell;
    }

    Workbook& workbook_;
    XlsxDocument doc_;
    std::vector<Relationship> workbookRels_;
    mutable bool strictSeen_ = false;
};

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Relationship targets are URIs: "%20" stands for a space in the part name.
std::string PercentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
            HexDigitValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

std::string ResolvePartName(const std::string& sourcePart, const std::string& target) {
    std::string path;
    const std::string decoded = PercentDecoded(target);
    if (!decoded.empty() && decoded.front() == '/') {
        path = decoded.substr(1);
    } else {
        const std::size_t slash = sourcePart.rfind('/');
        path = (slash == std::string::npos ? std::string() : sourcePart.substr(0, slash + 1)) +
               decoded;
    }
    std::vector<std::string> segments;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string segment = path.substr(start, end - start);
        if (segment == "..") {
            if (!segments.empty())
                segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string out;
    for (const auto& s : segments) {
        if (!out.empty())
            out += '/';
        out += s;
    }
    return out;
}

std::string RelationshipsPartOf(const std::string& part) {
    const std::size_t slash = part.rfind('/');
    if (slash == std::string::npos)
        return "_rels/" + part + ".rels";
    return part.substr(0, slash + 1) + "_rels/" + part.substr(slash + 1) + ".rels";
}

XlsxDocument ReadXlsxPackage(std::unique_ptr<ZipPackage> package, Workbook& workbook) {
    return PackageReader(std::move(package), workbook).Read();
}

}  // namespace spreadsheet::xlsx
