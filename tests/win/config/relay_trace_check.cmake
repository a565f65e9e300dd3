# Runs the config probe under Wine's relay trace and checks the platform
# calls that reached user32 and kernel32: the real MessageBoxA with its
# arguments, and the profile flush request, made only by the reader that was
# opened (the accessor's), never by one that was not.
#
#   cmake -DWINE_RUN=... -DPROBE=... -DTRACE=... -P relay_trace_check.cmake
#
# WINE_RUN is the machine's runner, its words separated by |.
foreach(var WINE_RUN PROBE TRACE)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} not given")
  endif()
endforeach()
string(REPLACE "|" ";" WINE_RUN "${WINE_RUN}")

execute_process(
  COMMAND ${CMAKE_COMMAND} -E env SETUP_WINEDEBUG=+relay ${WINE_RUN} ${PROBE} relay
  OUTPUT_VARIABLE output
  ERROR_FILE ${TRACE}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT output MATCHES "relay probe done, service name \"\"")
  message(FATAL_ERROR "the probe did not run through (status ${status}): ${output}")
endif()

file(STRINGS ${TRACE} boxes REGEX "Call user32\\.MessageBoxA\\(")
file(STRINGS ${TRACE} flushes REGEX "Call KERNEL32\\.WritePrivateProfileStringA\\(")
file(REMOVE ${TRACE})

set(failures "")
list(LENGTH boxes box_count)
if(NOT box_count EQUAL 1)
  string(APPEND failures "expected one MessageBoxA call, saw ${box_count}: ${boxes}\n")
elseif(NOT boxes MATCHES "MessageBoxA\\(0+,[0-9a-f]+ \"Can not read service name from setup\\.ini\",[0-9a-f]+ \"Ventaro Setup\",0+\\)")
  string(APPEND failures "MessageBoxA called with other arguments: ${boxes}\n")
endif()
list(LENGTH flushes flush_count)
if(NOT flush_count EQUAL 1)
  string(APPEND failures "expected one WritePrivateProfileStringA call, saw ${flush_count}: ${flushes}\n")
elseif(NOT flushes MATCHES "WritePrivateProfileStringA\\(0+,0+,0+,[0-9a-f]+ \"[^\"]*\\\\\\\\probe\\\\\\\\setup\\.ini\"\\)")
  string(APPEND failures "the flush request names another file: ${flushes}\n")
endif()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
message(STATUS "MessageBoxA: ${boxes}")
message(STATUS "flush: ${flushes}")
