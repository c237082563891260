# add_unit_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [GTEST])
# Registers one test executable with CTest, with the window tests' offscreen
# platform and a fixed locale in its environment.
function(add_unit_test name)
  cmake_parse_arguments(T "GTEST" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS})
  if(T_GTEST)
    target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main)
  endif()
  target_compile_definitions(${name} PRIVATE
    QUARLEX_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
    QUARLEX_SAMPLES="${PROJECT_SOURCE_DIR}/samples"
    QUARLEX_BINARY_DIR="${PROJECT_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;LANG=C.UTF-8"
    TIMEOUT 300)
endfunction()
