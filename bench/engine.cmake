find_package(benchmark REQUIRED)

add_executable(bench_micro ${CMAKE_CURRENT_LIST_DIR}/MicroBench.cpp)
target_link_libraries(bench_micro PRIVATE excelmerge_merge benchmark::benchmark)
