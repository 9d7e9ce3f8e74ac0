# The .xls format: BIFF8 and BIFF5/7 workbook streams read into the model, and BIFF8 saved
# back without losing what the session did not change.
add_library(excelmerge_xls STATIC
  ${CMAKE_CURRENT_LIST_DIR}/BiffRecords.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BiffText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XlsReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XlsWriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XlsCodec.cpp
)
target_include_directories(excelmerge_xls PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(excelmerge_xls PUBLIC excelmerge_spreadsheet_core excelmerge_util)
if(TARGET excelmerge_cfb)
  target_sources(excelmerge_xls PRIVATE ${CMAKE_CURRENT_LIST_DIR}/XlsFormat.cpp)
  target_link_libraries(excelmerge_xls PUBLIC excelmerge_cfb)
endif()
