# The compound-file container, checked against libgsf as an independent reader and writer.
pkg_check_modules(CFB_TEST_GSF IMPORTED_TARGET libgsf-1)
if(CFB_TEST_GSF_FOUND AND TARGET excelmerge_cfb)
  excelmerge_add_gtest(cfb_tests
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/CompoundFileTest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/ThirdPartyFilesTest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/DamagedFileTest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/GsfCompoundFile.cpp
    LIBS excelmerge_cfb excelmerge_test_support PkgConfig::CFB_TEST_GSF)
endif()

# The fuzz target's checks (load, read every cell, save to memory, load again) over the sample
# workbooks and every input the fuzzer once failed on.
if(TARGET excelmerge_spreadsheet)
  excelmerge_add_gtest(fuzz_regression_tests
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/FuzzRegressionTest.cpp
      ${PROJECT_SOURCE_DIR}/fuzz/WorkbookFuzzing.cpp
    LIBS excelmerge_spreadsheet excelmerge_cfb excelmerge_test_support)
endif()
