excelmerge_add_gtest(xls_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/XlsReaderTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/XlsWriterTest.cpp
  LIBS excelmerge_xls)
