# Test registration.
#
#   setup_add_host_test(target SOURCES ... [LIBRARIES ...])
#       native GoogleTest binary (host preset)
#   setup_add_wine_test(target SOURCES ... [LIBRARIES ...] [MACHINES ...])
#       Windows GoogleTest binary, run by CTest through Wine on each simulated
#       machine of this build (or only on the MACHINES named); in a build
#       without SETUP_RUN_UNDER_WINE it is built but not run.
#   setup_add_wine_command_test(name [MACHINES ...] COMMAND ...)
#       any other command per machine; @WINE_RUN@ in it stands for the
#       machine's runner (wine-run.sh with the machine's prefix)
#   setup_add_fuzz_test(name MAX_LEN n LIBRARIES ...)
#       libFuzzer target tests/fuzz/<name>_fuzz.cpp over instrumented copies
#       of the pure LIBRARIES, run for a fixed budget from the seeds in
#       tests/fuzz/corpus/<name> (host preset, clang only)
#   setup_add_static_check(name SCRIPT script [ARGS ...])
#       a check of built binaries that needs no Windows: tests/static/<script>,
#       a CMake script (ARGS its -D definitions) or a shell script (ARGS its
#       arguments)
#
# Programs the Windows tests start or load:
#   setup_add_test_program(target [SHARED] SOURCES ... [LIBRARIES ...])
#       builds one, and makes it a test program as below
#   setup_test_programs(target ...)
#       makes existing targets test programs: their paths reach every
#       Windows test through the generated "test_programs.h", as
#       <TARGET>_EXE (upper case, '-' as '_'), or the upper-cased name of a
#       DLL target, and every Windows test is built after them
#
# The simulated Windows machines, each a private Wine prefix under the build
# tree, made on first use:
#   x64    the x64 twin on 64-bit Windows                  (win64 build)
#   wow64  the 32-bit product on 64-bit Windows, WoW64     (win32 build)
#   x86    the 32-bit product on 32-bit Windows            (win32 build)
# A test's CTest name starts with its machine ("wow64.Installation...") and
# its label names it ("wine-wow64"; one label, as gtest_discover_tests takes
# no list in a property; ctest -L wine still selects every Windows test).
# Where this machine cannot run 32-bit programs, the machines that need them
# have one skipped test saying why, and the tests that need a 32-bit program
# on the x64 machine are skipped the same way.
#
# Each machine's fixture boots its prefix, keeps a wineserver for it while
# its tests run and makes one COM activation first (cmake/wine-warm-up.cmake),
# then stops that server and every Wine process. A machine's tests run one
# at a time: they share its registry, Program Files and service manager, and
# parallel first starts of one prefix race. The two machines of the win32
# build also take turns, as they share its build tree (probes and traces
# beside the programs); the x64 machine runs beside them.
include(GoogleTest)
enable_testing()

set(SETUP_WINE_RUN ${PROJECT_SOURCE_DIR}/cmake/wine-run.sh)

# Whether Wine here runs 32-bit programs: the kernel's IA-32 support and
# Wine's 32-bit half (wine32).
if(WIN32)
  execute_process(COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/runs-32bit.sh
    OUTPUT_VARIABLE SETUP_NO_32BIT_REASON OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE runs_32bit)
  if(runs_32bit EQUAL 0 AND NOT EXISTS /usr/lib/wine/wine)
    set(SETUP_NO_32BIT_REASON "Wine's 32-bit half (wine32) is not installed")
  endif()
  if(SETUP_NO_32BIT_REASON)
    set(SETUP_WINE_RUNS_32BIT OFF)
  else()
    set(SETUP_WINE_RUNS_32BIT ON)
  endif()
endif()

# The host build has no machine: its tests run natively.
set(SETUP_WINE_MACHINES "")
if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(SETUP_WINE_MACHINES x64)
  else()
    set(SETUP_WINE_MACHINES wow64 x86)
  endif()
  foreach(machine IN LISTS SETUP_WINE_MACHINES)
    set(SETUP_WINE_RUNNER_${machine} ${SETUP_WINE_RUN})
    if(machine STREQUAL "x86")
      list(APPEND SETUP_WINE_RUNNER_${machine} --win32)
    endif()
    list(APPEND SETUP_WINE_RUNNER_${machine} ${CMAKE_BINARY_DIR}/wineprefix-${machine})
  endforeach()
  list(GET SETUP_WINE_MACHINES 0 first_machine)
  get_filename_component(build_name ${CMAKE_BINARY_DIR} NAME)
  set(SETUP_WINE_LOCK wine-${build_name})
  set(CMAKE_CROSSCOMPILING_EMULATOR ${SETUP_WINE_RUNNER_${first_machine}})
endif()

# The machines of this build that can run here.
set(SETUP_RUNNABLE_MACHINES "")
if(SETUP_RUN_UNDER_WINE)
  foreach(machine IN LISTS SETUP_WINE_MACHINES)
    if(machine STREQUAL "x64" OR SETUP_WINE_RUNS_32BIT)
      list(APPEND SETUP_RUNNABLE_MACHINES ${machine})
    endif()
  endforeach()
