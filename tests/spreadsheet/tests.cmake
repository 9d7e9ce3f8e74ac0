# The spreadsheet application's value rules and automation objects, over in-memory workbooks.
excelmerge_add_gtest(excelmerge_spreadsheet_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/NumberFormatTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CellValuesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TextStorageTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ApplicationTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WorkbookFileTest.cpp
  LIBS excelmerge_spreadsheet
)
