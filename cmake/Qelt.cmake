# GoogleTest from Debian's sources, built with the same compiler as the code under test.
enable_testing()
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

# qelt_add_gtest(NAME SOURCES a.cpp b.cpp LIBS lib...)
# One test program; every TEST becomes its own CTest test (run through Wine in the cross build).
function(qelt_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests PROPERTIES TIMEOUT 120)
endfunction()

# A GUI program entered through wWinMain.
function(qelt_add_win32_program name)
  add_executable(${name} WIN32 ${ARGN})
  if(MINGW)
    target_link_options(${name} PRIVATE -municode)
  endif()
endfunction()
