#include "spreadsheet/application/ApplicationState.h"
#include "util/Env.h"
#include "util/Utf.h"

namespace spreadsheet::app {

using automation::Arg;
using automation::AutomationError;
using automation::InvokeKind;
using automation::MemberNameEquals;
using automation::Variant;

Variant WorkbooksObject::Invoke(std::string_view member, InvokeKind kind,
                                std::span<const Arg> args) {
    static constexpr std::string_view kObject = "Workbooks";
    state_->CheckRunning();
    if (MemberNameEquals(member, "Open")) {
        if (!automation::AllowsMethod(kind) || args.empty())
            ExpectMethod(kObject, member, kind, args, 1);
        // Further arguments (update links, read-only ...) change nothing here.
        const Variant& path = args[0].value();
        if (path.type() != automation::VarType::String)
            throw AutomationError("Workbooks.Open needs a file name, not " +
                                  automation::DescribeVariant(path));
        state_->Open(util::Utf16ToUtf8(path.text()));
        return Variant(std::make_shared<WorkbookObject>(state_, *state_->activeWorkbook()));
    }
    if (MemberNameEquals(member, "Close")) {
        ExpectMethod(kObject, member, kind, args, 0);
        state_->CloseAll();
        return {};
    }
    if (MemberNameEquals(member, "Count")) {
        ExpectGet(kObject, member, kind, args, 0);
        return Variant(static_cast<std::int32_t>(state_->count()));
    }
    if (MemberNameEquals(member, "Item")) {
        ExpectGet(kObject, member, kind, args, 1);
        const std::int32_t number = automation::ArgToInt32(args[0], "workbook number");
        if (number < 1 || number > state_->count())
            throw AutomationError("workbook " + std::to_string(number) + " is not open: " +
                                  std::to_string(state_->count()) + " workbook(s) are");
        return Variant(std::make_shared<WorkbookObject>(state_, state_->at(number - 1)));
    }
    automation::ThrowUnknownMember(kObject, member);
}

Variant WorkbookObject::Invoke(std::string_view member, InvokeKind kind,
                               std::span<const Arg> args) {
    static constexpr std::string_view kObject = "Workbook";
    state_->CheckRunning();
    if (MemberNameEquals(member, "save")) {
        ExpectMethod(kObject, member, kind, args, 0);
        const std::shared_ptr<Workbook> book = Lock(book_);
        try {
            book->Save(state_->env());
        } catch (const AutomationError&) {
            throw;
        } catch (const std::exception& e) {
            throw AutomationError("cannot save \"" + book->path() + "\": " + e.what());
        }
        return {};
    }
    if (MemberNameEquals(member, "WorkSheets")) {
        ExpectGet(kObject, member, kind, args, 1);
        const std::shared_ptr<Workbook> book = Lock(book_);
        return Variant(
            std::make_shared<WorksheetObject>(state_, book, SheetIndexArg(*book, args[0])));
    }
    if (MemberNameEquals(member, "Close")) {
        // Closes without saving; a SaveChanges argument of true is not supported.
        if (!automation::AllowsMethod(kind) || args.size() > 1)
            ExpectMethod(kObject, member, kind, args, 0);
        if (!args.empty() && automation::ArgToInt32(args[0], "SaveChanges") != 0)
            throw AutomationError("Workbook.Close cannot save; call save first");
        state_->Close(*Lock(book_));
        return {};
    }
    if (MemberNameEquals(member, "FullName")) {
        ExpectGet(kObject, member, kind, args, 0);
        return Variant(util::Utf8ToUtf16(Lock(book_)->path()));
    }
    automation::ThrowUnknownMember(kObject, member);
}

Variant WorksheetObject::Invoke(std::string_view member, InvokeKind kind,
                                std::span<const Arg> args) {
    static constexpr std::string_view kObject = "Worksheet";
    state_->CheckRunning();
    if (MemberNameEquals(member, "Cells")) {
        if (!automation::AllowsGet(kind))
            ExpectGet(kObject, member, kind, args, 2);
        const std::shared_ptr<Workbook> book = Lock(book_);
        const CellRef cell = CellArgs(*book, args, "Worksheet.Cells");
        auto range = std::make_shared<RangeObject>(state_);
        range->Point(book, index_, cell);
        return Variant(std::shared_ptr<automation::DispatchObject>(std::move(range)));
    }
    if (MemberNameEquals(member, "Activate")) {
        ExpectMethod(kObject, member, kind, args, 0);
        state_->Activate(*Lock(book_), index_);
        return {};
    }
    if (MemberNameEquals(member, "Name")) {
        ExpectGet(kObject, member, kind, args, 0);
        return Variant(Lock(book_)->worksheet(index_).name());
    }
    automation::ThrowUnknownMember(kObject, member);
}

}  // namespace spreadsheet::app
