excelmerge_add_gtest(merge_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ParseSettingIntTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CellValueToTextTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MergeJobTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FakeSpreadsheet.cpp
  LIBS excelmerge_merge)
target_include_directories(merge_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
