# Small helpers shared by every folder's CMakeLists.txt.

# gx_add_tests(NAME SOURCES a.cpp b.cpp LIBS x y)
# One GoogleTest program per folder; each test is registered with CTest on its own.
function(gx_add_tests name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  # Shared helpers of tests that run the tools (tools/testing/tool_test.h).
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tools/testing)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()

# Hidden visibility for the shared libraries: only what a library marks for export is seen.
function(gx_hidden target)
  set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden C_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
endfunction()
