# The first out-of-process COM activation in a freshly booted prefix has been
# seen to fail (Wine could not start its RPC service in time). One activation
# before the tests start takes that failure instead of the first test: the
# build's acpi-sim registered, AcpiInit called through setup.exe by
# acpi-probe until it answers (three tries), acpi-sim unregistered.
#
#   cmake -DWINE_RUN=a|b|c -DSIM=... -DPROBE=... -DSETUP=... -P wine-warm-up.cmake
foreach(var WINE_RUN SIM PROBE SETUP)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} not given")
  endif()
endforeach()
string(REPLACE "|" ";" WINE_RUN "${WINE_RUN}")

# A copy of its own, so that its journal stays out of the build tree.
string(RANDOM LENGTH 8 tag)
set(folder ${CMAKE_CURRENT_BINARY_DIR}/warm-up-${tag})
file(MAKE_DIRECTORY ${folder})
file(COPY ${SIM} DESTINATION ${folder})
get_filename_component(sim_name ${SIM} NAME)
set(sim ${folder}/${sim_name})

execute_process(COMMAND ${WINE_RUN} ${sim} /RegServer RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
if(NOT status EQUAL 0)
  file(REMOVE_RECURSE ${folder})
  message(FATAL_ERROR "acpi-sim /RegServer failed (${status})")
endif()
set(answered FALSE)
foreach(try 1 2 3)
  execute_process(COMMAND ${WINE_RUN} ${PROBE} ${SETUP} init
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(status EQUAL 0)
    set(answered TRUE)
    break()
  endif()
  message(STATUS "activation ${try} failed (${status}): ${output}")
endforeach()
execute_process(COMMAND ${WINE_RUN} ${sim} /UnregServer OUTPUT_QUIET ERROR_QUIET)
file(REMOVE_RECURSE ${folder})
if(NOT answered)
  message(FATAL_ERROR "no activation of acpi-sim succeeded")
endif()
message(STATUS "acpi-sim answered AcpiInit through setup.exe")
