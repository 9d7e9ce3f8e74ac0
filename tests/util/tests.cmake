excelmerge_add_gtest(util_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/WriteFileAtomicallyTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UtfTest.cpp
  LIBS excelmerge_util excelmerge_test_support)
