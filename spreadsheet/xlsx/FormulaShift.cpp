#include "spreadsheet/xlsx/FormulaShift.h"

#include "spreadsheet/xlsx/CellAddress.h"

namespace spreadsheet::xlsx {
namespace {

bool IsNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.' || c == '$' || c == '\\' || static_cast<unsigned char>(c) >= 0x80;
}
bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A reference's parts: "$B12" -> absolute column B, relative row 12.
struct Reference {
    bool absoluteColumn = false, absoluteRow = false;
    std::int32_t column = 0, row = 0;
};

std::optional<Reference> ParseReference(std::string_view t) {
    Reference r;
    std::size_t i = 0;
    if (i < t.size() && t[i] == '$')
        r.absoluteColumn = true, ++i;
    const std::size_t letters = i;
    while (i < t.size() && IsLetter(t[i]))
        ++i;
    const auto column = ParseColumnLetters(t.substr(letters, i - letters));
    if (!column)
        return std::nullopt;
    if (i < t.size() && t[i] == '$')
        r.absoluteRow = true, ++i;
    const std::size_t digits = i;
    while (i < t.size() && IsDigit(t[i]))
        ++i;
    if (i != t.size() || i == digits || i - digits > 7 || t[digits] == '0')
        return std::nullopt;
    r.column = *column;
    r.row = std::stoi(std::string(t.substr(digits)));
    if (r.row > kMaxRows)
        return std::nullopt;
    return r;
}

// Whole columns ("A", "$C") and whole rows ("3", "$7") as they appear around a colon.
bool IsColumnOrRowPart(std::string_view t) {
    if (!t.empty() && t.front() == '$')
        t.remove_prefix(1);
    if (t.empty())
        return false;
    bool letters = true, digits = true;
    for (char c : t) {
        letters &= IsLetter(c);
        digits &= IsDigit(c);
    }
    return (letters && t.size() <= 3) || digits;
}

}  // namespace

std::optional<std::string> ShiftFormula(std::string_view f, std::int32_t rows,
                                        std::int32_t columns) {
    std::string out;
    out.reserve(f.size() + 8);
    std::size_t i = 0;
    while (i < f.size()) {
        const char c = f[i];
        if (c == '"' || c == '\'') {  // a text, or a quoted sheet name: doubled quotes inside
            std::size_t j = i + 1;
            while (j < f.size()) {
                if (f[j] == c && j + 1 < f.size() && f[j + 1] == c) {
                    j += 2;
                } else if (f[j] == c) {
                    ++j;
                    break;
                } else {
                    ++j;
                }
            }
            out.append(f.substr(i, j - i));
            i = j;
        } else if (c == '[') {  // a structured reference or an external book: nested brackets
            int depth = 0;
            std::size_t j = i;
            for (; j < f.size(); ++j) {
                if (f[j] == '[')
                    ++depth;
                if (f[j] == ']' && --depth == 0) {
                    ++j;
                    break;
                }
            }
            out.append(f.substr(i, j - i));
            i = j;
        } else if (IsNameChar(c)) {
            std::size_t j = i;
            while (j < f.size() && IsNameChar(f[j]))
                ++j;
            const std::string_view token = f.substr(i, j - i);
            std::size_t next = j;
            while (next < f.size() && f[next] == ' ')
                ++next;
            const char after = next < f.size() ? f[next] : '\0';
            const char before = i > 0 ? f[i - 1] : '\0';
            const auto ref = after == '(' || after == '!' ? std::nullopt : ParseReference(token);
            if (ref) {
                Reference moved = *ref;
                if (!moved.absoluteColumn)
                    moved.column += columns;
                if (!moved.absoluteRow)
                    moved.row += rows;
                if (moved.column < 1 || moved.column > kMaxColumns || moved.row < 1 ||
                    moved.row > kMaxRows) {
                    out += "#REF!";
                } else {
                    if (moved.absoluteColumn)
                        out += '$';
                    out += ColumnLetters(moved.column);
                    if (moved.absoluteRow)
                        out += '$';
                    out += std::to_string(moved.row);
                }
            } else if ((after == ':' || before == ':') && IsColumnOrRowPart(token)) {
                return std::nullopt;
            } else {
                out.append(token);
            }
            i = j;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

}  // namespace spreadsheet::xlsx
