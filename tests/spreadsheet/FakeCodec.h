#pragma once

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "spreadsheet/application/SpreadsheetApplication.h"
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
        std::function<void(const Workbook&)> onSave;  // sees the workbook as it is saved
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
    void Save(const Workbook& workbook, util::Env&) override {
        if (!log_->failSaveWith.empty())
            throw SpreadsheetError(log_->failSaveWith);
        ++log_->saves;
        if (log_->onSave)
            log_->onSave(workbook);
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

// Workbooks built in memory: each path names a function that fills a fresh copy, so every
// Open gives a workbook of its own, as opening a file does.
class FakeFiles {
  public:
    using Filler = std::function<void(Workbook&)>;

    void Add(const std::string& path, std::vector<std::u16string> sheets, Filler fill) {
        files_[path] = {std::move(sheets), std::move(fill)};
    }
    std::shared_ptr<FakeCodec::Log> LogOf(const std::string& path) { return logs_[path]; }

    WorkbookLoader Loader() {
        return [this](const std::string& path) -> std::unique_ptr<Workbook> {
            auto it = files_.find(path);
            if (it == files_.end())
                throw SpreadsheetError("\"" + path + "\" does not exist");
            auto& log = logs_[path];
            log = std::make_shared<FakeCodec::Log>();
            auto book = MakeFakeWorkbook(path, it->second.sheets, log);
            it->second.fill(*book);
            return book;
        };
    }

  private:
    struct File {
        std::vector<std::u16string> sheets;
        Filler fill;
    };
    std::map<std::string, File> files_;
    std::map<std::string, std::shared_ptr<FakeCodec::Log>> logs_;
};

}  // namespace spreadsheet::fake
