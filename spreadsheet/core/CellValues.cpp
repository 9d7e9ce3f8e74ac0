#include "spreadsheet/core/CellValues.h"

#include <cmath>

#include "spreadsheet/model/Workbook.h"

namespace spreadsheet {
namespace {

// The platform's dates end with 9999-12-31 23:59:59.
constexpr double kLastOleDate = 2958465.99999;
// 1904-01-01 counted in the platform's days.
constexpr double k1904Offset = 1462;
// In the 1900 system the platform's count and the stored serial agree from 1 March 1900 on.
constexpr double kFirstAlignedSerial = 61;
constexpr std::uint32_t kErrorFacility = 0x800A0000u;
constexpr int kErrorBase = 2000;
// An amount scaled by 10,000 must fit in 64 bits.
constexpr double kLargestCurrency = 922337203685477.0;

}  // namespace

std::optional<double> OleDateFromSerial(double serial, bool date1904) {
    if (!std::isfinite(serial) || serial < 0)
        return std::nullopt;
    double ole = serial;
    if (serial >= 1) {
        if (date1904)
            ole = serial + k1904Offset;
        else if (serial < kFirstAlignedSerial)
            ole = serial + 1;
    }
    if (ole > kLastOleDate)
        return std::nullopt;
    return ole;
}

std::optional<double> SerialFromOleDate(double ole, bool date1904) {
    if (!std::isfinite(ole) || ole < 0 || ole > kLastOleDate)
        return std::nullopt;
    if (ole < 1)
        return ole;
    if (date1904) {
        const double serial = ole - k1904Offset;
        if (serial < 1)
            return std::nullopt;
        return serial;
    }
    if (ole >= kFirstAlignedSerial)
        return ole;
    if (ole < 2)
        return std::nullopt;  // 1899-12-31 has no serial
    return ole - 1;
}

std::int32_t ErrorValueCode(CellError error) {
    return static_cast<std::int32_t>(kErrorFacility |
                                     static_cast<std::uint32_t>(kErrorBase + int(error)));
}

std::optional<CellError> CellErrorFromCode(std::int32_t code) {
    const auto bits = static_cast<std::uint32_t>(code);
    if ((bits & 0xFFFF0000u) != kErrorFacility)
        return std::nullopt;
    switch (static_cast<int>(bits & 0xFFFFu) - kErrorBase) {
        case int(CellError::Null):
        case int(CellError::Div0):
        case int(CellError::Value):
        case int(CellError::Ref):
        case int(CellError::Name):
        case int(CellError::Num):
        case int(CellError::NA):
            return static_cast<CellError>((bits & 0xFFFFu) - kErrorBase);
        default:
            return std::nullopt;
    }
}

automation::Variant CellValue(const Workbook& workbook, const Cell* cell) {
    using automation::Variant;
    if (cell == nullptr)
        return {};
    switch (cell->type) {
        case CellType::Empty:
            return {};
        case CellType::Text: {
            const StringPool& strings = workbook.strings();
            if (cell->payload >= strings.size())
                return Variant(std::u16string());
            return Variant(strings.at(cell->payload));
        }
        case CellType::Boolean:
            return Variant(cell->payload != 0);
        case CellType::Error:
            return Variant::ErrorCode(static_cast<std::int32_t>(
                kErrorFacility | static_cast<std::uint32_t>(kErrorBase + (cell->payload & 0xFFu))));
        case CellType::Number:
            break;
    }
    const double number = cell->number;
    switch (workbook.codec().NumberKindOf(cell->style)) {
        case NumberKind::Date:
            if (auto ole = OleDateFromSerial(number, workbook.date1904()))
                return Variant::Date(*ole);
            break;
        case NumberKind::Currency:
            if (std::isfinite(number) && std::fabs(number) <= kLargestCurrency)
                return Variant::CurrencyScaled(std::llround(number * 10000.0));
            break;
        case NumberKind::Plain:
            break;
    }
    return Variant(number);
}

}  // namespace spreadsheet
