# spdlog and fmt (headers only; compiled once by base/log_library.cpp) and
# GoogleTest (built from source with the project's compiler).
#
# On Debian the headers lie in /usr/include. A cross build must not see the
# rest of that folder (glibc's headers), so it gets a folder of its own that
# links to the two libraries' header folders alone.
set(SETUP_SPDLOG_INCLUDE_DIR "/usr/include/spdlog" CACHE PATH "spdlog's header folder (the one holding spdlog.h)")
set(SETUP_FMT_INCLUDE_DIR "/usr/include/fmt" CACHE PATH "fmt's header folder (the one holding format.h)")
set(SETUP_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest's source tree")

set(SETUP_LOG_INCLUDE_DIR ${CMAKE_BINARY_DIR}/deps/include)
file(MAKE_DIRECTORY ${SETUP_LOG_INCLUDE_DIR})
foreach(lib spdlog fmt)
  string(TOUPPER ${lib} LIB)
  if(NOT EXISTS ${SETUP_${LIB}_INCLUDE_DIR})
    message(FATAL_ERROR "${lib} headers not found at ${SETUP_${LIB}_INCLUDE_DIR}: install libspdlog-dev and libfmt-dev, or set SETUP_${LIB}_INCLUDE_DIR")
  endif()
  if(CMAKE_HOST_WIN32)
    file(COPY ${SETUP_${LIB}_INCLUDE_DIR}/ DESTINATION ${SETUP_LOG_INCLUDE_DIR}/${lib})
  else()
    file(CREATE_LINK ${SETUP_${LIB}_INCLUDE_DIR} ${SETUP_LOG_INCLUDE_DIR}/${lib} SYMBOLIC)
  endif()
endforeach()

if(NOT EXISTS ${SETUP_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found at ${SETUP_GTEST_SOURCE_DIR}: install googletest, or set SETUP_GTEST_SOURCE_DIR")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${SETUP_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