endif()

# A test that CTest reports as skipped, printing why.
function(setup_add_skipped_test name reason)
  add_test(NAME ${name} COMMAND sh -c "echo \"skipped: $1\"; exit 77" sh "${reason}")
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77 LABELS wine-skipped)
endfunction()

# The machines of MACHINES (default: all of this build) that run here.
function(setup_machines_to_run out)
  set(wanted ${ARGN})
  if(NOT wanted)
    set(wanted ${SETUP_WINE_MACHINES})
  endif()
  set(result "")
  foreach(machine IN LISTS wanted)
    if(machine IN_LIST SETUP_RUNNABLE_MACHINES)
      list(APPEND result ${machine})
    endif()
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# -- Test programs ---------------------------------------------------------

if(WIN32)
  add_custom_target(test_programs)
  set(SETUP_TEST_PROGRAMS_DIR ${CMAKE_BINARY_DIR}/tests/programs)
endif()

function(setup_test_programs)
  foreach(target IN LISTS ARGN)
    add_dependencies(test_programs ${target})
    set_property(GLOBAL APPEND PROPERTY SETUP_TEST_PROGRAMS ${target})
  endforeach()
endfunction()

function(setup_add_test_program target)
  cmake_parse_arguments(arg "SHARED" "" "SOURCES;LIBRARIES" ${ARGN})
  if(arg_SHARED)
    add_library(${target} SHARED ${arg_SOURCES})
    set_target_properties(${target} PROPERTIES PREFIX "")
  else()
    add_executable(${target} ${arg_SOURCES})
  endif()
  target_link_libraries(${target} PRIVATE base ${arg_LIBRARIES})
  setup_test_programs(${target})
endfunction()

# Written once every folder has registered its programs.
function(setup_write_test_programs_header)
  get_property(programs GLOBAL PROPERTY SETUP_TEST_PROGRAMS)
  set(text "// The programs the Windows tests start or load, and the files they read: made by CMake.\n#pragma once\n")
  foreach(target IN LISTS programs)
    string(TOUPPER "${target}" name)
    string(REPLACE "-" "_" name "${name}")
    get_target_property(type ${target} TYPE)
    if(NOT type STREQUAL "SHARED_LIBRARY")
      string(APPEND name "_EXE")
    endif()
    string(APPEND text "#define ${name} \"$<TARGET_FILE:${target}>\"\n")
  endforeach()
  string(APPEND text "#define SETUP_README \"${PROJECT_SOURCE_DIR}/README.md\"\n")
  string(APPEND text "#define SETUP_PROJECT_VERSION \"${PROJECT_VERSION}\"\n")
  # The other bitness's build, whose programs the tests on 64-bit Windows meet.
  foreach(program setup.exe tools/acpi-sim/acpi-sim.exe tools/sample-service/sample-service.exe
                  tools/acpi-probe/acpi-probe.exe)
    get_filename_component(base ${program} NAME_WE)
    string(TOUPPER "OTHER_${base}_EXE" name)
    string(REPLACE "-" "_" name "${name}")
    string(APPEND text "#define ${name} \"${SETUP_OTHER_BUILD_DIR}/${program}\"\n")
  endforeach()
  file(GENERATE OUTPUT ${SETUP_TEST_PROGRAMS_DIR}/test_programs.h CONTENT "${text}")
endfunction()
if(WIN32)
  cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL setup_write_test_programs_header)
endif()

# -- Registration ----------------------------------------------------------

function(setup_add_host_test target)
  cmake_parse_arguments(arg "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${target} ${arg_SOURCES})
  target_link_libraries(${target} PRIVATE GTest::gtest_main ${arg_LIBRARIES})
  gtest_discover_tests(${target} PROPERTIES LABELS host)
endfunction()

function(setup_add_wine_test target)
  cmake_parse_arguments(arg "" "" "SOURCES;LIBRARIES;MACHINES" ${ARGN})
  add_executable(${target} ${arg_SOURCES})
  target_link_libraries(${target} PRIVATE GTest::gtest_main test_support ${arg_LIBRARIES})
  target_include_directories(${target} PRIVATE ${SETUP_TEST_PROGRAMS_DIR})
  add_dependencies(${target} test_programs)
  setup_machines_to_run(machines ${arg_MACHINES})
  foreach(machine IN LISTS machines)
    # Discovery takes the runner the target has at this moment.
    set_property(TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR ${SETUP_WINE_RUNNER_${machine}})
    gtest_discover_tests(${target}
      TEST_PREFIX ${machine}.
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 60
      PROPERTIES
        LABELS wine-${machine}
        FIXTURES_REQUIRED wine-${machine}
        RESOURCE_LOCK ${SETUP_WINE_LOCK}
        TIMEOUT 300)
  endforeach()
  set_property(TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR ${CMAKE_CROSSCOMPILING_EMULATOR})
endfunction()

function(setup_add_wine_command_test name)
  cmake_parse_arguments(arg "" "" "MACHINES;COMMAND" ${ARGN})
  setup_machines_to_run(machines ${arg_MACHINES})
  foreach(machine IN LISTS machines)
    string(REPLACE ";" "|" runner "${SETUP_WINE_RUNNER_${machine}}")
    string(REPLACE "@WINE_RUN@" "${runner}" command "${arg_COMMAND}")
    add_test(NAME ${machine}.${name} COMMAND ${command})
    set_tests_properties(${machine}.${name} PROPERTIES
      LABELS wine-${machine} FIXTURES_REQUIRED wine-${machine} RESOURCE_LOCK ${SETUP_WINE_LOCK} TIMEOUT 300)
  endforeach()
endfunction()

# The instrumented copy of a pure library that libFuzzer is steered by.
function(setup_fuzz_instrumented_copy library)
  if(TARGET ${library}_fuzz)
    return()
  endif()
  get_target_property(sources ${library} SOURCES)
  get_target_property(dir ${library} SOURCE_DIR)
  get_target_property(links ${library} LINK_LIBRARIES)
  set(paths)
  foreach(source IN LISTS sources)
    cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${dir} OUTPUT_VARIABLE path)
    list(APPEND paths ${path})
  endforeach()
  add_library(${library}_fuzz STATIC ${paths})
  target_compile_options(${library}_fuzz PRIVATE -fsanitize=fuzzer-no-link)
  if(links)
    target_link_libraries(${library}_fuzz PUBLIC ${links})
  endif()
