#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "spreadsheet/model/StringPool.h"
#include "spreadsheet/model/WorkbookCodec.h"
#include "spreadsheet/model/Worksheet.h"

namespace spreadsheet {

// A workbook cannot be opened, read or saved; the text says why (which file, what is wrong).
class SpreadsheetError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A loaded workbook: its worksheets in workbook order (worksheets only, hidden ones included;
// chart and macro sheets are not worksheets), its texts, its date system and the codec of the
// format it came from.
class Workbook {
  public:
    explicit Workbook(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    int worksheetCount() const { return static_cast<int>(sheets_.size()); }
    Worksheet& worksheet(int index) { return *sheets_.at(static_cast<std::size_t>(index)); }
    const Worksheet& worksheet(int index) const {
        return *sheets_.at(static_cast<std::size_t>(index));
    }
    Worksheet& AddWorksheet(std::u16string name, SheetVisibility visibility) {
        sheets_.push_back(std::make_unique<Worksheet>(std::move(name), visibility));
        return *sheets_.back();
    }

    StringPool& strings() { return strings_; }
    const StringPool& strings() const { return strings_; }

    // The 1904 date system: serial 0 is 1904-01-01 rather than 1899-12-31.
    bool date1904() const { return date1904_; }
    void setDate1904(bool value) { date1904_ = value; }

    WorkbookCodec& codec() const { return *codec_; }
    void setCodec(std::unique_ptr<WorkbookCodec> codec) { codec_ = std::move(codec); }

    bool modified() const {
        for (const auto& s : sheets_)
            if (s->modified())
                return true;
        return false;
    }

    void Save(util::Env& env) { codec_->Save(*this, env); }

  private:
    std::string path_;
    std::vector<std::unique_ptr<Worksheet>> sheets_;
    StringPool strings_;
    bool date1904_ = false;
    std::unique_ptr<WorkbookCodec> codec_;
};

}  // namespace spreadsheet
