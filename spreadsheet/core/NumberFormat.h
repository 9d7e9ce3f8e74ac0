#pragma once

#include <string_view>

#include "spreadsheet/model/WorkbookCodec.h"

namespace spreadsheet {

// What a number format code makes of a number: a date or time when it holds date or time codes
// (outside quotes, escapes and colour or condition brackets), currency when it holds a currency
// sign or a [$...] currency tag, plain otherwise. One rule for every file format.
NumberKind ClassifyNumberFormat(std::u16string_view formatCode);

// The same for the built-in format numbers that files may use without writing the code
// (14 to 22 and 45 to 47 are dates and times, the East Asian built-ins 27 to 36 and 50 to 58
// dates; 5 to 8 are currency, and of the accounting formats 41 to 44 the two with the locale's
// sign, 42 and 44).
NumberKind BuiltInNumberFormatKind(int formatId);

// The formats a written date or time gets when its cell shows General, in every file format:
// the built-in short date and h:mm:ss, and one custom format for a date with a time.
inline constexpr int kWrittenDateFormatId = 14;
inline constexpr int kWrittenTimeFormatId = 21;
inline constexpr std::u16string_view kWrittenDateTimeFormatCode = u"yyyy/m/d h:mm:ss";

}  // namespace spreadsheet
