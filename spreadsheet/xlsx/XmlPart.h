#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace spreadsheet::xlsx {

// One XML part of the package, parsed by pugixml in place: every element name, attribute value
// and text of the tree points into the part's own buffer, so with the original text kept the
// tree also gives the byte offsets that a save needs to splice its changes into the text it
// keeps. pugixml because it is small, fast, well kept and never expands entities; the parse
// refuses any document type declaration (no part of a workbook has one).
class XmlPart {
  public:
    // Throws SpreadsheetError naming `label` (file and part) when the markup is damaged or
    // declares a document type. With keepOriginal the element offsets below can be asked.
    XmlPart(std::string label, std::string text, bool keepOriginal);
    XmlPart(const XmlPart&) = delete;
    XmlPart& operator=(const XmlPart&) = delete;

    const std::string& label() const { return label_; }
    pugi::xml_node root() const { return doc_.document_element(); }
    const std::string& original() const { return original_; }

    // Offsets into the original text (only with keepOriginal).
    std::size_t ElementBegin(pugi::xml_node element) const;  // at its '<'
    std::size_t StartTagEnd(pugi::xml_node element) const;   // just after the start tag's '>'
    bool IsEmptyElement(pugi::xml_node element) const;       // written as <name .../>
    std::size_t ElementEnd(pugi::xml_node element) const;    // just after its end
    // Where new children go at the end of an element that has an end tag: at its "</".
    std::size_t EndTagBegin(pugi::xml_node element) const;
    // The range of an attribute's value, between its quotes.
    std::size_t ValueBegin(pugi::xml_attribute attribute) const;
    std::size_t ValueEnd(pugi::xml_attribute attribute) const;

    [[noreturn]] void Fail(const std::string& reason) const;

  private:
    std::size_t OffsetOf(const char* p) const;
    std::size_t NodeEnd(pugi::xml_node node) const;
    std::size_t Find(std::string_view what, std::size_t from) const;

    std::string label_;
    std::string buffer_;    // parsed in place: names and values end in NULs here
    std::string original_;  // the same text untouched, for offsets and splicing
    pugi::xml_document doc_;
};

// The element's name without a namespace prefix.
std::string_view LocalName(const char* qualifiedName);
std::string_view LocalName(pugi::xml_node node);
// The prefix of an element's name with its colon ("x:"), or "".
std::string PrefixOf(pugi::xml_node node);

// The first child element with this local name, or an empty node.
pugi::xml_node ChildElement(pugi::xml_node parent, std::string_view localName);
// The attribute with this local name, unprefixed preferred, or an empty attribute.
pugi::xml_attribute Attribute(pugi::xml_node node, std::string_view localName);

// The text as markup: &, <, > and (in attributes) quotes as references.
void AppendEscaped(std::string& out, std::string_view text, bool inAttribute);

// Office's own escape in texts: _xHHHH_ stands for the character U+HHHH (used for control
// characters); _x005F_ escapes a literal underscore that would otherwise start one.
std::string DecodeOfficeEscapes(std::string_view text);
// A text for a <t> element: control characters, and "_x" sequences that would read as an
// escape, written as Office writes them.
void AppendOfficeText(std::string& out, std::string_view text);

// One replacement of [begin, end) of a text; an empty range inserts.
struct Splice {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string text;
};

// The original with the splices applied. Splices must not overlap; insertions at the same place
// keep the order in which they were given.
std::string ApplySplices(const std::string& original, std::vector<Splice> splices);

}  // namespace spreadsheet::xlsx
