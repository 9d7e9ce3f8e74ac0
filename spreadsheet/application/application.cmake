# The automation objects registered as "Excel.Application", and opening a workbook file by its
# content. The one library the rest of the program links for the whole engine.
add_library(excelmerge_spreadsheet STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ApplicationState.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ApplicationObject.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WorkbookObjects.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RangeObject.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WorkbookFile.cpp
)
target_include_directories(excelmerge_spreadsheet PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(excelmerge_spreadsheet PUBLIC excelmerge_spreadsheet_core excelmerge_automation
  excelmerge_util)

# Each file format is linked when its library, with its entry point, is part of the build.
function(excelmerge_link_format target entry_source definition)
  if(TARGET ${target})
    get_target_property(_sources ${target} SOURCES)
    if(_sources MATCHES "${entry_source}")
      target_link_libraries(excelmerge_spreadsheet PUBLIC ${target})
      target_compile_definitions(excelmerge_spreadsheet PRIVATE ${definition})
    endif()
  endif()
endfunction()
excelmerge_link_format(excelmerge_xls "XlsFormat\\.cpp" EXCELMERGE_HAVE_XLS)
excelmerge_link_format(excelmerge_xlsx "XlsxFormat\\.cpp" EXCELMERGE_HAVE_XLSX)
