# GoogleTest for the test programs, as the targets GTest::gtest and
# GTest::gtest_main.
#
# The installed package is used when it links for this target. A build for
# another word size than the installed libraries (the 32-bit toolchain sets
# IDLEWARDEN_GTEST_FROM_SOURCE) compiles GoogleTest from its sources instead;
# Debian's googletest package puts them in /usr/src/googletest.
option(IDLEWARDEN_GTEST_FROM_SOURCE "Build GoogleTest from IDLEWARDEN_GTEST_SOURCE" OFF)
set(IDLEWARDEN_GTEST_SOURCE /usr/src/googletest/googletest CACHE PATH "GoogleTest sources")

if(NOT IDLEWARDEN_GTEST_FROM_SOURCE)
  find_package(GTest QUIET)
  if(GTest_FOUND)
    # Installed libraries of another architecture are found all the same;
    # only a link shows whether they fit.
    set(check ${CMAKE_BINARY_DIR}/CMakeFiles/gtest_check.cpp)
    file(WRITE ${check} "#include <gtest/gtest.h>\nTEST(Check, Links) {}\n")
    try_compile(IDLEWARDEN_GTEST_LINKS ${CMAKE_BINARY_DIR}/CMakeFiles/gtest_check SOURCES ${check}
                LINK_LIBRARIES GTest::gtest_main CXX_STANDARD 20)
    if(NOT IDLEWARDEN_GTEST_LINKS)
      message(FATAL_ERROR "The installed GoogleTest does not link for this target; "
                          "configure with -DIDLEWARDEN_GTEST_FROM_SOURCE=ON to build it from "
                          "${IDLEWARDEN_GTEST_SOURCE}")
    endif()
    return()
  endif()
endif()

if(NOT EXISTS ${IDLEWARDEN_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest for this target: install libgtest-dev (installed libraries) "
                      "or googletest (sources in /usr/src/googletest), or set IDLEWARDEN_GTEST_SOURCE")
endif()
message(STATUS "GoogleTest: built from ${IDLEWARDEN_GTEST_SOURCE}")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${IDLEWARDEN_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# Its sources are not held to this project's warning flags.
set_property(TARGET gtest gtest_main PROPERTY COMPILE_OPTIONS "")
