#pragma once

#include <cstdint>
#include <string>

#include "spreadsheet/model/Cell.h"

namespace util {
class Env;
}

namespace spreadsheet {

class Workbook;
class Worksheet;

// What a number's style makes of it when the application returns it.
enum class NumberKind : std::uint8_t { Plain, Date, Currency };

// What a written date or time needs its cell's format to show.
enum class DateTimeKind : std::uint8_t { Date, Time, DateTime };

struct CellLimits {
    std::int32_t rows;
    std::int32_t columns;
};

// A file format's side of a loaded workbook: it knows the styles and everything in the file
// that the model does not hold, and writes the workbook back in its own format.
class WorkbookCodec {
  public:
    virtual ~WorkbookCodec() = default;

    virtual const char* formatName() const = 0;
    virtual CellLimits limits() const = 0;

    // How the application presents a number in a cell of this style.
    virtual NumberKind NumberKindOf(std::uint32_t style) const = 0;
    // The style a new cell takes at (row, column): its row's or column's where they set one.
    virtual std::uint32_t StyleForNewCell(const Worksheet& sheet, std::int32_t row,
                                          std::int32_t column) const = 0;
    // A style that shows a date or time like `kind`, based on `style` (a General one); the codec
    // may add a style to the workbook for it.
    virtual std::uint32_t DateStyleFor(std::uint32_t style, DateTimeKind kind) = 0;
    // True when a number in this style shows as General (so a written date needs a date style).
    virtual bool IsGeneralStyle(std::uint32_t style) const = 0;

    // Writes the workbook to its own file in its own format, without losing anything the run
    // did not change; throws with a reason when it cannot (the old file then stays whole).
    virtual void Save(const Workbook& workbook, util::Env& env) = 0;
};

}  // namespace spreadsheet
