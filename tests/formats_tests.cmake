# Tests of the table-format building blocks and the command-line text: the
# GoogleTest executable quorlin_format_tests and a check that the man page
# renders without warnings. Included from the top-level CMakeLists.txt
# inside if(QUORLIN_TESTS), after src/formats.cmake.
find_package(GTest REQUIRED)
include(GoogleTest)

add_executable(quorlin_format_tests
  ${CMAKE_CURRENT_LIST_DIR}/io/test_headerfields.cpp
  ${CMAKE_CURRENT_LIST_DIR}/io/test_columnplan.cpp
  ${CMAKE_CURRENT_LIST_DIR}/io/test_formatsamples.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/test_usage.cpp
)
target_link_libraries(quorlin_format_tests PRIVATE quorlin_formats GTest::gtest GTest::gtest_main ZLIB::ZLIB)
target_compile_definitions(quorlin_format_tests PRIVATE
  QUORLIN_FORMAT_SAMPLES="${CMAKE_CURRENT_LIST_DIR}/data/formats"
  QUORLIN_REAL_DATA="${PROJECT_SOURCE_DIR}/../shared/data/real"
  QUORLIN_MAN_PAGE="${PROJECT_SOURCE_DIR}/doc/quorlin.1")
gtest_discover_tests(quorlin_format_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)

# man-db's own check: no groff warning at 80 columns; skipped without man.
add_test(NAME man_page_renders_without_warnings
  COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/cli/check_manpage.sh ${PROJECT_SOURCE_DIR}/doc/quorlin.1)
set_tests_properties(man_page_renders_without_warnings PROPERTIES SKIP_RETURN_CODE 77)
