# Table formats: header names, column choices, -format presets and column
# decisions (io/), as the static library quorlin_formats. Included from the top-level CMakeLists.txt after
# quorlin_core and quorlin.

add_library(quorlin_formats STATIC
  ${CMAKE_CURRENT_LIST_DIR}/io/headerfields.cpp
  ${CMAKE_CURRENT_LIST_DIR}/io/columnchoice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/io/formatpresets.cpp
  ${CMAKE_CURRENT_LIST_DIR}/io/columnplan.cpp
)
target_include_directories(quorlin_formats PUBLIC ${CMAKE_CURRENT_LIST_DIR}/io)
# FieldSeparator, separatorForWord and toInt32 come from the reader.
target_link_libraries(quorlin_formats PUBLIC quorlin_core)

