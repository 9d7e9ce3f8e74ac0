#include "merge/MergeJob.h"

#include <QLocale>
#include <cstdint>
#include <limits>
#include <memory>

#include "automation/ClassRegistry.h"
#include "automation/Dispatch.h"
#include "merge/CellValueToText.h"
#include "merge/ParseSettingInt.h"

namespace merge {

namespace {

using automation::Arg;
using automation::AsObject;
using automation::DispatchObject;
using automation::Variant;

// Increases a cursor, failing rather than wrapping past the largest 32-bit value.
std::int32_t Next(std::int32_t value, const char* what) {
    if (value == std::numeric_limits<std::int32_t>::max())
        throw std::overflow_error(std::string(what) + " passed the largest row or column number");
    return value + 1;
}

// One run's state. The step text names where a failure came from, for the observer.
class MergeRun {
  public:
    MergeRun(const TMergeSettings& settings, ISourceList& sources, IProgressSink& progress,
             const ShowInfoFunction& showInfo)
        : s_(settings), sources_(sources), progress_(progress), showInfo_(showInfo) {}

    // Steps 3 and 4: the two instances. Failures here run no clean-up.
    void StartInstances() {
        cellStep_.kind = CellStep::None;
        step_ = "starting the target instance of " + std::string(kProgIdSpreadsheet);
        targetApp_ = automation::CreateObject(kProgIdSpreadsheet);
        automation::Put(*targetApp_, "Visible", Arg::ByVal(false));
        cellStep_.kind = CellStep::None;
        step_ = "starting the source instance of " + std::string(kProgIdSpreadsheet);
        sourceApp_ = automation::CreateObject(kProgIdSpreadsheet);
    }

    // Steps 5 to 10.
    void Work() {
        automation::Put(*sourceApp_, "Visible", Arg::ByVal(false));

        cellStep_.kind = CellStep::None;
        step_ = "opening the target workbook \"" + s_.TargetPath + "\"";
        OpenWorkbook(*targetApp_, s_.TargetPath);
        cellStep_.kind = CellStep::None;
        step_ = "activating worksheet " + std::to_string(s_.TargetSheetIndex + 1) +
                " of the target workbook";
        ActivateSheet(*targetApp_, s_.TargetSheetIndex + 1);

        cellStep_.kind = CellStep::None;
        step_ = "reading the first target row";
        targetRow_ = ParseSettingInt(s_.TargetStartRowText);

        const int count = sources_.Count();
        for (int k = 0; k < count; ++k) {
            const std::string path = sources_.Item(k);
            cellStep_.kind = CellStep::None;
            step_ = "opening source workbook " + std::to_string(k + 1) + " \"" + path + "\"";
            OpenWorkbook(*sourceApp_, path);
            cellStep_.kind = CellStep::None;
            step_ = "activating worksheet " + std::to_string(s_.SourceSheetIndex + 1) +
                    " of source workbook " + std::to_string(k + 1) + " \"" + path + "\"";
            ActivateSheet(*sourceApp_, s_.SourceSheetIndex + 1);
            CopyRows(k, path);
            cellStep_.kind = CellStep::None;
            step_ = "closing source workbook " + std::to_string(k + 1) + " \"" + path + "\"";
            auto books = AsObject(automation::Get(*sourceApp_, "WorkBooks"), "WorkBooks");
            automation::Call(*books, "Close");
            progress_.SetPosition(k + 1);
        }
        showInfo_(kMessageDone);
    }

    // Step 11, in order; a failing step ends it there.
    void CleanUp() {
        cellStep_.kind = CellStep::None;
        step_ = "saving the target workbook";
        auto workbook = AsObject(automation::Get(*targetApp_, "activeworkbook"), "activeworkbook");
        automation::Call(*workbook, "save");
        workbook.reset();
        sources_.Clear();
        cellStep_.kind = CellStep::None;
        step_ = "quitting the target instance";
        automation::Call(*targetApp_, "Quit");
        cellStep_.kind = CellStep::None;
        step_ = "quitting the source instance";
        automation::Call(*sourceApp_, "Quit");
        targetApp_.reset();
        sourceApp_.reset();
    }

    // Where the run stands, for the failure's reason. Cell steps are kept as numbers and put
    // into words only when asked: the run passes them for every cell.
    std::string step() const {
        switch (cellStep_.kind) {
            case CellStep::None:
                return step_;
            case CellStep::ReadTarget:
                return "reading target cell " + cellStep_.Where();
            case CellStep::ReadSource:
                return "reading source cell " + cellStep_.Where() + where_;
            case CellStep::WriteTarget:
                return "writing target cell " + cellStep_.Where();
        }
        return step_;
    }

  private:
    static void OpenWorkbook(DispatchObject& app, const std::string& path) {
        auto books = AsObject(automation::Get(app, "WorkBooks"), "WorkBooks");
        automation::Call(*books, "Open", {Arg::ByVal(Variant::FromUtf8(path))});
    }

    static void ActivateSheet(DispatchObject& app, std::int32_t number) {
        auto sheet =
            AsObject(automation::Get(app, "WorkSheets", {Arg::ByVal(number)}), "WorkSheets");
        automation::Call(*sheet, "Activate");
    }

    std::string CellText(DispatchObject& app, Arg row, Arg column) const {
        auto cell =
            AsObject(automation::Get(app, "Cells", {std::move(row), std::move(column)}), "Cells");
        return CellValueToText(automation::Get(*cell, "Value"), locale_);
    }

