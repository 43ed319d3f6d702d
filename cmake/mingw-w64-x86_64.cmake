# Cross-compiling for 64-bit Windows with MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(SHINDAN_MINGW_PREFIX x86_64-w64-mingw32)
# The posix-threads flavour when present: its libstdc++ has std::thread and
# friends.
set(SHINDAN_MINGW_FLAVOURS posix win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
