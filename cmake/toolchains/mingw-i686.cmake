# Cross-builds the 32-bit Windows module and its tests with mingw-w64 (the
# posix thread model, which the C++ runtime's threads need); the tests run
# under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TARNWICK_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# float arithmetic rounds in SSE registers as the effect requires; long double
# stays on the x87 unit, whose control word the module sets.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
