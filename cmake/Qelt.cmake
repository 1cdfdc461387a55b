# GoogleTest from Debian's sources, built with the same compiler as the code under test.
enable_testing()
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

# qelt_add_gtest(NAME SOURCES a.cpp b.cpp LIBS lib... [PROPERTIES name value...])
# One test program; every TEST becomes its own CTest test (run through Wine in the cross build).
# PROPERTIES are added to every such test (a RESOURCE_LOCK, say).
function(qelt_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests PROPERTIES TIMEOUT 120 ${ARG_PROPERTIES})
endfunction()

# A GUI program entered through wWinMain.
function(qelt_add_win32_program name)
  add_executable(${name} WIN32 ${ARGN})
  if(MINGW)
    target_link_options(${name} PRIVATE -municode)
  endif()
endfunction()

# qelt_add_fuzz_test(NAME SOURCES ... LIBS ... CORPUS dir)
# A libFuzzer program (native build with QELT_FUZZ) and a CTest test that runs it for 30 s on
# its seed corpus. New inputs go to a build folder, never into the seed corpus; the target's
# own diagnostics (stderr) are muted, libFuzzer's reports are not.
function(qelt_add_fuzz_test name)
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  if(NOT (QELT_NATIVE AND QELT_FUZZ))
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  set(work ${CMAKE_BINARY_DIR}/fuzz/${name}.work)
  file(MAKE_DIRECTORY ${work}/corpus ${work}/artifacts)
  add_test(NAME ${name}
    COMMAND ${name} -max_total_time=30 -timeout=10 -rss_limit_mb=1024 -close_fd_mask=2 -print_final_stats=1
            -artifact_prefix=${work}/artifacts/ ${work}/corpus ${ARG_CORPUS}
    WORKING_DIRECTORY ${work})
  set_tests_properties(${name} PROPERTIES TIMEOUT 120 LABELS fuzz)
endfunction()
