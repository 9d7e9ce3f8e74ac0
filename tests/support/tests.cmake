# Helpers shared by the tests: temporary folders, sample files, running third-party programs,
# and an Env that fails chosen file operations.
add_library(excelmerge_test_support STATIC
  ${CMAKE_CURRENT_LIST_DIR}/TestFiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Process.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FaultInjectionEnv.cpp
)
target_include_directories(excelmerge_test_support PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(excelmerge_test_support PUBLIC excelmerge_util Qt6::Core)
