# The spreadsheet application's value rules: number formats, the values cells give, and how a
# written text is stored.
add_library(excelmerge_spreadsheet_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/NumberFormat.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CellValues.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NumericDateNotation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextStorage.cpp
)
target_include_directories(excelmerge_spreadsheet_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(excelmerge_spreadsheet_core PUBLIC excelmerge_automation excelmerge_util)
