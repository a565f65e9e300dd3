# cmake -DOBJDUMP=<objdump> -DOBJECTS=<obj|obj...> -P check_position_free_code.cmake
#
# The export entries and the step that makes the image ready run before the
# image is relocated when another program loads the executable. Their code
# must therefore hold no absolute address: in the code sections only
# PC-relative relocations (calls, RIP-relative data) may appear.
string(REPLACE "|" ";" objects "${OBJECTS}")
set(allowed "DISP32|IMAGE_REL_AMD64_REL32(_[1-5])?|IMAGE_REL_I386_REL32")
foreach(object IN LISTS objects)
  execute_process(COMMAND ${OBJDUMP} -r ${object} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "objdump -r ${object} failed")
  endif()
  string(REPLACE "\n" ";" lines "${dump}")
  set(section "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^RELOCATION RECORDS FOR \\[([^]]+)\\]")
      set(section ${CMAKE_MATCH_1})
    elseif(section MATCHES "^\\.text" AND line MATCHES "^[0-9a-f]+ +([A-Za-z0-9_]+) +(.+)$")
      if(NOT CMAKE_MATCH_1 MATCHES "^(${allowed})$")
        message(FATAL_ERROR "${object}: absolute relocation in ${section}: ${line}")
      endif()
    endif()
  endforeach()
  message(STATUS "${object}: code is free of absolute addresses")
endforeach()
