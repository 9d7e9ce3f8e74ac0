#include "spreadsheet/xlsx/XmlPart.h"

#include <algorithm>
#include <cstring>

#include "spreadsheet/model/Workbook.h"

namespace spreadsheet::xlsx {
namespace {

// Comments and processing instructions become nodes so that an element's end can be found
// past them; a whitespace-only text is kept when it is an element's only content (<t> </t>).
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_doctype |
                                   pugi::parse_comments | pugi::parse_pi |
                                   pugi::parse_ws_pcdata_single;

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return c - 'a' + 10;
}

// "_xHHHH_" at text[i]?
bool IsOfficeEscapeAt(std::string_view text, std::size_t i) {
    if (i + 7 > text.size() || text[i] != '_' || text[i + 1] != 'x' || text[i + 6] != '_') {
        return false;
    }
    for (std::size_t k = 2; k < 6; ++k)
        if (!IsHexDigit(text[i + k]))
            return false;
    return true;
}

void AppendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

XmlPart::XmlPart(std::string label, std::string text, bool keepOriginal)
    : label_(std::move(label)), buffer_(std::move(text)) {
    if (keepOriginal)
        original_ = buffer_;
    const pugi::xml_parse_result result = doc_.load_buffer_inplace(
        buffer_.data(), buffer_.size(), kParseOptions, pugi::encoding_utf8);
    if (!result) {
        Fail("damaged XML (" + std::string(result.description()) + " at byte " +
             std::to_string(result.offset) + ")");
    }
    for (pugi::xml_node n = doc_.first_child(); n; n = n.next_sibling()) {
        if (n.type() == pugi::node_doctype) {
            Fail("the XML declares a document type; entity declarations are not accepted");
        }
    }
    if (!root())
        Fail("the XML has no root element");
}

void XmlPart::Fail(const std::string& reason) const {
    throw SpreadsheetError(label_ + ": " + reason);
}

std::size_t XmlPart::OffsetOf(const char* p) const {
    if (original_.empty() || p < buffer_.data() || p > buffer_.data() + buffer_.size()) {
        Fail("internal: no offsets for this part");
    }
    return static_cast<std::size_t>(p - buffer_.data());
}

std::size_t XmlPart::Find(std::string_view what, std::size_t from) const {
    const std::size_t at = original_.find(what, from);
    if (at == std::string::npos)
        Fail("damaged XML (unterminated markup)");
    return at;
}

std::size_t XmlPart::ElementBegin(pugi::xml_node element) const {
    const std::size_t name = OffsetOf(element.name());
    if (name == 0 || original_[name - 1] != '<')
        Fail("damaged XML (element offset)");
    return name - 1;
}

std::size_t XmlPart::StartTagEnd(pugi::xml_node element) const {
    // Inside a well-formed start tag a '>' can only appear within a quoted value.
    char quote = 0;
    for (std::size_t i = OffsetOf(element.name()); i < original_.size(); ++i) {
        const char c = original_[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    Fail("damaged XML (unterminated start tag)");
}

bool XmlPart::IsEmptyElement(pugi::xml_node element) const {
    const std::size_t end = StartTagEnd(element);
    return end >= 2 && original_[end - 2] == '/';
}

std::size_t XmlPart::NodeEnd(pugi::xml_node node) const {
    switch (node.type()) {
        case pugi::node_pcdata:
            return Find("<", OffsetOf(node.value()));
        case pugi::node_cdata:
            return Find("]]>", OffsetOf(node.value())) + 3;
        case pugi::node_comment:
            return Find("-->", OffsetOf(node.value())) + 3;
        case pugi::node_pi:
            return Find("?>", OffsetOf(node.name())) + 2;
        default:
            return StartTagEnd(node);
    }
}

std::size_t XmlPart::EndTagBegin(pugi::xml_node element) const {
    if (IsEmptyElement(element))
        Fail("internal: an empty element has no end tag");
    // Walk down the chain of last children, then close them again from the inside out
    // (no recursion: a hostile part may nest deeply).
    std::vector<pugi::xml_node> open;
    pugi::xml_node node = element;
    std::size_t pos = 0;
    for (;;) {
        open.push_back(node);
        const pugi::xml_node last = node.last_child();
        if (!last) {
            pos = StartTagEnd(node);
            break;
        }
        if (last.type() == pugi::node_element && !IsEmptyElement(last)) {
            node = last;
            continue;
        }
        pos = NodeEnd(last);
        break;
    }
    while (open.size() > 1) {
        pos = Find(">", Find("</", pos)) + 1;
        open.pop_back();
    }
    return Find("</", pos);
}

std::size_t XmlPart::ElementEnd(pugi::xml_node element) const {
    if (IsEmptyElement(element))
        return StartTagEnd(element);
    return Find(">", EndTagBegin(element)) + 1;
}

std::size_t XmlPart::ValueBegin(pugi::xml_attribute attribute) const {
    return OffsetOf(attribute.value());
}

std::size_t XmlPart::ValueEnd(pugi::xml_attribute attribute) const {
    const std::size_t begin = ValueBegin(attribute);
    if (begin == 0)
        Fail("damaged XML (attribute offset)");
    const char quote = original_[begin - 1];
    if (quote != '"' && quote != '\'')
        Fail("damaged XML (attribute offset)");
    return Find(std::string_view(&quote, 1), begin);
}

std::string_view LocalName(const char* qualifiedName) {
    const char* colon = std::strchr(qualifiedName, ':');
    return colon ? std::string_view(colon + 1) : std::string_view(qualifiedName);
}

std::string_view LocalName(pugi::xml_node node) {
    return LocalName(node.name());
}

std::string PrefixOf(pugi::xml_node node) {
    const char* name = node.name();
    const char* colon = std::strchr(name, ':');
    return colon ? std::string(name, static_cast<std::size_t>(colon - name + 1)) : std::string();
}

pugi::xml_node ChildElement(pugi::xml_node parent, std::string_view localName) {
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && LocalName(c) == localName)
            return c;
    return {};
}

pugi::xml_attribute Attribute(pugi::xml_node node, std::string_view localName) {
    pugi::xml_attribute prefixed;
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        if (std::string_view(a.name()) == localName)
            return a;
        if (!prefixed && LocalName(a.name()) == localName &&
            std::string_view(a.name()).substr(0, 6) != "xmlns:") {
            prefixed = a;
        }
    }
    return prefixed;
}

void AppendEscaped(std::string& out, std::string_view text, bool inAttribute) {
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                if (inAttribute) {
                    out += "&quot;";
                } else {
                    out += c;
                }
                break;
            case '\t':
            case '\n':
                if (inAttribute) {
                    out += c == '\t' ? "&#9;" : "&#10;";
                } else {
                    out += c;
                }
                break;
            case '\r':
                out += "&#13;";
                break;
            default:
                out += c;
        }
    }
}

