# qn_test(NAME SOURCES... [LIBS ...]): a GoogleTest program registered with
# CTest as one test. On the Windows build CTest runs it under Wine through
# CMAKE_CROSSCOMPILING_EMULATOR.
function(qn_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} qn_gtest_main qn_warnings)
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()
