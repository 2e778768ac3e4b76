# Tests of the table-format building blocks: the GoogleTest executable
# quorlin_format_tests. Included from the top-level CMakeLists.txt inside
# if(QUORLIN_TESTS), after src/formats.cmake.
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
  QUORLIN_REAL_DATA="${PROJECT_SOURCE_DIR}/../shared/data/real")
gtest_discover_tests(quorlin_format_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)

