# 32-bit Windows, the build most point-of-sale driver libraries need.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZENTRADA_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
