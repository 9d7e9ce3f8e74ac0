# Makes workbooks for benchmarks and end-to-end tests: a blank BIFF8 workbook written from
# records, filled through the embedded spreadsheet application itself.
add_library(excelmerge_bench_corpus STATIC ${CMAKE_CURRENT_LIST_DIR}/corpus/BlankWorkbook.cpp)
target_include_directories(excelmerge_bench_corpus PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(excelmerge_bench_corpus PUBLIC excelmerge_spreadsheet)
