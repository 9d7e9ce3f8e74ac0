# The folder search: no Qt Widgets (Qt Core only for Unicode letter case).
add_library(excelmerge_search STATIC
  ${CMAKE_CURRENT_LIST_DIR}/FindFiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KeywordMatcher.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileSystem.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MemoryFileSystem.cpp
)
target_include_directories(excelmerge_search PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(excelmerge_search PUBLIC excelmerge_util Qt6::Core)
