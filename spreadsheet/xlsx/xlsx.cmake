# Office Open XML workbooks (.xlsx, .xlsm): the zip container through libzip, the markup
# through pugixml, saved parts deflated with zlib, read into the workbook model and saved back without loss.
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
pkg_check_modules(PUGIXML REQUIRED IMPORTED_TARGET pugixml)
pkg_check_modules(ZLIB REQUIRED IMPORTED_TARGET zlib)

add_library(excelmerge_xlsx STATIC
  ${CMAKE_CURRENT_LIST_DIR}/CellAddress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FormulaShift.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XmlPart.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ZipPackage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ZipCopy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XlsxReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XlsxWriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XlsxCodec.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XlsxFormat.cpp
)
target_include_directories(excelmerge_xlsx PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(excelmerge_xlsx
  PUBLIC excelmerge_spreadsheet_core
  PRIVATE PkgConfig::LIBZIP PkgConfig::PUGIXML PkgConfig::ZLIB)