std::string DecodeOfficeEscapes(std::string_view text) {
    if (text.find("_x") == std::string_view::npos)
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (IsOfficeEscapeAt(text, i)) {
            unsigned cp = 0;
            for (std::size_t k = 2; k < 6; ++k)
                cp = cp * 16 + static_cast<unsigned>(HexValue(text[i + k]));
            // A surrogate alone is no character: keep the escape as it is written.
            if (cp >= 0xD800 && cp <= 0xDFFF) {
                out.append(text.substr(i, 7));
            } else {
                AppendUtf8(out, cp);
            }
            i += 7;
        } else {
            out += text[i++];
        }
    }
    return out;
}

void AppendOfficeText(std::string& out, std::string_view text) {
    static const char* const kHex = "0123456789ABCDEF";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '_' && IsOfficeEscapeAt(text, i)) {
            out += "_x005F_";
        } else if (c < 0x20 && c != '\t' && c != '\n') {
            out += "_x00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
            out += '_';
        } else {
            AppendEscaped(out, text.substr(i, 1), false);
        }
    }
}

std::string ApplySplices(const std::string& original, std::vector<Splice> splices) {
    std::stable_sort(splices.begin(), splices.end(),
                     [](const Splice& a, const Splice& b) { return a.begin < b.begin; });
    std::string out;
    std::size_t extra = 0;
    for (const Splice& s : splices)
        extra += s.text.size();
    out.reserve(original.size() + extra);
    std::size_t pos = 0;
    for (const Splice& s : splices) {
        if (s.begin < pos || s.end < s.begin || s.end > original.size()) {
            throw SpreadsheetError("internal: overlapping changes to one part");
        }
        out.append(original, pos, s.begin - pos);
        out += s.text;
        pos = s.end;
    }
    out.append(original, pos, std::string::npos);
    return out;
}

}  // namespace spreadsheet::xlsx
