# GoogleTest compiled for the target from Debian's sources, and one CTest
# entry per test executable (each runs under Wine through the emulator).
set(KS_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${KS_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# Our own code builds without warnings; third-party code keeps its flags.
set(KS_WARNINGS -Wall -Wextra)

# ks_add_test(<name> SOURCES <files...> LIBS <targets...>)
function(ks_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_compile_options(${name} PRIVATE ${KS_WARNINGS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  ks_add_test_run(${name} ${name})
endfunction()

# ks_add_test_run(<entry> <test executable>): one more CTest entry for a test
# executable, e.g. to run it again under other environment variables.
function(ks_add_test_run entry executable)
  add_test(NAME ${entry} COMMAND ${executable})
  # Under Wine a crashing program can end with exit code 0, so a test passes
  # only when GoogleTest printed its closing summary and reported no failure.
  set_tests_properties(${entry} PROPERTIES
    PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [0-9]+ tests?\\."
    FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
endfunction()
