# Cross build for Windows with MinGW-w64 (x86_64). The -posix compilers are
# required: spdlog needs std::mutex and std::thread.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(SETUP_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${SETUP_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SETUP_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${SETUP_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SETUP_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows programs built here run through Wine (wine-run.sh), always in a
# private prefix of the build tree, never in the user's: cmake/Testing.cmake
# sets the emulator for each simulated machine.
