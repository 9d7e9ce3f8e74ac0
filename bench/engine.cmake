find_package(benchmark REQUIRED)

add_executable(bench_micro ${CMAKE_CURRENT_LIST_DIR}/MicroBench.cpp)
target_link_libraries(bench_micro PRIVATE excelmerge_merge benchmark::benchmark)

if(TARGET excelmerge_bench_corpus)
  add_executable(bench_merge ${CMAKE_CURRENT_LIST_DIR}/MergeBench.cpp)
  target_link_libraries(bench_merge PRIVATE excelmerge_merge excelmerge_bench_corpus)
endif()

if(TARGET excelmerge_bench_corpus)
  add_executable(bench_engine ${CMAKE_CURRENT_LIST_DIR}/EngineBench.cpp)
  target_link_libraries(bench_engine PRIVATE excelmerge_bench_corpus benchmark::benchmark)
endif()
