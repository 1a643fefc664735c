# GoogleTest on both targets. Linux uses Debian's built libraries when found;
# the Windows build compiles Debian's googletest sources with the cross
# compiler.
set(QN_GTEST_SRC /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT WIN32)
  find_package(GTest QUIET)
endif()
if(TARGET GTest::gtest)
  add_library(qn_gtest_main INTERFACE)
  target_link_libraries(qn_gtest_main INTERFACE GTest::gtest_main GTest::gmock)
else()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  add_subdirectory(${QN_GTEST_SRC} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  add_library(qn_gtest_main INTERFACE)
  target_link_libraries(qn_gtest_main INTERFACE gtest_main gmock)
endif()
include(GoogleTest)
