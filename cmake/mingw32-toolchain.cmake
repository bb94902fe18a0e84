# 32-bit Windows programs from Debian's mingw-w64 cross compiler (posix threads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(QUEL_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER   ${QUEL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUEL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${QUEL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Wine refuses programs that need libgcc_s_dw2-1.dll and friends: link the
# runtime statically into every program and DLL.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
