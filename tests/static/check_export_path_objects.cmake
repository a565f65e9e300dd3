# cmake -DNM=<nm> -DOBJDUMP=<objdump> -DOBJECTS=<obj|obj...> -P check_export_path_objects.cmake
#
# The code the exports reach may run in another program, where the C/C++
# runtime never started for this image: no constructors of globals were run,
# no exit list, no thread-local storage, no unwinder set up for it, and the
# log was never opened. So its objects may hold no dynamic initialisation
# and may call nothing of logging, exceptions, the exit list, thread-local
# variables or throwing allocation.
string(REPLACE "|" ";" objects "${OBJECTS}")
set(refused_sections "^\\.(ctors|dtors|init_array|fini_array|tls|CRT\\$X)")
set(refused_symbols
  "spdlog|fmt[0-9]|__cxa_|_Unwind_|__gxx_personality|atexit|_onexit|__emutls|_Znw|_Zna|_ZSt[0-9]*__throw|_CxxThrow|__CxxFrameHandler")
foreach(object IN LISTS objects)
  execute_process(COMMAND ${OBJDUMP} -h ${object} OUTPUT_VARIABLE headers RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "objdump -h ${object} failed")
  endif()
  string(REGEX MATCHALL "\n +[0-9]+ +[^ \n]+" rows "${headers}")
  foreach(row IN LISTS rows)
    string(REGEX REPLACE "^\n +[0-9]+ +" "" section "${row}")
    if(section MATCHES "${refused_sections}")
      message(FATAL_ERROR "${object}: section ${section}: initialisation the runtime's start-up would run")
    endif()
  endforeach()
  execute_process(COMMAND ${NM} -u ${object} OUTPUT_VARIABLE undefined RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "nm -u ${object} failed")
  endif()
  string(REGEX MATCHALL "[^ \t\n]+" symbols "${undefined}")
  foreach(symbol IN LISTS symbols)
    if(NOT symbol STREQUAL "U" AND symbol MATCHES "${refused_symbols}")
      message(FATAL_ERROR "${object}: calls ${symbol}, which needs the runtime's start-up or the log")
    endif()
  endforeach()
  message(STATUS "${object}: nothing that needs the runtime's start-up")
endforeach()
