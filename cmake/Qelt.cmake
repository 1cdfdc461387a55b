# GoogleTest from Debian's sources, built with the same compiler as the code under test.
enable_testing()
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

# Test code is built without optimisation: it runs in milliseconds either way, and the optimiser
# was most of the build's time. The code under test keeps the build type's flags.
function(qelt_test_build_flags target)
  target_compile_options(${target} PRIVATE $<IF:$<CXX_COMPILER_ID:MSVC>,/Od,-O0>)
endfunction()
foreach(target gtest gtest_main gmock gmock_main)
  qelt_test_build_flags(${target})
endforeach()

# qelt_add_gtest(NAME SOURCES a.cpp b.cpp LIBS lib... [PROPERTIES name value...])
# One test program; every TEST becomes its own CTest test (run through Wine in the cross build).
# PROPERTIES are added to every such test (a RESOURCE_LOCK, say).
function(qelt_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  qelt_test_build_flags(${name})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests PROPERTIES TIMEOUT 120 ${ARG_PROPERTIES})
endfunction()

# The wide-character entry points (wWinMain, wmain) need -municode with mingw-w64.
function(qelt_wide_entry name)
  if(MINGW)
    target_link_options(${name} PRIVATE -municode)
  endif()
endfunction()

# A GUI program entered through wWinMain.
function(qelt_add_win32_program name)
  add_executable(${name} WIN32 ${ARGN})
  qelt_wide_entry(${name})
endfunction()

# A console program entered through wmain.
function(qelt_add_console_program name)
  add_executable(${name} ${ARGN})
  qelt_wide_entry(${name})
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

# The version header every version resource includes (common/res/version_info.rc).
set(QELT_VERSION_HEADER ${CMAKE_BINARY_DIR}/generated/qelt_version.h)
configure_file(${CMAKE_SOURCE_DIR}/common/res/qelt_version.h.in ${QELT_VERSION_HEADER} @ONLY)

# qelt_version_resource(TARGET RC_FILE): RC_FILE, the target's resource script, includes
# version_info.rc.
function(qelt_version_resource target rc_file)
  target_sources(${target} PRIVATE ${rc_file})
  target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/generated ${CMAKE_SOURCE_DIR}/common/res)
  # windres gets no dependency scan: a new version must still rebuild the resource.
  set_property(SOURCE ${rc_file} APPEND PROPERTY OBJECT_DEPENDS
               ${QELT_VERSION_HEADER} ${CMAKE_SOURCE_DIR}/common/res/version_info.rc
               ${CMAKE_SOURCE_DIR}/common/res/qelt.manifest)
endfunction()

# qelt_ship(TARGET RC_FILE): a program or library of the program folder (build/out), installed by
# the installer, with its version resource.
function(qelt_ship target rc_file)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QELT_OUTPUT_DIR}
                                             LIBRARY_OUTPUT_DIRECTORY ${QELT_OUTPUT_DIR})
  qelt_version_resource(${target} ${rc_file})
  set_property(GLOBAL APPEND PROPERTY QELT_SHIPPED_TARGETS ${target})
endfunction()

# qelt_ship_files(TARGET FILE...): files of the program folder made by the custom target TARGET
# (skin, key table, help page), for the installer's dependencies.
function(qelt_ship_files target)
  set_property(GLOBAL APPEND PROPERTY QELT_SHIPPED_FILE_TARGETS ${target})
  set_property(GLOBAL APPEND PROPERTY QELT_SHIPPED_FILES ${ARGN})
endfunction()
