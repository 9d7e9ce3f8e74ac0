#include "spreadsheet/application/ApplicationState.h"

namespace spreadsheet::app {

using automation::Arg;
using automation::AutomationError;
using automation::InvokeKind;
using automation::MemberNameEquals;
using automation::Variant;

namespace {
constexpr std::string_view kObject = "Application";
}

ApplicationObject::ApplicationObject(ApplicationOptions options)
    : state_(std::make_shared<ApplicationState>(std::move(options))) {}

Variant ApplicationObject::Invoke(std::string_view member, InvokeKind kind,
                                  std::span<const Arg> args) {
    state_->CheckRunning();
    // The merge asks for Cells at every cell: it comes first.
    if (MemberNameEquals(member, "Cells")) {
        if (!automation::AllowsGet(kind))
            throw AutomationError("Application.Cells cannot be used as a " +
                                  std::string(automation::InvokeKindName(kind)));
        return Cells(args);
    }
    if (MemberNameEquals(member, "WorkBooks")) {
        ExpectGet(kObject, member, kind, args, 0);
        return Variant(std::make_shared<WorkbooksObject>(state_));
    }
    if (MemberNameEquals(member, "WorkSheets")) {
        ExpectGet(kObject, member, kind, args, 1);
        const std::shared_ptr<Workbook>* active = state_->activeWorkbook();
        if (!active)
            throw AutomationError("no workbook is open, so it has no worksheets");
        const int index = SheetIndexArg(**active, args[0]);
        return Variant(std::make_shared<WorksheetObject>(state_, *active, index));
    }
    if (MemberNameEquals(member, "activeworkbook")) {
        ExpectGet(kObject, member, kind, args, 0);
        const std::shared_ptr<Workbook>* active = state_->activeWorkbook();
        if (!active)
            throw AutomationError("no workbook is open, so there is no active workbook");
        return Variant(std::make_shared<WorkbookObject>(state_, *active));
    }
    if (MemberNameEquals(member, "Visible")) {
        if (kind == InvokeKind::PropertyPut) {
            ExpectPut(kObject, member, kind, args);
            state_->visible = automation::ArgToInt32(args[0], "Visible") != 0;
            return {};
        }
        ExpectGet(kObject, member, kind, args, 0);
        return Variant(state_->visible);
    }
    if (MemberNameEquals(member, "Quit")) {
        ExpectMethod(kObject, member, kind, args, 0);
        spareRange_.reset();
        state_->Quit();
        return {};
    }
    automation::ThrowUnknownMember(kObject, member);
}

Variant ApplicationObject::Cells(std::span<const Arg> args) {
    const std::shared_ptr<Workbook>* active = state_->activeWorkbook();
    if (!active)
        throw AutomationError("no workbook is open, so there is no active sheet");
    const int sheet = state_->activeSheetIndex();
    if (sheet >= (*active)->worksheetCount())
        throw AutomationError("the active workbook has no worksheet");
    const CellRef cell = CellArgs(**active, args, "Application.Cells");
    // Reuse the spare Range unless a caller still holds it.
    if (!spareRange_ || spareRange_.use_count() != 1)
        spareRange_ = std::make_shared<RangeObject>(state_);
    spareRange_->Point(*active, sheet, cell);
    return Variant(std::shared_ptr<automation::DispatchObject>(spareRange_));
}

std::shared_ptr<automation::DispatchObject> CreateApplication(ApplicationOptions options) {
    return std::make_shared<ApplicationObject>(std::move(options));
}

}  // namespace spreadsheet::app

namespace spreadsheet {

std::shared_ptr<automation::DispatchObject> CreateSpreadsheetApplication(
    ApplicationOptions options) {
    return app::CreateApplication(std::move(options));
}

void RegisterSpreadsheetApplication(automation::ClassRegistry& registry) {
    registry.Register(kSpreadsheetProgId, [] { return CreateSpreadsheetApplication(); });
}

}  // namespace spreadsheet
