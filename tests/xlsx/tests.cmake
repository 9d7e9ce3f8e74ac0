# .xlsx workbooks: small packages built part by part, and real ones written by other programs.
excelmerge_add_gtest(xlsx_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/XlsxPackageTest.cpp
  LIBS excelmerge_xlsx)
