#include "spreadsheet/xlsx/CellAddress.h"

namespace spreadsheet::xlsx {

std::optional<std::int32_t> ParseColumnLetters(std::string_view text) {
    if (text.empty() || text.size() > 3)
        return std::nullopt;
    std::int32_t column = 0;
    for (char c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c < 'A' || c > 'Z')
            return std::nullopt;
        column = column * 26 + (c - 'A' + 1);
    }
    if (column > kMaxColumns)
        return std::nullopt;
    return column;
}

std::optional<CellRef> ParseCellAddress(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && text[i] == '$')
        ++i;
    const std::size_t lettersBegin = i;
    while (i < text.size() &&
           ((text[i] >= 'A' && text[i] <= 'Z') || (text[i] >= 'a' && text[i] <= 'z')))
        ++i;
    const auto column = ParseColumnLetters(text.substr(lettersBegin, i - lettersBegin));
    if (!column)
        return std::nullopt;
    if (i < text.size() && text[i] == '$')
        ++i;
    if (i == text.size() || text.size() - i > 7 || text[i] == '0')
        return std::nullopt;
    std::int32_t row = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        row = row * 10 + (text[i] - '0');
    }
    if (row < 1 || row > kMaxRows)
        return std::nullopt;
    return CellRef{row, *column};
}

std::string ColumnLetters(std::int32_t column) {
    std::string letters;
    while (column > 0) {
        const int digit = (column - 1) % 26;
        letters.insert(letters.begin(), static_cast<char>('A' + digit));
        column = (column - 1) / 26;
    }
    return letters;
}

std::string CellAddress(std::int32_t row, std::int32_t column) {
    return ColumnLetters(column) + std::to_string(row);
}

std::optional<CellRange> ParseCellRange(std::string_view text) {
    const std::size_t colon = text.find(':');
    const auto first = ParseCellAddress(text.substr(0, colon));
    if (!first)
        return std::nullopt;
    if (colon == std::string_view::npos)
        return CellRange{*first, *first};
    const auto last = ParseCellAddress(text.substr(colon + 1));
    if (!last)
        return std::nullopt;
    return CellRange{*first, *last};
}

std::string FormatCellRange(const CellRange& range) {
    if (range.first == range.last)
        return CellAddress(range.first.row, range.first.column);
    return CellAddress(range.first.row, range.first.column) + ":" +
           CellAddress(range.last.row, range.last.column);
}

}  // namespace spreadsheet::xlsx
