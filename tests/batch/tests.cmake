excelmerge_add_gtest(batch_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/BatchCommandTest.cpp
  LIBS excelmerge_batch excelmerge_fake_spreadsheet)
