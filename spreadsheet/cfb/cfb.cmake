# The OLE2 compound-file container that .xls workbooks live in.
add_library(excelmerge_cfb STATIC
  ${CMAKE_CURRENT_LIST_DIR}/CompoundFile.cpp
)
target_include_directories(excelmerge_cfb PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(excelmerge_cfb PUBLIC excelmerge_util)
