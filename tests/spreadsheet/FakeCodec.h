#pragma once

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "spreadsheet/model/Workbook.h"
#include "spreadsheet/model/WorkbookCodec.h"

namespace spreadsheet::fake {

// Styles of the fake format, by index.
enum FakeStyle : std::uint32_t {
    kGeneral = 0,
    kFixed2 = 1,  // "0.00": no date, not General either
    kDateStyle = 2,
    kCurrencyStyle = 3,
    kRowStyle = 4,     // set on a whole row (General)
    kColumnStyle = 5,  // set on a whole column (General)
    kWrittenDate = 10,
    kWrittenTime = 11,
    kWrittenDateTime = 12,
};

// A file format in memory: a few fixed styles, a row and a column that carry a style, and a
// save that counts itself and can be told to fail.
class FakeCodec : public WorkbookCodec {
  public:
    struct Log {
        int saves = 0;
        int liveCodecs = 0;        // workbooks of this log still in memory
        std::string failSaveWith;  // non-empty: Save throws this
        std::vector<std::pair<std::uint32_t, DateTimeKind>> dateStyleRequests;
    };

    explicit FakeCodec(std::shared_ptr<Log> log = std::make_shared<Log>()) : log_(std::move(log)) {
        ++log_->liveCodecs;
    }
    ~FakeCodec() override { --log_->liveCodecs; }

    const char* formatName() const override { return "fake"; }
    CellLimits limits() const override { return {65536, 256}; }

    NumberKind NumberKindOf(std::uint32_t style) const override {
        switch (style) {
            case kDateStyle:
            case kWrittenDate:
            case kWrittenTime:
            case kWrittenDateTime:
                return NumberKind::Date;
            case kCurrencyStyle:
                return NumberKind::Currency;
            default:
                return NumberKind::Plain;
        }
    }
    std::uint32_t StyleForNewCell(const Worksheet&, std::int32_t row,
                                  std::int32_t column) const override {
        if (row == kStyledRow)
            return kRowStyle;
        if (column == kStyledColumn)
            return kColumnStyle;
        return kGeneral;
    }
    std::uint32_t DateStyleFor(std::uint32_t style, DateTimeKind kind) override {
        log_->dateStyleRequests.emplace_back(style, kind);
        switch (kind) {
            case DateTimeKind::Date:
                return kWrittenDate;
            case DateTimeKind::Time:
                return kWrittenTime;
            case DateTimeKind::DateTime:
                return kWrittenDateTime;
        }
        return kWrittenDate;
    }
    bool IsGeneralStyle(std::uint32_t style) const override {
        return style == kGeneral || style == kRowStyle || style == kColumnStyle;
    }
    void Save(const Workbook&, util::Env&) override {
        if (!log_->failSaveWith.empty())
            throw SpreadsheetError(log_->failSaveWith);
        ++log_->saves;
    }

    static constexpr std::int32_t kStyledRow = 7;
    static constexpr std::int32_t kStyledColumn = 9;

  private:
    std::shared_ptr<Log> log_;
};

// A workbook of the fake format with the named worksheets.
inline std::unique_ptr<Workbook> MakeFakeWorkbook(
    const std::string& path, std::vector<std::u16string> sheets = {u"Sheet1"},
    std::shared_ptr<FakeCodec::Log> log = std::make_shared<FakeCodec::Log>()) {
    auto book = std::make_unique<Workbook>(path);
    for (auto& name : sheets)
        book->AddWorksheet(std::move(name), SheetVisibility::Visible);
    book->setCodec(std::make_unique<FakeCodec>(std::move(log)));
    return book;
}

inline Cell NumberCell(double value, std::uint32_t style = kGeneral) {
    Cell c;
    c.type = CellType::Number;
    c.number = value;
    c.style = style;
    return c;
}

inline Cell TextCell(Workbook& book, std::u16string text) {
    Cell c;
    c.type = CellType::Text;
    c.payload = book.strings().Append(std::move(text));
    return c;
}

}  // namespace spreadsheet::fake
