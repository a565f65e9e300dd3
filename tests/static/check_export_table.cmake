# cmake -DOBJDUMP=<objdump> -DIMAGE=<exe> -DEXPECTED=<ordinal:name|...> -P check_export_table.cmake
#
# Checks the export table of an executable: exactly the expected names, each
# under its ordinal, and no other export.
execute_process(COMMAND ${OBJDUMP} -p ${IMAGE} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "objdump -p ${IMAGE} failed")
endif()

if(NOT dump MATCHES "Export Address Table -- Ordinal Base ([0-9]+)")
  message(FATAL_ERROR "${IMAGE} has no export table")
endif()
set(base ${CMAKE_MATCH_1})
if(NOT dump MATCHES "\tExport Address Table[ \t]+([0-9a-fA-F]+)\n\t\\[Name Pointer/Ordinal\\] Table[ \t]+([0-9a-fA-F]+)")
  message(FATAL_ERROR "cannot read the export counts of ${IMAGE}")
endif()
math(EXPR functions "0x${CMAKE_MATCH_1}")
math(EXPR names "0x${CMAKE_MATCH_2}")

# The name table: "[   i] name", i being the ordinal less the base.
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" at)
string(SUBSTRING "${dump}" ${at} -1 tail)
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(\t[^\n]*\n)*" table "${tail}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" rows "${table}")
set(found "")
foreach(row IN LISTS rows)
  string(REGEX MATCH "\\[ *([0-9]+)\\] (.+)" _ "${row}")
  math(EXPR ordinal "${CMAKE_MATCH_1} + ${base}")
  list(APPEND found "${ordinal}:${CMAKE_MATCH_2}")
endforeach()

string(REPLACE "|" ";" expected "${EXPECTED}")
list(LENGTH expected count)
if(NOT found STREQUAL expected OR NOT functions EQUAL count OR NOT names EQUAL count)
  message(FATAL_ERROR "export table of ${IMAGE}:\n  found    ${found} (${functions} functions, ${names} names)\n  expected ${expected}")
endif()
message(STATUS "export table of ${IMAGE}: ${found}")
