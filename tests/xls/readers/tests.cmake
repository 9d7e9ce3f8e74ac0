# Our engine and python3-xlrd read the same workbooks: Debian's samples and ones that
# LibreOffice, Gnumeric and Spreadsheet::WriteExcel write at test time.
if(TARGET excelmerge_spreadsheet AND TARGET excelmerge_xls AND TARGET excelmerge_test_support)
  excelmerge_add_gtest(xls_readers_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ReadersAgreeTest.cpp
    LIBS excelmerge_spreadsheet excelmerge_test_support)
endif()
