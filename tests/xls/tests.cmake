excelmerge_add_gtest(xls_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/XlsReaderTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/XlsWriterTest.cpp
  LIBS excelmerge_xls)

if(EXCELMERGE_BENCH)
  find_package(benchmark QUIET)
  if(benchmark_FOUND)
    add_executable(xls_bench ${CMAKE_CURRENT_LIST_DIR}/XlsBench.cpp)
    target_link_libraries(xls_bench PRIVATE excelmerge_xls benchmark::benchmark GTest::gtest)
  endif()
endif()

if(TARGET excelmerge_cfb)
  excelmerge_add_gtest(xls_file_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/XlsFilesTest.cpp
    LIBS excelmerge_xls)
endif()
