# Cross-compiling for 32-bit Windows with MinGW-w64: the machines the game was
# made for, where the system's records have the sizes the program passes.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(SHINDAN_MINGW_PREFIX i686-w64-mingw32)
# The win32-threads flavour: without the posix one's threads library the
# program asks only for what Windows XP already has (that library needs
# GetTickCount64, from Vista on).
set(SHINDAN_MINGW_FLAVOURS win32 posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
