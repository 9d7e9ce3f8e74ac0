# The folder search: over an in-memory tree, over a real temporary tree and from a list file;
# and the folder prompt, when the window parts are built.
excelmerge_add_gtest(search_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/FolderSearchTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ListFileTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RealTreeTest.cpp
  LIBS excelmerge_search)

if(EXCELMERGE_GUI AND TARGET excelmerge_util_gui)
  excelmerge_add_gtest(select_folder_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/SelectFolderTest.cpp
    LIBS excelmerge_util_gui Qt6::Widgets)
endif()
