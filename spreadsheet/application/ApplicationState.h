#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "automation/Dispatch.h"
#include "spreadsheet/application/SpreadsheetApplication.h"
#include "spreadsheet/core/TextStorage.h"
#include "spreadsheet/model/Workbook.h"

namespace spreadsheet::app {

// One workbook open in an instance, with the sheet last activated in it.
struct OpenWorkbook {
    std::shared_ptr<Workbook> book;
    int activeSheet = 0;
};

// What one instance holds: its open workbooks, which one is active, how texts are stored.
// Every object of the instance keeps it alive; the workbooks are released when closed, and
// objects still referring to a closed workbook refuse their calls.
class ApplicationState {
  public:
    explicit ApplicationState(ApplicationOptions options);

    // Refuses every call once the instance has quit.
    void CheckRunning() const {
        if (quit_)
            throw automation::AutomationError("the application has quit");
    }
    void Quit();

    bool visible = false;
    const TextStorage& textStorage() const { return textStorage_; }
    util::Env& env() const { return *env_; }

    Workbook& Open(const std::string& path);
    void CloseAll() {
        workbooks_.clear();
        active_ = -1;
    }
    void Close(const Workbook& book);
    int count() const { return static_cast<int>(workbooks_.size()); }
    const std::shared_ptr<Workbook>& at(int index) const {
        return workbooks_.at(static_cast<std::size_t>(index)).book;
    }

    // The active workbook, or nullptr when none is open.
    const std::shared_ptr<Workbook>* activeWorkbook() const {
        return active_ < 0 ? nullptr : &workbooks_[static_cast<std::size_t>(active_)].book;
    }
    // The index of the active workbook's active sheet (valid while a workbook is open).
    int activeSheetIndex() const {
        return active_ < 0 ? -1 : workbooks_[static_cast<std::size_t>(active_)].activeSheet;
    }
    // Makes sheet `index` of `book` (an open workbook) the active sheet.
    void Activate(const Workbook& book, int index);

  private:
    int Find(const Workbook& book) const;

    ApplicationOptions options_;
    util::Env* env_;
    TextStorage textStorage_;
    std::vector<OpenWorkbook> workbooks_;
    int active_ = -1;  // index into workbooks_
    bool quit_ = false;
};

using StatePtr = std::shared_ptr<ApplicationState>;

// A worksheet number argument (1-based) checked against the workbook; gives the 0-based index.
int SheetIndexArg(const Workbook& book, const automation::Arg& arg);
// A row and a column argument checked against the workbook's limits.
CellRef CellArgs(const Workbook& book, std::span<const automation::Arg> args,
                 std::string_view member);
// The workbook behind a weak reference, or the refusal for a closed one.
std::shared_ptr<Workbook> Lock(const std::weak_ptr<Workbook>& book);

// Checks that a call asks for a get (or a put, or a method) with the given number of arguments.
void ExpectGet(std::string_view object, std::string_view member, automation::InvokeKind kind,
               std::span<const automation::Arg> args, std::size_t count);
void ExpectPut(std::string_view object, std::string_view member, automation::InvokeKind kind,
               std::span<const automation::Arg> args);
void ExpectMethod(std::string_view object, std::string_view member, automation::InvokeKind kind,
                  std::span<const automation::Arg> args, std::size_t count);

// The automation objects. Each is created for the call that asks for it.
class WorkbooksObject final : public automation::DispatchObject {
  public:
    explicit WorkbooksObject(StatePtr state) : state_(std::move(state)) {}
    automation::Variant Invoke(std::string_view member, automation::InvokeKind kind,
                               std::span<const automation::Arg> args) override;

  private:
    StatePtr state_;
};

class WorkbookObject final : public automation::DispatchObject {
  public:
    WorkbookObject(StatePtr state, std::weak_ptr<Workbook> book)
        : state_(std::move(state)), book_(std::move(book)) {}
    automation::Variant Invoke(std::string_view member, automation::InvokeKind kind,
                               std::span<const automation::Arg> args) override;

  private:
    StatePtr state_;
    std::weak_ptr<Workbook> book_;
};

class WorksheetObject final : public automation::DispatchObject {
  public:
    WorksheetObject(StatePtr state, std::weak_ptr<Workbook> book, int index)
        : state_(std::move(state)), book_(std::move(book)), index_(index) {}
    automation::Variant Invoke(std::string_view member, automation::InvokeKind kind,
                               std::span<const automation::Arg> args) override;

  private:
    StatePtr state_;
    std::weak_ptr<Workbook> book_;
    int index_;
};

// One cell. The Application keeps one spare Range that it points at each cell asked for while
// no caller holds it, so reading a cell allocates nothing.
class RangeObject final : public automation::DispatchObject {
  public:
    explicit RangeObject(StatePtr state) : state_(std::move(state)) {}
    void Point(const std::shared_ptr<Workbook>& book, int sheet, CellRef cell) {
        book_ = book;
        sheet_ = sheet;
        cell_ = cell;
    }
    automation::Variant Invoke(std::string_view member, automation::InvokeKind kind,
                               std::span<const automation::Arg> args) override;

  private:
    void PutValue(Workbook& book, Worksheet& sheet, const automation::Variant& value);

    StatePtr state_;
    std::weak_ptr<Workbook> book_;
    int sheet_ = 0;
    CellRef cell_;
};

class ApplicationObject final : public automation::DispatchObject {
  public:
    explicit ApplicationObject(ApplicationOptions options);
    automation::Variant Invoke(std::string_view member, automation::InvokeKind kind,
                               std::span<const automation::Arg> args) override;

  private:
    automation::Variant Cells(std::span<const automation::Arg> args);

    StatePtr state_;
    std::shared_ptr<RangeObject> spareRange_;
};

}  // namespace spreadsheet::app
