#include <cmath>

#include "spreadsheet/application/ApplicationState.h"
#include "spreadsheet/core/CellValues.h"

namespace spreadsheet::app {

using automation::Arg;
using automation::AutomationError;
using automation::InvokeKind;
using automation::MemberNameEquals;
using automation::Variant;
using automation::VarType;

namespace {

constexpr std::string_view kObject = "Range";

// A value to be put into a cell, whatever kind of variant it came as.
struct NewValue {
    CellType type = CellType::Empty;
    double number = 0;
    std::uint32_t payload = 0;
    bool isDate = false;
    DateTimeKind dateTime = DateTimeKind::Date;
};

DateTimeKind DateTimeKindOf(double serial) {
    const double whole = std::floor(serial);
    if (whole == 0)
        return DateTimeKind::Time;
    return serial == whole ? DateTimeKind::Date : DateTimeKind::DateTime;
}

NewValue ReadNewValue(const ApplicationState& state, Workbook& book, const Variant& value) {
    NewValue out;
    switch (value.type()) {
        case VarType::Empty:
        case VarType::Null:
            return out;
        case VarType::String: {
            const StoredText stored = state.textStorage().Classify(value.text(), book.date1904());
            switch (stored.kind) {
                case StoredKind::Empty:
                    return out;
                case StoredKind::Number:
                    out.type = CellType::Number;
                    out.number = stored.number;
                    return out;
                case StoredKind::Date:
                    out.type = CellType::Number;
                    out.number = stored.number;
                    out.isDate = true;
                    out.dateTime = stored.dateTime;
                    return out;
                case StoredKind::Text:
                    out.type = CellType::Text;
                    out.payload = book.strings().Intern(value.text());
                    return out;
            }
            return out;
        }
        case VarType::I1:
        case VarType::I2:
        case VarType::I4:
        case VarType::I8:
            out.type = CellType::Number;
            out.number = static_cast<double>(value.signedValue());
            return out;
        case VarType::UI1:
        case VarType::UI2:
        case VarType::UI4:
        case VarType::UI8:
            out.type = CellType::Number;
            out.number = static_cast<double>(value.unsignedValue());
            return out;
        case VarType::R4:
        case VarType::R8:
            out.type = CellType::Number;
            out.number = value.type() == VarType::R4 ? value.singleValue() : value.doubleValue();
            if (!std::isfinite(out.number))
                throw AutomationError("a cell cannot hold a number that is not finite");
            return out;
        case VarType::Currency:
            out.type = CellType::Number;
            out.number = static_cast<double>(value.currencyScaled()) / 10000.0;
            return out;
        case VarType::Date: {
            const auto serial = SerialFromOleDate(value.doubleValue(), book.date1904());
            if (!serial)
                throw AutomationError("the workbook's date system has no day for " +
                                      automation::DescribeVariant(value));
            out.type = CellType::Number;
            out.number = *serial;
            out.isDate = true;
            out.dateTime = DateTimeKindOf(value.doubleValue());
            return out;
        }
        case VarType::Bool:
            out.type = CellType::Boolean;
            out.payload = value.boolValue() ? 1 : 0;
            return out;
        case VarType::Error:
            if (const auto error = CellErrorFromCode(value.errorCode())) {
                out.type = CellType::Error;
                out.payload = static_cast<std::uint32_t>(*error);
                return out;
            }
            break;
        case VarType::Object:
            break;
    }
    throw AutomationError("a cell cannot hold " + automation::DescribeVariant(value));
}

}  // namespace

Variant RangeObject::Invoke(std::string_view member, InvokeKind kind, std::span<const Arg> args) {
    state_->CheckRunning();
    if (MemberNameEquals(member, "Value")) {
        const std::shared_ptr<Workbook> book = Lock(book_);
        if (sheet_ >= book->worksheetCount())
            throw AutomationError("the worksheet is gone");
        Worksheet& sheet = book->worksheet(sheet_);
        if (kind == InvokeKind::PropertyPut) {
            ExpectPut(kObject, member, kind, args);
            PutValue(*book, sheet, args[0].value());
            return {};
        }
        ExpectGet(kObject, member, kind, args, 0);
        return CellValue(*book, sheet.Find(cell_.row, cell_.column));
    }
    if (MemberNameEquals(member, "Row")) {
        ExpectGet(kObject, member, kind, args, 0);
        return Variant(cell_.row);
    }
    if (MemberNameEquals(member, "Column")) {
        ExpectGet(kObject, member, kind, args, 0);
        return Variant(cell_.column);
    }
    automation::ThrowUnknownMember(kObject, member);
}

void RangeObject::PutValue(Workbook& book, Worksheet& sheet, const Variant& value) {
    const NewValue next = ReadNewValue(*state_, book, value);
    const bool exists = sheet.HasCell(cell_.row, cell_.column);
    // Clearing a cell that is not there leaves nothing to write.
    if (next.type == CellType::Empty && !exists)
        return;
    WorkbookCodec& codec = book.codec();
    const std::uint32_t newStyle =
        exists ? 0 : codec.StyleForNewCell(sheet, cell_.row, cell_.column);
    Cell& cell = sheet.Write(cell_.row, cell_.column, newStyle);
    cell.type = next.type;
    cell.number = next.type == CellType::Number ? next.number : 0;
    cell.payload = next.payload;
    cell.formula = false;
    // A date in a General cell would show as a bare number: give it a date format.
    if (next.isDate && codec.IsGeneralStyle(cell.style))
        cell.style = codec.DateStyleFor(cell.style, next.dateTime);
}

}  // namespace spreadsheet::app
