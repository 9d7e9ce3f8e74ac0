#include "spreadsheet/application/ApplicationState.h"

#include "spreadsheet/application/WorkbookFile.h"
#include "util/Env.h"

namespace spreadsheet::app {

using automation::AutomationError;

ApplicationState::ApplicationState(ApplicationOptions options)
    : options_(std::move(options)),
      env_(options_.env ? options_.env : &util::Env::Default()),
      textStorage_(options_.locale ? *options_.locale : QLocale()) {
    if (!options_.load) {
        util::Env* env = env_;
        options_.load = [env](const std::string& path) { return OpenWorkbookFile(path, *env); };
    }
}

void ApplicationState::Quit() {
    CloseAll();
    quit_ = true;
}

Workbook& ApplicationState::Open(const std::string& path) {
    std::unique_ptr<Workbook> loaded;
    try {
        loaded = options_.load(path);
    } catch (const AutomationError&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw AutomationError("cannot open \"" + path + "\": not enough memory");
    } catch (const std::exception& e) {
        throw AutomationError(std::string("cannot open the workbook: ") + e.what());
    }
    if (!loaded)
        throw AutomationError("cannot open \"" + path + "\": nothing was loaded");
    workbooks_.push_back({std::shared_ptr<Workbook>(std::move(loaded)), 0});
    active_ = count() - 1;
    return *workbooks_.back().book;
}

void ApplicationState::Close(const Workbook& book) {
    const int closing = Find(book);
    if (closing < 0)
        return;
    workbooks_.erase(workbooks_.begin() + closing);
    // Another open workbook becomes the active one: the one that was active, else the last.
    if (active_ == closing)
        active_ = count() - 1;
    else if (active_ > closing)
        --active_;
}

int ApplicationState::Find(const Workbook& book) const {
    for (int i = 0; i < count(); ++i)
        if (workbooks_[static_cast<std::size_t>(i)].book.get() == &book)
            return i;
    return -1;
}

void ApplicationState::Activate(const Workbook& book, int index) {
    const int open = Find(book);
    if (open < 0)
        throw AutomationError("the workbook of this worksheet has been closed");
    workbooks_[static_cast<std::size_t>(open)].activeSheet = index;
    active_ = open;
}

std::shared_ptr<Workbook> Lock(const std::weak_ptr<Workbook>& book) {
    std::shared_ptr<Workbook> locked = book.lock();
    if (!locked)
        throw AutomationError("the workbook has been closed");
    return locked;
}

int SheetIndexArg(const Workbook& book, const automation::Arg& arg) {
    const std::int32_t number = automation::ArgToInt32(arg, "worksheet number");
    if (number < 1 || number > book.worksheetCount())
        throw AutomationError("worksheet " + std::to_string(number) +
                              " does not exist: the workbook has " +
                              std::to_string(book.worksheetCount()) + " worksheet(s)");
    return number - 1;
}

CellRef CellArgs(const Workbook& book, std::span<const automation::Arg> args,
                 std::string_view member) {
    if (args.size() != 2)
        throw AutomationError(std::string(member) + " takes a row and a column, not " +
                              std::to_string(args.size()) + " argument(s)");
    const CellRef cell{automation::ArgToInt32(args[0], "row"),
                       automation::ArgToInt32(args[1], "column")};
    const CellLimits limits = book.codec().limits();
    if (cell.row < 1 || cell.row > limits.rows)
        throw AutomationError("row " + std::to_string(cell.row) +
                              " is outside the sheet's rows 1 to " + std::to_string(limits.rows));
    if (cell.column < 1 || cell.column > limits.columns)
        throw AutomationError("column " + std::to_string(cell.column) +
                              " is outside the sheet's columns 1 to " +
                              std::to_string(limits.columns));
    return cell;
}

namespace {

[[noreturn]] void RefuseKind(std::string_view object, std::string_view member,
                             automation::InvokeKind kind) {
    throw AutomationError(std::string(object) + "." + std::string(member) +
                          " cannot be used as a " + automation::InvokeKindName(kind));
}

void ExpectCount(std::string_view object, std::string_view member,
                 std::span<const automation::Arg> args, std::size_t count) {
    if (args.size() != count)
        throw AutomationError(std::string(object) + "." + std::string(member) + " takes " +
                              std::to_string(count) + " argument(s), not " +
                              std::to_string(args.size()));
}

}  // namespace

void ExpectGet(std::string_view object, std::string_view member, automation::InvokeKind kind,
               std::span<const automation::Arg> args, std::size_t count) {
    if (!automation::AllowsGet(kind))
        RefuseKind(object, member, kind);
    ExpectCount(object, member, args, count);
}

void ExpectPut(std::string_view object, std::string_view member, automation::InvokeKind kind,
               std::span<const automation::Arg> args) {
    if (kind != automation::InvokeKind::PropertyPut)
        RefuseKind(object, member, kind);
    ExpectCount(object, member, args, 1);
}

void ExpectMethod(std::string_view object, std::string_view member, automation::InvokeKind kind,
                  std::span<const automation::Arg> args, std::size_t count) {
    if (!automation::AllowsMethod(kind))
        RefuseKind(object, member, kind);
    ExpectCount(object, member, args, count);
}

}  // namespace spreadsheet::app
