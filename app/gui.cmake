# The window program: the library that holds the window (the tests link it) and the small
# executable around it.
set(EXCELMERGE_ICON_SIZES 16 24 32 48 64 72 96 128)

add_library(excelmerge_gui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Unit_main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Unit_main.h
  ${CMAKE_CURRENT_LIST_DIR}/WorksheetComboBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WorksheetComboBox.h
  ${CMAKE_CURRENT_LIST_DIR}/OpenDialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OpenDialog.h
  ${CMAKE_CURRENT_LIST_DIR}/ProgressBar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Application.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Skin.cpp
)
set_target_properties(excelmerge_gui PROPERTIES AUTOMOC ON)
target_include_directories(excelmerge_gui PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(excelmerge_gui PUBLIC
  excelmerge_sources_gui excelmerge_util_gui excelmerge_merge Qt6::Widgets)
if(TARGET excelmerge_search AND EXISTS ${PROJECT_SOURCE_DIR}/util/gui/SelectFolder.cpp)
  target_link_libraries(excelmerge_gui PUBLIC excelmerge_search)
  target_compile_definitions(excelmerge_gui PRIVATE EXCELMERGE_HAVE_FOLDER_SEARCH)
endif()

set(excelmerge_resource_files skin/excelmerge.qss skin/down-arrow.png)
foreach(size ${EXCELMERGE_ICON_SIZES})
  list(APPEND excelmerge_resource_files icons/excelmerge-${size}.png)
endforeach()
qt_add_resources(excelmerge_gui excelmerge_resources
  PREFIX "/"
  BASE ${CMAKE_CURRENT_LIST_DIR}
  FILES ${excelmerge_resource_files})

add_executable(excelmerge ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(excelmerge PRIVATE excelmerge_gui excelmerge_batch)
target_compile_definitions(excelmerge PRIVATE EXCELMERGE_VERSION="${PROJECT_VERSION}")

# Desktop integration: the program, its menu entry and its icon in every size.
configure_file(${CMAKE_CURRENT_LIST_DIR}/excelmerge.desktop.in
               ${CMAKE_CURRENT_BINARY_DIR}/excelmerge.desktop @ONLY)
install(TARGETS excelmerge RUNTIME DESTINATION bin)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/excelmerge.desktop DESTINATION share/applications)
foreach(size ${EXCELMERGE_ICON_SIZES})
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/icons/excelmerge-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME excelmerge.png)
endforeach()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/icons/excelmerge.svg
        DESTINATION share/icons/hicolor/scalable/apps)
