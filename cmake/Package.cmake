# What `cmake --install` puts where, and the two Debian packages `cpack` makes of it
# (build/<dir>$ cpack gives gridcast_<version>_<arch>.deb and, when the quillane target is built,
# quillane_<version>_<arch>.deb):
#   gridcast  the command line, its manual page, bash completion, the README and the examples;
#             no Qt or X library
#   quillane  the window program, its manual page, desktop entry, icon and HTML help; depends on
#             gridcast
# The names of the formats in the manual pages, the completion, the desktop entry and the package
# descriptions are made here from the engine's one list (spreadsheet/WorkbookFormats.h).
include(GNUInstallDirs)

set(QUILLANE_PACKAGE_MAINTAINER "Quillane developers <packages@quillane.example.org>"
  CACHE STRING "The Maintainer field of the Debian packages (name <address>)")

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

# --- The formats the engine reads ---------------------------------------------------------------
set(QUILLANE_FORMATS_HEADER ${CMAKE_SOURCE_DIR}/spreadsheet/WorkbookFormats.h)
file(READ ${QUILLANE_FORMATS_HEADER} QUILLANE_FORMATS_SOURCE)
string(REGEX MATCHALL "{\"\\.[a-z]+\",[ \n]*WorkbookFamily::[A-Za-z]+,[ \n]*\"[^\"]+\"}"
  QUILLANE_FORMAT_ROWS "${QUILLANE_FORMATS_SOURCE}")
string(REGEX MATCHALL "{WorkbookFamily::[A-Za-z]+, \"[^\"]+\"}"
  QUILLANE_FAMILY_ROWS "${QUILLANE_FORMATS_SOURCE}")
set(QUILLANE_EXTENSIONS "")
set(QUILLANE_MIME_TYPES "")
foreach(row IN LISTS QUILLANE_FORMAT_ROWS)
  string(REGEX MATCH "\"(\\.[a-z]+)\",[ \n]*WorkbookFamily::([A-Za-z]+),[ \n]*\"([^\"]+)\"" _ "${row}")
  list(APPEND QUILLANE_EXTENSIONS ${CMAKE_MATCH_1})
  list(APPEND QUILLANE_EXTENSIONS_${CMAKE_MATCH_2} ${CMAKE_MATCH_1})
  list(APPEND QUILLANE_MIME_TYPES ${CMAKE_MATCH_3})
endforeach()
list(REMOVE_DUPLICATES QUILLANE_MIME_TYPES)
list(LENGTH QUILLANE_EXTENSIONS QUILLANE_EXTENSION_COUNT)
list(LENGTH QUILLANE_FAMILY_ROWS QUILLANE_FAMILY_COUNT)
if(QUILLANE_EXTENSION_COUNT LESS 3 OR QUILLANE_FAMILY_COUNT LESS 1)
  message(FATAL_ERROR "No workbook formats read from ${QUILLANE_FORMATS_HEADER}")
endif()

# One line per family: "<family>: <extensions>" in the manual pages' markup and in plain text.
set(QUILLANE_MAN_FORMATS "")
set(QUILLANE_TEXT_FORMATS "")
foreach(row IN LISTS QUILLANE_FAMILY_ROWS)
  string(REGEX MATCH "WorkbookFamily::([A-Za-z]+), \"([^\"]+)\"" _ "${row}")
  set(name "${CMAKE_MATCH_2}")
  set(extensions ${QUILLANE_EXTENSIONS_${CMAKE_MATCH_1}})
  if(NOT extensions)
    message(FATAL_ERROR "The family ${CMAKE_MATCH_1} has no extension in ${QUILLANE_FORMATS_HEADER}")
  endif()
  list(JOIN extensions ", " plain)
  list(TRANSFORM extensions PREPEND "\\fB")
  list(TRANSFORM extensions APPEND "\\fR")
  list(JOIN extensions ", " marked)
  string(APPEND QUILLANE_MAN_FORMATS "${name}: ${marked};\n")
  string(APPEND QUILLANE_TEXT_FORMATS " - ${name}: ${plain}\n")
endforeach()
string(REGEX REPLACE ";\n$" ".\n" QUILLANE_MAN_FORMATS "${QUILLANE_MAN_FORMATS}")
list(JOIN QUILLANE_MIME_TYPES ";" QUILLANE_DESKTOP_MIME_TYPES)
list(TRANSFORM QUILLANE_EXTENSIONS PREPEND "*" OUTPUT_VARIABLE QUILLANE_COMPLETION_PATTERNS)
list(JOIN QUILLANE_COMPLETION_PATTERNS "|" QUILLANE_COMPLETION_PATTERNS)

# --- Files made from the list and the templates -------------------------------------------------
set(QUILLANE_PACKAGE_FILES ${CMAKE_BINARY_DIR}/package)
set(QUILLANE_PACKAGE_SOURCES ${CMAKE_SOURCE_DIR}/resources/package)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QUILLANE_FORMATS_HEADER}
  ${CMAKE_SOURCE_DIR}/docs/gridcast.1 ${CMAKE_SOURCE_DIR}/docs/quillane.1
  ${QUILLANE_PACKAGE_SOURCES}/changelog)

