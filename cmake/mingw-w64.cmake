# Cross-compiling for Windows with MinGW-w64; the toolchain files of the two
# machines (mingw-w64-x86_64.cmake, mingw-w64-i686.cmake) name the target and
# include this.
set(CMAKE_SYSTEM_NAME Windows)

# The compiler flavour the toolchain file prefers (SHINDAN_MINGW_FLAVOURS, in
# order), else the plain one. The program itself starts no threads, so
# either flavour works.
set(compilers)
set(c_compilers)
foreach(flavour ${SHINDAN_MINGW_FLAVOURS})
  list(APPEND compilers ${SHINDAN_MINGW_PREFIX}-g++-${flavour})
  list(APPEND c_compilers ${SHINDAN_MINGW_PREFIX}-gcc-${flavour})
endforeach()
find_program(SHINDAN_MINGW_CXX NAMES ${compilers} ${SHINDAN_MINGW_PREFIX}-g++ REQUIRED)
find_program(SHINDAN_MINGW_CC NAMES ${c_compilers} ${SHINDAN_MINGW_PREFIX}-gcc REQUIRED)
set(CMAKE_C_COMPILER ${SHINDAN_MINGW_CC})
set(CMAKE_CXX_COMPILER ${SHINDAN_MINGW_CXX})
set(CMAKE_RC_COMPILER ${SHINDAN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SHINDAN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
