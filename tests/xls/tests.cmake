excelmerge_add_gtest(xls_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/XlsReaderTest.cpp
  LIBS excelmerge_xls)
