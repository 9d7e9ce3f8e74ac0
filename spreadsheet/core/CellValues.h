#pragma once

#include <cstdint>
#include <optional>

#include "automation/Variant.h"
#include "spreadsheet/model/Cell.h"

namespace spreadsheet {

class Workbook;

// The value the application returns for a cell (nullptr: no cell): empty for no value, wide
// text, an 8-byte float, a date or currency amount when the cell's style presents its number so,
// a boolean, or an error value. A formula cell gives its cached result the same way.
automation::Variant CellValue(const Workbook& workbook, const Cell* cell);

// The platform's date for a serial as the workbook stores it, or nothing when the application
// shows no date for it (negative, or past the year 9999). In the 1900 system serial 1 is
// 1900-01-01 and serial 60 the phantom 29 February 1900, so serials from 1 to below 61 are one
// day behind the platform's count (60 comes out as 1 March); in the 1904 system serial 1 is
// 1904-01-02. Serials below 1 are a time of day alone in both systems.
std::optional<double> OleDateFromSerial(double serial, bool date1904);

// The serial a workbook stores for a platform date, or nothing when its date system has no
// serial for it (a day before 1900-01-01, or before 1904-01-02 in the 1904 system). A time of
// day alone (a date of 1899-12-30) stays below 1.
std::optional<double> SerialFromOleDate(double oleDate, bool date1904);

// The platform's error code for a cell error: 0x800A0000 | (2000 + the error's number), so a
// #DIV/0! cell gives 0x800A07D7.
std::int32_t ErrorValueCode(CellError error);
// The cell error for a platform error code, or nothing for a code that is no cell error.
std::optional<CellError> CellErrorFromCode(std::int32_t code);

}  // namespace spreadsheet