endfunction()

# New inputs go to a scratch corpus in the build tree, which every run starts
# afresh, so the committed seeds stay as they are.
function(setup_add_fuzz_test name)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    return()
  endif()
  cmake_parse_arguments(arg "" "MAX_LEN" "LIBRARIES" ${ARGN})
  set(fuzz ${PROJECT_SOURCE_DIR}/tests/fuzz)
  set(target ${name}_fuzz)
  add_executable(${target} ${fuzz}/${target}.cpp)
  target_compile_options(${target} PRIVATE -fsanitize=fuzzer)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  foreach(library IN LISTS arg_LIBRARIES)
    setup_fuzz_instrumented_copy(${library})
    target_link_libraries(${target} PRIVATE ${library}_fuzz)
  endforeach()
  add_test(NAME fuzz.${name}
    COMMAND ${CMAKE_COMMAND} -DFUZZER=$<TARGET_FILE:${target}> -DSEEDS=${fuzz}/corpus/${name}
      -DWORK=${CMAKE_CURRENT_BINARY_DIR}/${name} -DMAX_LEN=${arg_MAX_LEN} -P ${fuzz}/run_fuzz_target.cmake)
  set_tests_properties(fuzz.${name} PROPERTIES LABELS "host;fuzz")
endfunction()

function(setup_add_static_check name)
  cmake_parse_arguments(arg "" "SCRIPT" "ARGS" ${ARGN})
  set(script ${PROJECT_SOURCE_DIR}/tests/static/${arg_SCRIPT})
  if(arg_SCRIPT MATCHES "\\.cmake$")
    add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} ${arg_ARGS} -P ${script})
  else()
    add_test(NAME ${name} COMMAND sh ${script} ${arg_ARGS})
  endif()
  set_tests_properties(${name} PROPERTIES LABELS static)
endfunction()

# -- The machines' fixtures ------------------------------------------------

if(SETUP_RUN_UNDER_WINE)
  foreach(machine IN LISTS SETUP_WINE_MACHINES)
    if(machine IN_LIST SETUP_RUNNABLE_MACHINES)
      string(REPLACE ";" "|" runner "${SETUP_WINE_RUNNER_${machine}}")
      add_test(NAME ${machine}.wine.boot COMMAND ${SETUP_WINE_RUNNER_${machine}} --boot)
      add_test(NAME ${machine}.wine.warm_up COMMAND ${CMAKE_COMMAND} -DWINE_RUN=${runner}
        -DSIM=$<TARGET_FILE:acpi-sim> -DPROBE=$<TARGET_FILE:acpi-probe> -DSETUP=$<TARGET_FILE:setup>
        -P ${PROJECT_SOURCE_DIR}/cmake/wine-warm-up.cmake)
      add_test(NAME ${machine}.wine.stop COMMAND ${SETUP_WINE_RUNNER_${machine}} --stop)
      set_tests_properties(${machine}.wine.boot ${machine}.wine.warm_up PROPERTIES
        FIXTURES_SETUP wine-${machine} RESOURCE_LOCK ${SETUP_WINE_LOCK} LABELS wine-${machine})
      set_tests_properties(${machine}.wine.warm_up PROPERTIES DEPENDS ${machine}.wine.boot TIMEOUT 300)
      set_tests_properties(${machine}.wine.stop PROPERTIES
        FIXTURES_CLEANUP wine-${machine} RESOURCE_LOCK ${SETUP_WINE_LOCK} LABELS wine-${machine})
    else()
      setup_add_skipped_test(${machine}.machine "${SETUP_NO_32BIT_REASON}: the ${machine} machine's tests do not run")
    endif()
  endforeach()
endif()
