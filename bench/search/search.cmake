# The folder search beside find(1) over a generated tree: run search_bench [TREE_DIR] [RUNS].
add_executable(search_bench ${CMAKE_CURRENT_LIST_DIR}/SearchBench.cpp)
target_link_libraries(search_bench PRIVATE excelmerge_search)