    void CopyRows(int k, const std::string& path) {
        where_ = " of source workbook " + std::to_string(k + 1) + " \"" + path + "\"";
        SetStep("reading the source rows");
        const std::int32_t first = ParseSettingInt(s_.SourceFromRowText);
        const std::int32_t last = ParseSettingInt(s_.SourceToRowText);
        // The job's own variables, passed by reference where the protocol says so.
        Variant rowRef, columnRef, textRef;
        for (std::int64_t i = first; i <= last; ++i) {
            const std::int32_t row = static_cast<std::int32_t>(i);
            if (s_.SkipOccupiedRows) {
                SetStep("skipping occupied target rows");
                const std::int32_t skipColumn = ParseSettingInt(s_.SkipColumnText);
                for (;;) {
                    SetCellStep(CellStep::ReadTarget, targetRow_, skipColumn);
                    rowRef = Variant(targetRow_);
                    columnRef = Variant(skipColumn);
                    if (!HoldsText(
                            CellText(*targetApp_, Arg::ByRef(rowRef), Arg::ByRef(columnRef))))
                        break;
                    targetRow_ = Next(targetRow_, "the target row");
                }
            }
            if (s_.FilterNonEmptyRows) {
                SetStep("reading the filter column");
                const std::int32_t filterColumn = ParseSettingInt(s_.FilterColumnText);
                SetCellStep(CellStep::ReadSource, row, filterColumn);
                columnRef = Variant(filterColumn);
                if (!HoldsText(CellText(*sourceApp_, Arg::ByVal(row), Arg::ByRef(columnRef))))
                    continue;
            }
            SetStep("reading the copied columns");
            std::int32_t c = ParseSettingInt(s_.SourceFromColumnText);
            const std::int32_t firstColumn = ParseSettingInt(s_.TargetFromColumnText);
            const std::int32_t lastColumn = ParseSettingInt(s_.TargetToColumnText);
            for (std::int64_t j = firstColumn; j <= lastColumn; ++j) {
                SetCellStep(CellStep::ReadSource, row, c);
                columnRef = Variant(c);
                std::string text = CellText(*sourceApp_, Arg::ByVal(row), Arg::ByRef(columnRef));
                SetCellStep(CellStep::WriteTarget, targetRow_, static_cast<std::int32_t>(j));
                rowRef = Variant(targetRow_);
                auto cell = AsObject(
                    automation::Get(*targetApp_, "Cells",
                                    {Arg::ByRef(rowRef), Arg::ByVal(static_cast<std::int32_t>(j))}),
                    "Cells");
                textRef = Variant::FromUtf8(text);
                automation::Put(*cell, "Value", Arg::ByRef(textRef));
                if (j < lastColumn)
                    c = Next(c, "the source column");
            }
            targetRow_ = Next(targetRow_, "the target row");
        }
    }

    const TMergeSettings& s_;
    ISourceList& sources_;
    IProgressSink& progress_;
    const ShowInfoFunction& showInfo_;
    std::shared_ptr<DispatchObject> targetApp_;
    std::shared_ptr<DispatchObject> sourceApp_;
    std::int32_t targetRow_ = 0;
    struct CellStep {
        enum Kind { None, ReadTarget, ReadSource, WriteTarget } kind = None;
        std::int32_t row = 0, column = 0;
        std::string Where() const {
            return "(" + std::to_string(row) + ", " + std::to_string(column) + ")";
        }
    };
    void SetStep(const char* text) {
        cellStep_.kind = CellStep::None;
        step_ = text;
    }
    void SetCellStep(CellStep::Kind kind, std::int32_t row, std::int32_t column) {
        cellStep_ = {kind, row, column};
    }

    std::string step_;
    CellStep cellStep_;
    std::string where_;     // which source workbook, for cell steps
    const QLocale locale_;  // the user's default locale, read once per run
};

std::string Describe(const std::string& step, const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return step + ": " + e.what();
    } catch (...) {
        return step + ": unknown failure";
    }
}

}  // namespace

void RunMergeJob(const TMergeSettings& settings, ISourceList& sources, IProgressSink& progress,
                 const ShowInfoFunction& showInfo, IMergeObserver* observer) {
    if (settings.TargetSheetIndex == -1 || settings.SourceSheetIndex == -1) {
        showInfo(kMessageSelectSheets);
        return;
    }
    progress.SetMaximum(sources.Count());
    progress.SetPosition(0);

    MergeRun run(settings, sources, progress, showInfo);
    bool failed = false;
    std::string reason;
    try {
        run.StartInstances();
        std::exception_ptr workFailure;
        std::string workStep;
        try {
            run.Work();
        } catch (...) {
            workFailure = std::current_exception();
            workStep = run.step();
        }
        try {
            run.CleanUp();
        } catch (...) {
            failed = true;
            std::string cleanUp = Describe(run.step(), std::current_exception());
            reason = workFailure ? Describe(workStep, workFailure) + "; then " + cleanUp : cleanUp;
        }
        if (workFailure && !failed)
            reason = Describe(workStep, workFailure);
        failed = failed || workFailure != nullptr;
    } catch (...) {
        failed = true;
        reason = Describe(run.step(), std::current_exception());
    }
    // Any reference still held is released here, without Quit.
    if (failed) {
        if (observer)
            observer->OnFailure(reason);
        showInfo(kMessageFailed);
    }
}

}  // namespace merge
