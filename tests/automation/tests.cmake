excelmerge_add_gtest(automation_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/AutomationTest.cpp
  LIBS excelmerge_automation)
