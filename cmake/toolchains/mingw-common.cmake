# Shared by the mingw-w64 toolchain files, which set TARNWICK_MINGW_TRIPLE.
set(CMAKE_C_COMPILER ${TARNWICK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNWICK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TARNWICK_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TARNWICK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# For reading a module's import and export tables in the tests.
set(TARNWICK_OBJDUMP ${TARNWICK_MINGW_TRIPLE}-objdump)
# Test programs and tools run under Wine, in a prefix of the build tree's own
# so that the user's Wine set-up plays no part.
find_program(TARNWICK_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine-run.sh ${CMAKE_BINARY_DIR}/wine)
# No debug information in the Windows builds: nothing here reads it (Wine
# runs them for the tests only), and it made the links a third slower and
# the module eight times its size.
set(CMAKE_C_FLAGS_RELWITHDEBINFO "-O2 -DNDEBUG" CACHE STRING "")
set(CMAKE_CXX_FLAGS_RELWITHDEBINFO "-O2 -DNDEBUG" CACHE STRING "")
