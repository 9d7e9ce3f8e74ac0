# The source list's window parts: the list box's operations and commands, and the file-drop
# panel.
if(EXCELMERGE_GUI)
  add_library(excelmerge_sources_gui STATIC
    ${CMAKE_CURRENT_LIST_DIR}/SourceListBox.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FileDropPan.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FileDropPan.h
  )
  target_include_directories(excelmerge_sources_gui PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(excelmerge_sources_gui PUBLIC excelmerge_merge Qt6::Widgets)
  set_target_properties(excelmerge_sources_gui PROPERTIES AUTOMOC ON)
endif()
