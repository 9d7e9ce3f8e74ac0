#include "app/batch/EngineRegistration.h"

#ifdef EXCELMERGE_HAVE_SPREADSHEET
#include "spreadsheet/application/SpreadsheetApplication.h"
#endif

namespace batch {

void RegisterEmbeddedEngine() {
#ifdef EXCELMERGE_HAVE_SPREADSHEET
    spreadsheet::RegisterSpreadsheetApplication();
#endif
}

}  // namespace batch
