#pragma once

#include <string>
#include <string_view>

#include "automation/Variant.h"

class QLocale;

namespace merge {

// Turns a cell value into the 8-bit (UTF-8) text the merge works with: a wide text as the same
// characters, empty as "", every other kind by the standard conversion for the locale.
// Null, error values and unconvertible kinds throw, which fails the run.
std::string CellValueToText(const automation::Variant& value, const QLocale& locale);
std::string CellValueToText(const automation::Variant& value);

// A text without the characters 0x00 to 0x20 at either end (the two tests use this).
std::string_view TrimmedCellText(std::string_view text);

// A cell holds text when its trimmed text is not empty.
inline bool HoldsText(std::string_view text) {
    return !TrimmedCellText(text).empty();
}

}  // namespace merge
