# The window's small shared routines: the message boxes, opening a document with the desktop and
# the folder prompt (added once its source is in the tree).
add_library(excelmerge_util_gui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/MessageBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ShowInfo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OpenDocument.cpp
)
if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/SelectFolder.cpp)
  target_sources(excelmerge_util_gui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/SelectFolder.cpp)
endif()
target_include_directories(excelmerge_util_gui PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(excelmerge_util_gui PUBLIC excelmerge_util Qt6::Widgets)
set_target_properties(excelmerge_util_gui PROPERTIES AUTOMOC ON)
