# The window's tests: the real window under the offscreen platform, driven through its controls.
if(EXCELMERGE_GUI)
  excelmerge_add_gtest(gui_tests
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/GuiTestMain.cpp
      ${CMAKE_CURRENT_LIST_DIR}/WindowFixture.cpp
      ${CMAKE_CURRENT_LIST_DIR}/LayoutTest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/SelectorTest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/ListCommandsTest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/DropTest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/ExecuteTest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/ReportsTest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/SearchCommandTest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/../merge/FakeSpreadsheet.cpp
    LIBS excelmerge_gui excelmerge_batch Qt6::Test)
  target_include_directories(gui_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
endif()
