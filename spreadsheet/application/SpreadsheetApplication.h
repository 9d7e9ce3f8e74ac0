#pragma once

#include <QLocale>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "automation/ClassRegistry.h"
#include "spreadsheet/model/Workbook.h"

namespace util {
class Env;
}

namespace spreadsheet {

inline constexpr char kSpreadsheetProgId[] = "Excel.Application";

// Opens the workbook at a path for Workbooks.Open; throws with the reason when it cannot.
using WorkbookLoader = std::function<std::unique_ptr<Workbook>(const std::string& path)>;

struct ApplicationOptions {
    util::Env* env = nullptr;       // files are opened and saved through it; default: the disk
    WorkbookLoader load;            // default: OpenWorkbookFile through env
    std::optional<QLocale> locale;  // how written texts read; default: the user's locale
};

// A new instance of the embedded spreadsheet application: Application, Workbooks, Workbook,
// Worksheet and one-cell Range objects over the workbook model, with member names matched
// without regard to letter case. Two instances share nothing.
std::shared_ptr<automation::DispatchObject> CreateSpreadsheetApplication(
    ApplicationOptions options = {});

// Registers the application as "Excel.Application" (replacing whatever was registered).
void RegisterSpreadsheetApplication(
    automation::ClassRegistry& registry = automation::ClassRegistry::Global());

}  // namespace spreadsheet
