# Table formats and command-line text: header names, -format presets and
# column decisions (io/), the usage summary (cli/), as the static library
# quorlin_formats; and the install rules for the binary and its man page.
# Included from the top-level CMakeLists.txt after quorlin_core and quorlin.
include(GNUInstallDirs)

add_library(quorlin_formats STATIC
  ${CMAKE_CURRENT_LIST_DIR}/io/headerfields.cpp
  ${CMAKE_CURRENT_LIST_DIR}/io/columnchoice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/io/formatpresets.cpp
  ${CMAKE_CURRENT_LIST_DIR}/io/columnplan.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/usage.cpp
)
target_include_directories(quorlin_formats PUBLIC ${CMAKE_CURRENT_LIST_DIR}/io ${CMAKE_CURRENT_LIST_DIR}/cli)
# FieldSeparator, separatorForWord and toInt32 come from the reader.
target_link_libraries(quorlin_formats PUBLIC quorlin_core)

if(TARGET quorlin)
  install(TARGETS quorlin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/doc/quorlin.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
