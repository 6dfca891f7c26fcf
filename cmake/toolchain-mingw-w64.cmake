# Cross-compiling for Windows with Debian's MinGW-w64.
#   -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake -DGAVREL_MINGW_ARCH=x86_64 (or i686)
set(CMAKE_SYSTEM_NAME Windows)
if(NOT GAVREL_MINGW_ARCH)
    set(GAVREL_MINGW_ARCH x86_64)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${GAVREL_MINGW_ARCH})
set(gavrel_mingw_triple ${GAVREL_MINGW_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER ${gavrel_mingw_triple}-gcc)
set(CMAKE_CXX_COMPILER ${gavrel_mingw_triple}-g++)
set(CMAKE_RC_COMPILER ${gavrel_mingw_triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${gavrel_mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The DLL and its test carry their C++ runtime: nothing else to ship beside them.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
