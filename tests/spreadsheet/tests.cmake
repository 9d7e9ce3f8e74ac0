# The spreadsheet application's value rules and automation objects, over in-memory workbooks.
excelmerge_add_gtest(excelmerge_spreadsheet_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/NumberFormatTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CellValuesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TextStorageTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ApplicationTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WorkbookFileTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MergeThroughApplicationTest.cpp
  LIBS excelmerge_spreadsheet excelmerge_merge
)

# A quick measure of one Cells+Value get and put; not a test.
if(EXCELMERGE_BENCH)
  find_package(benchmark QUIET)
  if(benchmark_FOUND)
    add_executable(spreadsheet_application_bench ${CMAKE_CURRENT_LIST_DIR}/ApplicationBench.cpp)
    target_link_libraries(spreadsheet_application_bench PRIVATE excelmerge_spreadsheet
      benchmark::benchmark)
  endif()
endif()
