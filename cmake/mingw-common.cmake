# What both MinGW-w64 toolchain files share; IDLEWARDEN_MINGW_TRIPLE names the target.
#
# The compilers of the "win32" thread model are preferred: their C++ runtime
# needs no winpthread DLL, so the module imports system DLLs only. The plain
# names are the fallback (the link still puts every runtime inside the DLL).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${IDLEWARDEN_MINGW_TRIPLE})

find_program(IDLEWARDEN_MINGW_CXX NAMES ${IDLEWARDEN_MINGW_TRIPLE}-g++-win32 ${IDLEWARDEN_MINGW_TRIPLE}-g++ REQUIRED)
find_program(IDLEWARDEN_MINGW_CC NAMES ${IDLEWARDEN_MINGW_TRIPLE}-gcc-win32 ${IDLEWARDEN_MINGW_TRIPLE}-gcc)
find_program(IDLEWARDEN_MINGW_RC NAMES ${IDLEWARDEN_MINGW_TRIPLE}-windres)
set(CMAKE_CXX_COMPILER ${IDLEWARDEN_MINGW_CXX})
if(IDLEWARDEN_MINGW_CC)
  set(CMAKE_C_COMPILER ${IDLEWARDEN_MINGW_CC})
endif()
if(IDLEWARDEN_MINGW_RC)
  set(CMAKE_RC_COMPILER ${IDLEWARDEN_MINGW_RC})
endif()

# Headers and libraries of the target only; programs of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${IDLEWARDEN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Release at -O2: GCC 12 at -O3 reports a false -Wrestrict inside
# std::string's operator+ (in the host tool), which -Werror would turn fatal.
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of Release builds")
