# Cross-building for 32-bit Windows with Debian's mingw-w64 (for 64-bit Windows
# when IDEWEAVE_MINGW_PROCESSOR says x86_64). The win32 thread model keeps
# libwinpthread out of the program; Qt has threads of its own.
if(NOT IDEWEAVE_MINGW_PROCESSOR)
    set(IDEWEAVE_MINGW_PROCESSOR i686)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${IDEWEAVE_MINGW_PROCESSOR})
set(triple ${IDEWEAVE_MINGW_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-win32)
set(CMAKE_CXX_COMPILER ${triple}-g++-win32)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Qt for Windows lies outside that root: the build names its folder.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
