#include "merge/CellValueToText.h"

#include <QLocale>

#include "automation/VariantConversion.h"

namespace merge {

std::string CellValueToText(const automation::Variant& value, const QLocale& locale) {
    return automation::VariantToString(value, locale);
}

std::string CellValueToText(const automation::Variant& value) {
    return automation::VariantToString(value);
}

std::string_view TrimmedCellText(std::string_view text) {
    auto isTrimmed = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    std::size_t begin = 0, end = text.size();
    while (begin < end && isTrimmed(text[begin]))
        ++begin;
    while (end > begin && isTrimmed(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

}  // namespace merge