# A manual page with the lines between its ".\" formats" and ".\" formats end" comments made from
# the list, compressed as Debian's policy asks.
function(quillane_man_page name)
  file(READ ${CMAKE_SOURCE_DIR}/docs/${name}.1 page)
  string(FIND "${page}" ".\\\" formats:" begin)
  string(FIND "${page}" ".\\\" formats end" end)
  if(begin LESS 0 OR end LESS begin)
    message(FATAL_ERROR "docs/${name}.1 lacks the .\\\" formats comments")
  endif()
  string(SUBSTRING "${page}" ${begin} -1 rest)
  string(FIND "${rest}" "\n" line_end)
  math(EXPR head_length "${begin} + ${line_end} + 1")
  string(SUBSTRING "${page}" 0 ${head_length} head)
  string(SUBSTRING "${page}" ${end} -1 tail)
  file(WRITE ${QUILLANE_PACKAGE_FILES}/${name}.1 "${head}${QUILLANE_MAN_FORMATS}${tail}")
  quillane_gzip(${QUILLANE_PACKAGE_FILES}/${name}.1)
endfunction()

function(quillane_gzip file)
  execute_process(COMMAND gzip -9 -n -f -k ${file} COMMAND_ERROR_IS_FATAL ANY)
endfunction()

quillane_man_page(gridcast)
quillane_man_page(quillane)
configure_file(${QUILLANE_PACKAGE_SOURCES}/gridcast.bash.in ${QUILLANE_PACKAGE_FILES}/gridcast.bash
  @ONLY)
configure_file(${QUILLANE_PACKAGE_SOURCES}/quillane.desktop.in
  ${QUILLANE_PACKAGE_FILES}/quillane.desktop @ONLY)
foreach(package gridcast quillane)
  configure_file(${QUILLANE_PACKAGE_SOURCES}/changelog
    ${QUILLANE_PACKAGE_FILES}/${package}/changelog @ONLY)
  quillane_gzip(${QUILLANE_PACKAGE_FILES}/${package}/changelog)
endforeach()

# --- What goes where ----------------------------------------------------------------------------
set(QUILLANE_MAN1_DIR ${CMAKE_INSTALL_MANDIR}/man1)
install(TARGETS gridcast RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT gridcast)
install(FILES ${QUILLANE_PACKAGE_FILES}/gridcast.1.gz DESTINATION ${QUILLANE_MAN1_DIR}
  COMPONENT gridcast)
install(FILES ${QUILLANE_PACKAGE_FILES}/gridcast.bash COMPONENT gridcast
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME gridcast)
set(QUILLANE_GRIDCAST_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/gridcast)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${QUILLANE_PACKAGE_SOURCES}/copyright
  ${QUILLANE_PACKAGE_FILES}/gridcast/changelog.gz
  DESTINATION ${QUILLANE_GRIDCAST_DOC_DIR} COMPONENT gridcast)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${QUILLANE_GRIDCAST_DOC_DIR}/examples
  COMPONENT gridcast FILES_MATCHING PATTERN "*.xls" PATTERN "*.xlsx" PATTERN "*.fods")

set(QUILLANE_COMPONENTS gridcast)
if(TARGET quillane)
  list(APPEND QUILLANE_COMPONENTS quillane)
  install(TARGETS quillane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT quillane)
  install(FILES ${QUILLANE_PACKAGE_FILES}/quillane.1.gz DESTINATION ${QUILLANE_MAN1_DIR}
    COMPONENT quillane)
  install(FILES ${QUILLANE_PACKAGE_FILES}/quillane.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT quillane)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/QUILLANE.png COMPONENT quillane
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps RENAME quillane.png)
  # The help the window's Help commands open (found from the program as ../share/doc/quillane/help).
  set(QUILLANE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/quillane)
  install(FILES ${QUILLANE_PACKAGE_SOURCES}/copyright ${QUILLANE_PACKAGE_FILES}/quillane/changelog.gz
    DESTINATION ${QUILLANE_DOC_DIR} COMPONENT quillane)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/help/ DESTINATION ${QUILLANE_DOC_DIR}/help
    COMPONENT quillane)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/screenshots/
    DESTINATION ${QUILLANE_DOC_DIR}/screenshots COMPONENT quillane)
endif()

# --- The packages -------------------------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${QUILLANE_COMPONENTS})
set(CPACK_PACKAGE_NAME quillane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillane")
set(CPACK_PACKAGE_CONTACT "${QUILLANE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUILLANE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SOURCE quillane)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quillane.example.org/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # Depends from the libraries the programs link
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_GRIDCAST_PACKAGE_NAME gridcast)
set(CPACK_DEBIAN_GRIDCAST_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_GRIDCAST_DESCRIPTION "batch converter of spreadsheet workbooks into HTML pages
gridcast turns spreadsheet workbooks into static HTML pages, one per
worksheet, in batches, with one coded log line per workbook. It needs
no display and no office suite, and runs as well on one core as
sharded over many machines. It reads
${QUILLANE_TEXT_FORMATS}Encrypted binary and Office Open XML workbooks are read too.")
set(CPACK_DEBIAN_QUILLANE_PACKAGE_NAME quillane)
set(CPACK_DEBIAN_QUILLANE_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_QUILLANE_PACKAGE_DEPENDS "gridcast (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_QUILLANE_DESCRIPTION "window for converting spreadsheet workbooks into HTML pages
quillane is the desktop window of the gridcast converter: a task list of
workbooks, the conversion switches as menu items, a run with its
progress and log, and an HTML help. It opens
${QUILLANE_TEXT_FORMATS}and writes every worksheet as a static HTML page of its own.")
include(CPack)
