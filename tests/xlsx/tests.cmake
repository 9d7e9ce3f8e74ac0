# .xlsx workbooks: small packages built part by part, and real ones written by other programs.
excelmerge_add_gtest(xlsx_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/XlsxPackageTest.cpp
  LIBS excelmerge_xlsx excelmerge_test_support)

excelmerge_add_gtest(xlsx_file_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/XlsxFilesTest.cpp
  LIBS excelmerge_xlsx)
pkg_check_modules(XLSXWRITER QUIET IMPORTED_TARGET xlsxwriter)
if(XLSXWRITER_FOUND)
  add_executable(xlsx_writer_fixture ${CMAKE_CURRENT_LIST_DIR}/xlsxwriter_fixture.c)
  target_link_libraries(xlsx_writer_fixture PRIVATE PkgConfig::XLSXWRITER)
  add_dependencies(xlsx_file_tests xlsx_writer_fixture)
  target_compile_definitions(xlsx_file_tests PRIVATE
    XLSXWRITER_FIXTURE="$<TARGET_FILE:xlsx_writer_fixture>")
endif()

if(EXCELMERGE_BENCH)
  find_package(benchmark QUIET)
  if(benchmark_FOUND)
    add_executable(xlsx_bench ${CMAKE_CURRENT_LIST_DIR}/XlsxBench.cpp)
    target_link_libraries(xlsx_bench PRIVATE excelmerge_xlsx benchmark::benchmark GTest::gtest)
  endif()
endif()
