excelmerge_add_gtest(batch_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/BatchCommandTest.cpp
  LIBS excelmerge_batch excelmerge_fake_spreadsheet)

if(TARGET excelmerge_bench_corpus)
  excelmerge_add_gtest(batch_e2e_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/BatchEndToEndTest.cpp
    LIBS excelmerge_batch excelmerge_bench_corpus)
endif()
