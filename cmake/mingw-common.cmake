# Shared part of the MinGW-w64 cross tool chains: Debian's -posix compilers
# (the standard thread library needs them), every runtime linked statically
# so the programs import only DLLs that Windows itself ships, Windows 7 and
# later as the target.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${ZENTRADA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZENTRADA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZENTRADA_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZENTRADA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0601 -DWINVER=0x0601")
set(CMAKE_C_FLAGS_INIT "-D_WIN32_WINNT=0x0601 -DWINVER=0x0601")
