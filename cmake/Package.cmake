# What `cmake --install` puts where, and the Debian package `cpack` makes of it
# (build/<dir>$ cpack gives quillane_<version>_<arch>.deb). The window program, its desktop entry
# and icon are part of it only when the quillane target is built.
include(GNUInstallDirs)

if(WIN32)
  # Windows: a zip of gridcast.exe, its manual as HTML, the README and the examples.
  install(TARGETS gridcast RUNTIME DESTINATION .)
  find_program(QUILLANE_GROFF groff REQUIRED)
  set(QUILLANE_MANUAL_HTML ${CMAKE_BINARY_DIR}/gridcast.html)
  add_custom_command(OUTPUT ${QUILLANE_MANUAL_HTML}
    COMMAND ${QUILLANE_GROFF} -mandoc -Thtml ${CMAKE_SOURCE_DIR}/docs/gridcast.1 > ${QUILLANE_MANUAL_HTML}
    DEPENDS ${CMAKE_SOURCE_DIR}/docs/gridcast.1)
  add_custom_target(gridcast_manual ALL DEPENDS ${QUILLANE_MANUAL_HTML})
  install(FILES ${QUILLANE_MANUAL_HTML} ${CMAKE_SOURCE_DIR}/README.md DESTINATION .)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION examples
    FILES_MATCHING PATTERN "*.xls" PATTERN "*.xlsx" PATTERN "*.fods")
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME gridcast)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_SYSTEM_NAME windows-x64)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  include(CPack)
  return()
endif()

install(TARGETS gridcast RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Man pages are installed compressed, as Debian's policy asks; the copy is made at install time.
set(QUILLANE_MAN_PAGE ${CMAKE_BINARY_DIR}/gridcast.1.gz)
install(CODE "execute_process(COMMAND gzip -9 -n -c \"${CMAKE_SOURCE_DIR}/docs/gridcast.1\"
  OUTPUT_FILE \"${QUILLANE_MAN_PAGE}\" COMMAND_ERROR_IS_FATAL ANY)")
install(FILES ${QUILLANE_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/resources/package/gridcast.bash
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME gridcast)
set(QUILLANE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/quillane)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${QUILLANE_DOC_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${QUILLANE_DOC_DIR}/examples
  FILES_MATCHING PATTERN "*.xls" PATTERN "*.xlsx" PATTERN "*.fods")

if(TARGET quillane)
  install(TARGETS quillane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/resources/package/quillane.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/QUILLANE.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps RENAME quillane.png)
  # The help the window's Help commands open (found from the program as ../share/doc/quillane/help).
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/help/ DESTINATION ${QUILLANE_DOC_DIR}/help)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/screenshots/ DESTINATION ${QUILLANE_DOC_DIR}/screenshots)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillane")
set(CPACK_PACKAGE_CONTACT "Quillane developers <quillane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Batch converter of spreadsheet workbooks into static HTML pages")
# The extensions the engine reads, from its one list (spreadsheet/WorkbookFormats.h).
set(QUILLANE_FORMATS_HEADER ${CMAKE_SOURCE_DIR}/spreadsheet/WorkbookFormats.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QUILLANE_FORMATS_HEADER})
file(STRINGS ${QUILLANE_FORMATS_HEADER} QUILLANE_FORMAT_ROWS REGEX "^ *{\"\\.[a-z]+\",")
set(QUILLANE_EXTENSIONS "")
foreach(row IN LISTS QUILLANE_FORMAT_ROWS)
  string(REGEX MATCH "\\.[a-z]+" extension "${row}")
  list(APPEND QUILLANE_EXTENSIONS ${extension})
endforeach()
list(LENGTH QUILLANE_EXTENSIONS QUILLANE_EXTENSION_COUNT)
if(QUILLANE_EXTENSION_COUNT LESS 3)
  message(FATAL_ERROR "No workbook extensions read from ${QUILLANE_FORMATS_HEADER}")
endif()
list(JOIN QUILLANE_EXTENSIONS " " QUILLANE_EXTENSION_TEXT)
set(CPACK_PACKAGE_DESCRIPTION
  "gridcast turns spreadsheet workbooks (${QUILLANE_EXTENSION_TEXT}; encrypted .xls and .xlsx\n\
ones included) into static HTML pages, one per worksheet, in batches, with one coded log line\n\
per workbook. It needs no display and no office suite.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # Depends from the libraries the programs link
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
