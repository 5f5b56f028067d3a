# Cross build for 64-bit Windows with Debian's MinGW-w64 toolchain (the POSIX
# thread model, which std::thread needs with this GCC).
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# CHRONARA_WINDOWS_DEPS names a folder holding the static zlib, libpng and
# libjpeg of the target (scripts/windows-deps.sh makes one); it is searched
# before the toolchain's own folder.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CHRONARA_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${CHRONARA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CHRONARA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${CHRONARA_MINGW_TRIPLE}-windres)

# The deps folder is handed down to try_compile projects as well.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CHRONARA_WINDOWS_DEPS)
set(CMAKE_FIND_ROOT_PATH /usr/${CHRONARA_MINGW_TRIPLE})
if(CHRONARA_WINDOWS_DEPS)
    list(PREPEND CMAKE_FIND_ROOT_PATH ${CHRONARA_WINDOWS_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The static zlib, so the programs need no DLL beside them.
set(ZLIB_USE_STATIC_LIBS ON)

# The C and C++ runtimes and the thread library go into every program and DLL.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
