# The recording stand-in for "Excel.Application", shared by the merge and batch tests.
add_library(excelmerge_fake_spreadsheet STATIC ${CMAKE_CURRENT_LIST_DIR}/FakeSpreadsheet.cpp)
target_include_directories(excelmerge_fake_spreadsheet PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(excelmerge_fake_spreadsheet PUBLIC excelmerge_automation)

excelmerge_add_gtest(merge_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ParseSettingIntTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CellValueToTextTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MergeJobTest.cpp
  LIBS excelmerge_merge excelmerge_fake_spreadsheet)
